#include "app_test_support.h"

#include "app/string_table.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include <filesystem>
#include <fstream>

using apptest::DialogFixture;

namespace {

QString text(int id) {
    return QString::fromUtf8(applicationString(id));
}

QString noInstallTool() {
    return QStringLiteral(
        "No install tool for Palm databases was found on this computer. Choose the program that installs "
        "databases with \"Install with...\" in the options menu, or write the database to a file.");
}

class DirectInstall : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        openDialog();
        fillValidInput();
        control<QCheckBox>("writeToFileCheck")->setChecked(false);
        control<QCheckBox>("directInstallCheck")->setChecked(true);
    }
    QString temporaryDatabase() { return shell.temporaryFolder() + QStringLiteral("My-Vexmoor-Image.pdb"); }
    void start() { control<QPushButton>("startButton")->click(); }
};

}  // namespace

TEST_F(DirectInstall, HandsTheTemporaryDatabaseToQuickInstall) {
    shell.associations = {QStringLiteral("/home/me/.wine/drive_c/Palm/quickinstall.exe")};
    start();
    EXPECT_TRUE(prompter.requests.empty()) << prompter.texts().join('|').toStdString();
    ASSERT_EQ(shell.opened.size(), 1);
    EXPECT_EQ(shell.opened[0], temporaryDatabase());
    EXPECT_EQ(shell.openedDirectories[0], shell.temporaryFolder());
    // The file was complete when the tool was started, and stays for it to read.
    EXPECT_EQ(shell.openedContents[0], QStringLiteral("database of Holiday"));
    EXPECT_TRUE(QFile::exists(temporaryDatabase()));
    ASSERT_EQ(runner.jobs.size(), 1u);
    EXPECT_EQ(runner.jobs[0].imageName, "Holiday");
}

TEST_F(DirectInstall, AProgramChosenWithInstallWithReplacesTheAssociationUntilChosenAgain) {
    shell.associations = {QStringLiteral("/opt/quickinstall.exe")};
    picker.answer = QStringLiteral("/home/me/bin/to-card.sh");
    const auto installWithChecked = [&] {
        return dialog->createOptionsMenu()
            ->findChild<QAction*>(QStringLiteral("installWithAction"))
            ->isChecked();
    };
    EXPECT_FALSE(installWithChecked());
    dialog->handleCommand(ID_INSTALL_WITH);
    EXPECT_TRUE(installWithChecked());
    start();
    EXPECT_EQ(shell.started, QStringList{picker.answer.value() + QLatin1Char(' ') + temporaryDatabase()});
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_TRUE(prompter.requests.empty()) << prompter.texts().join('|').toStdString();

    dialog->handleCommand(ID_INSTALL_WITH);  // forgets the program without asking
    EXPECT_EQ(picker.calls, 1);
    EXPECT_FALSE(installWithChecked());
    start();
    EXPECT_EQ(shell.started.size(), 1);
    EXPECT_EQ(shell.opened, QStringList{temporaryDatabase()});
    EXPECT_TRUE(prompter.requests.empty()) << prompter.texts().join('|').toStdString();

    picker.answer = QStringLiteral("gone.sh");  // a program that cannot be started
    dialog->handleCommand(ID_INSTALL_WITH);
    start();
    EXPECT_EQ(prompter.texts(), QStringList{text(111)});
}

TEST_F(DirectInstall, AcceptsBothToolNamesWhateverTheirCase) {
    for (const QString& tool :
         {QStringLiteral("C:\\Palm\\Instapp.exe"), QStringLiteral("/x/xquickinstall.exe"),
          QStringLiteral("D:\\PALM\\QUICKINSTALL.EXE"), QStringLiteral("instapp.exe")}) {
        shell.opened.clear();
        shell.associations = {tool};
        start();
        EXPECT_EQ(shell.opened.size(), 1) << tool.toStdString();
    }
    EXPECT_TRUE(prompter.requests.empty());
}

TEST_F(DirectInstall, TheFirstAssociatedProgramThatIsTheInstallToolIsStarted) {
    shell.associations = {QStringLiteral("/usr/bin/gedit"), QStringLiteral("C:\\Palm\\Instapp.exe"),
                          QStringLiteral("/opt/quickinstall.exe")};
    start();
    EXPECT_TRUE(prompter.requests.empty()) << prompter.texts().join('|').toStdString();
    EXPECT_EQ(shell.openedWith, QStringList{QStringLiteral("C:\\Palm\\Instapp.exe")});
}

TEST_F(DirectInstall, AnotherProgramSaysNoToolWasFoundAnd111InOneBoxAndTheFileStaysUntilClosing) {
    for (const QStringList& programs :
         {QStringList{QStringLiteral("/usr/bin/gedit")},
          QStringList{QStringLiteral("C:\\quickinstall.exe.bak"), QStringLiteral("C:\\nstapp.exe")}}) {
        prompter.requests.clear();
        shell.associations = programs;
        start();
        EXPECT_EQ(prompter.texts(), QStringList{noInstallTool() + QStringLiteral("\n\n") + text(111)})
            << programs.join(' ').toStdString();
        EXPECT_EQ(prompter.requests[0].caption, QStringLiteral("Kestrin"));
        EXPECT_EQ(prompter.requests[0].icon, MessageIcon::Warning);
    }
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_TRUE(QFile::exists(temporaryDatabase()));
    dialog->reject();
    EXPECT_FALSE(QFile::exists(temporaryDatabase()));
}

TEST_F(DirectInstall, NoAssociationSaysNoToolWasFoundAnd111InOneBox) {
    shell.associations.clear();
    start();
    EXPECT_EQ(prompter.texts(), QStringList{noInstallTool() + QStringLiteral("\n\n") + text(111)});
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(DirectInstall, AFailedConversionIsNotHandedOver) {
    shell.associations = {QStringLiteral("/opt/quickinstall.exe")};
    runner.succeed = false;
    start();
    ASSERT_EQ(prompter.requests.size(), 1u);
    EXPECT_TRUE(prompter.requests[0].text.startsWith(QStringLiteral("Output file ")));
    EXPECT_TRUE(prompter.requests[0].text.endsWith(QStringLiteral("\n\n") + text(111)));
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(DirectInstall, BothDestinationsConvertTwiceAndOnlyTheTemporaryFileIsInstalled) {
    shell.associations = {QStringLiteral("/opt/quickinstall.exe")};
    control<QCheckBox>("writeToFileCheck")->setChecked(true);
    start();
    ASSERT_EQ(runner.jobs.size(), 2u);
    const QString output = control<QComboBox>("outputFileCombo")->currentText();
    EXPECT_EQ(QString::fromStdString(runner.jobs[0].outputPath), output);
    EXPECT_EQ(QString::fromStdString(runner.jobs[1].outputPath), temporaryDatabase());
    EXPECT_EQ(shell.opened, QStringList{temporaryDatabase()});
}

TEST_F(DirectInstall, NeverWritesThroughALinkPlantedAtTheFixedName) {
    const std::filesystem::path victim = work / "victim.txt";
    std::ofstream(victim) << "not yours";
    std::filesystem::create_symlink(victim, temporaryDatabase().toStdString());
    shell.associations = {QStringLiteral("/opt/quickinstall.exe")};
    start();
    std::ifstream in(victim);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "not yours");
    const QFileInfo written(temporaryDatabase());
    EXPECT_FALSE(written.isSymLink());
    EXPECT_TRUE(written.isFile());
    EXPECT_EQ(shell.openedContents, QStringList{QStringLiteral("database of Holiday")});
}

TEST_F(DirectInstall, NoPrivateFolderMeansNoInstall) {
    class NoFolderShell : public apptest::FakeShell {
    public:
        QString temporaryFolder() override { return {}; }
    } noFolder;
    noFolder.associations = {QStringLiteral("/opt/quickinstall.exe")};
    dialog.reset();
    dialog = std::make_unique<CMainDialog>(*settings, prompter, picker, noFolder);
    dialog->setConversionRunner([this](ConversionJob& job) { return runner(job); });
    fillValidInput();
    control<QCheckBox>("writeToFileCheck")->setChecked(false);
    control<QCheckBox>("directInstallCheck")->setChecked(true);
    start();
    EXPECT_EQ(prompter.texts(), QStringList{text(111)});
    EXPECT_TRUE(runner.jobs.empty());
    dialog.reset();
}
