// kestrin_batch_window_bench: the window converting many pictures at once,
// from START to the summary, and how steadily it repaints meanwhile.
//
//   kestrin_batch_window_bench FOLDER PICTURE...
//
// Opens the main window (offscreen) with the pictures, the default settings
// of a first start and FOLDER as the output folder, waits for the preview of
// the first picture as a user would see it, presses START and prints the
// seconds until the summary and the longest time in milliseconds between two
// paints of the window while it was asked to repaint every 20 ms. bench/run.sh
// sets it beside kestrin-convert -j N --outdir on the same pictures.
#include "app/file_picker.h"
#include "app/main_dialog.h"
#include "app/preview_pane.h"
#include "app/prompter.h"
#include "app/settings.h"
#include "app/shell.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <map>

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

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: kestrin_batch_window_bench FOLDER PICTURE PICTURE...\n");
        return 2;
    }
    QStringList pictures;
    for (int i = 2; i < argc; ++i) pictures.append(QString::fromLocal8Bit(argv[i]));

    NoSettings store;
    CSettings settings(store);
    SummaryPrompter prompter;
    NoPicker picker;
    NoShell shell;
    CMainDialog dialog(settings, prompter, picker, shell);
    dialog.show();
    dialog.openPictures(pictures);
    dialog.findChild<QComboBox*>(QStringLiteral("outputFileCombo"))
        ->setEditText(QString::fromLocal8Bit(argv[1]));
    while (dialog.previewPane().isBusy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    QElapsedTimer clock;
    clock.start();
    PaintClock paints(clock);
    dialog.installEventFilter(&paints);
    QTimer repaint;
    QObject::connect(&repaint, &QTimer::timeout, &dialog, [&dialog] { dialog.update(); });
    repaint.start(20);
    paints.running = true;
    const qint64 started = clock.elapsed();
    dialog.findChild<QPushButton*>(QStringLiteral("startButton"))->click();
    const qint64 finished = clock.elapsed();
    paints.running = false;

    std::printf("%.3f %lld\n", static_cast<double>(finished - started) / 1e3,
                static_cast<long long>(paints.longestGapMs()));
    std::fprintf(stderr, "%s\n", prompter.summary.toLocal8Bit().constData());
    return prompter.summary.startsWith(QStringLiteral("Converted: %1 of").arg(pictures.size())) ? 0 : 1;
}
