// kestrin_pane_bench: how long the window's preview pane takes from a change
// to the picture on display, the 250 ms wait after the last change included.
//
//   kestrin_pane_bench PICTURE [RUNS]      (bench/run.sh passes its 6000x4000 JPEG)
//
// "new input": the input field gets the picture (decode, scale, convert, read
// back); "other settings": depth and colour reduction change while the decoded
// picture is kept. PalmOS 5 (high-res), the slowest destination, throughout.
#include "app/preview_pane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Timing {
    double wallMs = 0;
    double cpuMs = 0;  // of every thread of the process
};

double processCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// From the request to the picture on display.
Timing timeToPicture(CPreviewPane& pane, const QString& path, const ConversionSettings& settings) {
    QEventLoop loop;
    const auto connection = QObject::connect(&pane, &CPreviewPane::previewShown, &loop, &QEventLoop::quit);
    const double cpuBefore = processCpuMs();
    QElapsedTimer clock;
    clock.start();
    pane.showConversion(path, settings, "bench");
    loop.exec();
    QObject::disconnect(connection);
    if (!pane.preview().error.empty()) {
        std::fprintf(stderr, "kestrin_pane_bench: %s\n", pane.preview().error.c_str());
        std::exit(1);
    }
    return {static_cast<double>(clock.nsecsElapsed()) / 1e6, processCpuMs() - cpuBefore};
}

double median(const std::vector<Timing>& timings, double Timing::*field) {
    std::vector<double> values;
    for (const Timing& timing : timings) values.push_back(timing.*field);
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestrin_pane_bench PICTURE [RUNS]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    std::vector<Timing> newInput;
    std::vector<Timing> otherSettings;
    for (int run = 0; run < runs; ++run) {
        CPreviewPane pane;  // a fresh pane keeps no decoded picture
        ConversionSettings settings;
        newInput.push_back(timeToPicture(pane, path, settings));
        settings.depth = kFourBits;
        otherSettings.push_back(timeToPicture(pane, path, settings));
        settings.reduction = ColorReduction::kRaw;
        otherSettings.push_back(timeToPicture(pane, path, settings));
    }
    const double wait = CPreviewPane::kDefaultDelay;
    std::printf("preview pane, PalmOS 5 (high-res), median of %d runs (%d threads)\n", runs,
                QThread::idealThreadCount());
    std::printf("%-16s %10s %14s %8s\n", "change", "wall ms", "after wait", "cpu ms");
    const auto row = [wait](const char* name, const std::vector<Timing>& timings) {
        const double wall = median(timings, &Timing::wallMs);
        std::printf("%-16s %10.0f %14.0f %8.0f\n", name, wall, wall - wait, median(timings, &Timing::cpuMs));
    };
    row("new input", newInput);
    row("other settings", otherSettings);
    return 0;
}
