#ifdef _WIN32

#include "app/shell.h"

#include <QProcess>

#include <shellapi.h>
#include <windows.h>

namespace {

// The Windows shell: the user's temporary folder (per user on Windows) and the
// file association of the registry.
class CWindowsShell : public CShell {
public:
    QString temporaryFolder() override {
        char buffer[256];
        const DWORD length = GetTempPathA(sizeof buffer, buffer);
        if (length == 0 || length >= sizeof buffer) return {};
        return QString::fromLocal8Bit(buffer, static_cast<qsizetype>(length));
    }

    std::vector<DocumentHandler> findHandlers(const QString& document, const QString& directory) override {
        char result[MAX_PATH] = {};
        const QByteArray file = document.toLocal8Bit();
        const QByteArray folder = directory.toLocal8Bit();
        const auto answer =
            reinterpret_cast<INT_PTR>(FindExecutableA(file.constData(), folder.constData(), result));
        if (answer <= 32) return {};
        return {DocumentHandler{QString::fromLocal8Bit(result), QString()}};
    }

    // The shell opens the document with its one association.
    void openDocument(const DocumentHandler&, const QString& document, const QString& directory) override {
        const QByteArray file = document.toLocal8Bit();
        const QByteArray folder = directory.toLocal8Bit();
        // The install tool queues the file and needs no window of ours; its
        // answer tells nothing the program could act on.
        ShellExecuteA(nullptr, "open", file.constData(), nullptr, folder.constData(), SW_HIDE);
    }

    bool startProgram(const QString& program, const QString& document, const QString& directory) override {
        return QProcess::startDetached(program, {document}, directory);
    }
};

}  // namespace

std::unique_ptr<CShell> createPlatformShell() {
    return std::make_unique<CWindowsShell>();
}

#endif
