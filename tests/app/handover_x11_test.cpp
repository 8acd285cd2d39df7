#include "desktop_home.h"
#include "x_session.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>

#include <sys/stat.h>

using apptest::readAll;
using apptest::waitForFile;

namespace {

class Handover : public apptest::DesktopHome {};

}  // namespace

// The whole road as a user takes it: the program, started on a desktop where
// Palm Desktop lives in a Wine prefix, converts the picture into the private
// runtime folder when START CONVERSION is pressed on the keyboard and starts
// Wine's association on it; closing the window removes the database.
TEST_F(Handover, TheWindowHandsTheDatabaseToTheInstallToolUnderWine) {
    apptest::XSession* x = apptest::xSession();
    if (x == nullptr) GTEST_SKIP() << "no X server (Xvfb and xdotool are needed)";
    const QString prefix = home + QStringLiteral("/.wine-palm");
    apptest::writeText(prefix + QStringLiteral("/user.reg"), apptest::kInstallToolUserRegistry);
    addWineEntry(prefix);
    addEntry(QStringLiteral("texteditor.desktop"), QStringLiteral("sh -c true %f"),
             QStringLiteral("application/vnd.palm;"));
    setDefault(QStringLiteral("application/vnd.palm"), QStringLiteral("texteditor.desktop"));
    updateCaches();

    const auto picture = folder / "harbour.bmp";
    testsupport::WriteFileBytes(
        picture, testsupport::MakeBmp24(48, 33, [](int x, int y) {
            return testsupport::Bgr{static_cast<std::uint8_t>(x * 5), static_cast<std::uint8_t>(y * 7), 90};
        }));
    {
        QSettings seeded(home + QStringLiteral("/.config/Quessel/kestrin.conf"), QSettings::IniFormat);
        seeded.setValue("last8", QString::fromStdString(picture.string()));
        seeded.setValue("imagename", "Harbour");
        seeded.setValue("file", 0);
        seeded.setValue("install", 1);
    }
    const QString runtime = root + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    chmod(QFile::encodeName(runtime).constData(), 0700);

    QProcess program;
    QProcessEnvironment environment = this->environment();
    environment.insert(QStringLiteral("DISPLAY"), x->display());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(KESTRIN_APP_BINARY), {});
    ASSERT_TRUE(program.waitForStarted(10000));

    const auto window = x->xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                                    QStringLiteral("--name"), QStringLiteral("^Kestrin$")});
    ASSERT_TRUE(window && !window->isEmpty());
    const QString id = window->split(QLatin1Char('\n')).first();
    ASSERT_TRUE(x->xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), id}));
    // Alt+V is START CON&VERSION.
    ASSERT_TRUE(x->xdotool({QStringLiteral("key"), QStringLiteral("alt+v")}));

    ASSERT_TRUE(waitForFile(wineRecord));
    const QString database = runtime + QStringLiteral("/My-Vexmoor-Image.pdb");
    EXPECT_EQ(readAll(wineRecord),
              QStringLiteral("WINEPREFIX=%1\nPWD=%2\nstart\n/ProgIDOpen\nPalm.Database\n%3\n")
                  .arg(prefix, runtime, database));
    const QByteArray handed = [this] {
        QFile file(wineDatabase);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    ASSERT_GT(handed.size(), 78);
    EXPECT_EQ(handed.left(8), QByteArray("Harbour\0", 8));
    EXPECT_EQ(handed.mid(60, 8), QByteArray("pictVxmr"));
    EXPECT_TRUE(QFile::exists(database));

    ASSERT_TRUE(x->xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
    // The window may close while xdotool still runs this test's event loop;
    // waitForFinished then finds it ended already and says false.
    ASSERT_TRUE(program.state() == QProcess::NotRunning || program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(database));
}
