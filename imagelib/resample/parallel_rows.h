#pragma once

#include <functional>

// How many runs ForEachRowRun splits `count` rows into on `threads` threads
// (0 means one per core): never more runs than rows.
int RowRunCount(int count, int threads);

// Splits rows [0, count) into RowRunCount contiguous runs and calls
// work(run, begin, end) for each, one run per thread, the calling thread
// included. Returns when every run is done. The work must not throw. When the
// system refuses another thread, the calling thread does the remaining runs
// itself, so the result never depends on how many threads ran.
void ForEachRowRun(int count, int threads, const std::function<void(int run, int begin, int end)>& work);

// The number of threads 0 stands for: the cores this process may use.
int DefaultThreadCount();
