#pragma once

#include "cli/command_line.h"
#include "engine/batch_runner.h"

#include <vector>

// The conversions the options ask for, one per input, in the order given.
std::vector<Conversion> planConversions(const CommandLineOptions& options);

// The steps of kestrin-convert: each picture is written through a
// ConversionJob with its own console voice, refused when its database exists
// and --force was not given, and followed by the preview when one was asked
// for. The options and the plan must outlive the steps.
ConversionSteps consoleConversionSteps(const CommandLineOptions& options,
                                       const std::vector<Conversion>& plan);
