#pragma once

#include <QString>

#include <memory>

// What the direct install needs from the desktop: a folder for the temporary
// database, the program that opens .pdb files, and a way to start it.
class CShell {
public:
    virtual ~CShell() = default;
    // A folder only this user can write to, ending in a separator; empty when
    // there is none.
    virtual QString temporaryFolder() = 0;
    // Full path of the program the desktop opens `document` with; empty when
    // the document type has no associated program or the answer is unknown.
    virtual QString findExecutable(const QString& document, const QString& directory) = 0;
    // Opens the document with that program and does not wait for it.
    virtual void openDocument(const QString& document, const QString& directory) = 0;
};

// The shell of the platform the program was built for.
std::unique_ptr<CShell> createPlatformShell();
