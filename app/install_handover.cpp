#include "app/install_handover.h"

#include "app/file_names.h"
#include "app/shell.h"

#include <QFile>
#include <QFileInfo>

#include <vector>

HandOverResult handOverDatabase(CShell& shell, const QString& installer, const QString& path,
                                const QString& folder) {
    if (!installer.isEmpty())
        return shell.startProgram(installer, path, folder) ? HandOverResult::Started
                                                           : HandOverResult::NoProgram;
    const std::vector<DocumentHandler> handlers = shell.findHandlers(path, folder);
    if (handlers.empty()) return HandOverResult::NoProgram;
    // Linux desktops offer every program registered for the type, not one;
    // the install tool is the first that passes the name test.
    for (const DocumentHandler& handler : handlers) {
        if (isInstallTool(handler.program)) {
            shell.openDocument(handler, path, folder);
            return HandOverResult::Started;
        }
    }
    return HandOverResult::NotInstallTool;
}

bool isInstallTool(const QString& program) {
    return program.endsWith(QLatin1String("quickinstall.exe"), Qt::CaseInsensitive) ||
           program.endsWith(QLatin1String("instapp.exe"), Qt::CaseInsensitive);
}

void removeStaleDatabase(const QString& path) {
    const PathStatus existing = pathStatus(path);
    if (existing.exists && !existing.isFolder) removeFile(path);
}
