#include "cli/console_batch.h"

#include "cli/console_front_end.h"
#include "cli/preview_writer.h"
#include "engine/conversion_job.h"
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

    // A link counts as there, dangling or not: the name is taken.
    const std::string existsMessage =
        "Output file " + conversion.output + " already exists; use --force to overwrite it.";
    std::error_code error;
    if (!options.force &&
        std::filesystem::exists(std::filesystem::symlink_status(conversion.output, error))) {
        frontEnd.showMessage(existsMessage, MessageIcon::Warning);
        return nullptr;
    }

    if (!options.previewPath.empty() && isSameFile(options.previewPath, conversion.input)) {
        frontEnd.showMessage(
            "Preview " + options.previewPath + " is the source picture itself; it was not overwritten.",
            MessageIcon::Error);
        return nullptr;
    }

    ConversionJob job;
    job.settings = options.conversion;
    job.inputPath = conversion.input;
    job.outputPath = conversion.output;
    job.imageName = conversion.imageName;
    // Nor is a database that another program writes meanwhile replaced.
    job.replaceExisting = options.force;
    job.existingOutputMessage = existsMessage;
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
