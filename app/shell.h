#pragma once

#include <QString>

#include <memory>
#include <vector>

// A program the desktop offers for opening a document.
struct DocumentHandler {
    // The program that does the work, named as its own system names it: for
    // a Windows program under Wine, its Windows path.
    QString program;
    // The desktop's own name for the association, for starting it again.
    QString id;
};

// What the direct install needs from the desktop: a folder for the temporary
// database, the programs that open .pdb files, and a way to start one.
class CShell {
public:
    virtual ~CShell() = default;
    // A folder only this user can write to, ending in a separator; empty when
    // there is none.
    virtual QString temporaryFolder() = 0;
    // The programs the desktop opens `document` with, the one it prefers
    // first; empty when the document type has no associated program or the
    // answer is unknown.
    virtual std::vector<DocumentHandler> findHandlers(const QString& document, const QString& directory) = 0;
    // Opens the document as the handler's association says and does not wait.
    virtual void openDocument(const DocumentHandler& handler, const QString& document,
                              const QString& directory) = 0;
    // Starts a program the user chose with the document as its one argument,
    // in `directory`, and does not wait; false when it could not be started.
    virtual bool startProgram(const QString& program, const QString& document, const QString& directory) = 0;
};

// The shell of the platform the program was built for.
std::unique_ptr<CShell> createPlatformShell();
