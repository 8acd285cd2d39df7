#pragma once

#include "imagelib/color/color_conversion.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/image_source.h"
#include "imagelib/library_messages.h"
#include "imagelib/limits/decode_limits.h"
#include "imagelib/ruvo_object.h"

#include <cstdint>
#include <memory>
#include <span>
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
    // Whether the listener takes a width x height picture decoded at the
    // reduced size reducedWidth x reducedHeight instead. A decoder that can
    // shrink while it decodes asks for the sizes it offers, smallest first,
    // before it creates its bitmap, and decodes at the first one taken.
    // Called on the decoding thread.
    virtual bool TakesReducedSize(int /*width*/, int /*height*/, int /*reducedWidth*/,
                                  int /*reducedHeight*/) noexcept {
        return false;
    }
    // Rows [0, rowCount) of `bitmap` hold their final pixels: the decoder will
    // neither change them nor re-create the bitmap. Called on the decoding
    // thread, with rowCount growing from call to call.
    virtual void RowsDecoded(const CImageBitmap& bitmap, int rowCount) noexcept = 0;
    // Offered before a report of 32-bit rows [0, rowCount) when rows
    // [firstRow, rowCount) still hold the file's colours: a listener that
    // takes the work (true) converts each of those rows in place with
    // `conversion`, once, before it reads it, on whichever of its threads
    // takes the row, so that the decoding thread goes on decoding meanwhile.
    // False leaves them to the decoder, which converts them before it reports
    // them. Called on the decoding thread; `conversion` lives until
    // ReleaseRowConversion.
    virtual bool TakeRowConversion(const CImageBitmap& /*bitmap*/, const CColorConversion& /*conversion*/,
                                   int /*firstRow*/, int /*rowCount*/) noexcept {
        return false;
    }
    // Returns once every row taken is converted and the conversion is no
    // longer used. Called on the decoding thread when the decode ends, also
    // when it fails.
    virtual void ReleaseRowConversion() noexcept {}
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

    // Whether a picture whose file carries a colour profile is converted to
    // sRGB through it as it is decoded (on unless set); off reads the numbers
    // as sRGB. Handed along as the limits are.
    void SetColorManagement(bool enabled) { m_colorManagement = enabled; }
    bool GetColorManagement() const { return m_colorManagement; }
    // What the last decode made of the file's colour profile, for the progress
    // log (see CColorConversion::Note); empty for none.
    const std::string& GetColorNote() const { return m_colorNote; }
    // Leaves a 32-bit picture in the file's colours (off unless set; handed
    // along as the limits are), except rows the row listener takes the
    // conversion of (see TakeRowConversion) and rows of a window: whoever
    // scales the picture converts each pixel as it reads it, into light
    // where the scaling works in light, and a picture kept to be scaled many
    // times is scaled the same way each time. TakeDeferredConversion gives
    // the conversion the last decode left to its reader.
    void SetDeferColorConversion(bool defer) { m_deferConversion = defer; }
    bool GetDeferColorConversion() const { return m_deferConversion; }
    // Null when the picture is in sRGB already.
    std::shared_ptr<const CColorConversion> TakeDeferredConversion() { return std::move(m_deferred); }

    // Whether the messages of the libraries a decode runs on are kept for
    // the caller instead of written to the standard error stream (off unless
    // set; handed along as the limits are); see CLibraryMessages. The last
    // decode's, when kept.
    void SetKeepLibraryMessages(bool keep) { m_libraryMessages.SetKept(keep); }
    bool GetKeepLibraryMessages() const { return m_libraryMessages.IsKept(); }
    const CLibraryMessages& GetLibraryMessages() const { return m_libraryMessages; }
    // What is wrong with the last decode's picture although it decoded, for
    // people: its data ended before some of its rows ("the picture ends
    // early: rows 121 to 480 are missing"). Empty when nothing is.
    const std::string& GetPictureWarning() const { return m_pictureWarning; }

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
    // otherwise whole. Sizes are refused as by CreateBitmapWithin, except
    // that a window may hold a picture over the byte limits (see
    // DecodeLimits::maxStreamedPixelsPerFileByte and MayStream); the window
    // itself is held to the held limit.
    void CreateRowBitmap(CImageBitmap& bitmap, int width, int height, int bpp, bool hasAlpha, int batchRows);
    // Whether a width x height picture of bpp may be decoded over the byte
    // limit, if the row listener takes it through a window: within the
    // sides, at 32 bits, and with file data in proportion to its pixels. A
    // decoder that checks sizes before CreateRowBitmap lets such a picture
    // through to it.
    bool MayStream(int width, int height, int bpp) const;
    // Tells the row listener, if any, that rows [0, rowCount) are final,
    // after converting their colours; see RowReporter.
    void ReportRows(const CImageBitmap& bitmap, int rowCount) noexcept {
        if (CDecodedRowListener* reporter = RowReporter()) reporter->RowsDecoded(bitmap, rowCount);
    }
    // Where a decoder reports its finished rows: the one place where their
    // colours are converted to sRGB (in place) before the row listener sees
    // them. Null when there is neither a listener nor a conversion, so a
    // decoder may take the quicker way of reading the picture whole; ask for
    // it after handing over the file's profile. Rows never reported are
    // converted when DecodeImage returns.
    CDecodedRowListener* RowReporter();

    // Hands over the colour profile the file carries (an ICC profile, with
    // the colour model of the samples the decoder will write). True when the
    // pictures' pixels will be converted: the decoder must then write the
    // samples in `pixels`' model; false when it writes them as it always
    // has. A profile that cannot be used is noted and ignored.
    bool UseColorProfile(std::span<const std::uint8_t> profile, ProfilePixels pixels);
    // The same for a space given by primaries and tone curves.
    bool UseColorSpace(const CalibratedRgbSpace& space);
    // Notes that the file's profile is ignored, and why.
    void IgnoreColorProfile(const std::string& why);
    // Where a decoder reports what its libraries say besides failing.
    CLibraryMessages& LibraryMessages() { return m_libraryMessages; }
    // Notes that the data ended before rows [firstRow, lastRow] of the
    // picture as it stands (top row 0); the decoder filled them as it could.
    void ReportMissingRows(int firstRow, int lastRow);
    // Notes that the data ended after every row was there in a coarse form
    // (a progressive picture without its last passes).
    void ReportMissingDetail();
    // Takes the outcome of a decoder this one handed its data to.
    void SetColorNote(const std::string& note) { m_colorNote = note; }
    // The same for the libraries' messages and the picture's warning.
    void TakeNotesOf(const CImageDecoder& decoder) noexcept;
    // Forgets the last decode's messages and warning.
    void ClearNotes() noexcept {
        m_libraryMessages.Clear();
        m_pictureWarning.clear();
    }
    void SetDeferredConversion(std::shared_ptr<const CColorConversion> conversion) {
        m_deferred = std::move(conversion);
    }

    // The destination depth rule shared by the decoders.
    static int ChooseDepth(int wantedDepth, int fileDepth) {
        return wantedDepth != 0 ? wantedDepth : (fileDepth <= 8 ? 8 : 32);
    }

private:
    // Converts the rows' colours before passing them on to the listener.
    class ConvertingReporter : public CDecodedRowListener {
    public:
        explicit ConvertingReporter(CImageDecoder& decoder) : m_decoder(decoder) {}
        void RowsDecoded(const CImageBitmap& bitmap, int rowCount) noexcept override;

    private:
        CImageDecoder& m_decoder;
    };

    // Converts rows [m_rowsConverted, rowCount) of the bitmap being decoded.
    void ConvertRows(const CImageBitmap& bitmap, int rowCount) noexcept;
    // Hands the conversion of rows [m_rowsConverted, rowCount) to the row
    // listener when it takes it; false when the decoder must convert them.
    bool HandOnRows(const CImageBitmap& bitmap, int rowCount) noexcept;
    // Waits for the listener to finish the rows it took.
    void ReleaseHandedOnRows() noexcept;
    // True when the rows are to be left in the file's colours: with the
    // conversion deferred, from the first row on, for a whole 32-bit bitmap.
    bool LeavesRows(const CImageBitmap& bitmap) noexcept;
    bool UseConversion(CColorConversion conversion);
    // After DecodeImage: the rows and palette entries nobody reported.
    void ConvertRemainingPixels(CImageBitmap& bitmap) noexcept;

    CDecodedRowListener* m_rowListener = nullptr;
    DecodeLimits m_limits;
    bool m_colorManagement = true;
    std::string m_colorNote;
    CLibraryMessages m_libraryMessages;
    std::string m_pictureWarning;
    CColorConversion m_conversion;
    bool m_deferConversion = false;
    std::shared_ptr<const CColorConversion> m_deferred;
    int m_rowsConverted = 0;
    // The data the current decode reads, for the streamed pictures' limit.
    std::uint64_t m_sourceBytes = 0;
    bool m_rowsHandedOn = false;
    bool m_rowsLeft = false;
    ConvertingReporter m_reporter{*this};
};

// Refuses a bitmap held whole whose sides or bytes are over `limits` (its
// bytes over HeldBitmapBytes) as one over the library's own ceiling fails, as
// running out of memory.
void CheckBitmapWithin(const DecodeLimits& limits, int width, int height, int bpp);

// Creates `bitmap` unless CheckBitmapWithin refuses it.
void CreateBitmapWithin(const DecodeLimits& limits, CImageBitmap& bitmap, int width, int height, int bpp,
                        bool hasAlpha);

// Formats "Decoder error: %s\n" around the text, traces it at level 0 and
// throws CTextException with the code.
[[noreturn]] void RaiseError(int code, const std::string& text);
// The same with an explanation for people (see CTextException).
[[noreturn]] void RaiseError(int code, const std::string& text, const std::string& explanation);
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
