#pragma once

#include "engine/conversion_settings.h"
#include "engine/front_end.h"
#include "engine/source_loader.h"

#include <cstdint>
#include <memory>
#include <string>

class PendingDatabase;

// The settings of one conversion and the run that carries it out.
class ConversionJob {
public:
    // Until a front end fills it: raw and uncompressed, for the high-resolution
    // devices.
    ConversionSettings settings{.reduction = ColorReduction::kRaw, .compression = kCompressionNone};
    std::string outputPath;
    std::string inputPath;
    std::string imageName;

    // Whether the database may take the place of a file at outputPath: it is
    // replaced at once and whole, and a link there is replaced, never written
    // through. When not, any name there by the time the database is complete
    // (a dangling link, or a file another program wrote meanwhile) is left
    // alone, and the run fails with existingOutputMessage ("Output file X
    // already exists." when empty).
    bool replaceExisting = true;
    std::string existingOutputMessage;

    // How the picture is held while it is decoded (see source_loader.h); the
    // database is the same either way.
    PictureHolding pictureHolding = defaultPictureHolding();

    // Where messages and progress go; what is left unset is not shown.
    UserNotifier* notifier = nullptr;
    ProgressLog* progress = nullptr;

    // Writes the database; true when the file was written completely. On
    // failure nothing is left at outputPath that was not there before.
    bool run();

    // run() in two halves, for a caller with more to do while a finished
    // database makes its way to the disk. write() writes the whole database
    // into a temporary file beside outputPath and hands it back, or shows
    // what went wrong and returns nullptr, leaving nothing behind. commit()
    // waits until the file's contents are on the disk and then moves it to
    // outputPath; it may run on another thread. The notifier and the progress
    // log must last until commit() returns.
    std::unique_ptr<PendingDatabase> write();
    static bool commit(std::unique_ptr<PendingDatabase> database);
};

// A complete database in its temporary file, not yet at its output path.
// Dropping it uncommitted removes the file.
class PendingDatabase {
public:
    ~PendingDatabase();
    PendingDatabase(const PendingDatabase&) = delete;
    PendingDatabase& operator=(const PendingDatabase&) = delete;

private:
    friend class ConversionJob;
    PendingDatabase() = default;

    struct State;
    std::unique_ptr<State> m_state;
};
