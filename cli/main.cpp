// kestrin-convert: the command-line front end of the conversion engine.
#include "cli/command_line.h"
#include "cli/console_front_end.h"
#include "cli/preview_writer.h"
#include "engine/conversion_job.h"
#include "engine/engine_version.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace {

enum ExitStatus { kAllConverted = 0, kSomeFailed = 1, kUsageError = 2 };

struct Conversion {
    std::string input;
    std::string output;
    std::string imageName;
};

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

// One picture on its way: its console voice, and its database once written.
struct PendingConversion {
    PendingConversion(const std::string& prefix, bool showProgress) : frontEnd(prefix, showProgress) {}

    ConsoleFrontEnd frontEnd;
    std::unique_ptr<PendingDatabase> database;
};

std::string messagePrefix(const Conversion& conversion, bool batch) {
    return batch ? conversion.input + ": " : "";
}

// Writes the picture's database into its temporary file; nullptr when that
// failed (and was said).
std::unique_ptr<PendingConversion> writeOne(const CommandLineOptions& options, const Conversion& conversion,
                                            bool batch) {
    auto pending = std::make_unique<PendingConversion>(messagePrefix(conversion, batch), !options.quiet);
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
bool commitOne(const CommandLineOptions& options, const Conversion& conversion, PendingConversion& pending) {
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

// An exception that escapes one conversion (memory exhausted outside the
// image library, say) fails that picture; in a worker thread it would
// otherwise end the whole process, batch and all.
template <class Step>
auto guarded(const CommandLineOptions& options, const Conversion& conversion, bool batch, Step step)
    -> decltype(step()) {
    try {
        return step();
    } catch (const std::exception& error) {
        ConsoleFrontEnd frontEnd(messagePrefix(conversion, batch), !options.quiet);
        frontEnd.showMessage(std::string("the conversion failed: ") + error.what(), MessageIcon::Error);
        return {};
    }
}

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

// Pictures whose databases would land on the same path ("photo.jpg" and
// "photo.png" both make "photo.pdb") are converted one after the other in the
// order given, by one worker: the second then finds the first's database and
// is refused without --force or replaces it with --force, just as without -j.
// Everything else may run at once.
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

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const CommandLineResult parsed = parseCommandLine(arguments);
    if (!parsed.options) {
        std::fprintf(stderr, "kestrin-convert: %s\nTry 'kestrin-convert --help' for more information.\n",
                     parsed.error.c_str());
        return kUsageError;
    }
    const CommandLineOptions& options = *parsed.options;
    if (options.showHelp) {
        std::fputs(usageText().c_str(), stdout);
        return kAllConverted;
    }
    if (options.showVersion) {
        std::printf("kestrin-convert %s\n", kKestrinVersion);
        return kAllConverted;
    }

    const bool batch = !options.outputDirectory.empty();
    if (batch) {
        std::error_code error;
        if (!std::filesystem::is_directory(options.outputDirectory, error)) {
            std::fprintf(stderr, "kestrin-convert: output folder %s does not exist\n",
                         options.outputDirectory.c_str());
            return kUsageError;
        }
    }

    const std::vector<Conversion> plan = planConversions(options);
    const std::vector<std::vector<std::size_t>> groups = groupBySharedOutput(plan);
    std::vector<char> succeeded(plan.size(), 0);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t workers = std::min<std::size_t>(
        groups.size(), options.jobs > 0 ? static_cast<std::size_t>(options.jobs) : cores);

    // Each worker takes the next group and converts its pictures in the order
    // they were given. Conversions share nothing but the console.
    std::atomic<std::size_t> next{0};
    auto work = [&]() {
        Committer committer;
        for (std::size_t group = next++; group < groups.size(); group = next++) {
            for (std::size_t i : groups[group]) {
                // A picture sharing its output path with the one before must
                // find that one's database in place.
                if (groups[group].size() > 1) committer.wait();
                const Conversion& conversion = plan[i];
                std::shared_ptr<PendingConversion> pending = guarded(options, conversion, batch, [&] {
                    return std::shared_ptr(writeOne(options, conversion, batch));
                });
                if (pending == nullptr) continue;
                committer.start([&, i, pending] {
                    succeeded[i] = guarded(options, conversion, batch,
                                           [&] { return commitOne(options, conversion, *pending); });
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

    for (char ok : succeeded)
        if (!ok) return kSomeFailed;
    return kAllConverted;
}
