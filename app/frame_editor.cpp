#include "app/frame_editor.h"

#include "app/ui_text.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/orientation/attention_map.h"
#include "imagelib/orientation/exif_orientation.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Steps of the arrow keys and of the wheel, as shares of the picture.
constexpr double kKeyStep = 0.02;
constexpr double kWheelStep = 0.05;

int roundToInt(double value) {
    return static_cast<int>(std::lround(value));
}

}  // namespace

CFrameEditor::CFrameEditor(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frameEditor"));
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(120, 80);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    hide();
}

void CFrameEditor::showPicture(const QString& path, const ConversionSettings& settings) {
    m_settings = settings;
    if (path != m_path || settings.autoOrient != m_autoOrient) {
        m_path = path;
        m_autoOrient = settings.autoOrient;
        m_chosen = {};
        m_picture = {};
    }
    refresh();
}

void CFrameEditor::setSourcePicture(const QString& path, bool autoOrient, const QImage& uprightCopy,
                                    QSize uprightSize) {
    if (path != m_path || autoOrient != m_autoOrient) return;
    m_picture = uprightCopy.isNull() || uprightSize.isEmpty()
                    ? QImage()
                    : uprightCopy.convertToFormat(QImage::Format_ARGB32);
    m_uprightSize = uprightSize;
    refresh();
}

void CFrameEditor::refresh() {
    if (m_path.isEmpty() || m_picture.isNull()) {
        hide();
        return;
    }
    const PictureFraming framing = m_settings.pictureLayout().framing();
    m_editable = m_settings.fit == PictureFit::Crop;
    const bool turned = TurnsToFill(framing, m_uprightSize.width(), m_uprightSize.height());
    m_aspect = turned ? static_cast<double>(framing.referenceHeight) / framing.referenceWidth
                      : static_cast<double>(framing.referenceWidth) / framing.referenceHeight;
    m_frame = m_editable && !m_chosen.IsEmpty() ? m_chosen : settledFrame(m_settings);
    show();
    announce();
    update();
}

PixelRect CFrameEditor::settledFrame(const ConversionSettings& settings) const {
    PictureFraming framing = settings.pictureLayout().framing();
    framing.cropBox = {};
    try {
        if (!CropsByAttention(framing, m_uprightSize.width(), m_uprightSize.height()))
            return FramedSourceRect(framing, m_uprightSize.width(), m_uprightSize.height());
        // Measured on the small copy, then taken to the whole picture.
        CMemoryBitmap copy;
        copy.Create(m_picture.width(), m_picture.height(), 32, false);
        for (int y = 0; y < m_picture.height(); ++y)
            std::memcpy(copy.GetRows()[y], m_picture.constScanLine(y),
                        4 * static_cast<std::size_t>(m_picture.width()));
        const AttentionMap attention(copy, kOrientationAsStored);
        const PixelRect small = FramedSourceRect(framing, m_picture.width(), m_picture.height(), &attention);
        const double sx = static_cast<double>(m_uprightSize.width()) / m_picture.width();
        const double sy = static_cast<double>(m_uprightSize.height()) / m_picture.height();
        const PixelRect whole = FramedSourceRect(framing, m_uprightSize.width(), m_uprightSize.height());
        return {std::clamp(roundToInt(small.left * sx), 0, m_uprightSize.width() - whole.width),
                std::clamp(roundToInt(small.top * sy), 0, m_uprightSize.height() - whole.height), whole.width,
                whole.height};
    } catch (...) {
        return {0, 0, m_uprightSize.width(), m_uprightSize.height()};
    }
}

QString CFrameEditor::frameText() const {
    return uiText("Part kept: %1 by %2 pixels from %3 across and %4 down, of %5 by %6")
        .arg(uiNumber(m_frame.width), uiNumber(m_frame.height), uiNumber(m_frame.left), uiNumber(m_frame.top),
             uiNumber(m_uprightSize.width()), uiNumber(m_uprightSize.height()));
}

void CFrameEditor::announce() {
    setAccessibleName(frameText());
    setToolTip(m_editable
                   ? uiText("Drag the frame, or move it with the arrow keys; the wheel changes its size")
                   : QString());
}

QSize CFrameEditor::sizeHint() const {
    return {240, heightForWidth(240)};
}

int CFrameEditor::heightForWidth(int width) const {
    if (m_uprightSize.isEmpty()) return width * 2 / 3;
    return std::clamp(width * m_uprightSize.height() / m_uprightSize.width(), 60, 260);
}

QRectF CFrameEditor::pictureArea() const {
    const QSizeF room = size();
    QSizeF shown = QSizeF(m_uprightSize).scaled(room, Qt::KeepAspectRatio);
    return {(room.width() - shown.width()) / 2, (room.height() - shown.height()) / 2, shown.width(),
            shown.height()};
}

double CFrameEditor::scale() const {
    const QRectF area = pictureArea();
    return area.width() > 0 ? m_uprightSize.width() / area.width() : 1.0;
}

void CFrameEditor::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF area = pictureArea();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(area, m_picture);
    const double k = 1.0 / scale();
    const QRectF frame(area.left() + m_frame.left * k, area.top() + m_frame.top * k, m_frame.width * k,
                       m_frame.height * k);
    // What is cut off is dimmed.
    QPainterPath outside;
    outside.addRect(area);
    QPainterPath inside;
    inside.addRect(frame);
    painter.fillPath(outside.subtracted(inside), QColor(0, 0, 0, 140));
    painter.setPen(QPen(hasFocus() ? palette().color(QPalette::Highlight) : QColor(Qt::white), 2));
    painter.drawRect(frame.adjusted(1, 1, -1, -1));
}

void CFrameEditor::choose(PixelRect frame) {
    const int width = m_uprightSize.width();
    const int height = m_uprightSize.height();
    frame.width = std::clamp(frame.width, 1, width);
    frame.height = std::clamp(frame.height, 1, height);
    frame.left = std::clamp(frame.left, 0, width - frame.width);
    frame.top = std::clamp(frame.top, 0, height - frame.height);
    if (frame == m_frame) return;
    m_frame = m_chosen = frame;
    announce();
    update();
    emit frameChosen();
}

void CFrameEditor::mousePressEvent(QMouseEvent* event) {
    if (!m_editable || event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    m_dragging = true;
    m_dragStart = event->position().toPoint();
    m_dragFrame = m_frame;
}

void CFrameEditor::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) return QWidget::mouseMoveEvent(event);
    const QPoint moved = event->position().toPoint() - m_dragStart;
    PixelRect frame = m_dragFrame;
    frame.left += roundToInt(moved.x() * scale());
    frame.top += roundToInt(moved.y() * scale());
    choose(frame);
}

void CFrameEditor::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_dragging) return QWidget::mouseReleaseEvent(event);
    mouseMoveEvent(event);
    m_dragging = false;
}

void CFrameEditor::wheelEvent(QWheelEvent* event) {
    if (!m_editable || event->angleDelta().y() == 0) return QWidget::wheelEvent(event);
    // Up makes the frame smaller, as zooming in does.
    const double factor = event->angleDelta().y() > 0 ? 1.0 - kWheelStep : 1.0 / (1.0 - kWheelStep);
    PixelRect frame = m_frame;
    const double centreX = frame.left + frame.width / 2.0;
    const double centreY = frame.top + frame.height / 2.0;
    double width = std::min({frame.width * factor, static_cast<double>(m_uprightSize.width()),
                             m_uprightSize.height() * m_aspect});
    width = std::max(width, 8.0);
    frame.width = roundToInt(width);
    frame.height = std::max(1, roundToInt(width / m_aspect));
    frame.left = roundToInt(centreX - frame.width / 2.0);
    frame.top = roundToInt(centreY - frame.height / 2.0);
    choose(frame);
    event->accept();
}

void CFrameEditor::keyPressEvent(QKeyEvent* event) {
    if (!m_editable) return QWidget::keyPressEvent(event);
    const int stepX = std::max(1, roundToInt(m_uprightSize.width() * kKeyStep));
    const int stepY = std::max(1, roundToInt(m_uprightSize.height() * kKeyStep));
    PixelRect frame = m_frame;
    switch (event->key()) {
        case Qt::Key_Left:
            frame.left -= stepX;
            break;
        case Qt::Key_Right:
            frame.left += stepX;
            break;
        case Qt::Key_Up:
            frame.top -= stepY;
            break;
        case Qt::Key_Down:
            frame.top += stepY;
            break;
        case Qt::Key_Plus:
        case Qt::Key_Minus: {
            QWheelEvent wheel(QPointF(), QPointF(), QPoint(),
                              QPoint(0, event->key() == Qt::Key_Plus ? -120 : 120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            wheelEvent(&wheel);
            return;
        }
        default:
            return QWidget::keyPressEvent(event);
    }
    choose(frame);
}
