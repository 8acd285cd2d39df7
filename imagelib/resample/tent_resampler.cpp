#include "imagelib/resample/tent_resampler.h"

#include "imagelib/orientation/exif_orientation.h"
#include "imagelib/resample/cover_cut.h"
#include "imagelib/resample/resample_job.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <span>
#include <utility>

using resample::CoverCut;
using resample::kChunkRows;
using resample::ResampleJob;
using resample::ResolveThreads;

namespace {

const char kOutOfMemory[] = "Out of memory creating bitmap.";

// Chunks of rows per thread that a window of rows holds beyond the decoder's
// batch.
constexpr int kWindowChunksPerThread = 2;

// Source pixels a picture decoded at a reduced size keeps for every target
// pixel on each side. A decoder shrinks block by block in code values (the
// scaled inverse DCT), which leaves a faint pattern of its blocks: with six
// pixels a target pixel, the fine scaling's boxes (down to three times the
// target) still average at least two of them in light, and its pictures
// score as from the full decode. At three, the pattern reached the
// Lanczos stage and cost up to a tenth of the score.
constexpr std::int64_t kReducedSourcePixelsPerTargetPixel = 6;

// What draws the eye in a picture held whole, seen with `orientation`. A
// source still in the file's colours is measured as it will look: each row
// converted on the way, the source left as it is.
AttentionMap MeasureAttention(const CImageBitmap& source, int orientation,
                              const CColorConversion* conversion) {
    if (conversion == nullptr || source.GetDepth() != 32) return {source, orientation};
    AttentionSums sums(source.GetWidth(), source.GetHeight());
    std::vector<std::uint8_t> row(4 * static_cast<std::size_t>(source.GetWidth()));
    for (int y = 0; y < source.GetHeight(); ++y) {
        std::memcpy(row.data(), source.GetRows()[y], row.size());
        conversion->ConvertPixels(row.data(), static_cast<std::size_t>(source.GetWidth()));
        sums.AddRow(row.data());
    }
    return {std::move(sums), orientation};
}

}  // namespace

CTentResampler::CTentResampler(std::vector<ResizeTarget> targets, int threads)
    : m_targets(std::move(targets)), m_threads(threads) {}

CTentResampler::~CTentResampler() = default;

PictureFraming CTentResampler::Framing() const {
    return resample::ReferencedFraming(m_framing, m_targets);
}

CTentResampler::Seeing CTentResampler::SeeingFor(int storedWidth, int storedHeight,
                                                 const AttentionMap* attention) const {
    const PictureFraming framing = Framing();
    const bool swapped = SwapsSides(m_orientation);
    const int uprightWidth = swapped ? storedHeight : storedWidth;
    const int uprightHeight = swapped ? storedWidth : storedHeight;
    const PixelRect kept = FramedSourceRect(framing, uprightWidth, uprightHeight, attention);
    const bool turned = TurnsToFill(framing, uprightWidth, uprightHeight);
    return {turned ? QuarterTurnedClockwise(m_orientation) : m_orientation,
            TurnedRect(kept, uprightHeight, turned), kept};
}

bool CTentResampler::MeasuresAttention(int storedWidth, int storedHeight) const {
    const bool swapped = SwapsSides(m_orientation);
    return CropsByAttention(Framing(), swapped ? storedHeight : storedWidth,
                            swapped ? storedWidth : storedHeight);
}

std::unique_ptr<CoverCut> CTentResampler::CoverFor(int storedWidth, int storedHeight) const {
    if (!MeasuresAttention(storedWidth, storedHeight)) return nullptr;
    const bool swapped = SwapsSides(m_orientation);
    const int uprightWidth = swapped ? storedHeight : storedWidth;
    const int uprightHeight = swapped ? storedWidth : storedHeight;
    const PictureFraming framing = Framing();
    const PixelRect box = FramedBox(framing, uprightWidth, uprightHeight);
    // The part's size is the same wherever the attention puts it.
    const PixelRect part = SeeingFor(storedWidth, storedHeight).part;
    auto cover = std::make_unique<CoverCut>(
        m_targets, TurnedRect(box, uprightHeight, TurnsToFill(framing, uprightWidth, uprightHeight)),
        part.width, part.height);
    return cover->Reasonable() ? std::move(cover) : nullptr;
}

void CTentResampler::DropJob() noexcept {
    m_job.reset();
    m_cover.reset();
    m_attention.reset();
}

int CTentResampler::WindowRows(int width, int height, int batchRows) noexcept {
    if (!m_rowWindows || m_job != nullptr || batchRows < 1) return 0;
    const int threads = ResolveThreads(m_threads, width, height);
    // Room for the batch being written, the chunks the threads are on and the
    // rows gathering into the next ones, so the decoder seldom waits.
    const std::int64_t window =
        std::int64_t{batchRows} + std::int64_t{kWindowChunksPerThread} * kChunkRows * threads;
    try {
        // Only a picture seen as stored is read in the order it decodes: rows
        // outside its part are dropped as they pass. A smart crop resamples it
        // whole to its covers, so only one from no crop box streams.
        const Seeing seeing = SeeingFor(width, height);
        const PixelRect whole{0, 0, width, height};
        std::unique_ptr<CoverCut> cover = CoverFor(width, height);
        if (window >= height || seeing.orientation != kOrientationAsStored ||
            (cover != nullptr && cover->Box() != whole))
            return 0;
        std::optional<StreamedAttention> attention;
        if (cover != nullptr)
            attention = StreamedAttention{AttentionSums(width, height), nullptr, 0, 0,
                                          std::vector<std::uint8_t>(4 * static_cast<std::size_t>(width))};
        m_job = std::make_unique<ResampleJob>(
            width, height, cover != nullptr ? cover->Covers() : std::span<const ResizeTarget>(m_targets),
            threads, seeing.orientation, cover != nullptr ? whole : seeing.part,
            cover != nullptr ? PictureFraming{} : Framing(), m_kernel, static_cast<int>(window), batchRows);
        m_cover = std::move(cover);
        m_attention = std::move(attention);
    } catch (...) {
        // Finish meets the same trouble with the whole picture and reports it.
        return 0;
    }
    return static_cast<int>(window);
}

bool CTentResampler::TakesReducedSize(int, int, int reducedWidth, int reducedHeight) noexcept {
    if (m_kernel != resample::ResampleKernel::kLanczosInLight || m_job != nullptr || reducedWidth < 1 ||
        reducedHeight < 1)
        return false;
    const bool swaps = SwapsSides(m_orientation);
    const PictureFraming framing = Framing();
    const PixelRect part =
        FramedSourceRect(framing, swaps ? reducedHeight : reducedWidth, swaps ? reducedWidth : reducedHeight);
    for (const ResizeTarget& target : m_targets) {
        const PixelRect placement =
            FramedPlacement(framing, part.width, part.height, target.width, target.height);
        if (std::int64_t{part.width} < kReducedSourcePixelsPerTargetPixel * std::int64_t{placement.width} ||
            std::int64_t{part.height} < kReducedSourcePixelsPerTargetPixel * std::int64_t{placement.height})
            return false;
    }
    return true;
}

bool CTentResampler::Listens(const CImageBitmap& bitmap, bool evenAlone) noexcept {
    if (m_job != nullptr && m_job->Rows().Source() == nullptr) {
        if (m_job->Rows().Expects(bitmap))
            m_job->Rows().Attach(bitmap);
        else
            DropJob();
    }
    if (m_job == nullptr) {
        m_job = m_streamingDeclined ? nullptr : StreamingJob(bitmap, evenAlone);
        if (m_job == nullptr) {
            m_streamingDeclined = true;
            return false;
        }
    }
    return &bitmap == m_job->Rows().Source();
}

std::unique_ptr<ResampleJob> CTentResampler::StreamingJob(const CImageBitmap& bitmap,
                                                          bool evenAlone) noexcept {
    // A whole picture streams only with a helper to hand rows to; otherwise
    // Finish does everything, and reports any trouble then. The rows of a
    // picture that is to be turned are not the rows it is seen with. In
    // linear light, rows in the file's colours are taken even without
    // helpers, so that their light comes from the conversion however many
    // cores there are.
    if (bitmap.GetDepth() != 32 || bitmap.GetWindowRows() != 0) return nullptr;
    const bool evenWithoutHelpers = evenAlone && resample::ResamplesInLight(m_kernel);
    const int threads = ResolveThreads(m_threads, bitmap.GetWidth(), bitmap.GetHeight());
    if (threads <= 1 && !evenWithoutHelpers) return nullptr;
    try {
        const Seeing seeing = SeeingFor(bitmap.GetWidth(), bitmap.GetHeight());
        if (seeing.orientation != kOrientationAsStored ||
            MeasuresAttention(bitmap.GetWidth(), bitmap.GetHeight()))
            return nullptr;
        auto job = std::make_unique<ResampleJob>(bitmap.GetWidth(), bitmap.GetHeight(), m_targets, threads,
                                                 seeing.orientation, seeing.part, Framing(), m_kernel);
        job->Rows().Attach(bitmap);
        if (job->HasHelpers() || evenWithoutHelpers) return job;
    } catch (...) {
    }
    return nullptr;
}

void CTentResampler::RowsDecoded(const CImageBitmap& bitmap, int rowCount) noexcept {
    if (!Listens(bitmap)) return;
    if (m_attention) MeasureRows(bitmap, rowCount);
    m_job->MarkReady(rowCount);
    if (m_job->Rows().WindowRows() > 0) m_job->MakeRoom(rowCount);
}

void CTentResampler::MeasureRows(const CImageBitmap& bitmap, int rowCount) noexcept {
    // The window's slots of these rows are written over only once the next
    // report has made room, and no helper reads them before they are marked
    // ready.
    AttentionSums& sums = m_attention->sums;
    const int rows = std::min(rowCount, bitmap.GetHeight());
    for (int y = sums.RowsAdded(); y < rows; y = sums.RowsAdded()) {
        if (m_attention->conversion == nullptr || y < m_attention->convertFrom) {
            sums.AddRow(bitmap.GetRows()[y]);
            continue;
        }
        std::memcpy(m_attention->row.data(), bitmap.GetRows()[y], m_attention->row.size());
        m_attention->conversion->ConvertPixels(m_attention->row.data(), m_attention->row.size() / 4);
        sums.AddRow(m_attention->row.data());
    }
    m_attention->conversion = nullptr;
}

bool CTentResampler::TakeRowConversion(const CImageBitmap& bitmap, const CColorConversion& conversion,
                                       int firstRow, int rowCount) noexcept {
    if (!Listens(bitmap, true)) return false;
    if (m_job->TakeConversion(conversion, firstRow, rowCount)) {
        if (m_attention) {
            m_attention->conversion = &conversion;
            m_attention->convertFrom = firstRow;
            m_attention->convertTo = rowCount;
        }
        return true;
    }
    // Rows not taken may stay in the file's colours until Finish (see
    // CImageDecoder::SetDeferColorConversion): they are not read before, as
    // long as nothing was read yet and no window needs it.
    if (m_job->Untouched()) {
        DropJob();
        m_streamingDeclined = true;
    }
    return false;
}

void CTentResampler::ReleaseRowConversion() noexcept {
    if (m_job == nullptr) return;
    // Rows offered but never reported (the decode ended between the two)
    // count as reported, here as in the job.
    if (m_attention && m_attention->conversion != nullptr && m_job->Rows().Source() != nullptr)
        MeasureRows(*m_job->Rows().Source(), m_attention->convertTo);
    m_job->ReleaseConversion();
}

void CTentResampler::KeepJobOnlyFor(const CImageBitmap& source) {
    if (m_job == nullptr) return;
    // A window whose decoder reported no row at all: every row is unwritten.
    if (m_job->Rows().Expects(source)) m_job->Rows().Attach(source);
    // Rows listened to were read as the decoder reported them, so a source
    // still in the file's colours starts afresh.
    if (!m_job->Rows().Fits(source, SeeingFor(source.GetWidth(), source.GetHeight()).orientation) ||
        m_sourceConversion != nullptr)
        DropJob();
}

void CTentResampler::CheckSource(const CImageBitmap& source) const {
    if (source.GetDepth() != 32)
        throw CTextException(ERR_UNSUPPORTED_DATA, "Resize filter: Only 32-bit bitmaps can be resized.");
    // A window's rows are only ever seen by the resampler that listened to them.
    if (m_job == nullptr && source.GetWindowRows() != 0)
        throw CTextException(ERR_UNSUPPORTED_DATA, "Resize filter: The picture's rows were not seen.");
}

void CTentResampler::Finish(const CImageBitmap& source) {
    m_windowWait = m_windowHelp = std::chrono::nanoseconds::zero();
    KeepJobOnlyFor(source);
    CheckSource(source);
    try {
        const int width = source.GetWidth();
        const int height = source.GetHeight();
        std::optional<AttentionMap> attention;
        if (m_attention)
            attention.emplace(std::move(m_attention->sums), kOrientationAsStored);
        else if (MeasuresAttention(width, height))
            attention.emplace(MeasureAttention(source, m_orientation, m_sourceConversion));
        const Seeing seeing = SeeingFor(width, height, attention ? &*attention : nullptr);
        m_kept = seeing.kept;
        const int threads = ResolveThreads(m_threads, width, height);
        if (m_job == nullptr) {
            if (attention) m_cover = CoverFor(width, height);
            m_job = std::make_unique<ResampleJob>(
                width, height, m_cover ? m_cover->Covers() : std::span<const ResizeTarget>(m_targets),
                threads, seeing.orientation, m_cover ? m_cover->Box() : seeing.part,
                m_cover ? PictureFraming{} : Framing(), m_kernel);
            m_job->Rows().Attach(source);
        }
        const std::span<const ResizeTarget> targets =
            m_cover ? m_cover->Covers() : std::span<const ResizeTarget>(m_targets);
        m_job->PrepareDestinations(targets, source.HasAlphaChannel(), m_framing.background);
        m_job->FinishAcross(m_sourceConversion);
        m_windowWait = m_job->WaitTime();
        m_windowHelp = m_job->HelpTime();
        m_job->FinishDown(threads);
        m_job->Deliver(targets);
        if (m_cover) m_cover->Cut(m_targets, seeing.part, source.HasAlphaChannel());
    } catch (const std::bad_alloc&) {
        DropJob();
        throw CTextException(ERR_NO_MEMORY, kOutOfMemory);
    } catch (...) {
        DropJob();
        throw;
    }
    DropJob();
}
