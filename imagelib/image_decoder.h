#pragma once

#include "imagelib/decode_limits.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/image_source.h"
#include "imagelib/ruvo_object.h"

#include <cstdint>
#include <string>
#include <vector>

// Told by a decoder, while it decodes, which rows of its bitmap are complete,
// so that work on them can start before the whole picture is there.
//
// A decoder that writes every row once, top to bottom, may also offer to keep
// only a window of rows, so that a large picture never has to be held whole:
//   1. Before it creates its bitmap, it asks WindowRows with the picture's
//      size and the most rows it writes between two reports (its batch). An
//      answer n > 0 (always at least the batch) means: create the bitmap with
//      CImageBitmap::CreateWindow(..., n); 0 means: create it whole.
//   2. The decoder owns the window and writes into it; the listener only reads
//      it, on the decoding thread or on helper threads of its own.
//   3. After each batch it reports with RowsDecoded. With a window, that call
//      returns only when the listener no longer needs the rows the next batch
//      overwrites (rows below rowCount + batch - n); until then it waits for
//      its helpers, or does their work itself.
//   4. Rows never reported are the listener's to fill as the bitmap was
//      created (zero) once the decode returns; the window's rows are gone by
//      then, so the listener is the one place that has seen the picture.
// Decoders that cannot keep that order never ask, and a bitmap created whole
// keeps every row as before.
class CDecodedRowListener {
public:
    virtual ~CDecodedRowListener() = default;
    // The rows a decoder's bitmap of width x height 32-bit pixels should hold
    // at a time, or 0 for all of them. Called on the decoding thread, at most
    // once per decode, before the bitmap is created.
    virtual int WindowRows(int /*width*/, int /*height*/, int /*batchRows*/) noexcept { return 0; }
    // Rows [0, rowCount) of `bitmap` hold their final pixels: the decoder will
    // neither change them nor re-create the bitmap. Called on the decoding
    // thread, with rowCount growing from call to call.
    virtual void RowsDecoded(const CImageBitmap& bitmap, int rowCount) noexcept = 0;
};

// The base of every format decoder. DecodeFile and DecodeMemory open a data
// source and hand it to DecodeSource; DecodeSource calls the format's
// DecodeImage. Every failure arrives as CTextException.
//
// Wanted depth: 0 lets the decoder choose (8 for files of 8 bits or less, 32
// otherwise, see ChooseDepth), 8 or 32 ask for that depth.
class CImageDecoder : public CRuvoObject {
public:
    CImageDecoder() = default;
    ~CImageDecoder() override;
    CImageDecoder(const CImageDecoder&) = delete;
    CImageDecoder& operator=(const CImageDecoder&) = delete;

    virtual void DecodeFile(const std::string& path, CImageBitmap& bitmap, int wantedDepth,
                            CProgressSink* progressSink);
    virtual void DecodeMemory(const void* data, std::int64_t size, CImageBitmap& bitmap, int wantedDepth);
    virtual void DecodeSource(CImageSource& source, CImageBitmap& bitmap, int wantedDepth);

    // Decoders that produce finished rows top to bottom tell the listener as
    // they go; the others say nothing, and the rows are complete when the
    // decode returns. Not owned; nullptr for none.
    void SetRowListener(CDecodedRowListener* listener) { m_rowListener = listener; }
    CDecodedRowListener* GetRowListener() const { return m_rowListener; }

    // What this decoder accepts from a file, for each decode until changed;
    // the defaults unless set. A decoder that hands data on to another hands
    // these along.
    void SetLimits(const DecodeLimits& limits) { m_limits = limits; }
    const DecodeLimits& GetLimits() const { return m_limits; }

protected:
    // The per-format work: read from `source`, Create the bitmap and fill its
    // rows. `palette` starts empty; a decoder may keep a working palette there
    // and DecodeSource releases it. `bpp` holds the wanted depth and a decoder
    // replaces 0 by its choice.
    virtual void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                             CImageSource& source);

    // Creates the bitmap of a decode that writes its rows once each, top to
    // bottom, and reports them to the row listener at most `batchRows` at a
    // time: as a window of rows when the listener asks for one (32 bits only),
    // otherwise whole. Sizes are refused as by CreateBitmapWithin.
    void CreateRowBitmap(CImageBitmap& bitmap, int width, int height, int bpp, bool hasAlpha, int batchRows);
    // Tells the row listener, if any, that rows [0, rowCount) are final.
    void ReportRows(const CImageBitmap& bitmap, int rowCount) const {
        if (m_rowListener != nullptr) m_rowListener->RowsDecoded(bitmap, rowCount);
    }

    // The destination depth rule shared by the decoders.
    static int ChooseDepth(int wantedDepth, int fileDepth) {
        return wantedDepth != 0 ? wantedDepth : (fileDepth <= 8 ? 8 : 32);
    }

private:
    CDecodedRowListener* m_rowListener = nullptr;
    DecodeLimits m_limits;
};

// Refuses a bitmap whose sides or bytes are over `limits` as one over the
// library's own ceiling fails, as running out of memory.
void CheckBitmapWithin(const DecodeLimits& limits, int width, int height, int bpp);

// Creates `bitmap` unless CheckBitmapWithin refuses it.
void CreateBitmapWithin(const DecodeLimits& limits, CImageBitmap& bitmap, int width, int height, int bpp,
                        bool hasAlpha);

// Formats "Decoder error: %s\n" around the text, traces it at level 0 and
// throws CTextException with the code.
[[noreturn]] void RaiseError(int code, const std::string& text);
// The same with a printf-style text.
[[noreturn]] void RaiseErrorFormat(int code, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Library trace: written to the trace file only when a file is set and level
// is at most the trace level. Nothing sets them by default, so tracing is
// silent. Safe to call from several threads.
void TraceLine(int level, const std::string& text);
void TraceFormat(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
void SetTraceLevel(int level);
void SetTraceFile(const std::string& path);
void ClearTraceFile();
