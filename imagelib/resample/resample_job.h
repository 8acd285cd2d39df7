#pragma once

#include "imagelib/color/color_conversion.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/orientation/picture_framing.h"
#include "imagelib/resample/resample_plan.h"
#include "imagelib/resample/source_row_reader.h"
#include "imagelib/resample/tent_resampler.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace resample {

// Rows a thread takes at a time while resampling across, and down.
constexpr int kChunkRows = 16;
constexpr int kDownRows = 4;

// The threads to resample a picture of width x height with, for a count as
// CTentResampler takes it.
int ResolveThreads(int threads, int width, int height);

// One picture being resampled to every target, on the calling threads and on
// helpers of its own: rows are resampled across in chunks as they become
// final, and the pass down follows as far as the rows across allow. The
// decoding thread reports rows (MarkReady, MakeRoom, the conversions); Finish
// runs the steps from FinishAcross to Deliver. The helpers stop and are joined
// when the job is destroyed.
class ResampleJob {
public:
    // For a picture stored as storedWidth x storedHeight whose bitmap is not
    // there yet, seen with `orientation`, of which `part` is resampled and
    // placed as `framing` says (with its reference size, see
    // ReferencedFraming). `windowRows` and `batchRows`:
    // the window's size and the most rows the decoder writes between two
    // reports, for a bitmap held as a window of rows; 0 for a whole one.
    // Throws CTextException or bad_alloc.
    ResampleJob(int storedWidth, int storedHeight, std::span<const ResizeTarget> targets, int threads,
                int orientation, const PixelRect& part, const PictureFraming& framing, ResampleKernel kernel,
                int windowRows = 0, int batchRows = 0);
    ~ResampleJob();
    ResampleJob(const ResampleJob&) = delete;
    ResampleJob& operator=(const ResampleJob&) = delete;

    SourceRowReader& Rows() { return m_rows; }
    const SourceRowReader& Rows() const { return m_rows; }
    bool HasHelpers() const { return !m_helpers.empty(); }

    // `rowCount` decoded rows of the stored picture are final. Only a picture
    // seen as stored is resampled while it decodes, so they are the rows of
    // the picture seen, of which the part's are counted.
    void MarkReady(int rowCount);
    // Returns once the window's slots of the rows the decoder writes next are
    // no longer read: resamples rows itself while there are any to take, and
    // waits for the helpers' chunks otherwise.
    void MakeRoom(int rowCount);
    // True when rows [firstRow, rowCount), about to be reported in the file's
    // colors, are converted here (see CDecodedRowListener::TakeRowConversion).
    bool TakeConversion(const CColorConversion& conversion, int firstRow, int rowCount);
    // Returns once the rows taken for conversion are converted, taking and
    // resampling any that no helper has taken yet, and forgets the conversion.
    void ReleaseConversion();
    // True while no row was read, none taken for conversion, and the bitmap
    // is whole: its rows may then stay in the file's colors until Finish.
    bool Untouched();

    // The steps of Finish, in order. Creates every destination.
    void PrepareDestinations(std::span<const ResizeTarget> targets, bool alpha,
                             const PaletteEntry& background);
    // Resamples every row across that no thread has yet, `sourceConversion`
    // as for CTentResampler::SetSourceConversion, and waits for the helpers'.
    void FinishAcross(const CColorConversion* sourceConversion);
    // Resamples down what the helpers have not taken, on `threads` threads.
    void FinishDown(int threads);
    // Puts every target's result into its destination.
    void Deliver(std::span<const ResizeTarget> targets) const;

    // Time the decoding thread spent on the window: waiting for helpers, and
    // resampling rows itself because they had fallen behind.
    std::chrono::nanoseconds WaitTime() const;
    std::chrono::nanoseconds HelpTime() const;

private:
    bool TakeChunk(std::unique_lock<std::mutex>& lock, std::size_t thread, bool fullChunksOnly);
    bool TakeDownRows(std::unique_lock<std::mutex>& lock, std::size_t thread);
    void Help(std::size_t thread, bool waitForRows) noexcept;
    int FreeRows() const;

    SourceRowReader m_rows;
    // The pixels per box the rows are read in (see SourceRowReader).
    int m_boxUnit = 1;
    int m_height;
    std::vector<TargetPlan> m_plans;
    // One output row's sums per thread, for the pass down.
    std::vector<std::vector<double>> m_downValues;
    // One row shrunk in boxes per thread, for the pass across.
    std::vector<std::vector<double>> m_acrossScratch;
    int m_batchRows;
    std::chrono::steady_clock::duration m_waited{};
    std::chrono::steady_clock::duration m_helped{};

    std::mutex m_mutex;
    std::condition_variable m_wake;      // rows to take, or time to stop
    std::condition_variable m_finished;  // some chunk resampled across
    // Everything below is guarded by the mutex.
    RowState m_rowState;
    int m_ready = 0;    // rows [0, ready) of the part are final in the source
    int m_claimed = 0;  // rows [0, claimed) are taken by some thread
    int m_done = 0;     // rows resampled across
    // First rows of the chunks being resampled across, in no order.
    std::vector<int> m_inFlight;
    // Per plan, the output rows [0, claimed) of the pass down taken by some
    // thread, and the runs of them the helpers are resampling.
    std::vector<int> m_downClaimed;
    int m_downInFlight = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_helpers;
};

}  // namespace resample
