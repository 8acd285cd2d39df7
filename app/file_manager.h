#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QObject;

// "Show in folder" for a file the program wrote: the desktop's file manager
// opens the file's folder with the file selected.
class CFileManager {
public:
    virtual ~CFileManager() = default;
    // Does not wait for the file manager; a file that cannot be shown is
    // left alone without a message.
    virtual void showInFolder(const QString& file) = 0;
    // The folder of the first of `files` with all of them selected that are
    // in it, as after a batch into one folder.
    virtual void showInFolder(const QStringList& files) = 0;

    // Called with the folder when nothing could show it (no file manager
    // answered and the desktop has no program for folders), so that the
    // window can say where the file is instead of doing nothing visible.
    void setNotShownHandler(std::function<void(const QString& folder)> handler) {
        m_notShown = std::move(handler);
    }

protected:
    std::function<void(const QString& folder)> m_notShown;
};

#ifndef _WIN32

#include <QDBusConnection>

// The file: URI of a local path as GLib writes it, for any bytes a file name
// holds; empty for a path that has none.
QString localFileUri(const QString& path);

// Opens the folder of `folderUri` with the desktop's program for folders
// (GIO's default handler); false when none could be started.
bool openFolderWithDefaultProgram(const QString& folderUri);

// The freedesktop.org file manager interface on the session bus
// (org.freedesktop.FileManager1.ShowItems); when no file manager answers,
// `openFolder` opens the folder alone.
class CDesktopFileManager : public CFileManager {
public:
    using FolderOpener = std::function<bool(const QString& folderUri)>;

    explicit CDesktopFileManager(QDBusConnection bus = QDBusConnection::sessionBus(),
                                 FolderOpener openFolder = openFolderWithDefaultProgram);
    ~CDesktopFileManager() override;

    void showInFolder(const QString& file) override;
    void showInFolder(const QStringList& files) override;

private:
    QDBusConnection m_bus;
    FolderOpener m_openFolder;
    // Parent of the calls still waiting for their answer.
    std::unique_ptr<QObject> m_pendingCalls;
};

#endif

// The file manager of the platform the program was built for.
std::unique_ptr<CFileManager> createPlatformFileManager();
