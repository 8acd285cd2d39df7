#pragma once

#include "imagelib/metafile/metafile_dc.h"
#include "imagelib/metafile/metafile_records.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The handlers of the enhanced metafile records that need more than one
// device context call, shared by the player's record table
// (metafile_emf.cpp) and its bitmap records (metafile_emf_bitmaps.cpp).
namespace metafile {

// Most records start with the record header and, for drawing records, a
// bounds rectangle that playback does not need.
inline constexpr std::size_t kEmfBody = kEmfRecordHeaderSize;
inline constexpr std::size_t kEmfAfterBounds = kEmfBody + 16;

LogicalRect ReadEnhancedRect(const CRecordView& view, std::size_t at);
Point ReadEnhancedPoint(const CRecordView& view, std::size_t at);
Affine ReadEnhancedTransform(const CRecordView& view, std::size_t at);

class CEnhancedPlayer {
public:
    explicit CEnhancedPlayer(CDeviceContext& dc) : m_dc(dc) {}

    CDeviceContext& Dc() { return m_dc; }

    // Shapes and objects (metafile_emf.cpp).
    using PointsCall = void (CDeviceContext::*)(const std::vector<Point>&);
    using FiguresCall = void (CDeviceContext::*)(const std::vector<std::vector<Point>>&);
    void Poly(const CRecordView& r, bool small, PointsCall draw);
    void PolyPoly(const CRecordView& r, bool small, FiguresCall draw);
    void PolyDraw(const CRecordView& r, bool small);
    // Arc, ArcTo, Chord and Pie: a bounding box and two radial points.
    using ArcCall = void (CDeviceContext::*)(const LogicalRect&, Point, Point);
    void ArcRecord(const CRecordView& r, ArcCall draw);
    void CreatePen(const CRecordView& r);
    void ExtCreatePen(const CRecordView& r);
    void CreateBrush(const CRecordView& r);
    void CreateFont(const CRecordView& r);
    void CreatePalette(const CRecordView& r);
    void SetPaletteEntries(const CRecordView& r);
    void FillRegion(const CRecordView& r);
    void FrameRegion(const CRecordView& r);
    void ExtTextOut(const CRecordView& r, bool wide);
    void PolyTextOut(const CRecordView& r, bool wide);

    // Bitmaps and gradients (metafile_emf_bitmaps.cpp).
    void CreatePatternBrush(const CRecordView& r, bool monochrome);
    void Blt(std::uint32_t type, const CRecordView& r);
    void PlgBlt(const CRecordView& r);
    void StretchDIBits(const CRecordView& r);
    void SetDIBitsToDevice(const CRecordView& r);
    void GradientFill(const CRecordView& r);

private:
    // The glyphs and advances of one string, kept while the strings of one
    // record point at the same text.
    struct DecodedText {
        std::uint32_t count = 0, stringAt = 0, options = 0, dxAt = 0;
        bool valid = false;
        std::vector<std::string> glyphs;
        std::vector<double> dx;
    };
    void Text(const CRecordView& r, std::size_t emrText, bool wide, DecodedText& decoded);
    void DecodeText(const CRecordView& r, bool wide, DecodedText& decoded);
    // The bitmap of a record given by its info and bits blocks.
    std::optional<DibHeader> RecordBitmap(const CRecordView& r, std::size_t infoField, std::uint32_t usage,
                                          CRecordView& bits) const;
    // Reads the mask block at `maskField` (x, y, colour usage, bitmap info
    // and bits) into `mask`; a monochrome one becomes the source's mask, and
    // the answer is true.
    bool ReadMask(const CRecordView& r, std::size_t maskField, std::optional<DibHeader>& mask,
                  CDeviceContext::BlitSource& source) const;

    CDeviceContext& m_dc;
};

}  // namespace metafile
