#include "cli/batch_runner.h"

#include "cli/console_front_end.h"
#include "cli/preview_writer.h"
#include "engine/conversion_job.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <map>
#include <system_error>
#include <thread>

std::vector<Conversion> planConversions(const CommandLineOptions& options) {
    std::vector<Conversion> plan;
    const bool batch = !options.outputDirectory.empty();
    for (const auto& input : options.inputs) {
        Conversion conversion;
        conversion.input = input;
        const std::string databaseName = fileStem(input).empty() ? "MyVexmoorImg" : fileStem(input);
        if (batch) {
            conversion.output =
                (std::filesystem::path(options.outputDirectory) / (databaseName + ".pdb")).string();
            conversion.imageName = options.imageNameGiven ? options.imageName : defaultBatchImageName(input);
        } else {
            conversion.output = options.outputPath.empty() ? databaseName + ".pdb" : options.outputPath;
            conversion.imageName = options.imageNameGiven ? options.imageName : kDefaultImageName;
        }
        plan.push_back(conversion);
    }
    return plan;
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

namespace {

// One picture on its way: its console voice, and its database once written.
struct ConsoleConversion : WrittenConversion {
    ConsoleConversion(const std::string& prefix, bool showProgress) : frontEnd(prefix, showProgress) {}

    ConsoleFrontEnd frontEnd;
    std::unique_ptr<PendingDatabase> database;
};

std::string messagePrefix(const CommandLineOptions& options, const Conversion& conversion) {
    return options.outputDirectory.empty() ? "" : conversion.input + ": ";
}

std::unique_ptr<WrittenConversion> writeOne(const CommandLineOptions& options, const Conversion& conversion) {
    auto pending = std::make_unique<ConsoleConversion>(messagePrefix(options, conversion), !options.quiet);
    ConsoleFrontEnd& frontEnd = pending->frontEnd;

    std::error_code error;
    if (!options.force && std::filesystem::exists(conversion.output, error)) {
        frontEnd.showMessage(
            "Output file " + conversion.output + " already exists; use --force to overwrite it.",
            MessageIcon::Warning);
        return nullptr;
    }

    ConversionJob job;
    job.settings = options.conversion;
    job.inputPath = conversion.input;
    job.outputPath = conversion.output;
    job.imageName = conversion.imageName;
    job.notifier = &frontEnd;
    job.progress = &frontEnd;
    pending->database = job.write();
    if (pending->database == nullptr) return nullptr;
    return pending;
}

// Moves the written database into place and writes the preview.
bool commitOne(const CommandLineOptions& options, const Conversion& conversion, ConsoleConversion& pending) {
    if (!ConversionJob::commit(std::move(pending.database))) return false;
    if (!options.previewPath.empty()) {
        std::string previewError;
        if (!writePreviewPng(conversion.output, options.previewPath, previewError)) {
            pending.frontEnd.showMessage(previewError, MessageIcon::Error);
            return false;
        }
    }
    return true;
}

}  // namespace

ConversionSteps consoleConversionSteps(const CommandLineOptions& options,
                                       const std::vector<Conversion>& plan) {
    ConversionSteps steps;
    steps.write = [&options, &plan](std::size_t index) { return writeOne(options, plan[index]); };
    steps.commit = [&options, &plan](std::size_t index, WrittenConversion& written) {
        return commitOne(options, plan[index], static_cast<ConsoleConversion&>(written));
    };
    steps.reportException = [&options, &plan](std::size_t index, const std::exception& error) {
        ConsoleFrontEnd frontEnd(messagePrefix(options, plan[index]), !options.quiet);
        frontEnd.showMessage(std::string("the conversion failed: ") + error.what(), MessageIcon::Error);
    };
    return steps;
}
