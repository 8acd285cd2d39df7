// kestrin-convert: the command-line front end of the conversion engine.
#include "cli/command_line.h"
#include "cli/console_batch.h"
#include "cli/palm_file_commands.h"
#include "engine/engine_version.h"
#include "engine/output_file.h"

#include <sys/stat.h>
#include <cerrno>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

enum ExitStatus { kAllConverted = 0, kSomeFailed = 1, kUsageError = 2 };

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
    if (options.mode == CommandMode::Info) return printPalmFileInfo(options.inputs, std::cout, std::cerr);
    if (options.mode == CommandMode::Extract)
        return extractPalmPicture(options.inputs.front(), options.outputPath, options.density, options.force,
                                  std::cerr);

    if (!options.outputDirectory.empty()) {
        struct stat folder {};
        const int error = ::stat(options.outputDirectory.c_str(), &folder) != 0 ? errno
                          : !S_ISDIR(folder.st_mode)                            ? ENOTDIR
                                                                                : 0;
        if (error != 0) {
            std::fprintf(stderr,
                         "kestrin-convert: %s: %s\nTry 'kestrin-convert --help' for more information.\n",
                         options.outputDirectory.c_str(), describeSystemError(error).c_str());
            return kUsageError;
        }
    }

    const std::vector<Conversion> plan = planConversions(options);
    const std::size_t failed = runBatch(plan, options.jobs, consoleConversionSteps(options, plan));
    return failed == 0 ? kAllConverted : kSomeFailed;
}
