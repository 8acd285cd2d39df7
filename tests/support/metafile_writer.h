#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Builders for small Windows metafiles (WMF) and enhanced metafiles (EMF),
// record by record, for the metafile tests and fuzz seeds. Colours are
// COLORREFs (0x00BBGGRR), as the records store them.
namespace testsupport {

constexpr std::uint32_t Colorref(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<std::uint32_t>(red) | (static_cast<std::uint32_t>(green) << 8) |
           (static_cast<std::uint32_t>(blue) << 16);
}

struct PaletteColor {
    std::uint8_t red, green, blue;
};

// A packed bottom-up 24-bit DIB (BITMAPINFOHEADER and bits) of a picture
// given top row first as 0x00RRGGBB pixels.
std::vector<std::uint8_t> MakeDib24(int width, int height, const std::vector<std::uint32_t>& pixels);
// The same as separate header and bits blocks.
std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>> MakeDib24Parts(
    int width, int height, const std::vector<std::uint32_t>& pixels);

class WmfWriter {
public:
    // Any record: function and parameter words.
    WmfWriter& Record(std::uint16_t function, const std::vector<std::uint16_t>& words);
    // Any record with raw parameter bytes (padded to a whole word).
    WmfWriter& RecordBytes(std::uint16_t function, const std::vector<std::uint8_t>& bytes);
    // A record whose size field says `words` whatever follows.
    WmfWriter& RawRecord(std::uint32_t words, std::uint16_t function,
                         const std::vector<std::uint16_t>& params);

    WmfWriter& SetMapMode(int mode);
    WmfWriter& SetWindowOrg(int x, int y);
    WmfWriter& SetWindowExt(int x, int y);
    WmfWriter& SetBkMode(int mode);
    WmfWriter& SetTextColor(std::uint32_t color);
    WmfWriter& SetTextAlign(int align);
    WmfWriter& CreatePen(int style, int width, std::uint32_t color);
    WmfWriter& CreateBrush(int style, std::uint32_t color, int hatch = 0);
    WmfWriter& CreateFont(int height, int weight, const std::string& face);
    WmfWriter& CreatePalette(const std::vector<PaletteColor>& colors);
    WmfWriter& SelectObject(int index);
    WmfWriter& SelectPalette(int index);
    WmfWriter& RealizePalette();
    WmfWriter& DeleteObject(int index);
    WmfWriter& SaveDC();
    WmfWriter& RestoreDC(int which);
    WmfWriter& MoveTo(int x, int y);
    WmfWriter& LineTo(int x, int y);
    WmfWriter& Rectangle(int left, int top, int right, int bottom);
    WmfWriter& Ellipse(int left, int top, int right, int bottom);
    WmfWriter& Polygon(const std::vector<std::pair<int, int>>& points);
    WmfWriter& TextOut(int x, int y, const std::string& text);
    WmfWriter& IntersectClipRect(int left, int top, int right, int bottom);
    WmfWriter& ExcludeClipRect(int left, int top, int right, int bottom);
    // StretchDIBits of a packed DIB, whole source onto the destination.
    WmfWriter& StretchDib(int x, int y, int width, int height, int sourceWidth, int sourceHeight,
                          const std::vector<std::uint8_t>& dib);

    // The metafile: header, records and the end record; with `placeable`
    // the 22-byte placeable header with the given box and units per inch.
    std::vector<std::uint8_t> Bytes() const;
    std::vector<std::uint8_t> PlaceableBytes(int left, int top, int right, int bottom,
                                             int unitsPerInch) const;
    // Without the end record.
    std::vector<std::uint8_t> BytesWithoutEnd() const;

private:
    std::vector<std::uint8_t> m_records;
    int m_objects = 0;
};

class EmfWriter {
public:
    // Frame in 0.01 mm; reference device size in pixels and millimetres.
    EmfWriter(int frameLeft, int frameTop, int frameRight, int frameBottom, int devicePixelsX = 1000,
              int devicePixelsY = 1000, int deviceMillimetresX = 254, int deviceMillimetresY = 254);

    // Any record: type and body (without the 8-byte record header).
    EmfWriter& Record(std::uint32_t type, const std::vector<std::uint8_t>& body);
    // A record whose size field says `size` whatever follows.
    EmfWriter& RawRecord(std::uint32_t type, std::uint32_t size, const std::vector<std::uint8_t>& body);

    EmfWriter& SetMapMode(int mode);
    EmfWriter& SetWindowExt(int x, int y);
    EmfWriter& SetViewportExt(int x, int y);
    EmfWriter& SetWorldTransform(float m11, float m12, float m21, float m22, float dx, float dy);
    EmfWriter& SetBkMode(int mode);
    EmfWriter& SetTextColor(std::uint32_t color);
    EmfWriter& CreatePen(int index, int style, int width, std::uint32_t color);
    EmfWriter& CreateBrush(int index, int style, std::uint32_t color, int hatch = 0);
    EmfWriter& CreateFont(int index, int height, int weight, const std::string& face);
    EmfWriter& SelectObject(std::uint32_t index);
    EmfWriter& DeleteObject(int index);
    EmfWriter& Rectangle(int left, int top, int right, int bottom);
    EmfWriter& Ellipse(int left, int top, int right, int bottom);
    EmfWriter& Polygon16(const std::vector<std::pair<int, int>>& points);
    EmfWriter& Polyline(const std::vector<std::pair<int, int>>& points);
    EmfWriter& ExtTextOutW(int x, int y, const std::string& text);
    EmfWriter& StretchDIBits(int x, int y, int width, int height, int sourceWidth, int sourceHeight,
                             const std::vector<std::uint8_t>& info, const std::vector<std::uint8_t>& bits);
    EmfWriter& BeginPath();
    EmfWriter& EndPath();
    EmfWriter& FillPath();
    EmfWriter& IntersectClipRect(int left, int top, int right, int bottom);

    // Header, records and the end record carrying `palette`.
    std::vector<std::uint8_t> Bytes(const std::vector<PaletteColor>& palette = {}) const;

private:
    int m_frame[4];
    int m_devicePixels[2];
    int m_deviceMillimetres[2];
    std::vector<std::uint8_t> m_records;
    std::uint32_t m_recordCount = 0;
};

}  // namespace testsupport
