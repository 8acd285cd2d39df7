#pragma once

#include "support/test_support.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace apptest {

// Writes a text file, making its folders.
void writeText(const QString& path, const QString& content);
QString readAll(const QString& path);
// Waits up to 20 s for a file to appear, keeping the event loop running.
bool waitForFile(const QString& path);

// A user's home with its own desktop entries, MIME types, mimeapps.list and
// Wine prefixes, a "system" share folder with the Palm types every
// distribution has, and a stand-in `wine` first on the PATH that records how
// it was started (bin/wine.record) and keeps a copy of the file it was given
// (bin/wine.database). GIO reads these folders once per process, so whatever
// looks them up runs as a process of its own in environment().
class DesktopHome : public ::testing::Test {
protected:
    void SetUp() override;

    void writeMimePackage(const QString& share, const QString& name, const QString& types);
    // Our own type for Vexmoor databases, from the package we install.
    void addVexmoorType();
    void addEntry(const QString& id, const QString& exec, const QString& mimeTypes);
    // As Wine writes it for an extension; with an empty prefix, without
    // WINEPREFIX.
    void addWineEntry(const QString& prefix, const QString& type = QStringLiteral("application/vnd.palm"));
    void setDefault(const QString& type, const QString& id);
    // The caches GIO reads, built as packages and Wine build them.
    void updateCaches();
    QProcessEnvironment environment() const;

    testsupport::TemporaryFolder folder;
    QString root;
    QString home;
    // A small Vexmoor database, run/My-Vexmoor-Image.pdb.
    QString document;
    QString wineRecord;
    QString wineDatabase;
};

// A user.reg that associates the ProgID Palm.Database with Palm Desktop's
// install tool, C:\Program Files (x86)\palmOne\Instapp.exe.
extern const QString kInstallToolUserRegistry;

}  // namespace apptest
