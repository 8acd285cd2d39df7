#include "app_test_support.h"

#include "app/desktop_shell.h"
#include "app/wine_association.h"
#include "desktop_home.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <sys/stat.h>

using apptest::readAll;
using apptest::waitForFile;
using apptest::writeText;

namespace {

const QString& kUserRegistry = apptest::kInstallToolUserRegistry;

// "C:\Palm\Instapp.exe" as a REG_EXPAND_SZ in hex, over two lines.
const QString kHexRegistry = QStringLiteral(
    "WINE REGISTRY Version 2\n\n"
    "[software\\\\classes\\\\palm.database\\\\SHELL\\\\open\\\\command] 1700000000\n"
    "@=hex(2):43,00,3a,00,5c,00,50,00,61,00,6c,00,6d,00,5c,00,49,00,6e,00,73,00,\\\n"
    "  74,00,61,00,70,00,70,00,2e,00,65,00,78,00,65,00,00,00\n");

const QString kCommandKey = QStringLiteral("Software\\Classes\\Palm.Database\\shell\\open\\command");

}  // namespace

TEST(WineRegistry, ReadsStringsInEveryFormWineWrites) {
    const struct {
        const char* scenario;
        QString registry;
        QString key;
        QString value;
        std::optional<QString> expected;
    } cases[] = {
        {"quoted default value with escaped quotes and backslashes", kUserRegistry, kCommandKey, QString(),
         QStringLiteral("\"C:\\Program Files (x86)\\palmOne\\Instapp.exe\" \"%1\"")},
        {"hex(2) over two lines, key in another case", kHexRegistry, kCommandKey, QString(),
         QStringLiteral("C:\\Palm\\Instapp.exe")},
        {"str(2) stays unexpanded",
         QStringLiteral("[A\\\\B]\n\"Path\"=str(2):\"%ProgramFiles%\\\\Palm\\\\Instapp.exe\"\n"),
         QStringLiteral("a\\b"), QStringLiteral("path"), QStringLiteral("%ProgramFiles%\\Palm\\Instapp.exe")},
        {"hex and octal escapes", QStringLiteral("[K]\n@=\"Caf\\xe9\\tx\\x20ac1\\101\"\n"),
         QStringLiteral("K"), QString(), QStringLiteral("Caf\u00e9\tx\u20ac1A")},
        {"a dword is no string", kUserRegistry, kCommandKey, QStringLiteral("Note"), std::nullopt},
        {"a subkey's value is not the key's", kUserRegistry, kCommandKey + QStringLiteral("\\more\\x"),
         QString(), std::nullopt},
        {"missing key", kUserRegistry, QStringLiteral("Software\\Classes\\Other"), QString(), std::nullopt},
        {"unterminated string", QStringLiteral("[K]\n@=\"open"), QStringLiteral("K"), QString(),
         std::nullopt},
        {"malformed hex", QStringLiteral("[K]\n@=hex(2):4g,00\n"), QStringLiteral("K"), QString(),
         std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readWineRegistryString(c.registry.toUtf8(), c.key, c.value), c.expected) << c.scenario;
    }
}

TEST(WineRegistry, FindsTheOpenCommandOfAProgIdInTheRightPrefix) {
    const struct {
        QStringList words;
        std::optional<WineOpenCommand> expected;
    } cases[] = {
        {{"env", "WINEPREFIX=/home/u/.wine-palm", "wine", "start", "/ProgIDOpen", "Palm.Database", "%f"},
         WineOpenCommand{"/home/u/.wine-palm", "Palm.Database"}},
        {{"/usr/bin/wine64", "start.exe", "/progidopen", "Palm.Database", "%f"},
         WineOpenCommand{"/home/me/.wine", "Palm.Database"}},
        {{"env", "LANG=C", "wine-stable", "start", "/ProgIDOpen", "X"},
         WineOpenCommand{"/home/me/.wine", "X"}},
        {{"wine", "start", "/Unix", "%f"}, std::nullopt},
        {{"wine", "start", "/ProgIDOpen"}, std::nullopt},
        {{"winecfg", "start", "/ProgIDOpen", "X"}, std::nullopt},
        {{"env", "WINEPREFIX=/p"}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto found = wineOpenCommand(c.words, QStringLiteral("/home/me"));
        ASSERT_EQ(found.has_value(), c.expected.has_value()) << c.words.join(' ').toStdString();
        if (found) {
            EXPECT_EQ(found->prefix, c.expected->prefix);
            EXPECT_EQ(found->progId, c.expected->progId);
        }
    }

    testsupport::TemporaryFolder prefix;
    const QString folder = QString::fromStdString(prefix.path().string());
    writeText(folder + QStringLiteral("/system.reg"),
              QStringLiteral("[Software\\\\Classes\\\\Palm.Database\\\\shell\\\\open\\\\command]\n"
                             "@=\"C:\\\\Windows\\\\notepad.exe %1\"\n"));
    EXPECT_EQ(wineOpenCommandLine({folder, QStringLiteral("Palm.Database")}),
              QStringLiteral("C:\\Windows\\notepad.exe %1"));
    writeText(folder + QStringLiteral("/user.reg"), kHexRegistry);
    EXPECT_EQ(wineOpenCommandLine({folder, QStringLiteral("Palm.Database")}),
              QStringLiteral("C:\\Palm\\Instapp.exe"));
    EXPECT_EQ(wineOpenCommandLine({folder, QStringLiteral("Other")}), std::nullopt);
}

TEST(WineRegistry, TakesTheProgramOutOfAWindowsCommandLine) {
    const struct {
        const char* commandLine;
        const char* program;
    } cases[] = {
        {"\"C:\\Program Files\\Palm\\Instapp.exe\" \"%1\"", "C:\\Program Files\\Palm\\Instapp.exe"},
        {"C:\\Program Files\\Palm\\QuickInstall.EXE %1", "C:\\Program Files\\Palm\\QuickInstall.EXE"},
        {"C:\\a.exe.d\\tool.exe", "C:\\a.exe.d\\tool.exe"},
        {"  C:\\PALM\\INSTAPP.EXE", "C:\\PALM\\INSTAPP.EXE"},
        {"notepad %1", "notepad"},
        {"\"C:\\unterminated.exe", "C:\\unterminated.exe"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(programOfWindowsCommandLine(QString::fromUtf8(c.commandLine)), QString::fromUtf8(c.program))
            << c.commandLine;
    }
}

TEST(PrivateFolder, OnlyADirectoryOfTheUserClosedToOthersCounts) {
    testsupport::TemporaryFolder base;
    const QString root = QString::fromStdString(base.path().string());
    const QString closed = root + QStringLiteral("/closed");
    const QString open = root + QStringLiteral("/open");
    QDir().mkpath(closed);
    QDir().mkpath(open);
    chmod(QFile::encodeName(closed).constData(), 0700);
    chmod(QFile::encodeName(open).constData(), 0755);
    QFile::link(closed, root + QStringLiteral("/link"));
    EXPECT_EQ(privateRuntimeFolder(closed), closed + QLatin1Char('/'));
    EXPECT_EQ(privateRuntimeFolder(open), QString());
    EXPECT_EQ(privateRuntimeFolder(root + QStringLiteral("/link")), QString());
    EXPECT_EQ(privateRuntimeFolder(root + QStringLiteral("/missing")), QString());
    EXPECT_EQ(privateRuntimeFolder(QStringLiteral("relative")), QString());
}

TEST(PrivateFolder, WithoutARuntimeFolderTheShellMakesItsOwnAndRemovesItAgain) {
    QString made;
    {
        CDesktopShell shell{QString()};
        made = shell.temporaryFolder();
        ASSERT_FALSE(made.isEmpty());
        EXPECT_EQ(shell.temporaryFolder(), made);
        struct stat status {};
        ASSERT_EQ(lstat(QFile::encodeName(made).constData(), &status), 0);
        EXPECT_TRUE(S_ISDIR(status.st_mode));
        EXPECT_EQ(status.st_mode & 077, 0u);
    }
    EXPECT_FALSE(QFileInfo::exists(made));
}

// A program of the user's own gets the database as its one argument, however
// the path is spelled, and runs in the database's folder.
TEST(DesktopShell, StartsAChosenProgramWithTheDatabaseInItsFolder) {
    testsupport::TemporaryFolder base;
    const QString root = QString::fromStdString(base.path().string());
    const QString script = root + QStringLiteral("/to card.sh"), record = root + QStringLiteral("/record");
    apptest::writeText(script, QStringLiteral("#!/bin/sh\nprintf '%s\\n%s\\n' \"$PWD\" \"$*\" >\"$0.tmp\"\n"
                                              "mv \"$0.tmp\" '") +
                                   record + QStringLiteral("'\n"));
    QFile(script).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    CDesktopShell shell{QString()};
    const QString database = root + QStringLiteral("/My Image; rm -rf.pdb");
    ASSERT_TRUE(shell.startProgram(script, database, root));
    ASSERT_TRUE(apptest::waitForFile(record));
    EXPECT_EQ(apptest::readAll(record), root + QLatin1Char('\n') + database + QLatin1Char('\n'));
    EXPECT_FALSE(shell.startProgram(root + QStringLiteral("/missing.sh"), database, root));
}

namespace {

class Associations : public apptest::DesktopHome {
protected:
    // The handlers as "program<TAB>id" lines, the preferred one first, from a
    // fresh process.
    QStringList handlers(const QStringList& extra = {}) {
        updateCaches();
        QProcess probe;
        probe.setProcessEnvironment(environment());
        probe.start(QStringLiteral(ASSOCIATION_PROBE_BINARY), QStringList{document} + extra);
        EXPECT_TRUE(probe.waitForFinished(30000));
        EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
        return QString::fromUtf8(probe.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

}  // namespace

TEST_F(Associations, AWineAssociationNamesTheWindowsProgramOfItsPrefix) {
    const QString prefix = home + QStringLiteral("/.wine-palm");
    writeText(prefix + QStringLiteral("/user.reg"), kUserRegistry);
    addWineEntry(prefix);
    addEntry(QStringLiteral("texteditor.desktop"), QStringLiteral("sh -c true %f"),
             QStringLiteral("application/x-aportisdoc;"));
    addEntry(QStringLiteral("gone.desktop"), QStringLiteral("/nonexistent/quickinstall.exe %f"),
             QStringLiteral("application/vnd.palm;"));
    setDefault(QStringLiteral("application/x-aportisdoc"), QStringLiteral("texteditor.desktop"));
    QStringList found = handlers();
    found.sort();
    EXPECT_EQ(found, (QStringList{QStringLiteral("/bin/sh\ttexteditor.desktop"),
                                  QStringLiteral("C:\\Program Files (x86)\\palmOne\\Instapp.exe\t"
                                                 "wine-extension-pdb.desktop")}));
}

TEST_F(Associations, OurOwnTypeComesFirstAndKestrinItselfIsLeftOut) {
    addVexmoorType();
    // No WINEPREFIX: ~/.wine, where only the machine's classes know the ProgID.
    writeText(home + QStringLiteral("/.wine/user.reg"), QStringLiteral("WINE REGISTRY Version 2\n"));
    writeText(home + QStringLiteral("/.wine/system.reg"), kHexRegistry);
    addWineEntry(QString());
    addEntry(QStringLiteral("org.quessel.Kestrin.desktop"), QStringLiteral("sh -c true %f"),
             QStringLiteral("application/x-vexmoor-image;"));
    addEntry(QStringLiteral("palmviewer.desktop"), QStringLiteral("sh -c true %f"),
             QStringLiteral("application/x-vexmoor-image;"));
    setDefault(QStringLiteral("application/x-vexmoor-image"), QStringLiteral("org.quessel.Kestrin.desktop"));
    EXPECT_EQ(handlers(), (QStringList{QStringLiteral("/bin/sh\tpalmviewer.desktop"),
                                       QStringLiteral("C:\\Palm\\Instapp.exe\twine-extension-pdb.desktop")}));
}

TEST_F(Associations, WinesOwnTypeForAnExtensionCounts) {
    writeMimePackage(home + QStringLiteral("/.local/share"), QStringLiteral("x-wine-extension-pdb"),
                     QStringLiteral(R"(
  <mime-type type="application/x-wine-extension-pdb">
    <glob pattern="*.pdb"/>
  </mime-type>)"));
    writeText(home + QStringLiteral("/.wine/user.reg"), kUserRegistry);
    addWineEntry(QString(), QStringLiteral("application/x-wine-extension-pdb"));
    EXPECT_EQ(handlers(), QStringList{QStringLiteral("C:\\Program Files (x86)\\palmOne\\Instapp.exe\t"
                                                     "wine-extension-pdb.desktop")});
}

TEST_F(Associations, StartsTheAssociationsOwnCommandLineInTheDatabasesFolder) {
    const QString prefix = home + QStringLiteral("/.wine-palm");
    writeText(prefix + QStringLiteral("/user.reg"), kUserRegistry);
    addWineEntry(prefix);
    ASSERT_EQ(handlers({QStringLiteral("--open"), QStringLiteral("0")}).size(), 1);
    ASSERT_TRUE(waitForFile(wineRecord));
    EXPECT_EQ(readAll(wineRecord),
              QStringLiteral("WINEPREFIX=%1\nPWD=%2\nstart\n/ProgIDOpen\nPalm.Database\n%3\n")
                  .arg(prefix, root + QStringLiteral("/run"), document));
}
