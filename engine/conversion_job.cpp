#include "engine/conversion_job.h"

#include "engine/output_file.h"
#include "engine/output_replacement.h"
#include "engine/palm_database.h"
#include "engine/source_loader.h"
#include "engine/string_table.h"
#include "engine/temporary_file.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The part of the upright picture a crop kept, in its pixels.
std::string keptPartLine(const PixelRect& kept) {
    return "kept " + std::to_string(kept.left) + "," + std::to_string(kept.top) + " " +
           std::to_string(kept.width) + "x" + std::to_string(kept.height);
}

std::string formatString(int id, const std::string& argument) {
    const char* format = loadString(id);
    const int length = std::snprintf(nullptr, 0, format, argument.c_str());
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    std::snprintf(text.data(), text.size() + 1, format, argument.c_str());
    return text;
}

// Why no file can be created (or replaced) at `path`, as an errno value: the
// path names a folder, or an existing file there is not writable. 0 when
// neither; whether the folder takes a new file shows when one is made.
int outputCreationError(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return EISDIR;
        if (::access(path.c_str(), W_OK) != 0) return errno;
    }
    return 0;
}

void showCreationFailure(UserNotifier& messages, const std::string& outputPath, int systemError) {
    messages.showFileMessage("Output file " + outputPath + " could not be created.", MessageIcon::Error,
                             {outputPath, describeSystemError(systemError)});
}

// Says why the database may not take the name; the front end's text for a
// database that is there and was not to be replaced.
void showRefusal(UserNotifier& messages, const std::string& outputPath,
                 const std::string& existingOutputMessage, const OutputRefusal& refusal) {
    if (refusal.exists)
        messages.showFileMessage(existingOutputMessage, MessageIcon::Warning, {outputPath, refusal.reason});
    else
        messages.showFileMessage("Output file " + outputPath + " " + refusal.reason + ".", MessageIcon::Error,
                                 {outputPath, refusal.reason});
}

}  // namespace

struct PendingDatabase::State {
    TemporaryFile temporary;
    OutputFile file;
    std::string outputPath;
    bool replaceExisting = true;
    std::string existingOutputMessage;
    UserNotifier* messages = nullptr;
    ProgressLog* log = nullptr;
};

PendingDatabase::~PendingDatabase() {
    if (m_state == nullptr) return;
    try {
        m_state->file.close();
    } catch (const OutputFileError&) {
    }
}

namespace {

// Says why the database could not be written, naming the database the user
// asked for.
void showWriteFailure(UserNotifier& messages, const std::string& outputPath, const std::exception& error) {
    std::string reason = error.what();
    if (const auto* fileError = dynamic_cast<const OutputFileError*>(&error);
        fileError != nullptr && fileError->systemError() != 0)
        reason = describeSystemError(fileError->systemError());
    messages.showFileMessage("Output file " + outputPath + " could not be written: " + reason + ".",
                             MessageIcon::Error, {outputPath, reason});
}

// Says why the finished database did not take its name; true when it did.
bool reportCommit(UserNotifier& messages, const std::string& outputPath,
                  const std::string& existingOutputMessage, TemporaryFile::CommitResult committed) {
    switch (committed) {
        case TemporaryFile::CommitResult::kCommitted:
            return true;
        case TemporaryFile::CommitResult::kTargetExists:
            messages.showFileMessage(existingOutputMessage, MessageIcon::Warning,
                                     {outputPath, "already exists"});
            return false;
        case TemporaryFile::CommitResult::kTemporaryReplaced: {
            const std::string reason = TemporaryFile::describe(committed);
            messages.showFileMessage("Output file " + outputPath + " could not be written: " + reason + ".",
                                     MessageIcon::Error, {outputPath, reason});
            return false;
        }
        case TemporaryFile::CommitResult::kFailed:
            break;
    }
    showCreationFailure(messages, outputPath, errno);
    return false;
}

}  // namespace

bool ConversionJob::run() {
    return commit(write());
}

std::unique_ptr<PendingDatabase> ConversionJob::write() {
    static SilentNotifier silentNotifier;
    static SilentProgressLog silentProgress;
    UserNotifier& messages = notifier != nullptr ? *notifier : silentNotifier;
    ProgressLog& log = progress != nullptr ? *progress : silentProgress;

    log.open(formatString(IDS_PROGRESS_CAPTION, outputPath));
    log.appendLine(loadString(IDS_CREATING_DATABASE));

    std::unique_ptr<PendingDatabase> database(new PendingDatabase);
    database->m_state = std::make_unique<PendingDatabase::State>();
    PendingDatabase::State& state = *database->m_state;
    state.outputPath = outputPath;
    state.replaceExisting = replaceExisting;
    state.existingOutputMessage = existingOutputMessage.empty()
                                      ? "Output file " + outputPath + " already exists."
                                      : existingOutputMessage;
    state.messages = &messages;
    state.log = &log;
    OutputFile& file = state.file;
    // The picture is read while the database is written: the database must not
    // take its place, under its own name or another.
    const auto refuse = [&](const auto& show) {
        database->m_state.reset();
        show();
        log.close();
        return nullptr;
    };
    if (!outputPath.empty() && isSameFile(outputPath, inputPath)) {
        return refuse([&] {
            messages.showFileMessage(
                "Output file " + outputPath + " is the source picture itself; it was not overwritten.",
                MessageIcon::Error, {outputPath, "is the picture being converted, so it is not overwritten"});
        });
    }
    if (const int error = outputPath.empty() ? ENOENT : outputCreationError(outputPath))
        return refuse([&] { showCreationFailure(messages, outputPath, error); });
    // Found now rather than after the whole picture is converted.
    if (const auto refusal = outputRefusal(outputPath, OutputKind::kPalmDatabase, replaceExisting))
        return refuse([&] { showRefusal(messages, outputPath, state.existingOutputMessage, *refusal); });
    if (!state.temporary.create(outputPath) || !file.openDescriptor(state.temporary.handle(), outputPath)) {
        const int error = errno;
        return refuse([&] { showCreationFailure(messages, outputPath, error); });
    }

    bool result = false;
    try {
        log.appendLine(loadString(IDS_WRITING_HEADER));
        PalmDatabase::writeHeader(file, imageName, settings.destination, PalmDatabase::currentCreationDate());

        log.appendLine(loadString(IDS_CREATING_IMAGE));
        // One decode for the whole database, whatever the number of bitmaps.
        CachingSourceLoader loader(inputPath, settings.ditherSetting(), messages,
                                   plannedPictureSizes(settings), settings.pictureLayout());
        loader.setPictureHolding(pictureHolding);
        loader.setQuality(settings.quality);
        loader.setColorManagement(settings.colorManage);
        result = PalmDatabase::writeImages(file, settings, loader);
        if (result && (settings.fit == PictureFit::Crop || !settings.cropBox.IsEmpty()))
            log.appendLine(keptPartLine(loader.keptPart()));
        if (!loader.colorNote().empty()) log.appendNote(loader.colorNote());
        for (const std::string& message : loader.decodeNotes().libraryMessages) log.appendNote(message);
        if (result && !loader.decodeNotes().pictureWarning.empty())
            log.appendWarning(loader.decodeNotes().pictureWarning);
        log.appendLine(loadString(IDS_CLOSING_DATABASE));
    } catch (const std::exception& error) {
        // Disk full, file size limit, an I/O error: say so, and throw the
        // partial file away.
        showWriteFailure(messages, outputPath, error);
        result = false;
    }
    if (result) return database;
    log.appendLine(loadString(IDS_DELETING_DATABASE));
    database.reset();
    log.close();
    return nullptr;
}

bool ConversionJob::commit(std::unique_ptr<PendingDatabase> database) {
    if (database == nullptr) return false;
    PendingDatabase::State& state = *database->m_state;
    bool result = true;
    try {
        state.file.sync();
        state.file.close();
    } catch (const OutputFileError& error) {
        showWriteFailure(*state.messages, state.outputPath, error);
        result = false;
    }
    // What another program put at the name meanwhile is replaced only if it
    // is a database too.
    if (result && state.replaceExisting) {
        if (const auto refusal = outputRefusal(state.outputPath, OutputKind::kPalmDatabase, true)) {
            showRefusal(*state.messages, state.outputPath, state.existingOutputMessage, *refusal);
            result = false;
        }
    }
    if (result)
        result = reportCommit(*state.messages, state.outputPath, state.existingOutputMessage,
                              state.temporary.commit(state.replaceExisting));
    ProgressLog& log = *state.log;
    if (result) {
        database->m_state.reset();
    } else {
        log.appendLine(loadString(IDS_DELETING_DATABASE));
        database.reset();
    }
    log.close();
    return result;
}
