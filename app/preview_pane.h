#pragma once

#include "engine/conversion_preview.h"
#include "engine/conversion_settings.h"

#include <QImage>
#include <QList>
#include <QSize>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <memory>
#include <string>

class QLabel;
class QScrollArea;
class CPictureView;

// The largest zoom of the preview, in logical pixels per Palm pixel.
constexpr int kMaxPreviewZoom = 4;

// How many device pixels show one Palm pixel when `pictures` (in Palm pixels)
// stand one above the other, `spacing` logical pixels apart, in `room`
// (logical pixels) on a screen of `devicePixelRatio`: the largest whole number
// that fits, from one logical pixel (rounded up to whole device pixels) to
// kMaxPreviewZoom. A whole number of device pixels keeps every Palm pixel a
// square of the same size, also at a ratio of 1.5.
int previewZoom(QSize room, const QList<QSize>& pictures, int spacing, qreal devicePixelRatio);
// The logical size of a picture shown at `zoom` device pixels per Palm pixel.
QSize zoomedPreviewSize(QSize palmSize, int zoom, qreal devicePixelRatio);

// Beside the form: what the handheld will show for the current input and
// settings. Each request replaces the one before; 250 ms after the last one
// the conversion runs off the user-interface thread, into memory, exactly as
// START would write it, and is read back as the viewer shows it. Only the
// newest request's result is ever shown. The decoded input picture is kept
// while the input file stays the same, so other settings convert at once.
class CPreviewPane : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDefaultDelay = 250;  // milliseconds after the last change
    static constexpr QSize kLowDensitySize{160, 110};
    static constexpr int kPictureSpacing = 6;
    // The longer side of the input picture's copy that sourceShown gives:
    // sharp enough to frame by eye, and twice the size smart crops are
    // measured at, so that a measure on it comes close to the conversion's.
    static constexpr int kSourceCopySide = 512;

    explicit CPreviewPane(QWidget* parent = nullptr);
    ~CPreviewPane() override;

    // What `inputPath` becomes with these settings; an empty path clears the pane.
    void showConversion(const QString& inputPath, const ConversionSettings& settings,
                        const std::string& imageName);
    // The picture of an existing database or bare bitmap.
    void showDatabase(const QString& path);

    void setDelay(int milliseconds) { m_delay.setInterval(milliseconds); }
    // True from a request until its result is shown.
    bool isBusy() const { return m_shownGeneration != m_generation; }
    // The preview on display and the text under it.
    const ConversionPreview& preview() const { return m_preview; }
    QString statusText() const;
    // What a screen reader says of the pane: "Preview: 160x110 and 320x220,
    // 80,808 bytes".
    QString accessibleText() const;
    // How often an input picture was decoded, for telling a kept one apart.
    int decodeCount() const { return m_decodeCount.load(); }
    // Device pixels per Palm pixel, as previewZoom chose them for the room
    // the pane has now.
    int zoom() const;
    QSize sizeHint() const override;
    // The pictures set the pane's height, whatever the wrapped line under
    // them would ask for.
    bool hasHeightForWidth() const override { return false; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The input picture of the newest conversion request, upright as its
    // settings say, at most kSourceCopySide pixels on its longer side (a
    // null image when it could not be read), and the upright picture's
    // size; just before previewShown.
    void sourceShown(const QString& inputPath, bool autoOrient, const QImage& uprightCopy, QSize uprightSize);
    // The newest request's result is on display.
    void previewShown();

private:
    struct Request {
        enum class Kind { None, Conversion, Database } kind = Kind::None;
        std::string path;
        ConversionSettings settings;
        std::string imageName;
    };
    struct DecodedInput;

    void schedule(Request request);
    void start();
    // What a request shows: its preview and, for a conversion, the input's copy.
    struct Result {
        ConversionPreview preview;
        UprightCopy source;
    };
    Result produce(const Request& request, quint64 generation);
    // The input picture's copy, made once per decoded picture and orientation.
    UprightCopy sourceCopy(const Request& request, const DecodedSource& picture);
    void present(quint64 generation, Result result);
    // Gives the pictures the largest zoom their room allows.
    void fitZoom();

    QTimer m_delay;
    Request m_pending;
    quint64 m_generation = 0;
    quint64 m_shownGeneration = 0;
    std::atomic<quint64> m_latestGeneration{0};
    std::atomic<int> m_decodeCount{0};
    std::shared_ptr<DecodedInput> m_decoded;
    ConversionPreview m_preview;
    // The request on display.
    Request m_shownRequest;
    // The database the newest request shows, empty for a conversion.
    QString m_shownDatabase;

    QScrollArea* m_scroll = nullptr;
    CPictureView* m_lowDensity = nullptr;
    CPictureView* m_highDensity = nullptr;
    QLabel* m_status = nullptr;
    // Last, so that it is the first to go: its destructor waits for the work
    // still running, which refers to the members above.
    QThreadPool m_workers;
};
