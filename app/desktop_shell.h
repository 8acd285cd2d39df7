#pragma once

#ifndef _WIN32

#include "app/shell.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QTemporaryDir;

// The document's MIME types in the order their associations count: the type
// of its content, then every type its file name has by glob. The parent
// types of each are GIO's business, as they are the desktop's.
QStringList documentTypes(const QString& document);

// The desktop's associations for the document over all its types, each once
// and never Kestrin itself, with the program that would do the work: the
// Windows program of a Wine association as its prefix's registry names it,
// otherwise the program of the entry's command line.
std::vector<DocumentHandler> associatedHandlers(const QString& document);

// A folder that only the current user can enter, or empty: the runtime folder
// when it is a real directory owned by the user with no access for others.
QString privateRuntimeFolder(const QString& runtimeDir);

// The Linux desktop: the associations GIO reads from the desktop entries and
// mimeapps.list files, the per-user runtime folder for the temporary database
// (a private folder of our own in the system's temporary folder when there is
// none).
class CDesktopShell : public CShell {
public:
    explicit CDesktopShell(QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR"));
    ~CDesktopShell() override;

    QString temporaryFolder() override;
    std::vector<DocumentHandler> findHandlers(const QString& document, const QString& directory) override;
    void openDocument(const DocumentHandler& handler, const QString& document,
                      const QString& directory) override;
    bool startProgram(const QString& program, const QString& document, const QString& directory) override;

private:
    QString m_runtimeDir;
    std::unique_ptr<QTemporaryDir> m_ownFolder;
};

#endif
