#include "app/plain_text.h"

#include <QLabel>

void showPlainText(QLabel* label) {
    label->setTextFormat(Qt::PlainText);
}

QString plainToolTip(const QString& text) {
    if (text.isEmpty()) return text;
    // Wrapped in a paragraph of its own, the text is rich text for certain,
    // whatever its first characters: an escaped "&lt;" alone would read as
    // plain text and show the escape. Its line breaks stay; a long line wraps.
    return QStringLiteral("<p style='white-space:pre-wrap'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}
