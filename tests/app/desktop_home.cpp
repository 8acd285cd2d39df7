#include "desktop_home.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace apptest {

const QString kInstallToolUserRegistry = QStringLiteral(
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
    "#arch=win32\n\n"
    "[Software\\\\Classes\\\\.pdb] 1700000000\n"
    "#time=1da0c3e1a2b3c4d\n"
    "@=\"Palm.Database\"\n\n"
    "[Software\\\\Classes\\\\Palm.Database\\\\shell\\\\open\\\\command] 1700000000\n"
    "#time=1da0c3e1a2b3c4d\n"
    "@=\"\\\"C:\\\\Program Files (x86)\\\\palmOne\\\\Instapp.exe\\\" \\\"%1\\\"\"\n"
    "\"Note\"=dword:00000001\n\n"
    "[Software\\\\Classes\\\\Palm.Database\\\\shell\\\\open\\\\command\\\\more] 1700000000\n"
    "@=\"not this one\"\n");

void writeText(const QString& path, const QString& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content.toUtf8());
}

QString readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool waitForFile(const QString& path) {
    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(path) && timer.elapsed() < 20000) QTest::qWait(20);
    return QFile::exists(path);
}

void DesktopHome::SetUp() {
    for (const char* tool : {"update-mime-database", "update-desktop-database"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
            GTEST_SKIP() << tool << " is not installed";
        }
    }
    root = QString::fromStdString(folder.path().string());
    home = root + QStringLiteral("/home");
    writeMimePackage(root + QStringLiteral("/share"), QStringLiteral("palm"), QStringLiteral(R"(
  <mime-type type="application/vnd.palm">
    <comment>Palm OS database</comment>
    <glob pattern="*.pdb"/><glob pattern="*.prc"/>
  </mime-type>
  <mime-type type="application/x-aportisdoc">
    <comment>AportisDoc document</comment>
    <sub-class-of type="application/vnd.palm"/>
    <magic><match type="string" value="TEXtREAd" offset="60"/></magic>
    <glob pattern="*.pdb"/>
  </mime-type>)"));
    wineRecord = root + QStringLiteral("/bin/wine.record");
    wineDatabase = root + QStringLiteral("/bin/wine.database");
    // The record is moved into place last, so a test that sees it sees all.
    writeText(root + QStringLiteral("/bin/wine"),
              QStringLiteral("#!/bin/sh\n"
                             "for last in \"$@\"; do :; done\n"
                             "[ -f \"$last\" ] && cp \"$last\" \"$0.database\"\n"
                             "{ printf 'WINEPREFIX=%s\\nPWD=%s\\n' \"$WINEPREFIX\" \"$(pwd)\"; "
                             "for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$0.tmp\"\n"
                             "mv \"$0.tmp\" \"$0.record\"\n"));
    QFile::setPermissions(root + QStringLiteral("/bin/wine"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    document = root + QStringLiteral("/run/My-Vexmoor-Image.pdb");
    QByteArray database(78, '\0');
    database.replace(0, 5, "Hello").replace(60, 8, "pictVxmr");
    writeText(document, QString::fromLatin1(database));
}

void DesktopHome::writeMimePackage(const QString& share, const QString& name, const QString& types) {
    writeText(share + QStringLiteral("/mime/packages/%1.xml").arg(name),
              QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<mime-info "
                             "xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">%1\n"
                             "</mime-info>\n")
                  .arg(types));
}

void DesktopHome::addVexmoorType() {
    const QString packages = home + QStringLiteral("/.local/share/mime/packages");
    QDir().mkpath(packages);
    ASSERT_TRUE(QFile::copy(QStringLiteral(KESTRIN_MIME_PACKAGE),
                            packages + QStringLiteral("/org.quessel.Kestrin.xml")));
}

void DesktopHome::addEntry(const QString& id, const QString& exec, const QString& mimeTypes) {
    writeText(home + QStringLiteral("/.local/share/applications/") + id,
              QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nMimeType=%2\nExec=%3\n")
                  .arg(id, mimeTypes, exec));
}

void DesktopHome::addWineEntry(const QString& prefix, const QString& type) {
    addEntry(QStringLiteral("wine-extension-pdb.desktop"),
             (prefix.isEmpty() ? QString() : QStringLiteral("env WINEPREFIX=\"%1\" ").arg(prefix)) +
                 QStringLiteral("wine start /ProgIDOpen Palm.Database %f"),
             type + QLatin1Char(';'));
}

void DesktopHome::setDefault(const QString& type, const QString& id) {
    writeText(home + QStringLiteral("/.config/mimeapps.list"),
              QStringLiteral("[Default Applications]\n%1=%2\n").arg(type, id));
}

QProcessEnvironment DesktopHome::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_DATA_DIRS"), root + QStringLiteral("/share"));
    environment.insert(QStringLiteral("XDG_CONFIG_DIRS"), root + QStringLiteral("/etc"));
    environment.insert(QStringLiteral("PATH"), root + QStringLiteral("/bin:/bin:/usr/bin"));
    return environment;
}

void DesktopHome::updateCaches() {
    const auto update = [this](const char* tool, const QString& folder) {
        if (!QFileInfo::exists(folder)) return;
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(QLatin1String(tool), {folder});
        EXPECT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 0) << tool << ": " << process.readAllStandardError().toStdString();
    };
    for (const QString& share : {root + QStringLiteral("/share"), home + QStringLiteral("/.local/share")}) {
        update("update-mime-database", share + QStringLiteral("/mime"));
        update("update-desktop-database", share + QStringLiteral("/applications"));
    }
}

}  // namespace apptest
