// The metafile platform of systems without the Windows graphics interface:
// the library's own record players drawing with cairo into an off-screen
// image surface.

#include "imagelib/metafile/metafile_canvas.h"
#include "imagelib/metafile/metafile_dc.h"
#include "imagelib/metafile/metafile_emf.h"
#include "imagelib/metafile/metafile_platform.h"
#include "imagelib/metafile/metafile_records.h"
#include "imagelib/metafile/metafile_wmf.h"

#include <cairo.h>

#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <new>

namespace {

using namespace metafile;

// The screen stands in as reference device for Windows metafiles: 96 pixels
// per inch, with a size whose pixels and millimetres convert exactly.
constexpr int kScreenPixelsPerInch = 96;
constexpr MetafileSize kScreenPixels{1920, 1440};
constexpr MetafileSize kScreenMillimetres{508, 381};
constexpr double kHundredthsPerInch = 2540;

// Frame edge in 0.01 mm of a length in screen pixels, rounded up so that the
// conversion back to pixels gives the length again.
std::int32_t ScreenPixelsToFrame(std::int64_t pixels) {
    return static_cast<std::int32_t>(
        (pixels * static_cast<std::int64_t>(kHundredthsPerInch) + kScreenPixelsPerInch - 1) /
        kScreenPixelsPerInch);
}

// The part of the device plane a picture covers, which playback fits onto
// the destination rectangle.
struct DeviceFrame {
    bool known = false;
    double left = 0, top = 0, right = 0, bottom = 0;
};

class CCairoMetafile : public CEnhancedMetafile {
public:
    CCairoMetafile(std::vector<std::uint8_t> bytes, bool windows, EnhancedMetafileHeader header,
                   std::size_t headerSize, std::size_t playSize, std::vector<MetafilePaletteEntry> palette)
        : m_bytes(std::move(bytes)),
          m_windows(windows),
          m_header(header),
          m_headerSize(headerSize),
          m_playSize(playSize),
          m_palette(std::move(palette)) {}

    std::size_t GetHeaderSize() const override { return m_headerSize; }
    EnhancedMetafileHeader GetHeader() const override { return m_header; }
    std::vector<MetafilePaletteEntry> GetPaletteEntries() const override { return m_palette; }

    bool IsWindowsMetafile() const { return m_windows; }
    CRecordView Bytes() const { return CRecordView(m_bytes.data(), m_bytes.size()); }
    std::size_t HeaderBytes() const { return m_headerSize; }
    std::size_t PlaySize() const { return m_playSize; }
    const DeviceFrame& Frame() const { return m_frame; }
    void SetFrame(const DeviceFrame& frame) { m_frame = frame; }

private:
    std::vector<std::uint8_t> m_bytes;
    bool m_windows;
    EnhancedMetafileHeader m_header;
    std::size_t m_headerSize;
    std::size_t m_playSize;
    std::vector<MetafilePaletteEntry> m_palette;
    DeviceFrame m_frame;
};

// Nearest palette entry of a colour, with a small cache: rendered pictures
// have few distinct colours, apart from the edges smoothing makes.
class CNearestColor {
public:
    explicit CNearestColor(const std::vector<Color>& table) : m_table(table) { m_keys.fill(~0u); }

    std::uint8_t Index(Color color) {
        const std::size_t slot = (color * 2654435761u) >> 20 & (kCacheSize - 1);
        if (m_keys[slot] == color) return m_values[slot];
        int best = 0;
        long bestDistance = -1;
        for (std::size_t i = 0; i < m_table.size(); ++i) {
            const long dr =
                static_cast<long>((color >> 16) & 0xFF) - static_cast<long>((m_table[i] >> 16) & 0xFF);
            const long dg =
                static_cast<long>((color >> 8) & 0xFF) - static_cast<long>((m_table[i] >> 8) & 0xFF);
            const long db = static_cast<long>(color & 0xFF) - static_cast<long>(m_table[i] & 0xFF);
            const long distance = dr * dr + dg * dg + db * db;
            if (bestDistance < 0 || distance < bestDistance) {
                bestDistance = distance;
                best = static_cast<int>(i);
            }
        }
        m_keys[slot] = color;
        m_values[slot] = static_cast<std::uint8_t>(best);
        return m_values[slot];
    }

private:
    static constexpr std::size_t kCacheSize = 4096;
    const std::vector<Color>& m_table;
    std::array<Color, kCacheSize> m_keys;
    std::array<std::uint8_t, kCacheSize> m_values{};
};

// The colour table the platform gives indexed bitmaps without a palette of
// their own: black and white, four greys, the sixteen standard colours, or a
// colour cube with a grey ramp.
std::vector<Color> DefaultColorTable(int bpp) {
    switch (bpp) {
        case 1:
            return {0x000000, 0xFFFFFF};
        case 2:
            return {0x000000, 0x808080, 0xC0C0C0, 0xFFFFFF};
        case 4:
            return {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
        default: {
            std::vector<Color> table;
            for (int r = 0; r < 6; ++r)
                for (int g = 0; g < 6; ++g)
                    for (int b = 0; b < 6; ++b)
                        table.push_back(static_cast<Color>((r * 51) << 16 | (g * 51) << 8 | (b * 51)));
            for (int i = 0; i < 40; ++i) {
                const auto level = static_cast<Color>((i + 1) * 255 / 41);
                table.push_back(level << 16 | level << 8 | level);
            }
            return table;
        }
    }
}

class CCairoMemoryContext : public CMetafileMemoryContext {
public:
    explicit CCairoMemoryContext(const DecodeLimits& limits) : m_limits(limits) {}
    ~CCairoMemoryContext() override {
        if (m_surface != nullptr) cairo_surface_destroy(m_surface);
    }

    bool CreateCompatibleBitmap(int width, int height) override {
        if (width <= 0 || height <= 0 || width > m_limits.maxMetafileCanvasSide ||
            height > m_limits.maxMetafileCanvasSide)
            return false;
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(surface);
            return false;
        }
        if (m_surface != nullptr) cairo_surface_destroy(m_surface);
        m_surface = surface;
        return true;
    }

    bool SelectPalette(const std::vector<MetafilePaletteEntry>& entries) override {
        try {
            m_palette.clear();
            for (const MetafilePaletteEntry& entry : entries)
                m_palette.push_back((Color{entry.red} << 16) | (Color{entry.green} << 8) | entry.blue);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    void FillWhite() override {
        if (m_surface == nullptr) return;
        cairo_t* cairo = cairo_create(m_surface);
        cairo_set_source_rgb(cairo, 1, 1, 1);
        cairo_paint(cairo);
        cairo_destroy(cairo);
        cairo_surface_flush(m_surface);
    }

    bool PlayEnhMetaFile(const CEnhancedMetafile& handle, const MetafileRect& target) override {
        const auto* metafile = dynamic_cast<const CCairoMetafile*>(&handle);
        if (m_surface == nullptr || metafile == nullptr) return false;
        try {
            const std::uint64_t pixels =
                static_cast<std::uint64_t>(cairo_image_surface_get_width(m_surface)) *
                static_cast<std::uint64_t>(cairo_image_surface_get_height(m_surface));
            CMetafileCanvas canvas(m_surface,
                                   WorkBudget::ForFile(metafile->Bytes().Size(), pixels, m_limits));
            m_work = {};
            // Whatever ends the play, the work done so far is known.
            struct Report {
                const CMetafileCanvas& canvas;
                PlayWork& work;
                ~Report() { work = {canvas.Budget().Spent(), canvas.Budget().Exhausted()}; }
            } report{canvas, m_work};
            if (!canvas.IsUsable()) return false;
            CDeviceContext dc(canvas, m_limits);
            bool complete = false;
            if (metafile->IsWindowsMetafile()) {
                dc.SetReferenceResolution(kScreenPixelsPerInch / 25.4, kScreenPixelsPerInch / 25.4);
                dc.UseWindowsMapping();
                if (metafile->Frame().known) SetBase(dc, metafile->Frame(), target);
                complete = PlayWindowsRecords(dc, metafile->Bytes(), metafile->PlaySize());
            } else {
                SetEnhancedMapping(dc, metafile->GetHeader(), target);
                complete =
                    PlayEnhancedRecords(dc, metafile->Bytes(), metafile->HeaderBytes(), metafile->PlaySize());
            }
            return complete && canvas.IsUsable();
        } catch (const std::exception&) {
            // Out of memory inside the player: what was drawn stays, as with
            // any record the platform fails to play.
            return false;
        }
    }

    PlayWork GetPlayWork() const override { return m_work; }

    bool GetDIBits(CImageBitmap& bitmap, bool rgbColors) override {
        if (m_surface == nullptr) return false;
        const int width = cairo_image_surface_get_width(m_surface);
        const int height = cairo_image_surface_get_height(m_surface);
        if (bitmap.GetWidth() != width || bitmap.GetHeight() != height) return false;
        cairo_surface_flush(m_surface);
        const unsigned char* data = cairo_image_surface_get_data(m_surface);
        const int stride = cairo_image_surface_get_stride(m_surface);
        if (data == nullptr) return false;
        const int depth = bitmap.GetDepth();
        try {
            std::vector<Color> table;
            if (depth <= 8) {
                const std::size_t size = std::size_t{1} << depth;
                if (rgbColors && !m_palette.empty()) {
                    table.assign(m_palette.begin(), m_palette.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                            size, m_palette.size())));
                } else {
                    table = DefaultColorTable(depth);
                }
                table.resize(std::min(table.size(), size));
                if (PaletteEntry* palette = bitmap.GetPalette()) {
                    for (std::size_t i = 0; i < size; ++i) {
                        const Color c = i < table.size() ? table[i] : 0;
                        palette[i] =
                            PaletteEntry{static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                                         static_cast<std::uint8_t>(c >> 16), 255};
                    }
                }
            }
            CNearestColor nearest(table);
            for (int y = 0; y < height; ++y) {
                const auto* in =
                    reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
                std::uint8_t* out = bitmap.GetRows()[y];
                if (depth <= 8) std::memset(out, 0, (static_cast<std::size_t>(width) * depth + 7) / 8);
                for (int x = 0; x < width; ++x) {
                    const Color c = in[x] & 0xFFFFFF;
                    const auto r = static_cast<std::uint8_t>(c >> 16);
                    const auto g = static_cast<std::uint8_t>(c >> 8);
                    const auto b = static_cast<std::uint8_t>(c);
                    switch (depth) {
                        case 32:
                            out[4 * x] = b;
                            out[4 * x + 1] = g;
                            out[4 * x + 2] = r;
                            // Rendered pixels are opaque.
                            out[4 * x + 3] = 255;
                            break;
                        case 24:
                            out[3 * x] = b;
                            out[3 * x + 1] = g;
                            out[3 * x + 2] = r;
                            break;
                        case 16: {
                            const unsigned value = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
                            out[2 * x] = static_cast<std::uint8_t>(value);
                            out[2 * x + 1] = static_cast<std::uint8_t>(value >> 8);
                            break;
                        }
                        default: {
                            const unsigned index = table.empty() ? 0 : nearest.Index(c);
                            const int perByte = 8 / depth;
                            const int shift = 8 - depth * (x % perByte + 1);
                            out[x / perByte] |= static_cast<std::uint8_t>(index << shift);
                            break;
                        }
                    }
                }
            }
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

private:
    // Maps the reference device so that the picture frame fills `target`.
    static void SetEnhancedMapping(CDeviceContext& dc, const EnhancedMetafileHeader& header,
                                   const MetafileRect& target) {
        const double pixelsPerMmX = static_cast<double>(header.devicePixels.cx) / header.deviceMillimetres.cx;
        const double pixelsPerMmY = static_cast<double>(header.devicePixels.cy) / header.deviceMillimetres.cy;
        dc.SetReferenceResolution(pixelsPerMmX, pixelsPerMmY);
        double left = header.frame.left * pixelsPerMmX / 100;
        double top = header.frame.top * pixelsPerMmY / 100;
        double right = header.frame.right * pixelsPerMmX / 100;
        double bottom = header.frame.bottom * pixelsPerMmY / 100;
        if (!(right - left > 0) || !(bottom - top > 0)) {
            // No frame: the bounds, in device pixels and inclusive, stand in.
            left = header.bounds.left;
            top = header.bounds.top;
            right = header.bounds.right + 1.0;
            bottom = header.bounds.bottom + 1.0;
        }
        if (!(right - left > 0) || !(bottom - top > 0)) {
            left = top = 0;
            right = target.right - target.left;
            bottom = target.bottom - target.top;
        }
        SetBase(dc, {true, left, top, right, bottom}, target);
    }

    // Maps the frame (device pixels) onto the target rectangle.
    static void SetBase(CDeviceContext& dc, const DeviceFrame& frame, const MetafileRect& target) {
        const double left = std::min(frame.left, frame.right), right = std::max(frame.left, frame.right);
        const double top = std::min(frame.top, frame.bottom), bottom = std::max(frame.top, frame.bottom);
        if (!(right - left > 0) || !(bottom - top > 0)) return;
        const Affine base = Affine::Translation(-left, -top)
                                .Then(Affine::Scaling((target.right - target.left) / (right - left),
                                                      (target.bottom - target.top) / (bottom - top)))
                                .Then(Affine::Translation(target.left, target.top));
        if (base.IsUsable()) dc.SetBaseTransform(base);
    }

    DecodeLimits m_limits;
    cairo_surface_t* m_surface = nullptr;
    std::vector<Color> m_palette;
    PlayWork m_work;
};

class CCairoScreen : public CMetafileScreen {
public:
    explicit CCairoScreen(const DecodeLimits& limits) : m_limits(limits) {}

    int GetPixelsPerInchX() const override { return kScreenPixelsPerInch; }
    int GetPixelsPerInchY() const override { return kScreenPixelsPerInch; }

    std::unique_ptr<CEnhancedMetafile> SetEnhMetaFileBits(const std::uint8_t* data,
                                                          std::size_t size) override {
        try {
            auto info = ValidateEnhancedMetafile(data, size, m_limits.maxMetafileRecords);
            if (!info) return nullptr;
            std::vector<std::uint8_t> bytes(data, data + info->playSize);
            return std::make_unique<CCairoMetafile>(std::move(bytes), false, info->header, info->headerSize,
                                                    info->playSize, std::move(info->palette));
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }

    std::unique_ptr<CEnhancedMetafile> SetWinMetaFileBits(const std::uint8_t* data,
                                                          std::size_t size) override {
        try {
            auto info = ValidateWindowsMetafile(data, size, m_limits.maxMetafileRecords);
            if (!info) return nullptr;
            // The picture covers its window. Its size is the window's in
            // pixels of this screen, or the viewport's when the metafile sets
            // one; without a window extent the size is unknown.
            EnhancedMetafileHeader header;
            DeviceFrame frame;
            if (info->hasWindowExtent) {
                std::int64_t width = std::abs(static_cast<std::int64_t>(info->windowExtentX));
                std::int64_t height = std::abs(static_cast<std::int64_t>(info->windowExtentY));
                // The window maps onto the viewport: onto its extent when one
                // is set, else onto the default unit extent.
                const double extentX = info->hasViewportExtent ? info->viewportExtentX : 1;
                const double extentY = info->hasViewportExtent ? info->viewportExtentY : 1;
                frame = {true, double(info->viewportOrgX), double(info->viewportOrgY),
                         info->viewportOrgX + extentX, info->viewportOrgY + extentY};
                if (info->hasViewportExtent) {
                    width = std::abs(static_cast<std::int64_t>(info->viewportExtentX));
                    height = std::abs(static_cast<std::int64_t>(info->viewportExtentY));
                }
                header.frame = {0, 0, ScreenPixelsToFrame(width), ScreenPixelsToFrame(height)};
                header.bounds = {0, 0, static_cast<std::int32_t>(width) - 1,
                                 static_cast<std::int32_t>(height) - 1};
            }
            header.devicePixels = kScreenPixels;
            header.deviceMillimetres = kScreenMillimetres;
            header.bytes = static_cast<std::uint32_t>(std::min<std::size_t>(info->playSize, UINT32_MAX));
            header.handles = info->objectCount;
            header.paletteEntries = static_cast<std::uint32_t>(info->palette.size());
            std::vector<std::uint8_t> bytes(data, data + info->playSize);
            auto metafile =
                std::make_unique<CCairoMetafile>(std::move(bytes), true, header, kEmfHeaderMinimumSize,
                                                 info->playSize, std::move(info->palette));
            metafile->SetFrame(frame);
            return metafile;
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }

    std::unique_ptr<CMetafileMemoryContext> CreateCompatibleContext() override {
        return std::make_unique<CCairoMemoryContext>(m_limits);
    }

private:
    DecodeLimits m_limits;
};

class CCairoPlatform : public CMetafilePlatform {
public:
    std::unique_ptr<CMetafileScreen> GetScreen(const DecodeLimits& limits) override {
        return std::make_unique<CCairoScreen>(limits);
    }
};

}  // namespace

std::unique_ptr<CMetafilePlatform> CreateMetafilePlatform() {
    return std::make_unique<CCairoPlatform>();
}
