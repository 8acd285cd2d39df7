#include "imagelib/image_decoder.h"

#include "imagelib/limits/checked_arithmetic.h"
#include "imagelib/resample/parallel_rows.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>

namespace {

std::mutex g_traceMutex;
int g_traceLevel = 0;
std::string g_traceFile;

}  // namespace

void SetTraceLevel(int level) {
    std::lock_guard lock(g_traceMutex);
    g_traceLevel = level;
}

void SetTraceFile(const std::string& path) {
    std::lock_guard lock(g_traceMutex);
    g_traceFile = path;
}

void ClearTraceFile() {
    std::lock_guard lock(g_traceMutex);
    g_traceFile.clear();
}

void TraceLine(int level, const std::string& text) {
    std::lock_guard lock(g_traceMutex);
    if (level > g_traceLevel || g_traceFile.empty()) return;
    if (std::FILE* file = std::fopen(g_traceFile.c_str(), "a+")) {
        std::fputs(text.substr(0, kMaxMessageLength).c_str(), file);
        std::fclose(file);
    }
}

void TraceFormat(int level, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = FormatMessageV(format, arguments);
    va_end(arguments);
    TraceLine(level, text);
}

void RaiseError(int code, const std::string& text) {
    RaiseError(code, text, std::string());
}

void RaiseError(int code, const std::string& text, const std::string& explanation) {
    const std::string message = FormatMessage("Decoder error: %s\n", text.c_str());
    TraceLine(0, message);
    throw CTextException(code, message, explanation);
}

void RaiseErrorFormat(int code, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = FormatMessageV(format, arguments);
    va_end(arguments);
    RaiseError(code, text);
}

namespace {

bool IsBitmapWithin(const DecodeLimits& limits, int width, int height, int bpp, std::uint64_t bytesLimit) {
    const auto rowBytes = (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bpp) + 7) / 8;
    const auto bytes = limits.AllowsSize(width, height) && bpp > 0
                           ? CheckedMultiply(rowBytes, static_cast<std::uint64_t>(height))
                           : std::nullopt;
    return bytes && *bytes <= bytesLimit;
}

// Refuses a bitmap whose sides or bytes are over the limits, with `bytesLimit`
// for its bytes, as running out of memory.
void CheckBitmapBytes(const DecodeLimits& limits, int width, int height, int bpp, std::uint64_t bytesLimit) {
    if (!IsBitmapWithin(limits, width, height, bpp, bytesLimit))
        throw CTextException(ERR_NO_MEMORY, "Out of memory creating bitmap.",
                             limits.DescribeOverLimit(width, height, bpp));
}

}  // namespace

void CheckBitmapWithin(const DecodeLimits& limits, int width, int height, int bpp) {
    CheckBitmapBytes(limits, width, height, bpp, limits.maxBitmapBytes);
    if (!limits.AllowsHeldBitmap(width, height, bpp))
        throw CTextException(ERR_NO_MEMORY, "Out of memory creating bitmap.",
                             limits.DescribeOverHeldLimit(width, height, bpp));
}

void CreateBitmapWithin(const DecodeLimits& limits, CImageBitmap& bitmap, int width, int height, int bpp,
                        bool hasAlpha) {
    CheckBitmapWithin(limits, width, height, bpp);
    bitmap.Create(width, height, bpp, hasAlpha);
}

// ---------------------------------------------------------------------------

// Palettes are converted as pixels.
static_assert(sizeof(PaletteEntry) == 4);

// About a tenth of a millisecond of conversion: worth starting a thread for.
constexpr std::uint64_t kPixelsWorthAThread = 1 << 15;

bool CImageDecoder::MayStream(int width, int height, int bpp) const {
    const DecodeLimits& limits = GetLimits();
    if (m_rowListener == nullptr || bpp != 32 || !limits.AllowsSize(width, height)) return false;
    const auto pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    const auto allowed = CheckedMultiply(m_sourceBytes, limits.maxStreamedPixelsPerFileByte);
    return !allowed || pixels <= *allowed;
}

void CImageDecoder::CreateRowBitmap(CImageBitmap& bitmap, int width, int height, int bpp, bool hasAlpha,
                                    int batchRows) {
    // A picture held whole must be within the size limit and fit the memory
    // of one conversion; one that streams only within the sides and in
    // proportion to its file, as its memory is the window's and the
    // listener's, whatever its size.
    const DecodeLimits& limits = GetLimits();
    if (!MayStream(width, height, bpp)) CheckBitmapBytes(limits, width, height, bpp, limits.maxBitmapBytes);
    const int windowRows =
        m_rowListener != nullptr && bpp == 32 ? m_rowListener->WindowRows(width, height, batchRows) : 0;
    if (windowRows > 0) {
        const int slots = std::min(std::max(windowRows, batchRows), height);
        if (!limits.AllowsHeldBitmap(width, slots, bpp)) CheckBitmapWithin(limits, width, height, bpp);
        bitmap.CreateWindow(width, height, bpp, hasAlpha, slots);
        return;
    }
    CheckBitmapWithin(limits, width, height, bpp);
    bitmap.Create(width, height, bpp, hasAlpha);
}

CImageDecoder::~CImageDecoder() {
    // Releasing a decoder also forgets the trace file, as the library always has.
    ClearTraceFile();
}

void CImageDecoder::DecodeFile(const std::string& path, CImageBitmap& bitmap, int wantedDepth,
                               CProgressSink* progressSink) {
    TraceFormat(1, "--- Decoding file %s. ---\n", path.c_str());
    auto source = std::make_unique<CFileSource>(progressSink);
    const int openCode = source->Open(path);
    if (openCode != 0) RaiseError(openCode, FormatMessage("Opening %s failed", path.c_str()));
    DecodeSource(*source, bitmap, wantedDepth);
    source->Close();
}

void CImageDecoder::DecodeMemory(const void* data, std::int64_t size, CImageBitmap& bitmap, int wantedDepth) {
    TraceFormat(1, "--- Decoding from memory at %p. ---\n", data);
    auto source = std::make_unique<CMemorySource>();
    const int openCode = source->Open(data, size);
    if (openCode != 0) RaiseError(openCode, FormatMessage("Reading from memory at %p failed", data));
    DecodeSource(*source, bitmap, wantedDepth);
    source->Close();
}

void CImageDecoder::DecodeSource(CImageSource& source, CImageBitmap& bitmap, int wantedDepth) {
    std::vector<PaletteEntry> palette;
    int bpp = wantedDepth;
    m_colorNote.clear();
    ClearNotes();
    m_conversion = CColorConversion();
    m_deferred.reset();
    m_rowsConverted = 0;
    m_rowsHandedOn = false;
    m_rowsLeft = false;
    m_sourceBytes = static_cast<std::uint64_t>(std::max<std::int64_t>(source.GetRemaining(), 0));
    // The conversion belongs to this picture only; the listener may be
    // converting rows with it until released, also when the decode fails.
    struct ConversionScope {
        CImageDecoder& decoder;
        ~ConversionScope() {
            decoder.ReleaseHandedOnRows();
            decoder.m_conversion = CColorConversion();
        }
    } scope{*this};
    try {
        DecodeImage(bitmap, palette, bpp, source);
    } catch (const std::bad_alloc&) {
        // A decoder's working buffers can fail to allocate too; callers only
        // ever see the library's own exception.
        RaiseError(ERR_NO_MEMORY, "Out of memory.");
    }
    ConvertRemainingPixels(bitmap);
}

CDecodedRowListener* CImageDecoder::RowReporter() {
    return m_rowListener != nullptr || (m_conversion.Converts() && !m_deferConversion) ? &m_reporter
                                                                                       : nullptr;
}

void CImageDecoder::ConvertingReporter::RowsDecoded(const CImageBitmap& bitmap, int rowCount) noexcept {
    if (!m_decoder.HandOnRows(bitmap, rowCount) && !m_decoder.LeavesRows(bitmap))
        m_decoder.ConvertRows(bitmap, rowCount);
    if (m_decoder.m_rowListener != nullptr) m_decoder.m_rowListener->RowsDecoded(bitmap, rowCount);
}

void CImageDecoder::ConvertRows(const CImageBitmap& bitmap, int rowCount) noexcept {
    if (!m_conversion.Converts() || bitmap.GetDepth() != 32) return;
    rowCount = std::min(rowCount, bitmap.GetHeight());
    // The rows belong to the decoder, which is writing the bitmap; the
    // listener interface only ever hands them on for reading.
    auto* const* rows = const_cast<std::uint8_t* const*>(bitmap.GetRows());
    const auto width = static_cast<std::size_t>(bitmap.GetWidth());
    const int first = m_rowsConverted;
    const int count = rowCount - first;
    if (count <= 0) return;
    // A large photo's conversion costs about as much as its decode: spans
    // of rows worth a thread's start-up are shared out between the cores.
    const std::uint64_t pixels = static_cast<std::uint64_t>(count) * width;
    const int threads = static_cast<int>(std::clamp<std::uint64_t>(
        pixels / kPixelsWorthAThread, 1, static_cast<std::uint64_t>(DefaultThreadCount())));
    ForEachRowRun(count, threads, [&](int, int begin, int end) {
        for (int y = first + begin; y < first + end; ++y) m_conversion.ConvertPixels(rows[y], width);
    });
    m_rowsConverted = rowCount;
}

bool CImageDecoder::LeavesRows(const CImageBitmap& bitmap) noexcept {
    // Only from the first row on, so that the picture is either in the
    // file's colours or converted, never partly.
    m_rowsLeft = m_rowsLeft || (m_deferConversion && m_conversion.Converts() && m_rowsConverted == 0 &&
                                bitmap.GetDepth() == 32 && bitmap.GetWindowRows() == 0);
    return m_rowsLeft;
}

bool CImageDecoder::HandOnRows(const CImageBitmap& bitmap, int rowCount) noexcept {
    if (m_rowListener == nullptr || !m_conversion.Converts() || bitmap.GetDepth() != 32 || m_rowsLeft)
        return false;
    rowCount = std::min(rowCount, bitmap.GetHeight());
    if (rowCount <= m_rowsConverted) return true;
    if (!m_rowListener->TakeRowConversion(bitmap, m_conversion, m_rowsConverted, rowCount)) return false;
    m_rowsHandedOn = true;
    m_rowsConverted = rowCount;
    return true;
}

void CImageDecoder::ReleaseHandedOnRows() noexcept {
    if (m_rowsHandedOn && m_rowListener != nullptr) m_rowListener->ReleaseRowConversion();
    m_rowsHandedOn = false;
}

void CImageDecoder::ConvertRemainingPixels(CImageBitmap& bitmap) noexcept {
    // Whoever reads the bitmap next reads every row converted, unless the
    // conversion is left to the reader.
    ReleaseHandedOnRows();
    if (!m_conversion.Converts()) return;
    if (bitmap.GetDepth() <= 8 && bitmap.GetPalette() != nullptr) {
        m_conversion.ConvertPixels(reinterpret_cast<std::uint8_t*>(bitmap.GetPalette()),
                                   static_cast<std::size_t>(bitmap.GetPaletteSize()));
        return;
    }
    if (LeavesRows(bitmap)) {
        m_deferred = std::make_shared<const CColorConversion>(std::move(m_conversion));
        return;
    }
    // A window's unreported rows are gone: nobody will see them.
    if (bitmap.GetWindowRows() == 0) ConvertRows(bitmap, bitmap.GetHeight());
}

bool CImageDecoder::UseConversion(CColorConversion conversion) {
    m_colorNote = conversion.Note();
    m_conversion = std::move(conversion);
    return m_conversion.Converts();
}

bool CImageDecoder::UseColorProfile(std::span<const std::uint8_t> profile, ProfilePixels pixels) {
    if (!m_colorManagement) return false;
    if (profile.size() > GetLimits().maxColorProfileBytes) {
        IgnoreColorProfile("it is too large");
        return false;
    }
    return UseConversion(CColorConversion::FromIccProfile(profile, pixels, GetLimits()));
}

bool CImageDecoder::UseColorSpace(const CalibratedRgbSpace& space) {
    if (!m_colorManagement) return false;
    return UseConversion(CColorConversion::FromCalibratedRgb(space));
}

void CImageDecoder::IgnoreColorProfile(const std::string& why) {
    if (m_colorManagement) UseConversion(CColorConversion::Ignored(why));
}

void CImageDecoder::DecodeImage(CImageBitmap&, std::vector<PaletteEntry>&, int&, CImageSource&) {}

void CImageDecoder::ReportMissingRows(int firstRow, int lastRow) {
    if (firstRow > lastRow || firstRow < 0) return;
    // Counted from 1, as people count rows.
    m_pictureWarning =
        firstRow == lastRow
            ? FormatMessage("the picture ends early: row %d is missing", firstRow + 1)
            : FormatMessage("the picture ends early: rows %d to %d are missing", firstRow + 1, lastRow + 1);
}

void CImageDecoder::ReportMissingDetail() {
    m_pictureWarning = "the picture ends early: its finer detail is missing";
}

void CImageDecoder::TakeNotesOf(const CImageDecoder& decoder) noexcept {
    if (&decoder == this) return;
    m_libraryMessages.Merge(decoder.m_libraryMessages);
    try {
        if (!decoder.m_pictureWarning.empty()) m_pictureWarning = decoder.m_pictureWarning;
    } catch (...) {
        // Out of memory: the warning is lost with the picture's other notes.
    }
}
