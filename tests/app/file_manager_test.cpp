#include "app/file_manager.h"
#include "app_test_support.h"
#include "desktop_home.h"
#include "fake_bus.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString kService = QStringLiteral("org.freedesktop.FileManager1");
const QString kPath = QStringLiteral("/org/freedesktop/FileManager1");

class ShowInFolder : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.running()) GTEST_SKIP() << "no dbus-daemon";
    }
    void TearDown() override { bus.service().unregisterService(kService); }

    // Shows the file, waits for the file manager or the fallback, and lets
    // the finished call go.
    void show(const QString& file, bool expectFileManager) {
        CDesktopFileManager manager(bus.client(), [this](const QString& folder) {
            openedFolders.append(folder);
            return true;
        });
        manager.showInFolder(file);
        const bool done = QTest::qWaitFor(
            [&] { return expectFileManager ? !fileManager.calls.isEmpty() : !openedFolders.isEmpty(); });
        EXPECT_TRUE(done);
        QTest::qWait(50);
    }

    apptest::BareSessionBus bus;
    apptest::RecordingObject fileManager;
    QStringList openedFolders;
};

TEST_F(ShowInFolder, AsksTheFileManagerToSelectTheFile) {
    ASSERT_TRUE(bus.service().registerVirtualObject(kPath, &fileManager));
    ASSERT_TRUE(bus.service().registerService(kService));
    // Escaped as GLib writes URIs.
    show(QStringLiteral("/pictures/out put/50% #1.pdb"), true);
    ASSERT_EQ(fileManager.calls.size(), 1);
    const QDBusMessage& call = fileManager.calls[0];
    EXPECT_EQ(call.interface(), kService);
    EXPECT_EQ(call.member(), QStringLiteral("ShowItems"));
    EXPECT_EQ(call.signature(), QStringLiteral("ass"));
    ASSERT_EQ(call.arguments().size(), 2);
    EXPECT_EQ(call.arguments()[0].toStringList(),
              QStringList{QStringLiteral("file:///pictures/out%20put/50%25%20%231.pdb")});
    EXPECT_EQ(call.arguments()[1].toString(), QString());
    QTest::qWait(100);
    EXPECT_TRUE(openedFolders.isEmpty());
}

TEST_F(ShowInFolder, SelectsEveryDatabaseOfABatchInTheFirstOnesFolder) {
    ASSERT_TRUE(bus.service().registerVirtualObject(kPath, &fileManager));
    ASSERT_TRUE(bus.service().registerService(kService));
    CDesktopFileManager manager(bus.client(), [](const QString&) { return true; });
    manager.showInFolder(QStringList{QStringLiteral("/out/a.pdb"), QStringLiteral("/elsewhere/b.pdb"),
                                     QStringLiteral("/out/c.pdb")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fileManager.calls.isEmpty(); }));
    EXPECT_EQ(fileManager.calls[0].arguments()[0].toStringList(),
              (QStringList{QStringLiteral("file:///out/a.pdb"), QStringLiteral("file:///out/c.pdb")}));
    QTest::qWait(50);
}

TEST_F(ShowInFolder, OpensTheFolderWhenNoFileManagerAnswers) {
    struct Case {
        const char* name;
        bool registered;
        QString error;
    };
    const Case cases[] = {
        {"nobody owns the name", false, {}},
        {"the file manager refuses", true, QStringLiteral("org.freedesktop.DBus.Error.Failed")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        openedFolders.clear();
        fileManager.error = c.error;
        if (c.registered) {
            ASSERT_TRUE(bus.service().registerVirtualObject(kPath, &fileManager));
            ASSERT_TRUE(bus.service().registerService(kService));
        }
        show(QStringLiteral("/pictures/out/photo.pdb"), false);
        EXPECT_EQ(openedFolders, QStringList{QStringLiteral("file:///pictures/out")});
    }
}

// Nothing visible would happen: the window is told where the file is.
TEST_F(ShowInFolder, SaysWhereTheFileIsWhenNothingCanShowTheFolder) {
    CDesktopFileManager manager(bus.client(), [](const QString&) { return false; });
    QStringList told;
    manager.setNotShownHandler([&told](const QString& folder) { told.append(folder); });
    manager.showInFolder(QStringLiteral("/pictures/out/photo.pdb"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !told.isEmpty(); }));
    EXPECT_EQ(told, QStringList{QStringLiteral("/pictures/out")});
}

using FolderFallback = apptest::DesktopHome;

// The real path: nobody owns the file manager's name on the session bus, and
// GIO starts the desktop's program for folders on the folder.
TEST_F(FolderFallback, StartsTheDesktopsProgramForFolders) {
    apptest::BareSessionBus bus;
    if (!bus.running()) GTEST_SKIP() << "no dbus-daemon";
    const QString record = root + QStringLiteral("/bin/folders.record");
    apptest::writeText(
        root + QStringLiteral("/bin/folders"),
        QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" >\"$0.part\" && mv \"$0.part\" \"$0.record\"\n"));
    QFile::setPermissions(root + QStringLiteral("/bin/folders"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    addEntry(QStringLiteral("folders.desktop"), QStringLiteral("folders %U"),
             QStringLiteral("inode/directory;"));
    setDefault(QStringLiteral("inode/directory"), QStringLiteral("folders.desktop"));
    updateCaches();

    QProcess probe;
    QProcessEnvironment environment = this->environment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    probe.setProcessEnvironment(environment);
    probe.start(QStringLiteral(ASSOCIATION_PROBE_BINARY), {QStringLiteral("--show-in-folder"), document});
    ASSERT_TRUE(probe.waitForFinished(30000));
    EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
    ASSERT_TRUE(apptest::waitForFile(record));
    // GIO hands a local folder to the program as its path.
    EXPECT_EQ(apptest::readAll(record).trimmed().toStdString(),
              QFileInfo(document).absolutePath().toStdString());
}

}  // namespace
