// kestrin_batch_window_bench: the window converting many pictures at once,
// from START to the summary, and how steadily it repaints and takes events
// meanwhile.
//
//   kestrin_batch_window_bench FOLDER PICTURE...
//   kestrin_batch_window_bench --single FOLDER PICTURE
//
// Opens the main window (offscreen) with the pictures, the default settings
// of a first start and FOLDER as the output folder, waits for the preview of
// the first picture as a user would see it, presses START and prints four
// numbers: the seconds until the summary, the longest time in milliseconds
// between two paints of the window while it was asked to repaint every 20 ms,
// and the longest and the 99th percentile of the times between two turns of
// the event loop, taken by a timer due every 10 ms (so 10 ms is the least):
// how long a click, a key or a screen reader's question would have waited.
// With --single the one picture goes into FOLDER/single.pdb through the
// progress window of one conversion. bench/run.sh sets the batch beside
// kestrin-convert -j N --outdir on the same pictures.
#include "app/file_picker.h"
#include "app/main_dialog.h"
#include "app/preview_pane.h"
#include "app/prompter.h"
#include "app/settings.h"
#include "app/shell.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace {

// Nothing is stored; every value keeps its first-start default.
class NoSettings : public CSettingsStore {
public:
    std::optional<quint32> readNumber(const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> readText(const QString&, const QString&) override { return std::nullopt; }
    void writeNumber(const QString&, const QString&, quint32) override {}
    void writeText(const QString&, const QString&, const QString&) override {}
    void flush() override {}
    void deleteAll() override {}
};

class SummaryPrompter : public CPrompter {
public:
    PromptAnswer prompt(const PromptRequest& request) override {
        summary = request.text;
        return PromptAnswer::Yes;
    }
    QString summary;
};

class NoPicker : public CFilePicker {
public:
    std::optional<QString> pickSource(QWidget*, const QStringList&) override { return std::nullopt; }
    std::optional<QString> pickOutput(QWidget*, const QString&, const QString&, const QStringList&) override {
        return std::nullopt;
    }
    std::optional<QStringList> pickSources(QWidget*, const QStringList&) override { return std::nullopt; }
    std::optional<QString> pickFolder(QWidget*, const QString&) override { return std::nullopt; }
};

class NoShell : public CShell {
public:
    QString temporaryFolder() override { return {}; }
    std::vector<DocumentHandler> findHandlers(const QString&, const QString&) override { return {}; }
    void openDocument(const DocumentHandler&, const QString&, const QString&) override {}
    bool startProgram(const QString&, const QString&, const QString&) override { return false; }
};

// Records when the window paints.
class PaintClock : public QObject {
public:
    explicit PaintClock(const QElapsedTimer& clock) : m_clock(clock) {}
    qint64 longestGapMs() const { return m_longestGap; }
    bool running = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (running && event->type() == QEvent::Paint) {
            const qint64 now = m_clock.elapsed();
            if (m_last >= 0) m_longestGap = std::max(m_longestGap, now - m_last);
            m_last = now;
        }
        return false;
    }

private:
    const QElapsedTimer& m_clock;
    qint64 m_last = -1;
    qint64 m_longestGap = 0;
};

// CPU time of the calling thread and its time runnable but waiting for a
// core, in milliseconds, from the kernel's scheduler statistics.
struct ThreadTimes {
    double cpuMs = 0;
    double waitMs = 0;
};

ThreadTimes threadTimes() {
    ThreadTimes times;
    if (std::FILE* stats = std::fopen("/proc/thread-self/schedstat", "r")) {
        unsigned long long cpu = 0, wait = 0;
        if (std::fscanf(stats, "%llu %llu", &cpu, &wait) == 2) times = {cpu / 1e6, wait / 1e6};
        std::fclose(stats);
    }
    return times;
}

// Records the time between the turns of the event loop: a timer due every
// 10 ms fires late by as long as the loop was kept from it, by its own work
// (time on a core) or by other threads holding the cores.
class TurnClock {
public:
    struct Gap {
        double wallMs = 0;
        double cpuMs = 0;
        double waitMs = 0;
    };

    explicit TurnClock(const QElapsedTimer& clock) : m_clock(clock) {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { record(); });
    }

    void start() {
        m_last = m_clock.nsecsElapsed();
        m_lastTimes = threadTimes();
        m_timer.start();
    }

    // The last gap runs to the end, the summary included.
    void stop() {
        record();
        m_timer.stop();
    }

    Gap longest() const {
        const auto byWall = [](const Gap& a, const Gap& b) { return a.wallMs < b.wallMs; };
        return m_gaps.empty() ? Gap{} : *std::max_element(m_gaps.begin(), m_gaps.end(), byWall);
    }

    double percentileMs(double fraction) const {
        if (m_gaps.empty()) return 0;
        std::vector<double> sorted;
        for (const Gap& gap : m_gaps) sorted.push_back(gap.wallMs);
        std::sort(sorted.begin(), sorted.end());
        const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
        return sorted[rank];
    }

private:
    void record() {
        const qint64 now = m_clock.nsecsElapsed();
        const ThreadTimes times = threadTimes();
        m_gaps.push_back({static_cast<double>(now - m_last) / 1e6, times.cpuMs - m_lastTimes.cpuMs,
                          times.waitMs - m_lastTimes.waitMs});
        m_last = now;
        m_lastTimes = times;
    }

    const QElapsedTimer& m_clock;
    QTimer m_timer;
    qint64 m_last = 0;
    ThreadTimes m_lastTimes;
    std::vector<Gap> m_gaps;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const bool single = argc > 1 && std::strcmp(argv[1], "--single") == 0;
    const int first = single ? 2 : 1;
    if (argc - first < (single ? 2 : 3) || (single && argc - first > 2)) {
        std::fprintf(stderr,
                     "usage: kestrin_batch_window_bench FOLDER PICTURE PICTURE...\n"
                     "       kestrin_batch_window_bench --single FOLDER PICTURE\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[first]);
    QStringList pictures;
    for (int i = first + 1; i < argc; ++i) pictures.append(QString::fromLocal8Bit(argv[i]));
    const QString singleOutput = QDir(folder).filePath(QStringLiteral("single.pdb"));

    NoSettings store;
    CSettings settings(store);
    SummaryPrompter prompter;
    NoPicker picker;
    NoShell shell;
    CMainDialog dialog(settings, prompter, picker, shell);
    dialog.show();
    dialog.openPictures(pictures);
    dialog.findChild<QComboBox*>(QStringLiteral("outputFileCombo"))
        ->setEditText(single ? singleOutput : folder);
    while (dialog.previewPane().isBusy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    QElapsedTimer clock;
    clock.start();
    PaintClock paints(clock);
    dialog.installEventFilter(&paints);
    QTimer repaint;
    QObject::connect(&repaint, &QTimer::timeout, &dialog, [&dialog] { dialog.update(); });
    repaint.start(20);
    TurnClock turns(clock);
    paints.running = true;
    turns.start();
    const ThreadTimes before = threadTimes();
    const qint64 started = clock.elapsed();
    dialog.findChild<QPushButton*>(QStringLiteral("startButton"))->click();
    const qint64 finished = clock.elapsed();
    turns.stop();
    paints.running = false;
    const ThreadTimes after = threadTimes();
    std::fprintf(stderr, "window thread: %.0f ms on a core, %.0f ms waiting for one\n",
                 after.cpuMs - before.cpuMs, after.waitMs - before.waitMs);

    const TurnClock::Gap longest = turns.longest();
    std::fprintf(stderr,
                 "longest time between turns: %.0f ms, %.0f ms of it on a core, %.0f ms waiting for one\n",
                 longest.wallMs, longest.cpuMs, longest.waitMs);
    std::printf("%.3f %lld %.0f %.0f\n", static_cast<double>(finished - started) / 1e3,
                static_cast<long long>(paints.longestGapMs()), longest.wallMs, turns.percentileMs(0.99));
    if (single) return QFileInfo(singleOutput).size() > 0 ? 0 : 1;
    std::fprintf(stderr, "%s\n", prompter.summary.toLocal8Bit().constData());
    return prompter.summary.startsWith(QStringLiteral("Converted: %1 of").arg(pictures.size())) ? 0 : 1;
}
