#include "app/preview_pane.h"

#include "app/engine_messages.h"
#include "app/file_names.h"
#include "app/plain_text.h"
#include "app/ui_text.h"

#include <QAccessibleWidget>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <system_error>

// One picture of the preview, each Palm pixel a sharp square of `zoom` device
// pixels: scaled without smoothing and started on a whole device pixel, so
// that no column or row of the picture comes out wider than the others.
class CPictureView : public QWidget {
public:
    CPictureView(QSize palmSize, QWidget* parent) : QWidget(parent), m_palmSize(palmSize) { setZoom(1); }

    QSize palmSize() const { return m_palmSize; }
    int zoom() const { return m_zoom; }
    void setZoom(int zoom) {
        m_zoom = zoom;
        setFixedSize(zoomedPreviewSize(m_palmSize, zoom, devicePixelRatioF()));
        update();
    }

    void setImage(QImage image) {
        m_image = std::move(image);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Mid));
        if (m_image.isNull()) return;
        const qreal ratio = devicePixelRatioF();
        // Where the widget begins on the device; a fractional start (an odd
        // position at a ratio of 1.5) would smear every picture column.
        const QPointF start = painter.deviceTransform().map(QPointF(0, 0));
        const QPointF snap((std::ceil(start.x() - 0.001) - start.x()) / ratio,
                           (std::ceil(start.y() - 0.001) - start.y()) / ratio);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(QRectF(snap, QSizeF(m_image.size()) * m_zoom / ratio), m_image);
    }

private:
    QSize m_palmSize;
    int m_zoom = 1;
    QImage m_image;
};

namespace {

// A 32-bit picture (blue, green, red, alpha per pixel) as a QImage with its
// own copy of the pixels; the alpha is kept in Format_ARGB32 only.
QImage toImage(const CMemoryBitmap& picture, QImage::Format format = QImage::Format_RGB32) {
    QImage image(picture.GetWidth(), picture.GetHeight(), format);
    const bool alpha = format == QImage::Format_ARGB32;
    const std::uint8_t* const* rows = picture.GetRows();
    for (int y = 0; y < image.height(); ++y) {
        const std::uint8_t* source = rows[y];
        auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x, source += 4)
            target[x] = qRgba(source[2], source[1], source[0], alpha ? source[3] : 255);
    }
    return image;
}

// Screen readers present the pane as one picture with its description.
QAccessibleInterface* accessiblePreview(const QString& className, QObject* object) {
    if (className != QLatin1String("CPreviewPane") || !object->isWidgetType()) return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
}

}  // namespace

// The decoded input picture, kept from one preview to the next while the file
// stays the same (same path, size and modification time).
struct CPreviewPane::DecodedInput {
    std::mutex mutex;
    std::string path;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified{};
    bool colorManaged = true;
    DecodedSource picture;
    // The picture's upright copy, once made, and how it was turned.
    UprightCopy copy;
    bool copyAutoOrient = true;
};

CPreviewPane::CPreviewPane(QWidget* parent) : QWidget(parent), m_decoded(std::make_shared<DecodedInput>()) {
    setObjectName(QStringLiteral("previewPane"));
    m_delay.setSingleShot(true);
    m_delay.setInterval(kDefaultDelay);
    connect(&m_delay, &QTimer::timeout, this, &CPreviewPane::start);
    // One conversion at a time; the converter spreads its own work over the cores.
    m_workers.setMaxThreadCount(1);

    // The pictures scroll when even their smallest zoom finds no room; the
    // line under them stays in sight.
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("previewScrollArea"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Not a stop of the Tab key: the pictures take no input.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    // The group's own background shows through.
    m_scroll->viewport()->setAutoFillBackground(false);
    m_scroll->installEventFilter(this);
    auto* pictures = new QWidget;
    pictures->setObjectName(QStringLiteral("previewPictures"));
    m_lowDensity = new CPictureView(kLowDensitySize, pictures);
    m_lowDensity->setObjectName(QStringLiteral("lowDensityPreview"));
    m_highDensity = new CPictureView(2 * kLowDensitySize, pictures);
    m_highDensity->setObjectName(QStringLiteral("highDensityPreview"));
    m_highDensity->hide();
    auto* picturesLayout = new QVBoxLayout(pictures);
    picturesLayout->setContentsMargins(0, 0, 0, 0);
    picturesLayout->setSpacing(kPictureSpacing);
    picturesLayout->addWidget(m_lowDensity);
    picturesLayout->addWidget(m_highDensity);
    picturesLayout->addStretch(1);
    m_scroll->setWidget(pictures);
    m_scroll->setWidgetResizable(true);
    pictures->setAutoFillBackground(false);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("previewStatusLabel"));
    m_status->setWordWrap(true);
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    showPlainText(m_status);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scroll, 1);
    layout->addWidget(m_status);
    m_scroll->setMinimumHeight(kLowDensitySize.height());
    fitZoom();
    m_status->setText(tr("No picture chosen."));
    // Before the name: naming the pane already makes its accessible interface.
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessiblePreview);
        return true;
    }();
    (void)factoryInstalled;
    setAccessibleName(accessibleText());
}

CPreviewPane::~CPreviewPane() {
    m_latestGeneration = ~quint64{0};
    m_workers.clear();
    m_workers.waitForDone();
}

void CPreviewPane::showConversion(const QString& inputPath, const ConversionSettings& settings,
                                  const std::string& imageName) {
    Request request;
    if (!inputPath.isEmpty()) {
        request.kind = Request::Kind::Conversion;
        request.path = pathBytes(inputPath).toStdString();
        request.settings = settings;
        request.imageName = imageName;
    }
    schedule(std::move(request));
}

void CPreviewPane::showDatabase(const QString& path) {
    Request request;
    request.kind = Request::Kind::Database;
    request.path = pathBytes(path).toStdString();
    schedule(std::move(request));
}

void CPreviewPane::schedule(Request request) {
    m_pending = std::move(request);
    m_latestGeneration = ++m_generation;
    m_delay.start();
}

void CPreviewPane::start() {
    const quint64 generation = m_generation;
    if (m_pending.kind == Request::Kind::None) {
        m_shownDatabase.clear();
        m_shownRequest = {};
        present(generation, Result{});
        return;
    }
    // A request still waiting for the worker is out of date now.
    m_workers.clear();
    const QString database = m_pending.kind == Request::Kind::Database
                                 ? pathFromBytes(QByteArray::fromStdString(m_pending.path))
                                 : QString();
    m_workers.start([this, generation, database, request = m_pending] {
        Result result = produce(request, generation);
        QMetaObject::invokeMethod(
            this,
            [this, generation, database, request, result = std::move(result)]() mutable {
                if (generation != m_generation) return;
                m_shownDatabase = database;
                m_shownRequest = request;
                present(generation, std::move(result));
            },
            Qt::QueuedConnection);
    });
}

UprightCopy CPreviewPane::sourceCopy(const Request& request, const DecodedSource& picture) {
    {
        const std::lock_guard lock(m_decoded->mutex);
        if (m_decoded->picture.pixels == picture.pixels && m_decoded->copy.pixels != nullptr &&
            m_decoded->copyAutoOrient == request.settings.autoOrient)
            return m_decoded->copy;
    }
    UprightCopy copy =
        previewUprightCopy(picture, request.path, request.settings.autoOrient, kSourceCopySide);
    const std::lock_guard lock(m_decoded->mutex);
    if (m_decoded->picture.pixels == picture.pixels) {
        m_decoded->copy = copy;
        m_decoded->copyAutoOrient = request.settings.autoOrient;
    }
    return copy;
}

CPreviewPane::Result CPreviewPane::produce(const Request& request, quint64 generation) {
    Result result;
    ConversionPreview& preview = result.preview;
    if (request.kind == Request::Kind::Database) return {previewDatabaseFile(request.path), {}};

    std::error_code failure;
    const std::uintmax_t size = std::filesystem::file_size(request.path, failure);
    const auto modified =
        failure ? std::filesystem::file_time_type{} : std::filesystem::last_write_time(request.path, failure);
    DecodedSource picture;
    {
        const std::lock_guard lock(m_decoded->mutex);
        if (!failure && m_decoded->picture.pixels != nullptr && m_decoded->path == request.path &&
            m_decoded->size == size && m_decoded->modified == modified &&
            m_decoded->colorManaged == request.settings.colorManage)
            picture = m_decoded->picture;
    }
    if (picture.pixels == nullptr) {
        if (generation != m_latestGeneration) return result;
        // The picture of another file goes before the next one is decoded.
        {
            const std::lock_guard lock(m_decoded->mutex);
            m_decoded->picture = {};
            m_decoded->copy = {};
        }
        ++m_decodeCount;
        picture = decodePreviewSource(request.path, preview.error, request.settings.colorManage);
        if (picture.pixels == nullptr) return result;
        if (!failure) {
            const std::lock_guard lock(m_decoded->mutex);
            m_decoded->path = request.path;
            m_decoded->size = size;
            m_decoded->modified = modified;
            m_decoded->colorManaged = request.settings.colorManage;
            m_decoded->picture = picture;
        }
    }
    if (generation != m_latestGeneration) return result;
    result.source = sourceCopy(request, picture);
    result.preview = previewConversion(std::move(picture), request.path, request.settings, request.imageName);
    return result;
}

void CPreviewPane::present(quint64 generation, Result result) {
    if (generation != m_generation) return;
    m_preview = std::move(result.preview);
    m_shownGeneration = generation;
    if (m_shownRequest.kind == Request::Kind::Conversion) {
        const UprightCopy& source = result.source;
        emit sourceShown(
            pathFromBytes(QByteArray::fromStdString(m_shownRequest.path)), m_shownRequest.settings.autoOrient,
            source.pixels == nullptr
                ? QImage()
                : toImage(*source.pixels,
                          source.pixels->HasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32),
            QSize(source.uprightWidth, source.uprightHeight));
    }

    const auto pictureAt = [this](std::size_t index) {
        return index < m_preview.pictures.size() ? toImage(*m_preview.pictures[index].pixels) : QImage();
    };
    m_lowDensity->setImage(pictureAt(0));
    m_highDensity->setImage(pictureAt(1));
    m_highDensity->setVisible(m_preview.pictures.size() > 1);
    fitZoom();
    m_status->setText(statusText());
    setAccessibleName(accessibleText());
    emit previewShown();
}

QSize CPreviewPane::sizeHint() const {
    // Both pictures at twice their size, where the screen has the room.
    const int scrollBar = m_scroll->verticalScrollBar()->sizeHint().width();
    const QSize pictures(2 * 2 * kLowDensitySize.width() + scrollBar,
                         2 * 3 * kLowDensitySize.height() + kPictureSpacing);
    return {pictures.width(), pictures.height() + layout()->spacing() + m_status->sizeHint().height()};
}

int CPreviewPane::zoom() const {
    return m_lowDensity->zoom();
}

bool CPreviewPane::event(QEvent* event) {
    // Another screen may have another pixel ratio.
    if (event->type() == QEvent::ScreenChangeInternal) fitZoom();
    return QWidget::event(event);
}

bool CPreviewPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll && event->type() == QEvent::Resize) fitZoom();
    return QWidget::eventFilter(watched, event);
}

void CPreviewPane::fitZoom() {
    const qreal ratio = devicePixelRatioF();
    // Room for the larger picture at the smallest zoom of this screen, whose
    // width no scroll bar should cut; short of height the pictures scroll.
    const int smallest = previewZoom(QSize(), {m_highDensity->palmSize()}, 0, ratio);
    m_scroll->setMinimumWidth(zoomedPreviewSize(m_highDensity->palmSize(), smallest, ratio).width() +
                              m_scroll->verticalScrollBar()->sizeHint().width());
    QList<QSize> shown{m_lowDensity->palmSize()};
    if (!m_highDensity->isHidden()) shown.append(m_highDensity->palmSize());
    const int zoom = previewZoom(m_scroll->maximumViewportSize(), shown, kPictureSpacing, ratio);
    if (zoom == m_lowDensity->zoom() &&
        m_lowDensity->size() == zoomedPreviewSize(m_lowDensity->palmSize(), zoom, ratio))
        return;
    m_lowDensity->setZoom(zoom);
    m_highDensity->setZoom(zoom);
}

int previewZoom(QSize room, const QList<QSize>& pictures, int spacing, qreal devicePixelRatio) {
    // At least one logical pixel per Palm pixel: smaller, a picture is hard
    // to judge, and the pane scrolls instead.
    const int smallest = std::max(1, static_cast<int>(std::ceil(devicePixelRatio - 0.01)));
    const int largest =
        std::max(smallest, static_cast<int>(std::floor(kMaxPreviewZoom * devicePixelRatio + 0.01)));
    const auto fits = [&](int zoom) {
        int width = 0;
        int height = spacing * (static_cast<int>(pictures.size()) - 1);
        for (const QSize& picture : pictures) {
            const QSize shown = zoomedPreviewSize(picture, zoom, devicePixelRatio);
            width = std::max(width, shown.width());
            height += shown.height();
        }
        return width <= room.width() && height <= room.height();
    };
    int zoom = largest;
    while (zoom > smallest && !fits(zoom)) --zoom;
    return zoom;
}

QSize zoomedPreviewSize(QSize palmSize, int zoom, qreal devicePixelRatio) {
    // Rounded up, so that the last device pixel of the picture is not cut.
    const auto logical = [&](int palmPixels) {
        return static_cast<int>(std::ceil(palmPixels * zoom / devicePixelRatio - 0.001));
    };
    return {logical(palmSize.width()), logical(palmSize.height())};
}

QString CPreviewPane::accessibleText() const {
    QStringList sizes;
    for (const ConversionPreview::Picture& picture : m_preview.pictures)
        sizes.append(
            QStringLiteral("%1x%2").arg(picture.pixels->GetWidth()).arg(picture.pixels->GetHeight()));
    if (sizes.isEmpty()) return tr("Preview: %1").arg(statusText());
    return tr("Preview: %1, %2").arg(sizes.join(tr(" and ")), statusText());
}

QString CPreviewPane::statusText() const {
    if (!m_preview.error.empty()) return engineMessageText(m_preview.error);
    if (m_preview.pictures.empty()) return tr("No picture chosen.");
    const QString size = tr("%1 bytes").arg(uiNumber(static_cast<qlonglong>(m_preview.databaseSize)));
    if (m_shownDatabase.isEmpty()) return size;
    return tr("%1: %2").arg(QFileInfo(m_shownDatabase).fileName(), size);
}
