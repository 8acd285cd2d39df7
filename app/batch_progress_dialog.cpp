#include "app/batch_progress_dialog.h"

#include "app/batch_conversion.h"
#include "app/desktop_notifier.h"
#include "app/file_names.h"
#include "app/plain_text.h"
#include "app/ui_text.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

CBatchProgressDialog::CBatchProgressDialog(int total, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint), m_total(total) {
    setObjectName(QStringLiteral("batchProgressDialog"));
    setWindowTitle(uiText("Processing Conversion..."));
    setWindowModality(Qt::WindowModal);
    m_countLabel = new QLabel(this);
    m_countLabel->setObjectName(QStringLiteral("batchCountLabel"));
    m_currentLabel = new QLabel(this);
    m_currentLabel->setObjectName(QStringLiteral("batchCurrentLabel"));
    showPlainText(m_currentLabel);
    m_currentLabel->setMinimumWidth(320);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("batchProgressBar"));
    m_bar->setRange(0, total);
    m_cancelButton = new QPushButton(uiText("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("batchCancelButton"));
    m_cancelButton->setAutoDefault(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_countLabel);
    layout->addWidget(m_currentLabel);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancelButton, 0, Qt::AlignRight);
    connect(m_cancelButton, &QPushButton::clicked, this, &CBatchProgressDialog::reject);
    showDone(0);
    m_cancelButton->setFocus();
}

void CBatchProgressDialog::showCurrent(const QString& fileName) {
    m_currentLabel->setText(uiText("Converting %1").arg(fileName));
}

void CBatchProgressDialog::showDone(int done) {
    const QString count = uiText("%1 of %2").arg(uiNumber(done), uiNumber(m_total));
    m_countLabel->setText(count);
    m_bar->setValue(done);
    m_bar->setAccessibleName(uiText("Converted %1").arg(count));
}

void CBatchProgressDialog::showStopping() {
    m_currentLabel->setText(uiText("Stopping after the pictures in progress..."));
    m_cancelButton->setEnabled(false);
}

void CBatchProgressDialog::reject() {
    if (m_cancelButton->isEnabled()) {
        showStopping();
        emit cancelRequested();
    }
}

namespace {

// Tells a user who looked elsewhere that the batch has ended: the desktop's
// notification, and the window asking for attention.
void announceEnd(const CBatchConversion& batch, const DesktopFeedback& feedback,
                 std::chrono::steady_clock::duration elapsed, const QWidget& progress, QWidget* parent) {
    if (feedback.notifier == nullptr) return;
    QWidget* window = parent != nullptr ? parent->window() : nullptr;
    const bool watched = progress.isActiveWindow() || (window != nullptr && window->isActiveWindow());
    if (!worthNotifying(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed), watched)) return;
    const std::size_t total = batch.plan().size();
    std::size_t converted = 0;
    for (std::size_t i = 0; i < total; ++i)
        if (batch.outcome(i) == CBatchConversion::Outcome::Converted) ++converted;
    const QLocale locale;
    feedback.notifier->notifyFinished(window, uiText("Conversion finished"),
                                      uiText("%1 of %2 pictures converted")
                                          .arg(locale.toString(static_cast<qulonglong>(converted)),
                                               locale.toString(static_cast<qulonglong>(total))));
}

}  // namespace

void CBatchProgressDialog::runShowingProgress(CBatchConversion& batch, int jobs, QWidget* parent,
                                              const DesktopFeedback& feedback) {
    const std::vector<Conversion>& plan = batch.plan();
    CBatchProgressDialog progress(static_cast<int>(plan.size()), parent);
    int done = 0;
    connect(&batch, &CBatchConversion::pictureStarted, &progress, [&](int index) {
        const std::string& input = plan[static_cast<std::size_t>(index)].input;
        progress.showCurrent(QFileInfo(pathFromBytes(QByteArray::fromStdString(input))).fileName());
    });
    connect(&batch, &CBatchConversion::pictureDone, &progress, [&](int) { progress.showDone(++done); });
    connect(&progress, &CBatchProgressDialog::cancelRequested, &batch, &CBatchConversion::cancel);
    QEventLoop waiting;
    connect(&batch, &CBatchConversion::finished, &waiting, &QEventLoop::quit);
    progress.show();
    const auto started = feedback.now();
    batch.start(jobs);
    if (!batch.isFinished()) waiting.exec();
    announceEnd(batch, feedback, feedback.now() - started, progress, parent);
    progress.hide();
}
