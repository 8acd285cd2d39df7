#include "cli/console_batch.h"

#include "cli/console_front_end.h"
#include "cli/palm_file_commands.h"
#include "cli/preview_writer.h"
#include "engine/conversion_job.h"
#include "engine/output_replacement.h"
#include "engine/temporary_file.h"

#include <filesystem>
#include <system_error>

std::vector<Conversion> planConversions(const CommandLineOptions& options) {
    std::vector<Conversion> plan;
    const bool batch = !options.outputDirectory.empty();
    for (const auto& input : options.inputs) {
        Conversion conversion;
        conversion.input = input;
        if (batch) {
            conversion = conversionIntoFolder(input, options.outputDirectory);
            if (options.imageNameGiven) conversion.imageName = options.imageName;
        } else {
            const std::string databaseName = fileStem(input).empty() ? "MyVexmoorImg" : fileStem(input);
            conversion.output = options.outputPath.empty() ? databaseName + ".pdb" : options.outputPath;
            conversion.imageName = options.imageNameGiven ? options.imageName : kDefaultImageName;
        }
        plan.push_back(conversion);
    }
    return plan;
}

namespace {

Verbosity verbosityOf(const CommandLineOptions& options) {
    return options.quiet ? Verbosity::kQuiet : options.verbose ? Verbosity::kVerbose : Verbosity::kNormal;
}

// The picture's console voice; the log names the picture only when several
// are converted, every other line always does.
ConsoleFrontEnd frontEndFor(const CommandLineOptions& options, const Conversion& conversion) {
    return ConsoleFrontEnd(conversion.input, !options.outputDirectory.empty(), verbosityOf(options));
}

// One picture on its way: its console voice, and its database once written.
struct ConsoleConversion : WrittenConversion {
    explicit ConsoleConversion(ConsoleFrontEnd voice) : frontEnd(std::move(voice)) {}

    ConsoleFrontEnd frontEnd;
    std::unique_ptr<PendingDatabase> database;
};

// Refuses, before anything is converted, an output or preview that may not
// be written: a file of another kind is never replaced, one of the same kind
// only with --force.
bool mayWrite(const std::string& path, OutputKind kind, bool force) {
    const auto refusal = outputRefusal(path, kind, force);
    if (!refusal) return true;
    ConsoleFrontEnd::writeError(path,
                                refusal->reason + (refusal->exists ? "; use --force to replace it" : ""));
    return false;
}

std::unique_ptr<WrittenConversion> writeOne(const CommandLineOptions& options, const Conversion& conversion) {
    auto pending = std::make_unique<ConsoleConversion>(frontEndFor(options, conversion));
    ConsoleFrontEnd& frontEnd = pending->frontEnd;

    if (!mayWrite(conversion.output, OutputKind::kPalmDatabase, options.force)) return nullptr;
    if (!options.previewPath.empty()) {
        if (isSameFile(options.previewPath, conversion.input)) {
            ConsoleFrontEnd::writeError(options.previewPath,
                                        "is the picture being converted, so it is not replaced");
            return nullptr;
        }
        if (!mayWrite(options.previewPath, OutputKind::kPng, options.force)) return nullptr;
    }

    ConversionJob job;
    job.settings = options.conversion;
    job.inputPath = conversion.input;
    job.outputPath = conversion.output;
    job.imageName = conversion.imageName;
    // Nor is a database that another program writes meanwhile replaced.
    job.replaceExisting = options.force;
    job.notifier = &frontEnd;
    job.progress = &frontEnd;
    pending->database = job.write();
    if (pending->database == nullptr) return nullptr;
    return pending;
}

// Moves the written database into place, writes the preview and says what
// was written.
bool commitOne(const CommandLineOptions& options, const Conversion& conversion, ConsoleConversion& pending) {
    if (!ConversionJob::commit(std::move(pending.database))) return false;
    if (!options.previewPath.empty()) {
        std::string previewError;
        if (!writePreviewPng(conversion.output, options.previewPath, options.force, previewError)) {
            ConsoleFrontEnd::writeError(options.previewPath, previewError);
            return false;
        }
    }
    if (!options.quiet) ConsoleFrontEnd::writeResult(describeWrittenDatabase(conversion.output));
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
        ConsoleFrontEnd::writeError(plan[index].input, std::string("the conversion failed: ") + error.what());
    };
    return steps;
}
