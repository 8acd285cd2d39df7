#include "engine/batch_runner.h"

#include "engine/conversion_settings.h"
#include "engine/windows_1252.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <map>
#include <system_error>
#include <thread>

std::string fileStem(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.substr(0, name.find('.'));
}

std::string defaultBatchImageName(const std::string& inputPath) {
    const std::string stem = fileStem(inputPath);
    // One byte per character in the handheld's set, so the cut never splits
    // a character; what the set cannot hold becomes "_".
    return stem.empty() ? kDefaultImageName
                        : encodeWindows1252(stem, '_').bytes.substr(0, kMaxImageNameLength);
}

Conversion conversionIntoFolder(const std::string& input, const std::string& folder) {
    const std::string databaseName = fileStem(input).empty() ? "MyVexmoorImg" : fileStem(input);
    return {input, (std::filesystem::path(folder) / (databaseName + ".pdb")).string(),
            defaultBatchImageName(input)};
}

// Converted one after the other, pictures sharing a database path behave as
// without -j: the second finds the first's database and is refused without
// --force or replaces it with --force. Were they converted at once, either
// could win, and neither would be refused.
std::vector<std::vector<std::size_t>> groupBySharedOutput(const std::vector<Conversion>& plan) {
    std::vector<std::vector<std::size_t>> groups;
    std::map<std::string, std::size_t> groupOfOutput;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        std::string key = std::filesystem::path(plan[i].output).lexically_normal().string();
#ifdef _WIN32
        // Windows file names ignore case.
        std::transform(key.begin(), key.end(), key.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
#endif
        const auto [entry, added] = groupOfOutput.try_emplace(key, groups.size());
        if (added) groups.emplace_back();
        groups[entry->second].push_back(i);
    }
    return groups;
}

std::size_t workerCount(std::size_t groups, int jobs, unsigned cores) {
    const std::size_t asked = jobs > 0 ? static_cast<std::size_t>(jobs) : std::max(1u, cores);
    return std::max<std::size_t>(1, std::min(groups, asked));
}

namespace {

// Moves one worker's databases into place on a thread of their own, so that
// the wait for the disk overlaps the next picture's decoding. At most one
// database is in flight at a time.
class Committer {
public:
    ~Committer() { wait(); }

    void start(const std::function<void()>& commit) {
        wait();
        try {
            m_thread = std::thread(commit);
        } catch (const std::system_error&) {
            // No thread to be had: commit here and now.
            commit();
        }
    }

    void wait() {
        if (m_thread.joinable()) m_thread.join();
    }

private:
    std::thread m_thread;
};

// An exception that escapes one picture (memory exhausted outside the image
// library, say) fails that picture; in a worker thread it would otherwise end
// the whole process, batch and all.
template <class Step>
auto guarded(const ConversionSteps& steps, std::size_t index, Step step) -> decltype(step()) {
    try {
        return step();
    } catch (const std::exception& error) {
        if (steps.reportException) steps.reportException(index, error);
        return {};
    }
}

}  // namespace

std::size_t runBatch(const std::vector<Conversion>& plan, int jobs, const ConversionSteps& steps) {
    const std::vector<std::vector<std::size_t>> groups = groupBySharedOutput(plan);
    std::vector<char> succeeded(plan.size(), 0);
    const std::size_t workers = workerCount(groups.size(), jobs, std::thread::hardware_concurrency());

    // Conversions share nothing but the console.
    std::atomic<std::size_t> next{0};
    auto work = [&]() {
        Committer committer;
        for (std::size_t group = next++; group < groups.size(); group = next++) {
            for (std::size_t i : groups[group]) {
                if (steps.stopRequested && steps.stopRequested()) return;
                if (groups[group].size() > 1) committer.wait();
                std::shared_ptr<WrittenConversion> written =
                    guarded(steps, i, [&] { return std::shared_ptr<WrittenConversion>(steps.write(i)); });
                if (written == nullptr) continue;
                committer.start([&, i, written] {
                    succeeded[i] = guarded(steps, i, [&] { return steps.commit(i, *written); });
                });
            }
        }
    };
    if (workers <= 1) {
        work();
    } else {
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < workers; ++i) threads.emplace_back(work);
        for (auto& thread : threads) thread.join();
    }
    return static_cast<std::size_t>(std::count(succeeded.begin(), succeeded.end(), 0));
}
