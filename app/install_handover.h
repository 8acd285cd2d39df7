#pragma once

#include <QString>

class CShell;

// The file name of the database handed to the install tool.
inline constexpr const char* kTemporaryDatabaseName = "My-Vexmoor-Image.pdb";

enum class HandOverResult {
    Started,
    // The desktop has no program for .pdb files, or the chosen one would not start.
    NoProgram,
    // .pdb files open with programs, none of them the install tool.
    NotInstallTool,
};

// Hands a written database to Palm Desktop's install tool, or to the program
// the user chose in its place (`installer`, empty for none), started in
// `folder`. Does not wait for it.
HandOverResult handOverDatabase(CShell& shell, const QString& installer, const QString& path,
                                const QString& folder);

// Palm Desktop's install tool, under either of the names it has had; Windows
// compares file names without regard to case.
bool isInstallTool(const QString& program);

// Removes whatever is at `path`, so that the run writing it creates a new
// file and never writes through a link or a second name of another file.
void removeStaleDatabase(const QString& path);
