#pragma once

#include "app/settings_store.h"
#include "engine/conversion_settings.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <array>

// Sixteen recently used paths in a ring: `index` is the slot of the newest
// entry and the slot after it holds the oldest. An empty slot is free.
class RecentList {
public:
    static constexpr int kSlotCount = 16;

    // Stores the path in the slot after the newest, dropping the oldest entry.
    // A path equal (case-sensitively) to any slot is not added again and not
    // moved; an empty path equals any free slot. Returns whether it was added.
    bool add(const QString& path);
    // The non-empty slots, newest first.
    QStringList newestFirst() const;

    quint32 index() const { return m_index; }
    void setIndex(quint32 index) { m_index = index; }
    const QString& slot(int number) const { return m_slots.at(static_cast<std::size_t>(number)); }
    void setSlot(int number, const QString& path) { m_slots.at(static_cast<std::size_t>(number)) = path; }

private:
    std::array<QString, kSlotCount> m_slots;
    // Kept as stored; a value above 15 is read modulo 16 and wraps to 0 on the
    // next addition.
    quint32 m_index = 0;
};

// Every value that survives from one run of the program to the next. Loaded
// once before the main dialog opens, saved once after it has closed.
class CSettings {
public:
    explicit CSettings(CSettingsStore& store) : m_store(store) {}

    QString imageName = QString::fromLatin1(kDefaultImageName);
    QString lastSourcePath;
    QString lastOutputPath;
    // The program "Directly send" starts with the database; empty: the one
    // the desktop associates with .pdb files.
    QString installer;
    int writeToFile = 1;
    int directInstall = 0;
    // Colour depth, destination, colour reduction and compression; values that
    // name no choice are kept as they were read.
    ConversionSettings conversion;
    RecentList recentSources;
    RecentList recentOutputs;
    // Where many pictures at once were last written, and the folders before.
    QString lastOutputFolder;
    RecentList recentFolders;
    // The main window's size in logical pixels; invalid until it is known.
    QSize windowSize;

    // Values that are missing or unreadable keep their defaults.
    void load();
    // The window's size, read apart from the values every version reads so
    // that their order stays as it always was; the window asks for it when
    // it opens.
    void loadWindowSize();
    // Writes every value, unchanged and empty ones included, unless the
    // settings were deleted during this run.
    void save();
    void markDeleted() { m_deleted = true; }
    bool isDeleted() const { return m_deleted; }
    // Removes the stored settings and marks them deleted, so the close writes
    // nothing back; the values in memory stay as they are.
    void deleteStored();
    // Where the settings are kept, as the store names it.
    QString location() { return m_store.location(); }

private:
    CSettingsStore& m_store;
    bool m_deleted = false;
    bool m_installerStored = false;
    bool m_foldersStored = false;
};

// Names of the stored values and groups.
namespace SettingsKey {
inline const QString kRecentSources = QStringLiteral("MRU input");
inline const QString kRecentOutputs = QStringLiteral("MRU output");
inline const QString kIndex = QStringLiteral("index");
inline const QString kImageName = QStringLiteral("imagename");
inline const QString kLastSource = QStringLiteral("last8");
inline const QString kLastOutput = QStringLiteral("lastpdb");
inline const QString kWriteToFile = QStringLiteral("file");
inline const QString kDirectInstall = QStringLiteral("install");
inline const QString kInstaller = QStringLiteral("installer");
inline const QString kRecentFolders = QStringLiteral("MRU folder");
inline const QString kLastFolder = QStringLiteral("lastfolder");
inline const QString kWindow = QStringLiteral("window");
inline const QString kWidth = QStringLiteral("width");
inline const QString kHeight = QStringLiteral("height");
}  // namespace SettingsKey
