#include "imagelib/decoders/jpeg_decoder.h"

#include "imagelib/limits/checked_arithmetic.h"
#include "imagelib/limits/work_budget.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h: the warning codes.
#include <jerror.h>

#ifndef JCS_EXTENSIONS
#error \
    "The JPEG decoder needs a libjpeg with the extended colour spaces (JCS_EXT_BGRA), such as libjpeg-turbo."
#endif

namespace {

// Handed to libjpeg when the data runs out, so that it finishes the picture
// with what it has instead of failing.
const JOCTET kFakeEndOfImage[2] = {0xFF, JPEG_EOI};

enum class OutputPath {
    Grey,         // one sample per pixel; 8-bit rows, or 32-bit through libjpeg
    DirectColor,  // libjpeg writes blue, green, red, 255 straight into the rows
    Cmyk,         // four inks per pixel, converted here
};

// ICC profiles travel in APP2 markers that start with this tag, split over
// as many markers as they need, each with its sequence number (from 1) and
// the count of markers.
constexpr int kIccMarker = JPEG_APP0 + 2;
constexpr std::uint8_t kIccTag[] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
constexpr unsigned kIccSequenceOffset = sizeof kIccTag;
constexpr unsigned kIccCountOffset = sizeof kIccTag + 1;
constexpr unsigned kIccMarkerHeaderBytes = sizeof kIccTag + 2;
constexpr int kMaxIccChunks = 255;
constexpr unsigned kMarkerLengthBytes = 2;
// What reading one marker costs besides its bytes.
constexpr std::uint64_t kWorkPerMarker = 16;
// libjpeg shrinks while it decodes by eighths: its inverse DCT of each block
// makes scale/8 of the block's pixels. Offered to the row listener from the
// smallest up; 8 is the picture as stored. Beyond 4/8 libjpeg-turbo's
// scaled transforms are plain C and cost more than its vector transform of
// the whole block (7/8 about 1.6 times a full decode), for little less
// resampling after it: those scales are not offered.
constexpr unsigned kScaleDenominator = 8;
constexpr unsigned kLargestCheaperScale = 4;

// The ICC chunks of the header's APP2 markers, gathered as libjpeg reads
// them: libjpeg's own saving walks its list of saved markers from the head
// for every new one, so a file of many small markers took time growing with
// their square. The rules are those of libjpeg's jpeg_read_icc_profile: the
// first chunk sets the count, and a chunk with another count, a sequence
// number outside it or a repeated one spoils the whole profile.
struct ProfileChunks {
    // True while the header is read; markers between scans are skipped.
    bool collecting = false;
    // The payload bytes of every chunk seen, spoilt or not, so that a
    // profile too large is told apart from a broken one.
    std::uint64_t payloadBytes = 0;
    bool broken = false;
    // The payloads are kept while they fit the profile limit.
    bool kept = true;
    int count = 0;
    struct Chunk {
        std::size_t offset = 0;
        std::size_t length = 0;
        bool present = false;
    };
    std::array<Chunk, kMaxIccChunks + 1> chunks{};
    std::vector<JOCTET> payloads;

    void Reset(bool collect) {
        collecting = collect;
        payloadBytes = 0;
        broken = false;
        kept = true;
        count = 0;
        chunks.fill({});
        payloads.clear();
    }
};

}  // namespace

// Everything libjpeg and our callbacks share. The callbacks reach it through
// the decompression structure's client data.
struct CJPEGDecoder::Decompressor {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    jpeg_source_mgr sourceManager{};
    jpeg_progress_mgr progress{};
    bool created = false;

    // The data source of the decode in progress; null between decodes.
    CImageSource* source = nullptr;

    // libjpeg's fatal errors and our callbacks' failures jump here. They only
    // record what went wrong; the decoder raises it once back in C++.
    std::jmp_buf jump{};
    bool failed = false;
    std::exception_ptr pendingException;
    // libjpeg's estimate of the first pass of a multi-scan image grows as
    // the scans arrive; the sink only ever sees the fraction rise.
    double reportedFraction = 0.0;
    char message[kMaxMessageLength + 1] = {};
    // Scans of one stream at most (real encoders write a dozen or so), and
    // libjpeg's working memory for one image (the coefficient buffers of
    // progressive images): beyond it libjpeg fails with its own message
    // instead of allocating. Both from the decode's limits.
    int maxScans = 0;
    long maxMemory = 0;
    ProfileChunks profileChunks;
    std::uint64_t maxProfileBytes = 0;
    // Charged by the marker reader; made for each stream.
    WorkBudget work{0};
    // Where libjpeg's warnings go when the decoder keeps them, and libjpeg's
    // own emit_message for the rest.
    CLibraryMessages* messages = nullptr;
    void (*standardEmit)(j_common_ptr, int) = nullptr;
    // Where the decode stood when the data ran out: the iMCU row and scan
    // being read.
    bool ranOut = false;
    JDIMENSION ranOutAtImcuRow = 0;
    int ranOutInScan = 0;
};

namespace {

using Decompressor = CJPEGDecoder::Decompressor;

// What the libjpeg steps read and fill in. Plain data, so nothing needs
// destruction in the frames a longjmp leaves.
struct JpegSteps {
    bool fastUpsampling = true;
    int wantedDepth = 0;
    // From the header.
    JDIMENSION width = 0;
    JDIMENSION height = 0;
    int components = 0;
    OutputPath path = OutputPath::DirectColor;
    bool invertedInks = false;
    // Gather the ICC chunks of the APP2 markers.
    bool readProfile = false;
    // CMYK rows keep their inks for the colour profile to convert.
    bool keepInks = false;
    int depth = 0;
    int outputComponents = 0;
    // The rows of one iMCU row: a window of rows reads that many at a time.
    int batchRows = 0;
    // The eighths of each side to decode, and the size that makes.
    unsigned scale = kScaleDenominator;
    JDIMENSION scaledWidth = 0;
    JDIMENSION scaledHeight = 0;
    int scaledBatchRows = 0;
    // Where the decoded rows go, and who hears of them.
    JSAMPARRAY rows = nullptr;
    bool window = false;
    const CImageBitmap* bitmap = nullptr;
    CDecodedRowListener* rowListener = nullptr;
};

Decompressor& StateOf(j_common_ptr common) {
    return *static_cast<Decompressor*>(common->client_data);
}

void RecordFailure(Decompressor& state, const char* text) {
    if (state.failed) return;
    state.failed = true;
    std::snprintf(state.message, sizeof state.message, "%s", text);
}

// libjpeg's error_exit: must not return.
[[noreturn]] void ExitOnError(j_common_ptr common) {
    Decompressor& state = StateOf(common);
    char text[256] = {};
    (*common->err->format_message)(common, text);
    char line[sizeof text + 1] = {};
    std::snprintf(line, sizeof line, "%s\n", text);
    RecordFailure(state, line);
    std::longjmp(state.jump, 1);
}

void InitSource(j_decompress_ptr) {}

void TermSource(j_decompress_ptr) {}

// libjpeg's emit_message. Kept warnings (level -1) are counted, every one of
// them, where libjpeg itself would print only the first; trace messages and
// warnings not kept stay libjpeg's.
void EmitMessage(j_common_ptr common, int level) {
    Decompressor& state = StateOf(common);
    if (level >= 0 || state.messages == nullptr || !state.messages->IsKept()) {
        state.standardEmit(common, level);
        return;
    }
    char text[JMSG_LENGTH_MAX] = {};
    (*common->err->format_message)(common, text);
    state.messages->Report(text);
    ++common->err->num_warnings;
}

// Called only once the whole stream is consumed: a truncated file. libjpeg
// warns (through its standard message output) and ends the image.
boolean FillInputBuffer(j_decompress_ptr info) {
    Decompressor& state = StateOf(reinterpret_cast<j_common_ptr>(info));
    if (!state.ranOut) {
        state.ranOut = true;
        state.ranOutAtImcuRow = info->input_iMCU_row;
        state.ranOutInScan = info->input_scan_number;
    }
    WARNMS(info, JWRN_JPEG_EOF);
    info->src->next_input_byte = kFakeEndOfImage;
    info->src->bytes_in_buffer = sizeof kFakeEndOfImage;
    return TRUE;
}

void SkipInputData(j_decompress_ptr info, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* source = info->src;
    if (static_cast<unsigned long>(count) < source->bytes_in_buffer) {
        source->next_input_byte += count;
        source->bytes_in_buffer -= static_cast<std::size_t>(count);
    } else {
        FillInputBuffer(info);
    }
}

void ReportProgress(j_common_ptr common) {
    Decompressor& state = StateOf(common);
    if (common->is_decompressor && state.info.input_scan_number > state.maxScans) {
        char text[kMaxMessageLength + 1];
        std::snprintf(text, sizeof text, "JPEG image has more than %d scans\n", state.maxScans);
        RecordFailure(state, text);
        std::longjmp(state.jump, 1);
    }
    CProgressSink* sink = state.source != nullptr ? state.source->GetProgressSink() : nullptr;
    const jpeg_progress_mgr* progress = common->progress;
    if (sink == nullptr || progress == nullptr || progress->total_passes <= 0) return;
    const double passFraction = progress->pass_limit > 0 ? static_cast<double>(progress->pass_counter) /
                                                               static_cast<double>(progress->pass_limit)
                                                         : 0.0;
    const double fraction =
        std::clamp((passFraction + progress->completed_passes) / progress->total_passes, 0.0, 1.0);
    if (fraction <= state.reportedFraction) return;
    state.reportedFraction = fraction;
    bool reported = false;
    try {
        sink->OnProgress(fraction);
        reported = true;
    } catch (...) {
        state.pendingException = std::current_exception();
    }
    // Jump only after the catch block is left, so the exception is released
    // properly; the stored pointer keeps it alive.
    if (!reported) {
        state.failed = true;
        std::longjmp(state.jump, 1);
    }
}

// Inverse Adobe CMYK, as Photoshop writes it, stores 255 for no ink; plain
// CMYK stores 0. Either way each output channel is the light its ink and the
// black ink let through.
void ConvertCmykRow(const JSAMPLE* in, std::uint8_t* out, JDIMENSION width, bool invertedInks) {
    const unsigned flip = invertedInks ? 0 : 255;
    for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 4) {
        const unsigned cyan = in[0] ^ flip;
        const unsigned magenta = in[1] ^ flip;
        const unsigned yellow = in[2] ^ flip;
        const unsigned black = in[3] ^ flip;
        out[0] = static_cast<std::uint8_t>((yellow * black + 127) / 255);
        out[1] = static_cast<std::uint8_t>((magenta * black + 127) / 255);
        out[2] = static_cast<std::uint8_t>((cyan * black + 127) / 255);
        out[3] = 255;
    }
}

// Takes count bytes from the source manager into out (or drops them when
// out is null). Our source never suspends: when the data runs out it hands
// over a fake end-of-image marker, which is left for libjpeg's marker
// reader, as skip_input_data leaves it. False when the data ran out.
bool TakeMarkerBytes(j_decompress_ptr info, std::size_t count, JOCTET* out) {
    jpeg_source_mgr* source = info->src;
    while (count > 0) {
        if (source->bytes_in_buffer == 0) {
            (*source->fill_input_buffer)(info);
            return false;
        }
        const std::size_t step = std::min(count, source->bytes_in_buffer);
        if (out != nullptr) {
            std::memcpy(out, source->next_input_byte, step);
            out += step;
        }
        source->next_input_byte += step;
        source->bytes_in_buffer -= step;
        count -= step;
    }
    return true;
}

// Notes one ICC chunk whose header is read. True when its payload, next in
// the source, is to be kept.
bool NoteProfileChunk(j_decompress_ptr info, ProfileChunks& chunks, const JOCTET* header,
                      std::size_t payloadLength, std::uint64_t maxProfileBytes) {
    chunks.payloadBytes += payloadLength;
    const int sequence = header[kIccSequenceOffset];
    const int count = header[kIccCountOffset];
    if (chunks.count == 0) chunks.count = count;
    if (!chunks.broken &&
        (count != chunks.count || sequence < 1 || sequence > count || chunks.chunks[sequence].present)) {
        chunks.broken = true;
        WARNMS(info, JWRN_BOGUS_ICC);
    }
    if (chunks.payloadBytes > maxProfileBytes) chunks.kept = false;
    if (chunks.broken || !chunks.kept) {
        chunks.payloads.clear();
        return false;
    }
    chunks.chunks[sequence] = {chunks.payloads.size(), payloadLength, true};
    return true;
}

// Room for a payload at the end of the kept ones; null when there is no
// memory for it, which costs the profile, not the picture.
JOCTET* MakeRoomForPayload(ProfileChunks& chunks, std::size_t length) {
    try {
        const std::size_t offset = chunks.payloads.size();
        chunks.payloads.resize(offset + length);
        return chunks.payloads.data() + offset;
    } catch (...) {
        chunks.broken = true;
        chunks.payloads.clear();
        return nullptr;
    }
}

// libjpeg's processor for APP2 markers: keeps the ICC chunks of the header
// and skips everything else, charging the markers to the work budget.
boolean ReadApp2Marker(j_decompress_ptr info) {
    Decompressor& state = StateOf(reinterpret_cast<j_common_ptr>(info));
    JOCTET lengthBytes[kMarkerLengthBytes] = {};
    if (!TakeMarkerBytes(info, kMarkerLengthBytes, lengthBytes)) return TRUE;
    const std::size_t length = (std::size_t{lengthBytes[0]} << 8) | lengthBytes[1];
    if (!state.work.Spend(kWorkPerMarker + length)) {
        RecordFailure(state, "JPEG image has more markers than its size allows\n");
        std::longjmp(state.jump, 1);
    }
    if (length < kMarkerLengthBytes) return TRUE;
    std::size_t left = length - kMarkerLengthBytes;
    ProfileChunks& chunks = state.profileChunks;
    JOCTET header[kIccMarkerHeaderBytes] = {};
    if (chunks.collecting && left >= kIccMarkerHeaderBytes) {
        if (!TakeMarkerBytes(info, kIccMarkerHeaderBytes, header)) return TRUE;
        left -= kIccMarkerHeaderBytes;
        if (std::memcmp(header, kIccTag, sizeof kIccTag) == 0 &&
            NoteProfileChunk(info, chunks, header, left, state.maxProfileBytes)) {
            JOCTET* payload = MakeRoomForPayload(chunks, left);
            if (payload != nullptr && !TakeMarkerBytes(info, left, payload)) {
                // Cut short by the end of the data; libjpeg finds no image after it.
                chunks.broken = true;
                chunks.payloads.clear();
            }
            if (payload != nullptr) return TRUE;
        }
    }
    TakeMarkerBytes(info, left, nullptr);
    return TRUE;
}

// The profile the chunks make up, in sequence order; empty when it is
// broken or a chunk is missing. Throws only std::bad_alloc.
std::vector<JOCTET> AssembleProfile(const ProfileChunks& chunks) {
    std::vector<JOCTET> profile;
    if (chunks.broken || !chunks.kept || chunks.count == 0) return profile;
    std::size_t length = 0;
    for (int sequence = 1; sequence <= chunks.count; ++sequence) {
        if (!chunks.chunks[sequence].present) return profile;
        length += chunks.chunks[sequence].length;
    }
    profile.reserve(length);
    for (int sequence = 1; sequence <= chunks.count; ++sequence) {
        const ProfileChunks::Chunk& chunk = chunks.chunks[sequence];
        profile.insert(profile.end(), chunks.payloads.begin() + static_cast<std::ptrdiff_t>(chunk.offset),
                       chunks.payloads.begin() + static_cast<std::ptrdiff_t>(chunk.offset + chunk.length));
    }
    return profile;
}

ProfilePixels PixelsOf(const JpegSteps& steps) {
    switch (steps.path) {
        case OutputPath::Grey:
            return ProfilePixels::kGrey;
        case OutputPath::Cmyk:
            return steps.invertedInks ? ProfilePixels::kInvertedCmyk : ProfilePixels::kCmyk;
        case OutputPath::DirectColor:
            break;
    }
    return ProfilePixels::kRgb;
}

void CreateStep(Decompressor& state, JpegSteps&) {
    jpeg_create_decompress(&state.info);
}

void ReadHeaderStep(Decompressor& state, JpegSteps& steps) {
    jpeg_decompress_struct& info = state.info;
    info.mem->max_memory_to_use = state.maxMemory;
    if (steps.readProfile)
        jpeg_set_marker_processor(&info, kIccMarker, ReadApp2Marker);
    else
        jpeg_save_markers(&info, kIccMarker, 0);
    jpeg_read_header(&info, TRUE);
    if (steps.fastUpsampling) info.do_fancy_upsampling = FALSE;
    info.dct_method = JDCT_FLOAT;
    steps.width = info.image_width;
    steps.height = info.image_height;
    steps.components = info.num_components;
    steps.batchRows = info.max_v_samp_factor * DCTSIZE;

    if (info.out_color_space == JCS_GRAYSCALE) {
        steps.path = OutputPath::Grey;
        steps.depth = steps.wantedDepth == 32 ? 32 : 8;
        // libjpeg replicates the sample into blue, green and red itself.
        if (steps.depth == 32) info.out_color_space = JCS_EXT_BGRA;
        steps.outputComponents = steps.depth == 32 ? 4 : 1;
    } else if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
        // libjpeg turns YCCK into CMYK; the inks are converted row by row.
        steps.path = OutputPath::Cmyk;
        steps.depth = 32;
        info.out_color_space = JCS_CMYK;
        steps.invertedInks = info.saw_Adobe_marker != 0;
        steps.outputComponents = 4;
    } else {
        // YCbCr and RGB; any other layout fails in libjpeg as an unsupported
        // colour conversion.
        steps.path = OutputPath::DirectColor;
        steps.depth = 32;
        info.out_color_space = JCS_EXT_BGRA;
        steps.outputComponents = 4;
    }
}

// Works out the size libjpeg decodes to at steps.scale eighths of each side.
void ScaleStep(Decompressor& state, JpegSteps& steps) {
    jpeg_decompress_struct& info = state.info;
    info.scale_num = steps.scale;
    info.scale_denom = kScaleDenominator;
    jpeg_calc_output_dimensions(&info);
    steps.scaledWidth = info.output_width;
    steps.scaledHeight = info.output_height;
#if JPEG_LIB_VERSION >= 70
    steps.scaledBatchRows = info.max_v_samp_factor * info.min_DCT_v_scaled_size;
#else
    steps.scaledBatchRows = info.max_v_samp_factor * info.min_DCT_scaled_size;
#endif
}

void StartStep(Decompressor& state, JpegSteps&) {
    jpeg_start_decompress(&state.info);
}

// Rows are written once each, top to bottom, in every output path.
void ReportRows(const JpegSteps& steps, JDIMENSION rowCount) {
    if (steps.rowListener != nullptr)
        steps.rowListener->RowsDecoded(*steps.bitmap, static_cast<int>(rowCount));
}

void ReadRowsStep(Decompressor& state, JpegSteps& steps) {
    jpeg_decompress_struct& info = state.info;
    if (steps.path == OutputPath::Cmyk) {
        JSAMPARRAY buffer = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                      info.output_width * 4, 1);
        while (info.output_scanline < info.output_height) {
            const JDIMENSION row = info.output_scanline;
            if (jpeg_read_scanlines(&info, buffer, 1) != 1) break;
            if (steps.keepInks)
                std::memcpy(steps.rows[row], buffer[0], std::size_t{info.output_width} * 4);
            else
                ConvertCmykRow(buffer[0], steps.rows[row], info.output_width, steps.invertedInks);
            ReportRows(steps, info.output_scanline);
        }
        return;
    }
    // The rows already have the bitmap's layout: libjpeg fills them in place.
    // A window has room for one batch between two reports.
    while (info.output_scanline < info.output_height) {
        const JDIMENSION row = info.output_scanline;
        const JDIMENSION wanted =
            steps.window
                ? std::min<JDIMENSION>(info.output_height - row, static_cast<JDIMENSION>(steps.batchRows))
                : info.output_height - row;
        if (jpeg_read_scanlines(&info, steps.rows + row, wanted) == 0) break;
        ReportRows(steps, info.output_scanline);
        // libjpeg reads its data once, front to back.
        state.source->ForgetBefore(info.src->next_input_byte);
    }
}

void FinishStep(Decompressor& state, JpegSteps&) {
    jpeg_finish_decompress(&state.info);
}

// Runs one step under the error trap. This frame and the steps own no C++
// objects, so a longjmp out of libjpeg or a callback skips no destructor.
// Returns false when a failure was recorded.
bool RunJpegStep(Decompressor& state, void (*step)(Decompressor&, JpegSteps&), JpegSteps& steps) {
    if (setjmp(state.jump) != 0) return false;
    step(state, steps);
    return true;
}

[[noreturn]] void RaiseRecordedError(Decompressor& state) {
    if (state.pendingException) {
        std::exception_ptr pending = state.pendingException;
        state.pendingException = nullptr;
        std::rethrow_exception(pending);
    }
    RaiseError(ERR_FORMAT_NOT_COMPILED, state.message);
}

// Decodes at the smallest scale the row listener takes, if any: the size is
// worked out by libjpeg for each scale offered. Without one, libjpeg is left
// to decode the picture as stored, as it always has.
void ChooseScale(Decompressor& state, JpegSteps& steps, CDecodedRowListener* listener) {
    if (listener == nullptr) return;
    for (unsigned scale = 1; scale <= kLargestCheaperScale; ++scale) {
        steps.scale = scale;
        if (!RunJpegStep(state, ScaleStep, steps)) RaiseRecordedError(state);
        if (listener->TakesReducedSize(static_cast<int>(steps.width), static_cast<int>(steps.height),
                                       static_cast<int>(steps.scaledWidth),
                                       static_cast<int>(steps.scaledHeight))) {
            TraceFormat(2, "JPEG image decoded at %u/%u: %u x %u.\n", scale, kScaleDenominator,
                        steps.scaledWidth, steps.scaledHeight);
            steps.width = steps.scaledWidth;
            steps.height = steps.scaledHeight;
            steps.batchRows = steps.scaledBatchRows;
            return;
        }
    }
    steps.scale = kScaleDenominator;
    state.info.scale_num = 1;
    state.info.scale_denom = 1;
}

// Puts the decompressor back into its idle state when a decode ends, however
// it ends, so the next stream starts clean.
class StreamSession {
public:
    StreamSession(Decompressor& state, CImageSource& source) : m_state(state) {
        state.source = &source;
        state.failed = false;
        state.pendingException = nullptr;
        state.reportedFraction = 0.0;
        state.message[0] = '\0';
        state.errors.num_warnings = 0;
        state.ranOut = false;
        // The stream is the source's unread data, all of it in one buffer.
        state.sourceManager.next_input_byte = source.GetCurrentPointer();
        state.sourceManager.bytes_in_buffer = static_cast<std::size_t>(source.GetRemaining());
        if (state.sourceManager.next_input_byte == nullptr) state.sourceManager.bytes_in_buffer = 0;
        state.info.src = &state.sourceManager;
        state.info.progress = &state.progress;
    }
    ~StreamSession() {
        jpeg_abort_decompress(&m_state.info);
        m_state.source = nullptr;
        m_state.messages = nullptr;
        m_state.pendingException = nullptr;
        m_state.sourceManager.next_input_byte = nullptr;
        m_state.sourceManager.bytes_in_buffer = 0;
    }
    StreamSession(const StreamSession&) = delete;
    StreamSession& operator=(const StreamSession&) = delete;

private:
    Decompressor& m_state;
};

// The bytes libjpeg holds for the coefficients of a progressive picture:
// every component's blocks, padded to whole MCUs, 64 samples of 2 bytes each.
std::uint64_t CoefficientBytes(const jpeg_decompress_struct& info) {
    std::uint64_t bytes = 0;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        const auto h = static_cast<std::uint64_t>(std::max(component.h_samp_factor, 1));
        const auto v = static_cast<std::uint64_t>(std::max(component.v_samp_factor, 1));
        const std::uint64_t across = (component.width_in_blocks + h - 1) / h * h;
        const std::uint64_t down = (component.height_in_blocks + v - 1) / v * v;
        bytes += across * down * DCTSIZE2 * sizeof(JCOEF);
    }
    return bytes;
}

// Refuses a progressive picture whose coefficients, bitmap and resampled
// rows, all held at once, are over the memory of one conversion.
void CheckProgressiveWithin(const DecodeLimits& limits, std::uint64_t width, std::uint64_t height, int depth,
                            std::uint64_t coefficientBytes) {
    const auto pixels = CheckedMultiply(width, height);
    const auto bitmapBytes =
        pixels ? CheckedMultiply(*pixels, static_cast<std::uint64_t>(depth / 8)) : std::nullopt;
    const auto rows = CheckedMultiply(limits.resampledBytesPerRow, height);
    const auto held = bitmapBytes && rows ? CheckedAdd(*bitmapBytes, *rows) : std::nullopt;
    const auto all = held ? CheckedAdd(*held, coefficientBytes) : std::nullopt;
    if (all && *all <= limits.HeldBitmapBytes()) return;
    char explanation[200];
    std::snprintf(explanation, sizeof explanation,
                  "progressive picture of %" PRIu64 " x %" PRIu64
                  " pixels is over the limit of a picture held whole: it would need more than 512 MiB to "
                  "convert.",
                  width, height);
    throw CTextException(ERR_NO_MEMORY, "Out of memory creating bitmap.", explanation);
}

}  // namespace

CJPEGDecoder::CJPEGDecoder() : m_decompressor(std::make_unique<Decompressor>()) {
    Decompressor& state = *m_decompressor;
    state.info.err = jpeg_std_error(&state.errors);
    state.errors.error_exit = ExitOnError;
    state.standardEmit = state.errors.emit_message;
    state.errors.emit_message = EmitMessage;
    state.info.client_data = &state;
    JpegSteps unused;
    if (!RunJpegStep(state, CreateStep, unused)) RaiseRecordedError(state);
    state.created = true;

    state.sourceManager.init_source = InitSource;
    state.sourceManager.fill_input_buffer = FillInputBuffer;
    state.sourceManager.skip_input_data = SkipInputData;
    state.sourceManager.resync_to_restart = jpeg_resync_to_restart;
    state.sourceManager.term_source = TermSource;
    state.progress.progress_monitor = ReportProgress;
}

CJPEGDecoder::~CJPEGDecoder() {
    if (m_decompressor != nullptr && m_decompressor->created) jpeg_destroy_decompress(&m_decompressor->info);
}

void CJPEGDecoder::DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>&, int& bpp,
                               CImageSource& source) {
    Decompressor& state = *m_decompressor;
    StreamSession session(state, source);
    state.messages = &LibraryMessages();
    state.maxScans = GetLimits().maxJpegScans;
    state.maxProfileBytes = GetLimits().maxColorProfileBytes;
    state.work = WorkBudget::ForFile(
        static_cast<std::uint64_t>(std::max<std::int64_t>(source.GetRemaining(), 0)), 0, GetLimits());
    state.maxMemory = static_cast<long>(
        std::min<std::uint64_t>(GetLimits().HeldBitmapBytes(), std::numeric_limits<long>::max()));

    JpegSteps steps;
    steps.fastUpsampling = m_fastUpsampling;
    steps.wantedDepth = bpp;
    steps.readProfile = GetColorManagement();
    state.profileChunks.Reset(steps.readProfile);
    const bool headerRead = RunJpegStep(state, ReadHeaderStep, steps);
    m_workSpent = state.work.Spent();
    state.profileChunks.collecting = false;
    if (!headerRead) RaiseRecordedError(state);
    const ProfileChunks& chunks = state.profileChunks;
    if (chunks.payloadBytes > GetLimits().maxColorProfileBytes) {
        IgnoreColorProfile("it is too large");
    } else if (chunks.payloadBytes > 0) {
        const std::vector<JOCTET> profile = AssembleProfile(chunks);
        // A broken chain of markers is no reason to fail the picture.
        if (profile.empty())
            IgnoreColorProfile("it could not be read");
        else
            steps.keepInks = UseColorProfile(profile, PixelsOf(steps)) && steps.path == OutputPath::Cmyk;
    }
    state.profileChunks.Reset(false);
    TraceFormat(2, "JPEG image %u x %u, %d components%s.\n", steps.width, steps.height, steps.components,
                state.info.progressive_mode ? ", progressive" : "");
    ChooseScale(state, steps, GetRowListener());

    // Created before libjpeg allocates for the image, so absurd sizes are
    // refused (with the bitmap's own error) before any large allocation. A
    // progressive image holds all its coefficients anyway, and is held whole:
    // both must fit the memory of one conversion.
    if (state.info.progressive_mode) {
        CheckBitmapWithin(GetLimits(), static_cast<int>(steps.width), static_cast<int>(steps.height),
                          steps.depth);
        CheckProgressiveWithin(GetLimits(), steps.width, steps.height, steps.depth,
                               CoefficientBytes(state.info));
        bitmap.Create(static_cast<int>(steps.width), static_cast<int>(steps.height), steps.depth, false);
    } else
        CreateRowBitmap(bitmap, static_cast<int>(steps.width), static_cast<int>(steps.height), steps.depth,
                        false, steps.batchRows);
    bpp = steps.depth;

    if (!RunJpegStep(state, StartStep, steps)) RaiseRecordedError(state);
    // libjpeg fills whole rows of the bitmap: they must fit.
    if (state.info.output_width != steps.width || state.info.output_height != steps.height ||
        state.info.output_components != steps.outputComponents)
        RaiseErrorFormat(ERR_FORMAT_NOT_COMPILED, "JPEG output of %u x %u x %d does not fit the bitmap.",
                         state.info.output_width, state.info.output_height, state.info.output_components);

    bitmap.Lock(false, true);
    steps.rows = bitmap.GetRows();
    steps.bitmap = &bitmap;
    steps.window = bitmap.GetWindowRows() != 0;
    steps.rowListener = RowReporter();
    const bool read = RunJpegStep(state, ReadRowsStep, steps);
    bitmap.Unlock();
    if (!read) RaiseRecordedError(state);
    if (!RunJpegStep(state, FinishStep, steps)) RaiseRecordedError(state);
    // The rows from the one being read when the data ran out hold what
    // libjpeg made of no data; a progressive picture has every row by then,
    // without its last passes.
    if (state.ranOut && state.info.progressive_mode && state.ranOutInScan > 1)
        ReportMissingDetail();
    else if (state.ranOut && state.ranOutAtImcuRow < state.info.total_iMCU_rows)
        ReportMissingRows(static_cast<int>(std::min<std::uint64_t>(
                              std::uint64_t{state.ranOutAtImcuRow} * static_cast<unsigned>(steps.batchRows),
                              steps.height - 1)),
                          static_cast<int>(steps.height) - 1);
}
