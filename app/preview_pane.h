#pragma once

#include "engine/conversion_preview.h"
#include "engine/conversion_settings.h"

#include <QThreadPool>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <memory>
#include <string>

class QLabel;
class CPictureView;

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

signals:
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
    ConversionPreview produce(const Request& request, quint64 generation);
    void present(quint64 generation, ConversionPreview preview);

    QTimer m_delay;
    Request m_pending;
    quint64 m_generation = 0;
    quint64 m_shownGeneration = 0;
    std::atomic<quint64> m_latestGeneration{0};
    std::atomic<int> m_decodeCount{0};
    std::shared_ptr<DecodedInput> m_decoded;
    ConversionPreview m_preview;
    // The database the newest request shows, empty for a conversion.
    QString m_shownDatabase;

    CPictureView* m_lowDensity = nullptr;
    CPictureView* m_highDensity = nullptr;
    QLabel* m_status = nullptr;
    // Last, so that it is the first to go: its destructor waits for the work
    // still running, which refers to the members above.
    QThreadPool m_workers;
};
