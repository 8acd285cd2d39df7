#include "app/progress_dialog.h"

#include "app/plain_text.h"
#include "app/prompter.h"
#include "app/ui_text.h"
#include "engine/string_table.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// Dialog units of the widget's font: a horizontal unit is a quarter of the
// average character width, a vertical one an eighth of the character height.
int horizontalDialogUnits(const QWidget& widget, int units) {
    return units * QFontMetrics(widget.font()).averageCharWidth() / 4;
}

int verticalDialogUnits(const QWidget& widget, int units) {
    return units * QFontMetrics(widget.font()).height() / 8;
}

// The engine reports in English: each line is one of its numbered texts, and
// the caption is the numbered "Creating %s..." with the output path in it.
QString translatedCaption(const std::string& caption) {
    const std::string format = loadString(IDS_PROGRESS_CAPTION);
    const std::size_t at = format.find("%s");
    if (at == std::string::npos) return QString::fromStdString(caption);
    const std::string prefix = format.substr(0, at);
    const std::string suffix = format.substr(at + 2);
    if (caption.size() < prefix.size() + suffix.size() || caption.compare(0, prefix.size(), prefix) != 0 ||
        caption.compare(caption.size() - suffix.size(), suffix.size(), suffix) != 0)
        return QString::fromStdString(caption);
    const std::string path = caption.substr(prefix.size(), caption.size() - prefix.size() - suffix.size());
    return tableString(IDS_PROGRESS_CAPTION, QString::fromStdString(path));
}

}  // namespace

CProgressDialog::CProgressDialog() = default;

CProgressDialog::~CProgressDialog() = default;

void CProgressDialog::open(const std::string& caption) {
    m_window = std::make_unique<QDialog>(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    m_window->setObjectName(QStringLiteral("progressDialog"));
    m_window->setModal(false);
    m_window->setWindowTitle(uiText("Processing Conversion..."));
    m_logLabel = new QLabel(m_window.get());
    m_logLabel->setObjectName(QStringLiteral("progressLog"));
    m_logLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    showPlainText(m_logLabel);
    m_logLabel->setWordWrap(true);
    m_logLabel->setMinimumSize(horizontalDialogUnits(*m_window, 150), verticalDialogUnits(*m_window, 80));
    auto* layout = new QVBoxLayout(m_window.get());
    layout->addWidget(m_logLabel);
    m_log.clear();
    if (!caption.empty()) m_window->setWindowTitle(translatedCaption(caption));
    m_window->show();
    // The run is synchronous: let the window appear once, without taking any
    // input, and paint each line as it comes.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void CProgressDialog::appendLine(const std::string& text) {
    if (!m_window) return;
    m_log += QCoreApplication::translate("StringTable", text.c_str()) + QLatin1Char('\n');
    m_logLabel->setText(m_log);
    m_logLabel->repaint();
}

void CProgressDialog::close() {
    m_logLabel = nullptr;
    m_window.reset();
}

QString CProgressDialog::caption() const {
    return m_window ? m_window->windowTitle() : QString();
}
