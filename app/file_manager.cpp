#ifndef _WIN32

// GIO before any Qt header: its structures have members named "signals",
// which Qt's headers define as a keyword.
#include <gio/gio.h>

#include "app/glib_ownership.h"

#include "app/file_manager.h"
#include "app/file_names.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QStringList>

namespace {

constexpr const char* kService = "org.freedesktop.FileManager1";
constexpr const char* kObjectPath = "/org/freedesktop/FileManager1";
constexpr const char* kInterface = "org.freedesktop.FileManager1";

// Long enough for the bus to start a file manager that is not running yet;
// a file manager that takes longer than this is taken as none.
constexpr int kReplyTimeoutMs = 10000;

}  // namespace

QString localFileUri(const QString& path) {
    const OwnedText uri(g_filename_to_uri(pathBytes(path).constData(), nullptr, nullptr));
    return uri ? QString::fromUtf8(uri.get()) : QString();
}

bool openFolderWithDefaultProgram(const QString& folderUri) {
    GError* error = nullptr;
    const gboolean started =
        g_app_info_launch_default_for_uri(folderUri.toUtf8().constData(), nullptr, &error);
    const OwnedError owner(error);
    return started != FALSE;
}

CDesktopFileManager::CDesktopFileManager(QDBusConnection bus, FolderOpener openFolder)
    : m_bus(std::move(bus)),
      m_openFolder(std::move(openFolder)),
      m_pendingCalls(std::make_unique<QObject>()) {}

CDesktopFileManager::~CDesktopFileManager() = default;

void CDesktopFileManager::showInFolder(const QString& file) {
    showInFolder(QStringList{file});
}

void CDesktopFileManager::showInFolder(const QStringList& files) {
    if (files.isEmpty()) return;
    const QString folder = QFileInfo(files.first()).absolutePath();
    const QString folderUri = localFileUri(folder);
    QStringList fileUris;
    for (const QString& file : files) {
        const QFileInfo info(file);
        if (info.absolutePath() != folder) continue;
        const QString uri = localFileUri(info.absoluteFilePath());
        if (!uri.isEmpty()) fileUris.append(uri);
    }
    if (fileUris.isEmpty() || folderUri.isEmpty()) return;
    // Whoever ends up opening the folder says so when nothing could.
    const auto openFolder = [openFolder = m_openFolder, notShown = m_notShown, folder, folderUri] {
        if (!openFolder(folderUri) && notShown) notShown(folder);
    };
    if (!m_bus.isConnected()) {
        openFolder();
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kObjectPath),
                                       QLatin1String(kInterface), QStringLiteral("ShowItems"));
    // An empty startup id, which the interface allows: Qt hands this program
    // no activation token to pass on, so a desktop that prevents focus
    // stealing may open the file manager's window behind ours.
    call << fileUris << QString();
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kReplyTimeoutMs), m_pendingCalls.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
                     [openFolder](QDBusPendingCallWatcher* finished) {
                         if (finished->isError()) openFolder();
                         finished->deleteLater();
                     });
}

std::unique_ptr<CFileManager> createPlatformFileManager() {
    return std::make_unique<CDesktopFileManager>();
}

#else

#include "app/file_manager.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace {

// Explorer opens the folder; selecting the file there would need the shell's
// own calls.
class CFolderOpener : public CFileManager {
public:
    void showInFolder(const QString& file) override {
        const QString folder = QFileInfo(file).absolutePath();
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)) && m_notShown) m_notShown(folder);
    }
    void showInFolder(const QStringList& files) override {
        if (!files.isEmpty()) showInFolder(files.first());
    }
};

}  // namespace

std::unique_ptr<CFileManager> createPlatformFileManager() {
    return std::make_unique<CFolderOpener>();
}

#endif
