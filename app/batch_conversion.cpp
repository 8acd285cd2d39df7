#include "app/batch_conversion.h"

#include "engine/conversion_job.h"
#include "engine/front_end.h"
#include "imagelib/text_exception.h"

#include <QMetaObject>

#include <algorithm>
#include <cerrno>
#include <memory>

#ifdef _WIN32
#include <windows.h>
#elif defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

// The pictures would otherwise hold every core against the window, and
// against the helper threads Qt paints with, so that clicks, keys and a
// screen reader's questions wait behind them: the window's thread keeps its
// priority, the conversion takes what is left. On Linux a thread's niceness
// is its own and the threads it starts (resampler helpers, committers)
// inherit it; elsewhere setpriority would lower the whole process. Once per
// thread, below the priority it started with, whatever that was.
void yieldToTheWindow() {
    thread_local bool yielded = false;
    if (yielded) return;
    yielded = true;
#ifdef _WIN32
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
#elif defined(__linux__)
    constexpr int kBackgroundNiceness = 10;
    constexpr int kLowestNiceness = 19;
    const auto thread = static_cast<id_t>(gettid());
    errno = 0;
    const int niceness = getpriority(PRIO_PROCESS, thread);
    if (errno != 0) return;
    setpriority(PRIO_PROCESS, thread, std::min(niceness + kBackgroundNiceness, kLowestNiceness));
#endif
}

// Each picture's messages become its reason; the last one says most.
class ReasonRecorder : public UserNotifier {
public:
    explicit ReasonRecorder(std::string& reason) : m_reason(reason) {}
    void showMessage(const std::string& text, MessageIcon) override { m_reason = text; }

private:
    std::string& m_reason;
};

// The progress lines are not shown; a warning about the picture goes into
// the summary.
class WarningRecorder : public SilentProgressLog {
public:
    explicit WarningRecorder(std::string& warning) : m_warning(warning) {}
    void appendWarning(const std::string& text) override { m_warning = text; }

private:
    std::string& m_warning;
};

struct WindowConversion : WrittenConversion {
    WindowConversion(std::string& reason, std::string& warning) : notifier(reason), progress(warning) {}

    ReasonRecorder notifier;
    WarningRecorder progress;
    std::unique_ptr<PendingDatabase> database;
};

}  // namespace

CBatchConversion::CBatchConversion(std::vector<Conversion> plan, const ConversionSettings& settings)
    : m_plan(std::move(plan)),
      m_settings(settings),
      m_outcomes(m_plan.size(), Outcome::NotStarted),
      m_reasons(m_plan.size()),
      m_warnings(m_plan.size()) {}

CBatchConversion::~CBatchConversion() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

void CBatchConversion::start(int jobs) {
    m_thread = std::thread([this, jobs] { run(jobs); });
}

void CBatchConversion::run(int jobs) {
    // A picture's outcome and reason are touched by one thread at a time:
    // its writer, then its committer, then (after the join that ends the
    // batch) the window.
    ConversionSteps steps;
    steps.stopRequested = [this] { return m_stop.load(); };
    steps.write = [this](std::size_t index) -> std::unique_ptr<WrittenConversion> {
        // Each worker lowers itself before its first picture's threads start.
        yieldToTheWindow();
        emit pictureStarted(static_cast<int>(index));
        m_outcomes[index] = Outcome::Failed;
        auto pending = std::make_unique<WindowConversion>(m_reasons[index], m_warnings[index]);
        ConversionJob job;
        job.settings = m_settings;
        job.inputPath = m_plan[index].input;
        job.outputPath = m_plan[index].output;
        job.imageName = m_plan[index].imageName;
        job.replaceExisting = m_replaceExisting;
        job.notifier = &pending->notifier;
        job.progress = &pending->progress;
        // The image library's errors are no std::exception; like a single
        // conversion, a picture they end fails with their message.
        try {
            pending->database = job.write();
        } catch (const CTextException& error) {
            m_reasons[index] = error.GetUserMessage();
        }
        if (pending->database == nullptr) {
            emit pictureDone(static_cast<int>(index));
            return nullptr;
        }
        return pending;
    };
    steps.commit = [this](std::size_t index, WrittenConversion& written) {
        const bool committed =
            ConversionJob::commit(std::move(static_cast<WindowConversion&>(written).database));
        if (committed) m_outcomes[index] = Outcome::Converted;
        emit pictureDone(static_cast<int>(index));
        return committed;
    };
    steps.reportException = [this](std::size_t index, const std::exception& error) {
        m_reasons[index] = error.what();
        m_outcomes[index] = Outcome::Failed;
        emit pictureDone(static_cast<int>(index));
    };
    runBatch(m_plan, jobs, steps);
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_thread.joinable()) m_thread.join();
            m_finished = true;
            emit finished();
        },
        Qt::QueuedConnection);
}
