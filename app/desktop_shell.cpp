#ifndef _WIN32

#include "app/desktop_shell.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString absoluteFromEnvironment(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    // Relative paths in these variables are invalid and must be ignored.
    return QDir::isAbsolutePath(value) ? value : fallback;
}

QStringList absoluteListFromEnvironment(const char* name, const QStringList& fallback) {
    QStringList folders;
    for (const QString& folder : qEnvironmentVariable(name).split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(folder)) folders.append(folder);
    }
    return folders.isEmpty() ? fallback : folders;
}

// One group of an ini-like freedesktop file: keys with their raw values.
using Group = QHash<QString, QString>;

QHash<QString, Group> readGroups(const QString& path) {
    QHash<QString, Group> groups;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return groups;
    QTextStream in(&file);
    QString current;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            current = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0 || current.isEmpty()) continue;
        const QString key = line.left(equals).trimmed();
        // The first occurrence wins, as for duplicate keys in desktop entries.
        if (!groups[current].contains(key)) groups[current].insert(key, line.mid(equals + 1).trimmed());
    }
    return groups;
}

QStringList splitList(const QString& value) {
    return value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

QStringList applicationFolders(const XdgLocations& where) {
    QStringList folders{where.dataHome + QLatin1String("/applications")};
    for (const QString& dir : where.dataDirs) folders.append(dir + QLatin1String("/applications"));
    return folders;
}

// The mimeapps.list files, most important first.
QStringList mimeAppsFiles(const XdgLocations& where) {
    QStringList folders{where.configHome};
    folders += where.configDirs;
    folders += applicationFolders(where);
    QStringList files;
    for (const QString& folder : folders) {
        for (const QString& desktop : where.desktops) {
            files.append(folder + QLatin1Char('/') + desktop + QLatin1String("-mimeapps.list"));
        }
        files.append(folder + QLatin1String("/mimeapps.list"));
    }
    return files;
}

// A desktop-file ID names a file below an applications folder, with the "/" of
// subfolders written as "-".
QString findDesktopFile(const QString& id, const XdgLocations& where) {
    for (const QString& folder : applicationFolders(where)) {
        QString relative = id;
        while (true) {
            const QString candidate = folder + QLatin1Char('/') + relative;
            if (QFileInfo(candidate).isFile()) return candidate;
            const qsizetype dash = relative.indexOf(QLatin1Char('-'));
            if (dash < 0) break;
            relative[dash] = QLatin1Char('/');
        }
    }
    return {};
}

// The value layer of desktop entry escapes: \s \n \t \r and \\.
QString unescapeValue(const QString& value) {
    QString result;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != QLatin1Char('\\') || i + 1 == value.size()) {
            result.append(value[i]);
            continue;
        }
        const QChar next = value[++i];
        if (next == QLatin1Char('s'))
            result.append(QLatin1Char(' '));
        else if (next == QLatin1Char('n'))
            result.append(QLatin1Char('\n'));
        else if (next == QLatin1Char('t'))
            result.append(QLatin1Char('\t'));
        else if (next == QLatin1Char('r'))
            result.append(QLatin1Char('\r'));
        else if (next == QLatin1Char('\\'))
            result.append(QLatin1Char('\\'));
        else
            result.append(QLatin1Char('\\')).append(next);
    }
    return result;
}

QString resolveProgram(const QString& program) {
    if (program.contains(QLatin1Char('/'))) {
        const QFileInfo info(program);
        return info.isAbsolute() && info.isFile() && info.isExecutable() ? info.absoluteFilePath()
                                                                         : QString();
    }
    return QStandardPaths::findExecutable(program);
}

// Replaces the field codes of an Exec line; the document is appended when the
// line has no place for it.
QStringList expandFieldCodes(const QStringList& words, const QString& document) {
    QStringList arguments;
    bool placed = false;
    for (const QString& word : words) {
        if (word == QLatin1String("%f") || word == QLatin1String("%F")) {
            arguments.append(document);
            placed = true;
            continue;
        }
        if (word == QLatin1String("%u") || word == QLatin1String("%U")) {
            arguments.append(QUrl::fromLocalFile(document).toString());
            placed = true;
            continue;
        }
        QString expanded;
        for (qsizetype i = 0; i < word.size(); ++i) {
            if (word[i] != QLatin1Char('%') || i + 1 == word.size()) {
                expanded.append(word[i]);
                continue;
            }
            const QChar code = word[++i];
            if (code == QLatin1Char('%')) {
                expanded.append(QLatin1Char('%'));
            } else if (code == QLatin1Char('f') || code == QLatin1Char('F')) {
                expanded.append(document);
                placed = true;
            } else if (code == QLatin1Char('u') || code == QLatin1Char('U')) {
                expanded.append(QUrl::fromLocalFile(document).toString());
                placed = true;
            }
            // Icon, name and location codes have no meaning here and are dropped.
        }
        if (!expanded.isEmpty()) arguments.append(expanded);
    }
    if (!placed) arguments.append(document);
    return arguments;
}

std::optional<AssociatedProgram> programOfEntry(const QString& id, const QString& document,
                                                const XdgLocations& where) {
    const QString path = findDesktopFile(id, where);
    if (path.isEmpty()) return std::nullopt;
    const Group entry = readGroups(path).value(QStringLiteral("Desktop Entry"));
    if (entry.value(QStringLiteral("Hidden")) == QLatin1String("true")) return std::nullopt;
    const auto words = splitDesktopExec(entry.value(QStringLiteral("Exec")));
    if (!words || words->isEmpty()) return std::nullopt;
    const QString program = resolveProgram(words->first());
    if (program.isEmpty()) return std::nullopt;
    return AssociatedProgram{program, expandFieldCodes(words->mid(1), document)};
}

// Desktop entries that declare the type: from mimeinfo.cache where the folder
// has one, otherwise from the entries themselves.
QStringList entriesDeclaring(const QString& type, const XdgLocations& where) {
    QStringList ids;
    for (const QString& folder : applicationFolders(where)) {
        const QString cache = folder + QLatin1String("/mimeinfo.cache");
        if (QFileInfo(cache).isFile()) {
            ids += splitList(readGroups(cache).value(QStringLiteral("MIME Cache")).value(type));
            continue;
        }
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        QStringList found;
        while (it.hasNext()) {
            const QString path = it.next();
            const Group entry = readGroups(path).value(QStringLiteral("Desktop Entry"));
            if (splitList(entry.value(QStringLiteral("MimeType"))).contains(type)) {
                found.append(QDir(folder).relativeFilePath(path).replace(QLatin1Char('/'), QLatin1Char('-')));
            }
        }
        found.sort();
        ids += found;
    }
    return ids;
}

QStringList mimeTypesOf(const QString& document) {
    QMimeDatabase database;
    QStringList names;
    QList<QMimeType> types = database.mimeTypesForFileName(QFileInfo(document).fileName());
    if (types.isEmpty()) {
        const QMimeType byContent = database.mimeTypeForFile(document, QMimeDatabase::MatchContent);
        if (!byContent.isDefault()) types.append(byContent);
    }
    for (const QMimeType& type : types) {
        names.append(type.name());
        names += type.aliases();
    }
    names.removeDuplicates();
    return names;
}

}  // namespace

XdgLocations XdgLocations::fromEnvironment() {
    XdgLocations where;
    const QString home = QDir::homePath();
    where.configHome = absoluteFromEnvironment("XDG_CONFIG_HOME", home + QLatin1String("/.config"));
    where.configDirs = absoluteListFromEnvironment("XDG_CONFIG_DIRS", {QStringLiteral("/etc/xdg")});
    where.dataHome = absoluteFromEnvironment("XDG_DATA_HOME", home + QLatin1String("/.local/share"));
    where.dataDirs = absoluteListFromEnvironment(
        "XDG_DATA_DIRS", {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")});
    for (const QString& desktop :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        where.desktops.append(desktop.toLower());
    }
    where.runtimeDir = absoluteFromEnvironment("XDG_RUNTIME_DIR", QString());
    return where;
}

std::optional<QStringList> splitDesktopExec(const QString& exec) {
    const QString value = unescapeValue(exec);
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                quoted = false;
            } else if (c == QLatin1Char('\\') && i + 1 < value.size() &&
                       QStringLiteral("\"`$\\").contains(value[i + 1])) {
                word.append(value[++i]);
            } else {
                word.append(c);
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            inWord = true;
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            if (inWord) words.append(word);
            word.clear();
            inWord = false;
        } else {
            word.append(c);
            inWord = true;
        }
    }
    if (quoted) return std::nullopt;
    if (inWord) words.append(word);
    return words;
}

std::optional<AssociatedProgram> findAssociatedProgram(const QString& document, const XdgLocations& where) {
    const QStringList types = mimeTypesOf(document);
    const QStringList listFiles = mimeAppsFiles(where);
    QList<QHash<QString, Group>> lists;
    for (const QString& file : listFiles) lists.append(readGroups(file));

    for (const QString& type : types) {
        for (const auto& list : lists) {
            for (const QString& id :
                 splitList(list.value(QStringLiteral("Default Applications")).value(type))) {
                if (auto program = programOfEntry(id, document, where)) return program;
            }
        }
        // A removal hides an association of its own file and of every less
        // important one.
        QSet<QString> removed;
        for (const auto& list : lists) {
            for (const QString& id :
                 splitList(list.value(QStringLiteral("Removed Associations")).value(type))) {
                removed.insert(id);
            }
            for (const QString& id :
                 splitList(list.value(QStringLiteral("Added Associations")).value(type))) {
                if (removed.contains(id)) continue;
                if (auto program = programOfEntry(id, document, where)) return program;
            }
        }
        for (const QString& id : entriesDeclaring(type, where)) {
            if (removed.contains(id)) continue;
            if (auto program = programOfEntry(id, document, where)) return program;
        }
    }
    return std::nullopt;
}

QString privateRuntimeFolder(const QString& runtimeDir) {
    if (!QDir::isAbsolutePath(runtimeDir)) return {};
    struct stat status {};
    // lstat: a link in place of the folder is refused, not followed.
    if (lstat(QFile::encodeName(runtimeDir).constData(), &status) != 0) return {};
    if (!S_ISDIR(status.st_mode) || status.st_uid != geteuid() || (status.st_mode & 077) != 0) return {};
    return QDir::cleanPath(runtimeDir) + QLatin1Char('/');
}

CDesktopShell::CDesktopShell(XdgLocations where) : m_where(std::move(where)) {}

CDesktopShell::~CDesktopShell() = default;

QString CDesktopShell::temporaryFolder() {
    // The temporary database has a fixed name; in a folder that others can
    // write to, another user could put a link there and have it overwrite a
    // file of their choosing. Hence only folders private to this user.
    const QString runtime = privateRuntimeFolder(m_where.runtimeDir);
    if (!runtime.isEmpty()) return runtime;
    if (!m_ownFolder) {
        // Created with access for the owner only, under a fresh unique name.
        m_ownFolder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QLatin1String("/kestrin-XXXXXX"));
    }
    if (!m_ownFolder->isValid()) return {};
    return m_ownFolder->path() + QLatin1Char('/');
}

QString CDesktopShell::findExecutable(const QString& document, const QString&) {
    const auto program = findAssociatedProgram(document, m_where);
    return program ? program->program : QString();
}

void CDesktopShell::openDocument(const QString& document, const QString& directory) {
    const auto program = findAssociatedProgram(document, m_where);
    if (program) QProcess::startDetached(program->program, program->arguments, directory);
}

std::unique_ptr<CShell> createPlatformShell() {
    return std::make_unique<CDesktopShell>();
}

#endif
