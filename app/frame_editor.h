#pragma once

#include "engine/conversion_settings.h"

#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>

// Above the preview: the source picture, upright, with the frame a crop will
// keep. The user drags the frame, changes its size with the wheel (or + and
// -), its shape fixed at the image area's, or moves it with the arrow keys;
// the frame then stays with that picture until another one is chosen. Only
// a crop of a single picture is framed by hand; otherwise the frame shows
// the part kept. The picture is the preview's (CPreviewPane::sourceShown),
// decoded off the user-interface thread; the editor is hidden until it comes
// and when it cannot be read.
class CFrameEditor : public QWidget {
    Q_OBJECT
public:
    explicit CFrameEditor(QWidget* parent = nullptr);

    // The picture and the settings of the preview; an empty path hides the
    // editor. A new path (or turning it upright or not) forgets the frame
    // drawn by hand and waits for its copy.
    void showPicture(const QString& path, const ConversionSettings& settings);
    // A small copy of the upright picture at `path`, and the upright
    // picture's size; ignored unless it is the picture shown.
    void setSourcePicture(const QString& path, bool autoOrient, const QImage& uprightCopy, QSize uprightSize);
    // The frame drawn by hand, in pixels of the upright picture; empty while
    // there is none.
    const PixelRect& chosenFrame() const { return m_chosen; }
    // The frame on display, in pixels of the upright picture.
    const PixelRect& frame() const { return m_frame; }
    // Where the frame is, as a screen reader says it.
    QString frameText() const;

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

signals:
    // The user moved or resized the frame.
    void frameChosen();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Shows the picture held with the settings last given, or hides.
    void refresh();
    // The frame the settings keep without one drawn by hand.
    PixelRect settledFrame(const ConversionSettings& settings) const;
    // Where the upright picture is drawn, and its pixels per widget pixel.
    QRectF pictureArea() const;
    double scale() const;
    // Takes `frame` as drawn by hand, held within the picture.
    void choose(PixelRect frame);
    void announce();

    QString m_path;
    bool m_autoOrient = true;
    ConversionSettings m_settings;
    // A small copy of the upright picture, and the upright picture's size.
    QImage m_picture;
    QSize m_uprightSize;
    bool m_editable = false;
    // The frame's shape while editable: width / height.
    double m_aspect = 160.0 / 110.0;
    PixelRect m_frame;
    PixelRect m_chosen;
    bool m_dragging = false;
    QPoint m_dragStart;
    PixelRect m_dragFrame;
};
