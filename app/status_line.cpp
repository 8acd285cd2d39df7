#include "app/status_line.h"

#include "app/file_names.h"
#include "app/plain_text.h"
#include "app/ui_text.h"

#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

CStatusLine::CStatusLine(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("statusLine"));
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("statusLabel"));
    // A file name is text, never markup; a long one is cut rather than
    // widening the window.
    showPlainText(m_label);
    m_label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_showButton = new QPushButton(this);
    m_showButton->setObjectName(QStringLiteral("showInFolderButton"));
    m_showButton->setAutoDefault(false);
    QSizePolicy keepRoom = m_showButton->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    m_showButton->setSizePolicy(keepRoom);
    m_showButton->hide();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_label, 1);
    layout->addWidget(m_showButton);
    connect(m_showButton, &QPushButton::clicked, this, [this] { emit showInFolderRequested(m_path); });
    retranslate();
}

void CStatusLine::showWritten(const QString& path) {
    m_path = path;
    m_size = pathStatus(path).size;
    retranslate();
}

void CStatusLine::clear() {
    m_path.clear();
    retranslate();
}

QString CStatusLine::text() const {
    return m_label->text();
}

void CStatusLine::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

void CStatusLine::retranslate() {
    m_showButton->setText(uiText("Show in folder"));
    m_showButton->setVisible(!m_path.isEmpty());
    m_showButton->setToolTip(plainToolTip(m_path));
    m_showButton->setAccessibleDescription(m_path);
    // Both in one pass: a "%1" in the file name stays as it is.
    m_label->setText(m_path.isEmpty()
                         ? QString()
                         : uiText("Wrote %1 (%2 bytes)").arg(QFileInfo(m_path).fileName(), uiNumber(m_size)));
    m_label->setToolTip(plainToolTip(m_path));
    setAccessibleName(uiText("Status"));
}
