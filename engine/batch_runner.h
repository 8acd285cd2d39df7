#pragma once

#include "cli/command_line.h"

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// One picture of a run: where it comes from, where its database goes and the
// name the database gets.
struct Conversion {
    std::string input;
    std::string output;
    std::string imageName;
};

// The conversions the options ask for, one per input, in the order given.
std::vector<Conversion> planConversions(const CommandLineOptions& options);

// Pictures whose databases would land on the same path ("photo.jpg" and
// "photo.png" both make "photo.pdb") form one group, in the order given; every
// other picture is a group of its own. Groups are in the order of their first
// picture.
std::vector<std::vector<std::size_t>> groupBySharedOutput(const std::vector<Conversion>& plan);

// How many workers convert `groups` groups when `jobs` were asked for (0: one
// per core of a machine with `cores` cores): never more than there are groups,
// and at least one.
std::size_t workerCount(std::size_t groups, int jobs, unsigned cores);

// A picture between its two steps; what it holds is the steps' business.
class WrittenConversion {
public:
    virtual ~WrittenConversion() = default;
};

// The two halves of converting picture `index` of the plan. write runs on a
// worker and gives nullptr when the picture failed (and has said why); commit
// finishes a written picture and says whether it succeeded. An exception that
// escapes either step fails that picture and is handed to reportException.
struct ConversionSteps {
    std::function<std::unique_ptr<WrittenConversion>(std::size_t index)> write;
    std::function<bool(std::size_t index, WrittenConversion& written)> commit;
    std::function<void(std::size_t index, const std::exception& error)> reportException;
};

// Converts every picture of the plan on workerCount() workers. Each worker
// takes the next group and converts its pictures in order; the commit of one
// picture overlaps the writing of the next, except within a group, where a
// picture is written only once the one before it is committed, so it finds
// that one's database in place. Returns how many pictures failed.
std::size_t runBatch(const std::vector<Conversion>& plan, int jobs, const ConversionSteps& steps);

// The steps of kestrin-convert: each picture is written through a
// ConversionJob with its own console voice, refused when its database exists
// and --force was not given, and followed by the preview when one was asked
// for. The options and the plan must outlive the steps.
ConversionSteps consoleConversionSteps(const CommandLineOptions& options,
                                       const std::vector<Conversion>& plan);
