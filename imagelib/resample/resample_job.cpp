#include "imagelib/resample/resample_job.h"

#include "imagelib/resample/parallel_rows.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <numeric>
#include <system_error>

namespace resample {
namespace {

// Below this many source pixels a second thread costs more than it saves.
constexpr std::int64_t kParallelPixels = 1 << 20;

}  // namespace

int ResolveThreads(int threads, int width, int height) {
    if (threads == CTentResampler::kAutomaticThreads)
        return static_cast<std::int64_t>(width) * height >= kParallelPixels ? DefaultThreadCount() : 1;
    return threads <= 0 ? DefaultThreadCount() : threads;
}

ResampleJob::ResampleJob(int storedWidth, int storedHeight, std::span<const ResizeTarget> targets,
                         int threads, int orientation, const PixelRect& part, const PictureFraming& framing,
                         ResampleKernel kernel, int windowRows, int batchRows)
    : m_rows(storedWidth, storedHeight, orientation, part, windowRows, ResamplesInLight(kernel)),
      m_height(m_rows.Part().height),
      m_plans(PlanTargets(kernel, framing, m_rows.Part(), targets)),
      m_batchRows(batchRows),
      m_downClaimed(m_plans.size(), 0) {
    int widestTaps = 0;
    int widestPlacement = 0;
    std::size_t widestScratch = 0;
    // Rows are read into the boxes every target's boxes are made of.
    int boxUnit = 0;
    for (const TargetPlan& plan : m_plans) {
        boxUnit = std::gcd(boxUnit, plan.BoxAcross());
        widestTaps = std::max(widestTaps, plan.AcrossTaps());
        widestPlacement = std::max(widestPlacement, plan.Placement().width);
        widestScratch = std::max(widestScratch, plan.AcrossScratch());
    }
    const auto threadCount = static_cast<std::size_t>(std::max(1, threads));
    m_boxUnit = std::max(1, boxUnit);
    m_rows.ReserveBuffers(static_cast<int>(threadCount), widestTaps, kChunkRows, m_boxUnit);
    m_downValues.assign(threadCount, std::vector<double>(4 * static_cast<std::size_t>(widestPlacement)));
    m_acrossScratch.assign(threadCount, std::vector<double>(widestScratch));
    m_inFlight.reserve(threadCount);
    // A helper the system refuses is simply not there; the others and the
    // caller share its rows. Nothing may escape here once one started: the
    // destructor that joins them would not run.
    try {
        for (std::size_t i = 1; i < threadCount; ++i) m_helpers.emplace_back([this, i] { Help(i, true); });
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
}

ResampleJob::~ResampleJob() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread& helper : m_helpers) helper.join();
}

void ResampleJob::MarkReady(int rowCount) {
    bool worthWaking = false;
    {
        std::lock_guard lock(m_mutex);
        const int partRows = std::clamp(rowCount - m_rows.Part().top, 0, m_height);
        if (partRows <= m_ready) return;
        m_ready = partRows;
        worthWaking = m_ready - m_claimed >= kChunkRows || m_ready == m_height;
    }
    if (worthWaking) m_wake.notify_all();
}

void ResampleJob::MakeRoom(int rowCount) {
    // The next batch overwrites the stored rows up to rowCount + batch -
    // window: the part's rows among them must be done, those above and below
    // it are never read.
    const std::int64_t overwritten =
        std::int64_t{rowCount} + m_batchRows - m_rows.WindowRows() - m_rows.Part().top;
    const int needed = static_cast<int>(std::min<std::int64_t>(overwritten, m_height));
    std::unique_lock lock(m_mutex);
    while (FreeRows() < needed && !m_stopping) {
        const auto start = std::chrono::steady_clock::now();
        const bool tookOne = TakeChunk(lock, 0, false);
        if (!tookOne) m_finished.wait(lock);
        (tookOne ? m_helped : m_waited) += std::chrono::steady_clock::now() - start;
    }
}

bool ResampleJob::TakeConversion(const CColorConversion& conversion, int firstRow, int rowCount) {
    if (!m_rows.TakesRowConversions()) return false;
    // Counted in rows of the part; rows outside it are never read.
    const int top = m_rows.Part().top;
    std::lock_guard lock(m_mutex);
    return m_rowState.TakeConversion(conversion, std::clamp(firstRow - top, 0, m_height),
                                     std::clamp(rowCount - top, 0, m_height));
}

void ResampleJob::ReleaseConversion() {
    std::unique_lock lock(m_mutex);
    if (m_rowState.rowConversion == nullptr) return;
    // Rows taken were about to be reported, so they are final.
    const int convertTo = m_rowState.convertTo;
    m_ready = std::max(m_ready, std::min(convertTo, m_height));
    while (m_claimed < convertTo && TakeChunk(lock, 0, false)) {
    }
    m_finished.wait(lock, [this, convertTo] { return FreeRows() >= convertTo || m_stopping; });
    m_rowState.rowConversion = nullptr;
}

bool ResampleJob::Untouched() {
    std::lock_guard lock(m_mutex);
    return m_rowState.rowConversion == nullptr && m_claimed == 0 && m_rows.WindowRows() == 0;
}

void ResampleJob::PrepareDestinations(std::span<const ResizeTarget> targets, bool alpha,
                                      const PaletteEntry& background) {
    for (std::size_t i = 0; i < targets.size(); ++i)
        m_plans[i].Prepare(*targets[i].destination, targets[i].width, targets[i].height, alpha, background);
}

void ResampleJob::FinishAcross(const CColorConversion* sourceConversion) {
    {
        std::lock_guard lock(m_mutex);
        m_rowState.sourceConversion = sourceConversion;
        if (m_rows.WindowRows() != 0) m_rowState.writtenRows = m_rows.Part().top + m_ready;
    }
    MarkReady(m_rows.Part().top + m_height);
    Help(0, false);
    std::unique_lock lock(m_mutex);
    m_finished.wait(lock, [this] { return m_done == m_height; });
}

void ResampleJob::FinishDown(int threads) {
    // The output rows the helpers have not taken, split across the threads
    // too, once the helpers' own are done.
    std::vector<int> firstLeft(m_plans.size());
    {
        std::lock_guard lock(m_mutex);
        for (std::size_t i = 0; i < m_plans.size(); ++i) {
            firstLeft[i] = m_downClaimed[i];
            m_downClaimed[i] = m_plans[i].Placement().height;
        }
    }
    for (std::size_t i = 0; i < m_plans.size(); ++i) {
        TargetPlan& plan = m_plans[i];
        const int first = firstLeft[i];
        const int rows = plan.Placement().height - first;
        std::vector<std::vector<double>> values(
            static_cast<std::size_t>(RowRunCount(rows, threads)),
            std::vector<double>(4 * static_cast<std::size_t>(plan.Placement().width)));
        ForEachRowRun(rows, threads, [&](int run, int begin, int end) {
            plan.ResampleDown(first + begin, first + end, values[static_cast<std::size_t>(run)].data());
        });
    }
    std::unique_lock lock(m_mutex);
    m_finished.wait(lock, [this] { return m_downInFlight == 0; });
}

void ResampleJob::Deliver(std::span<const ResizeTarget> targets) const {
    for (std::size_t i = 0; i < targets.size(); ++i) m_plans[i].Deliver(*targets[i].destination);
}

std::chrono::nanoseconds ResampleJob::WaitTime() const {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(m_waited);
}

std::chrono::nanoseconds ResampleJob::HelpTime() const {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(m_helped);
}

// Resamples one chunk of ready rows, if there is one worth taking, with the
// lock held on entry and on return. A helper waits for full chunks until the
// last rows; the decoding thread takes what there is.
bool ResampleJob::TakeChunk(std::unique_lock<std::mutex>& lock, std::size_t thread, bool fullChunksOnly) {
    const int available = m_ready - m_claimed;
    if (available <= 0 || (fullChunksOnly && available < kChunkRows && m_ready != m_height)) return false;
    const int begin = m_claimed;
    const int end = begin + std::min(available, kChunkRows);
    m_claimed = end;
    m_inFlight.push_back(begin);
    const RowState state = m_rowState;
    lock.unlock();
    double* scratch = m_acrossScratch[thread].data();
    m_rows.Read(thread, begin, end, state, [this, scratch](int y, const double* row) {
        for (TargetPlan& plan : m_plans) plan.ResampleAcross(y, row, m_boxUnit, scratch);
    });
    lock.lock();
    m_inFlight.erase(std::find(m_inFlight.begin(), m_inFlight.end(), begin));
    m_done += end - begin;
    m_finished.notify_all();
    return true;
}

// Resamples a few output rows of one target down, if the rows across that
// they read are all done; lock as for TakeChunk.
bool ResampleJob::TakeDownRows(std::unique_lock<std::mutex>& lock, std::size_t thread) {
    const int complete = FreeRows();
    for (std::size_t i = 0; i < m_plans.size(); ++i) {
        TargetPlan& plan = m_plans[i];
        const int begin = m_downClaimed[i];
        int end = begin;
        while (end < plan.Placement().height && end - begin < kDownRows &&
               plan.LastRowReadDown(end) < complete)
            ++end;
        if (end == begin) continue;
        m_downClaimed[i] = end;
        ++m_downInFlight;
        lock.unlock();
        plan.ResampleDown(begin, end, m_downValues[thread].data());
        lock.lock();
        --m_downInFlight;
        m_finished.notify_all();
        return true;
    }
    return false;
}

// Takes chunks of ready rows until there are none; a helper then goes on down
// as far as the rows across allow and waits for more, the caller returns.
void ResampleJob::Help(std::size_t thread, bool waitForRows) noexcept {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_stopping) return;
        if (TakeChunk(lock, thread, waitForRows)) continue;
        if (!waitForRows) return;
        if (TakeDownRows(lock, thread)) continue;
        m_wake.wait(lock);
    }
}

// Rows [0, free) are resampled across and no longer read.
int ResampleJob::FreeRows() const {
    return m_inFlight.empty() ? m_claimed : *std::min_element(m_inFlight.begin(), m_inFlight.end());
}

}  // namespace resample
