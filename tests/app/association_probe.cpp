// Prints the desktop's handlers of a document, one "program<TAB>id" line
// each, and with --open N starts the Nth on it; with --show-in-folder shows
// the document as "Show in folder" does and ends once it is shown. GIO reads
// the XDG folders once per process, so each scenario of the association tests
// runs this anew.
#include "app/desktop_shell.h"
#include "app/file_manager.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 3 && arguments[1] == QLatin1String("--show-in-folder")) {
        CDesktopFileManager manager(QDBusConnection::sessionBus(), [](const QString& folderUri) {
            const bool started = openFolderWithDefaultProgram(folderUri);
            QCoreApplication::exit(started ? 0 : 1);
            return started;
        });
        manager.showInFolder(arguments[2]);
        return QCoreApplication::exec();
    }
    if (arguments.size() != 2 && !(arguments.size() == 4 && arguments[2] == QLatin1String("--open"))) {
        std::fprintf(stderr,
                     "usage: association_probe DOCUMENT [--open INDEX] | --show-in-folder DOCUMENT\n");
        return 2;
    }
    const QString document = arguments[1];
    CDesktopShell shell;
    const std::vector<DocumentHandler> handlers = shell.findHandlers(document, QString());
    for (const DocumentHandler& handler : handlers) {
        std::printf("%s\t%s\n", handler.program.toUtf8().constData(), handler.id.toUtf8().constData());
    }
    if (arguments.size() == 4) {
        const auto index = arguments[3].toULongLong();
        if (index >= handlers.size()) return 1;
        shell.openDocument(handlers[index], document, QFileInfo(document).absolutePath());
    }
    return 0;
}
