#include "app/settings.h"

bool RecentList::add(const QString& path) {
    for (const QString& entry : m_slots) {
        if (entry == path) return false;
    }
    m_index = m_index >= kSlotCount - 1 ? 0 : m_index + 1;
    m_slots[m_index] = path;
    return true;
}

QStringList RecentList::newestFirst() const {
    QStringList paths;
    for (quint32 step = 0; step < kSlotCount; ++step) {
        const QString& entry = m_slots[(m_index + kSlotCount - step) % kSlotCount];
        if (!entry.isEmpty()) paths.append(entry);
    }
    return paths;
}

namespace {

void readNumber(CSettingsStore& store, const QString& name, int& value) {
    if (const auto stored = store.readNumber(QString(), name)) value = static_cast<qint32>(*stored);
}

void readText(CSettingsStore& store, const QString& group, const QString& name, QString& value) {
    if (const auto stored = store.readText(group, name)) value = *stored;
}

}  // namespace

void CSettings::load() {
    using namespace SettingsKey;
    if (const auto index = m_store.readNumber(kRecentSources, kIndex)) recentSources.setIndex(*index);
    if (const auto index = m_store.readNumber(kRecentOutputs, kIndex)) recentOutputs.setIndex(*index);
    for (int slot = 0; slot < RecentList::kSlotCount; ++slot) {
        const QString name = QString::number(slot);
        QString source = recentSources.slot(slot);
        readText(m_store, kRecentSources, name, source);
        recentSources.setSlot(slot, source);
        QString output = recentOutputs.slot(slot);
        readText(m_store, kRecentOutputs, name, output);
        recentOutputs.setSlot(slot, output);
    }
    readText(m_store, QString(), kLastSource, lastSourcePath);
    readText(m_store, QString(), kLastOutput, lastOutputPath);
    readText(m_store, QString(), kImageName, imageName);
    readNumber(m_store, kWriteToFile, writeToFile);
    readNumber(m_store, kDirectInstall, directInstall);
    for (const StoredConversionSetting& setting : storedConversionSettings()) {
        if (const auto stored = m_store.readNumber(QString(), QLatin1String(setting.name)))
            setting.read(conversion, static_cast<qint32>(*stored));
    }
    // After the values every version reads, in the order they always had.
    if (const auto stored = m_store.readText(QString(), kInstaller)) {
        installer = *stored;
        m_installerStored = true;
    }
    // The folders are written together, and only once they were used.
    if (const auto stored = m_store.readText(QString(), kLastFolder)) {
        lastOutputFolder = *stored;
        m_foldersStored = true;
        if (const auto index = m_store.readNumber(kRecentFolders, kIndex)) recentFolders.setIndex(*index);
        for (int slot = 0; slot < RecentList::kSlotCount; ++slot) {
            QString folder;
            readText(m_store, kRecentFolders, QString::number(slot), folder);
            recentFolders.setSlot(slot, folder);
        }
    }
    m_store.flush();
}

void CSettings::loadWindowSize() {
    using namespace SettingsKey;
    const auto width = m_store.readNumber(kWindow, kWidth);
    const auto height = m_store.readNumber(kWindow, kHeight);
    m_store.flush();
    // A size no screen has is not a size; the window takes its own.
    constexpr quint32 kLargest = 1 << 15;
    if (width && height && *width > 0 && *height > 0 && *width < kLargest && *height < kLargest)
        windowSize = QSize(static_cast<int>(*width), static_cast<int>(*height));
}

void CSettings::save() {
    if (m_deleted) return;
    using namespace SettingsKey;
    const QString top;
    m_store.writeNumber(top, kWriteToFile, static_cast<quint32>(writeToFile));
    m_store.writeNumber(top, kDirectInstall, static_cast<quint32>(directInstall));
    for (const StoredConversionSetting& setting : storedConversionSettings())
        m_store.writeNumber(top, QLatin1String(setting.name),
                            static_cast<quint32>(setting.write(conversion)));
    m_store.writeNumber(kRecentSources, kIndex, recentSources.index());
    m_store.writeNumber(kRecentOutputs, kIndex, recentOutputs.index());
    m_store.writeText(top, kLastSource, lastSourcePath);
    m_store.writeText(top, kLastOutput, lastOutputPath);
    m_store.writeText(top, kImageName, imageName);
    for (int slot = 0; slot < RecentList::kSlotCount; ++slot) {
        const QString name = QString::number(slot);
        m_store.writeText(kRecentSources, name, recentSources.slot(slot));
        m_store.writeText(kRecentOutputs, name, recentOutputs.slot(slot));
    }
    // Written only once chosen, so that without one the file stays as it
    // always was.
    if (!installer.isEmpty() || m_installerStored) m_store.writeText(top, kInstaller, installer);
    // Likewise the folders, written once many pictures were converted at once.
    if (m_foldersStored || !lastOutputFolder.isEmpty() || !recentFolders.newestFirst().isEmpty()) {
        m_store.writeText(top, kLastFolder, lastOutputFolder);
        m_store.writeNumber(kRecentFolders, kIndex, recentFolders.index());
        for (int slot = 0; slot < RecentList::kSlotCount; ++slot)
            m_store.writeText(kRecentFolders, QString::number(slot), recentFolders.slot(slot));
    }
    // Last, in a group of its own, and only once a window had a size.
    if (windowSize.isValid()) {
        m_store.writeNumber(kWindow, kWidth, static_cast<quint32>(windowSize.width()));
        m_store.writeNumber(kWindow, kHeight, static_cast<quint32>(windowSize.height()));
    }
    m_store.flush();
}

void CSettings::deleteStored() {
    m_store.deleteAll();
    markDeleted();
}
