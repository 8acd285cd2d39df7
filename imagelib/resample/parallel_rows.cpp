#include "imagelib/resample/parallel_rows.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

int DefaultThreadCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(std::min(cores, 64U));
}

int RowRunCount(int count, int threads) {
    if (count <= 0) return 0;
    return std::min(threads <= 0 ? DefaultThreadCount() : threads, count);
}

void ForEachRowRun(int count, int threads, const std::function<void(int run, int begin, int end)>& work) {
    const int runs = RowRunCount(count, threads);
    if (runs == 0) return;
    const auto runStart = [count, runs](int run) {
        return static_cast<int>(static_cast<long long>(count) * run / runs);
    };

    std::vector<std::thread> helpers;
    int run = 1;
    try {
        helpers.reserve(static_cast<std::size_t>(runs - 1));
        for (; run < runs; ++run) helpers.emplace_back(work, run, runStart(run), runStart(run + 1));
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    work(0, runStart(0), runStart(1));
    // The runs no helper took.
    for (; run < runs; ++run) work(run, runStart(run), runStart(run + 1));
    for (std::thread& helper : helpers) helper.join();
}
