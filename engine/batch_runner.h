#pragma once

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

// "picture.large.bmp" -> "picture": the file name cut before its first ".".
std::string fileStem(const std::string& path);

// The database name used in batch mode: the input's stem in Windows-1252,
// characters it cannot hold as "_", cut to 31 bytes; or the default name when
// the stem is empty.
std::string defaultBatchImageName(const std::string& inputPath);

// The conversion of `input` into `folder` when many pictures are converted at
// once: the database is named after the input's stem ("MyVexmoorImg" when it
// has none), the picture by defaultBatchImageName.
Conversion conversionIntoFolder(const std::string& input, const std::string& folder);

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
// Once stopRequested (when given) says true, no further picture is started;
// the ones being written are finished.
struct ConversionSteps {
    std::function<std::unique_ptr<WrittenConversion>(std::size_t index)> write;
    std::function<bool(std::size_t index, WrittenConversion& written)> commit;
    std::function<void(std::size_t index, const std::exception& error)> reportException;
    std::function<bool()> stopRequested;
};

// Converts every picture of the plan on workerCount() workers. Each worker
// takes the next group and converts its pictures in order; the commit of one
// picture overlaps the writing of the next, except within a group, where a
// picture is written only once the one before it is committed, so it finds
// that one's database in place. Returns how many pictures failed or were
// not started.
std::size_t runBatch(const std::vector<Conversion>& plan, int jobs, const ConversionSteps& steps);
