#include "imagelib/image_decoder.h"

#include "imagelib/image_limits.h"
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
    const std::string message = FormatMessage("Decoder error: %s\n", text.c_str());
    TraceLine(0, message);
    throw CTextException(code, message);
}

void RaiseErrorFormat(int code, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = FormatMessageV(format, arguments);
    va_end(arguments);
    RaiseError(code, text);
}

void CheckBitmapWithin(const DecodeLimits& limits, int width, int height, int bpp) {
    const auto rowBytes = (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bpp) + 7) / 8;
    const auto bytes = limits.AllowsSize(width, height) && bpp > 0
                           ? CheckedMultiply(rowBytes, static_cast<std::uint64_t>(height))
                           : std::nullopt;
    if (!bytes || *bytes > limits.maxBitmapBytes)
        throw CTextException(ERR_NO_MEMORY, "Out of memory creating bitmap.");
}

void CreateBitmapWithin(const DecodeLimits& limits, CImageBitmap& bitmap, int width, int height, int bpp,
                        bool hasAlpha) {
    CheckBitmapWithin(limits, width, height, bpp);
    bitmap.Create(width, height, bpp, hasAlpha);
}

// ---------------------------------------------------------------------------

void CImageDecoder::CreateRowBitmap(CImageBitmap& bitmap, int width, int height, int bpp, bool hasAlpha,
                                    int batchRows) {
    // The whole picture must be allowed, held whole or not: the same files
    // fail the same way whichever way they are decoded.
    CheckBitmapWithin(GetLimits(), width, height, bpp);
    const int windowRows =
        m_rowListener != nullptr && bpp == 32 ? m_rowListener->WindowRows(width, height, batchRows) : 0;
    if (windowRows > 0)
        bitmap.CreateWindow(width, height, bpp, hasAlpha, std::max(windowRows, batchRows));
    else
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
    try {
        DecodeImage(bitmap, palette, bpp, source);
    } catch (const std::bad_alloc&) {
        // A decoder's working buffers can fail to allocate too; callers only
        // ever see the library's own exception.
        RaiseError(ERR_NO_MEMORY, "Out of memory.");
    }
}

void CImageDecoder::DecodeImage(CImageBitmap&, std::vector<PaletteEntry>&, int&, CImageSource&) {}
