#pragma once

#ifndef _WIN32

#include "app/shell.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QTemporaryDir;

// The folders of the freedesktop.org base directory rules that the
// association lookup and the temporary folder depend on.
struct XdgLocations {
    QString configHome;
    QStringList configDirs;
    QString dataHome;
    QStringList dataDirs;
    QStringList desktops;  // lower-case names from XDG_CURRENT_DESKTOP
    QString runtimeDir;

    static XdgLocations fromEnvironment();
};

// A program with the arguments that open one document.
struct AssociatedProgram {
    QString program;  // full path
    QStringList arguments;
};

// The program the desktop opens `document` with: the document's MIME types from
// the shared MIME database, then the default and added associations of the
// mimeapps.list files, then the desktop entries that declare the type. The
// program of the entry's Exec line is resolved to a full path; entries whose
// program is not installed are passed over.
std::optional<AssociatedProgram> findAssociatedProgram(const QString& document, const XdgLocations& where);

// Splits an Exec value of a desktop entry into its words, undoing the
// entry's escapes and quoting. Nothing for a malformed value.
std::optional<QStringList> splitDesktopExec(const QString& exec);

// A folder that only the current user can enter, or empty: the runtime folder
// when it is a real directory owned by the user with no access for others.
QString privateRuntimeFolder(const QString& runtimeDir);

// The Linux desktop: associations of freedesktop.org desktops, the per-user
// runtime folder for the temporary database (a private folder of our own in
// the system's temporary folder when there is none).
class CDesktopShell : public CShell {
public:
    explicit CDesktopShell(XdgLocations where = XdgLocations::fromEnvironment());
    ~CDesktopShell() override;

    QString temporaryFolder() override;
    QString findExecutable(const QString& document, const QString& directory) override;
    void openDocument(const QString& document, const QString& directory) override;

private:
    XdgLocations m_where;
    std::unique_ptr<QTemporaryDir> m_ownFolder;
};

#endif
