#ifndef _WIN32

// GIO before any Qt header: its structures have members named "signals",
// which Qt's headers define as a keyword.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "app/glib_ownership.h"

#include "app/desktop_shell.h"

#include "app/wine_association.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Our own desktop entry opens Vexmoor databases too, to show them; handing
// the database to ourselves would install nothing.
constexpr const char* kOwnDesktopId = "org.quessel.Kestrin.desktop";

// Enough of the file for the magic of every Palm database type.
constexpr qint64 kSniffLength = 4096;

QStringList commandLineWords(GAppInfo* info) {
    const char* commandLine = g_app_info_get_commandline(info);
    gchar** argv = nullptr;
    if (commandLine == nullptr || !g_shell_parse_argv(commandLine, nullptr, &argv, nullptr)) return {};
    const std::unique_ptr<gchar*, GStrvDeleter> owner(argv);
    QStringList words;
    for (gchar** word = argv; *word != nullptr; ++word) words.append(QString::fromUtf8(*word));
    return words;
}

QString programOf(GAppInfo* info) {
    const QStringList words = commandLineWords(info);
    if (const auto wine = wineOpenCommand(words, QDir::homePath())) {
        if (const auto commandLine = wineOpenCommandLine(*wine))
            return programOfWindowsCommandLine(*commandLine);
    }
    // "env NAME=value program ..." runs the program, not env.
    qsizetype first = 0;
    if (!words.isEmpty() && QFileInfo(words[0]).fileName() == QLatin1String("env")) {
        for (++first; first < words.size() && words[first].contains(QLatin1Char('=')); ++first) {
        }
    }
    if (first >= words.size()) return QString::fromUtf8(g_app_info_get_executable(info));
    const OwnedText found(g_find_program_in_path(QFile::encodeName(words[first]).constData()));
    return found ? QFile::decodeName(found.get()) : words[first];
}

void changeFolder(gpointer folder) {
    // Runs in the child between fork and exec; a failure leaves the child
    // where the program was, as it would be without a folder.
    [[maybe_unused]] const int result = chdir(static_cast<const char*>(folder));
}

}  // namespace

QStringList documentTypes(const QString& document) {
    QStringList types;
    const auto add = [&types](const gchar* type) {
        if (type == nullptr || g_content_type_is_unknown(type)) return;
        const OwnedText mimeType(g_content_type_get_mime_type(type));
        const QString name = QString::fromUtf8(mimeType ? mimeType.get() : type);
        if (!types.contains(name)) types.append(name);
    };
    QFile file(document);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray head = file.read(kSniffLength);
        if (!head.isEmpty()) {
            const OwnedText byContent(g_content_type_guess(nullptr,
                                                           reinterpret_cast<const guchar*>(head.constData()),
                                                           static_cast<gsize>(head.size()), nullptr));
            add(byContent.get());
        }
    }
    const QString fileName = QFileInfo(document).fileName();
    const OwnedText byName(
        g_content_type_guess(QFile::encodeName(fileName).constData(), nullptr, 0, nullptr));
    add(byName.get());
    // GIO names one type where several globs match alike (*.pdb is a Palm
    // database and an AportisDoc book at once); Wine may have registered any.
    for (const QMimeType& type : QMimeDatabase().mimeTypesForFileName(fileName))
        add(type.name().toUtf8().constData());
    return types;
}

std::vector<DocumentHandler> associatedHandlers(const QString& document) {
    std::vector<DocumentHandler> handlers;
    QSet<QString> seen{QLatin1String(kOwnDesktopId)};
    const auto add = [&](GAppInfo* info) {
        const char* id = g_app_info_get_id(info);
        if (id == nullptr || seen.contains(QString::fromUtf8(id))) return;
        seen.insert(QString::fromUtf8(id));
        handlers.push_back(DocumentHandler{programOf(info), QString::fromUtf8(id)});
    };
    for (const QString& type : documentTypes(document)) {
        const QByteArray name = type.toUtf8();
        const GObjectOwner<GAppInfo> preferred(g_app_info_get_default_for_type(name.constData(), FALSE));
        if (preferred) add(preferred.get());
        GList* all = g_app_info_get_all_for_type(name.constData());
        for (GList* item = all; item != nullptr; item = item->next) add(static_cast<GAppInfo*>(item->data));
        g_list_free_full(all, g_object_unref);
    }
    return handlers;
}

QString privateRuntimeFolder(const QString& runtimeDir) {
    if (!QDir::isAbsolutePath(runtimeDir)) return {};
    struct stat status {};
    // lstat: a link in place of the folder is refused, not followed.
    if (lstat(QFile::encodeName(runtimeDir).constData(), &status) != 0) return {};
    if (!S_ISDIR(status.st_mode) || status.st_uid != geteuid() || (status.st_mode & 077) != 0) return {};
    return QDir::cleanPath(runtimeDir) + QLatin1Char('/');
}

CDesktopShell::CDesktopShell(QString runtimeDir) : m_runtimeDir(std::move(runtimeDir)) {}

CDesktopShell::~CDesktopShell() = default;

QString CDesktopShell::temporaryFolder() {
    // The temporary database has a fixed name; in a folder that others can
    // write to, another user could put a link there and have it overwrite a
    // file of their choosing. Hence only folders private to this user.
    const QString runtime = privateRuntimeFolder(m_runtimeDir);
    if (!runtime.isEmpty()) return runtime;
    if (!m_ownFolder) {
        // Created with access for the owner only, under a fresh unique name.
        m_ownFolder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QLatin1String("/kestrin-XXXXXX"));
    }
    if (!m_ownFolder->isValid()) return {};
    return m_ownFolder->path() + QLatin1Char('/');
}

std::vector<DocumentHandler> CDesktopShell::findHandlers(const QString& document, const QString&) {
    return associatedHandlers(document);
}

void CDesktopShell::openDocument(const DocumentHandler& handler, const QString& document,
                                 const QString& directory) {
    const GObjectOwner<GDesktopAppInfo> info(g_desktop_app_info_new(handler.id.toUtf8().constData()));
    if (!info) return;
    const OwnedText uri(g_filename_to_uri(QFile::encodeName(document).constData(), nullptr, nullptr));
    if (!uri) return;
    GList uris{uri.get(), nullptr, nullptr};
    // The entry's own working folder wins; without one the program starts in
    // the database's folder, as it would on Windows.
    const OwnedText entryFolder(g_desktop_app_info_get_string(info.get(), "Path"));
    QByteArray folder = QFile::encodeName(directory);
    const bool useFolder = (!entryFolder || *entryFolder == '\0') && !folder.isEmpty();
    // Without G_SPAWN_DO_NOT_REAP_CHILD GLib reaps the program itself, so no
    // zombie is left whatever event loop runs.
    g_desktop_app_info_launch_uris_as_manager(info.get(), &uris, nullptr, G_SPAWN_SEARCH_PATH,
                                              useFolder ? changeFolder : nullptr, folder.data(), nullptr,
                                              nullptr, nullptr);
}

bool CDesktopShell::startProgram(const QString& program, const QString& document, const QString& directory) {
    return QProcess::startDetached(program, {document}, directory);
}

std::unique_ptr<CShell> createPlatformShell() {
    return std::make_unique<CDesktopShell>();
}

#endif
