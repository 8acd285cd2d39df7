#include "app_test_support.h"

#include "app/desktop_shell.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPushButton>
#include <QTest>

#include <sys/stat.h>

namespace {

void writeText(const QString& path, const QString& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content.toUtf8());
}

// A program that writes its arguments, one per line, to a file next to it.
QString writeRecordingProgram(const QString& path) {
    const QString record = path + QStringLiteral(".args");
    writeText(path, QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"%1.tmp\"\n"
                                   "mv \"%1.tmp\" \"%1\"\n")
                        .arg(record));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return record;
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

// A freedesktop.org layout of its own in a temporary folder.
class Associations : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QMimeDatabase().mimeTypesForFileName(QStringLiteral("x.pdb")).isEmpty()) {
            pdbType = QMimeDatabase().mimeTypesForFileName(QStringLiteral("x.pdb")).first().name();
        }
        if (pdbType.isEmpty()) GTEST_SKIP() << "the shared MIME database does not know *.pdb";
        root = QString::fromStdString(folder.path().string());
        where.configHome = root + QStringLiteral("/config");
        where.configDirs = {root + QStringLiteral("/etc")};
        where.dataHome = root + QStringLiteral("/data");
        where.dataDirs = {root + QStringLiteral("/share")};
        document = root + QStringLiteral("/tmp/My-Vexmoor-Image.pdb");
        writeText(document, QStringLiteral("db"));
    }

    void addEntry(const QString& id, const QString& exec, const QString& mimeTypes = QString(),
                  const QString& folderPath = QString()) {
        writeText(
            (folderPath.isEmpty() ? where.dataHome : folderPath) + QStringLiteral("/applications/") + id,
            QStringLiteral("[Desktop Entry]\nType=Application\nName=Entry\nExec=%1\nMimeType=%2\n")
                .arg(exec, mimeTypes));
    }

    testsupport::TemporaryFolder folder;
    QString root;
    XdgLocations where;
    QString pdbType;
    QString document;
};

}  // namespace

TEST(DesktopExec, SplitsWordsAndUndoesQuotingAndEscapes) {
    EXPECT_EQ(*splitDesktopExec(QStringLiteral("prog --flag %f")), (QStringList{"prog", "--flag", "%f"}));
    EXPECT_EQ(*splitDesktopExec(QStringLiteral("\"/opt/My Apps/tool\" \"a \\\\\"b\\\\\" c\"")),
              (QStringList{"/opt/My Apps/tool", "a \"b\" c"}));
    // An escaped space is a space like any other; only quotes keep words together.
    EXPECT_EQ(*splitDesktopExec(QStringLiteral("a\\sb  c")), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(*splitDesktopExec(QStringLiteral("\"\" x")), (QStringList{"", "x"}));
    EXPECT_FALSE(splitDesktopExec(QStringLiteral("\"unterminated")).has_value());
    EXPECT_TRUE(splitDesktopExec(QString())->isEmpty());
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
        CDesktopShell shell(XdgLocations{});
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

TEST_F(Associations, TheDefaultApplicationIsResolvedToItsProgram) {
    const QString program = root + QStringLiteral("/bin/quickinstall.exe");
    writeRecordingProgram(program);
    addEntry(QStringLiteral("palm-install.desktop"), QStringLiteral("\"%1\" --queue %f").arg(program));
    addEntry(QStringLiteral("other.desktop"), QStringLiteral("/bin/sh %f"), pdbType + QLatin1Char(';'));
    writeText(
        where.configHome + QStringLiteral("/mimeapps.list"),
        QStringLiteral("[Default Applications]\n%1=missing.desktop;palm-install.desktop;\n").arg(pdbType));
    const auto found = findAssociatedProgram(document, where);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->program, program);
    EXPECT_EQ(found->arguments, (QStringList{"--queue", document}));
}

TEST_F(Associations, ADesktopSpecificListComesFirst) {
    addEntry(QStringLiteral("generic.desktop"), QStringLiteral("/bin/true"));
    addEntry(QStringLiteral("special.desktop"), QStringLiteral("/bin/false"));
    writeText(where.configHome + QStringLiteral("/mimeapps.list"),
              QStringLiteral("[Default Applications]\n%1=generic.desktop\n").arg(pdbType));
    writeText(where.configHome + QStringLiteral("/xfce-mimeapps.list"),
              QStringLiteral("[Default Applications]\n%1=special.desktop\n").arg(pdbType));
    where.desktops = {QStringLiteral("xfce")};
    EXPECT_EQ(findAssociatedProgram(document, where)->program, QStringLiteral("/bin/false"));
    where.desktops.clear();
    EXPECT_EQ(findAssociatedProgram(document, where)->program, QStringLiteral("/bin/true"));
}

TEST_F(Associations, AddedAssociationsAndDeclaredTypesFollowUnlessRemoved) {
    addEntry(QStringLiteral("vendor-added.desktop"), QStringLiteral("true %F"), QString(),
             where.dataDirs.first());
    // An ID with a dash may name a file in a subfolder.
    QDir().rename(where.dataDirs.first() + QStringLiteral("/applications/vendor-added.desktop"),
                  where.dataDirs.first() + QStringLiteral("/applications/tmp.desktop"));
    QDir().mkpath(where.dataDirs.first() + QStringLiteral("/applications/vendor"));
    QDir().rename(where.dataDirs.first() + QStringLiteral("/applications/tmp.desktop"),
                  where.dataDirs.first() + QStringLiteral("/applications/vendor/added.desktop"));
    addEntry(QStringLiteral("declared.desktop"), QStringLiteral("sh -c \"exit 0\" %u"),
             pdbType + QLatin1Char(';'), where.dataDirs.first());
    writeText(where.configDirs.first() + QStringLiteral("/mimeapps.list"),
              QStringLiteral("[Added Associations]\n%1=vendor-added.desktop;\n").arg(pdbType));
    auto found = findAssociatedProgram(document, where);
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(found->program.endsWith(QStringLiteral("/true")));
    EXPECT_EQ(found->arguments, QStringList{document});

    writeText(where.configHome + QStringLiteral("/mimeapps.list"),
              QStringLiteral("[Removed Associations]\n%1=vendor-added.desktop;\n").arg(pdbType));
    found = findAssociatedProgram(document, where);
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(found->program.endsWith(QStringLiteral("/sh")));
    EXPECT_EQ(found->arguments.last(), QStringLiteral("file://") + document);

    writeText(
        where.configHome + QStringLiteral("/mimeapps.list"),
        QStringLiteral("[Removed Associations]\n%1=vendor-added.desktop;declared.desktop\n").arg(pdbType));
    EXPECT_FALSE(findAssociatedProgram(document, where).has_value());
}

TEST_F(Associations, NothingAssociatedOrNothingInstalledFindsNothing) {
    CDesktopShell shell(where);
    EXPECT_EQ(shell.findExecutable(document, root), QString());
    addEntry(QStringLiteral("gone.desktop"), QStringLiteral("/nonexistent/quickinstall.exe %f"),
             pdbType + QLatin1Char(';'));
    EXPECT_EQ(shell.findExecutable(document, root), QString());
}

TEST_F(Associations, StartsTheAssociatedProgramOnTheDocument) {
    const QString program = root + QStringLiteral("/bin/quickinstall.exe");
    const QString record = writeRecordingProgram(program);
    addEntry(QStringLiteral("palm.desktop"), program + QStringLiteral(" %f"), pdbType + QLatin1Char(';'));
    CDesktopShell shell(where);
    EXPECT_EQ(shell.findExecutable(document, root), program);
    shell.openDocument(document, root);
    ASSERT_TRUE(waitForFile(record));
    EXPECT_EQ(readAll(record), document + QLatin1Char('\n'));
}

// The whole road on Linux: the dialog converts into the private runtime
// folder, finds the tool through the desktop's associations and starts it on
// the temporary database.
TEST_F(Associations, TheDialogHandsTheDatabaseToAnAssociatedQuickInstall) {
    const QString program = root + QStringLiteral("/bin/QuickInstall.EXE");
    const QString record = writeRecordingProgram(program);
    addEntry(QStringLiteral("palm.desktop"), program + QStringLiteral(" %f"));
    writeText(where.configHome + QStringLiteral("/mimeapps.list"),
              QStringLiteral("[Default Applications]\n%1=palm.desktop\n").arg(pdbType));
    where.runtimeDir = root + QStringLiteral("/run");
    QDir().mkpath(where.runtimeDir);
    chmod(QFile::encodeName(where.runtimeDir).constData(), 0700);

    apptest::clearConfiguration();
    CNativeSettingsStore store(QStringLiteral("Quessel"), QStringLiteral("kestrin"));
    CSettings settings(store);
    apptest::FakePrompter prompter;
    apptest::FakeFilePicker picker;
    apptest::FakeRunner runner;
    CDesktopShell shell(where);
    CMainDialog dialog(settings, prompter, picker, shell);
    dialog.setConversionRunner([&runner](ConversionJob& job) { return runner(job); });
    dialog.findChild<QComboBox*>(QStringLiteral("inputFileCombo"))
        ->setEditText(QStringLiteral("/pictures/a.png"));
    dialog.findChild<QCheckBox*>(QStringLiteral("writeToFileCheck"))->setChecked(false);
    dialog.findChild<QCheckBox*>(QStringLiteral("directInstallCheck"))->setChecked(true);
    dialog.findChild<QPushButton*>(QStringLiteral("startButton"))->click();

    EXPECT_TRUE(prompter.requests.empty()) << prompter.texts().join('|').toStdString();
    const QString database = where.runtimeDir + QStringLiteral("/My-Vexmoor-Image.pdb");
    ASSERT_EQ(runner.jobs.size(), 1u);
    EXPECT_EQ(QString::fromStdString(runner.jobs[0].outputPath), database);
    ASSERT_TRUE(waitForFile(record));
    EXPECT_EQ(readAll(record), database + QLatin1Char('\n'));
    EXPECT_TRUE(QFile::exists(database));
    dialog.reject();
    EXPECT_FALSE(QFile::exists(database));
}
