// kestrin_bench_measure: runs one command and reports what it cost.
//
//   kestrin_bench_measure RESULT_FILE COMMAND [ARGUMENT...]
//
// Writes one line to RESULT_FILE: wall seconds, CPU seconds (user + system),
// peak resident memory in KiB and the exit status (128 + signal number when the
// command was killed). The command's own output goes where this program's
// goes. The peak comes from the kernel's accounting of the child (wait4), so
// no outside timing tool is needed.
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

namespace {

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: kestrin_bench_measure RESULT_FILE COMMAND [ARGUMENT...]\n", stderr);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0) {
        std::perror("fork");
        return 2;
    }
    if (child == 0) {
        ::execvp(argv[2], argv + 2);
        std::perror(argv[2]);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    while (::wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::perror("wait4");
            return 2;
        }
    }
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;

    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::FILE* result = std::fopen(argv[1], "w");
    if (result == nullptr) {
        std::perror(argv[1]);
        return 2;
    }
    std::fprintf(result, "%.6f %.6f %ld %d\n", wall.count(),
                 Seconds(usage.ru_utime) + Seconds(usage.ru_stime), usage.ru_maxrss, exitStatus);
    std::fclose(result);
    return 0;
}
