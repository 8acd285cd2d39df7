#include "app_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <signal.h>
#include <sys/stat.h>

namespace {

// A 24-bit bottom-up BMP of a colour gradient.
std::vector<std::uint8_t> gradientBmp(int width, int height) {
    const int stride = (width * 3 + 3) & ~3;
    testsupport::ByteWriter bmp;
    bmp.text("BM").le32(54 + stride * height).le32(0).le32(54);
    bmp.le32(40)
        .le32(width)
        .le32(height)
        .le16(1)
        .le16(24)
        .le32(0)
        .le32(stride * height)
        .le32(2835)
        .le32(2835);
    bmp.le32(0).le32(0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) bmp.u8(x * 255 / width).u8(y * 255 / height).u8(128);
        bmp.fill(stride - width * 3, 0);
    }
    return bmp.data();
}

// Whether the process has a handler for the signal yet (the caught mask in
// /proc): until then the signal would end it before it could save anything.
bool catchesSignal(qint64 process, int signalNumber) {
    QFile status(QStringLiteral("/proc/%1/status").arg(process));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("SigCgt:")) continue;
        return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signalNumber - 1)) & 1U;
    }
    return false;
}

}  // namespace

// The real program, started as a user would, under the offscreen platform:
// it opens its window and stays until asked to end; a termination request
// closes the window the normal way, so the settings are saved.
TEST(ApplicationBinary, RunsUntilAskedToEndAndThenSavesItsSettings) {
    testsupport::TemporaryFolder home;
    const QString config = QString::fromStdString((home / "config").string());
    const QString runtime = QString::fromStdString((home / "run").string());
    QDir().mkpath(config + QStringLiteral("/Quessel"));
    QDir().mkpath(runtime);
    chmod(QFile::encodeName(runtime).constData(), 0700);
    const QString settingsPath = config + QStringLiteral("/Quessel/kestrin.conf");
    {
        QSettings seeded(settingsPath, QSettings::IniFormat);
        seeded.setValue("imagename", "Seeded name");
        seeded.setValue("os", 0);
    }

    // A file manager's "Open with" passes the picture, here a relative path.
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.setWorkingDirectory(runtime);
    program.start(QStringLiteral(KESTRIN_APP_BINARY), {QStringLiteral("holiday.bmp")});
    ASSERT_TRUE(program.waitForStarted(10000));
    // Asked to end once it is ready for it, however slowly it starts.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return program.state() != QProcess::Running || catchesSignal(program.processId(), SIGTERM); },
        60000));
    ASSERT_EQ(program.state(), QProcess::Running) << "the program ended on its own";
    ASSERT_EQ(kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);

    QSettings saved(settingsPath, QSettings::IniFormat);
    // The picture brought its own image name, as every way in does.
    EXPECT_EQ(saved.value("imagename").toString(), QStringLiteral("holiday"));
    EXPECT_EQ(saved.value("os").toInt(), 0);
    EXPECT_EQ(saved.value("compression").toInt(), 99);
    EXPECT_EQ(saved.value("last8").toString(), runtime + QStringLiteral("/holiday.bmp"));
    EXPECT_EQ(saved.childKeys().size(), 15);
}

// Where no window can open (a server, an SSH session), the program says so in
// one line that points to the command line, instead of the platform plugin's
// abort; --help and --version need no display at all.
TEST(ApplicationBinary, AnswersWithoutADisplay) {
    struct Case {
        QStringList arguments;
        int exitCode;
        QString firstLine;
    };
    const Case cases[] = {
        {{},
         1,
         QStringLiteral("kestrin: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is "
                        "set); use kestrin-convert to convert pictures on the command line")},
        {{QStringLiteral("picture.png")}, 1, QStringLiteral("kestrin: no display to open the window on")},
        {{QStringLiteral("--version")}, 0, QStringLiteral("kestrin 0.1.0")},
        {{QStringLiteral("picture.png"), QStringLiteral("--help")},
         0,
         QStringLiteral("Usage: kestrin [OPTION]... [FILE]")},
        {{QStringLiteral("--bogus"), QStringLiteral("picture.png")},
         2,
         QStringLiteral("kestrin: unknown option '--bogus'")},
        {{QStringLiteral("-x")}, 2, QStringLiteral("kestrin: unknown option '-x'")},
        {{QStringLiteral("-style"), QStringLiteral("fusion"), QStringLiteral("--version")},
         0,
         QStringLiteral("kestrin 0.1.0")},
        {{QStringLiteral("--"), QStringLiteral("--bogus.png")}, 1, QStringLiteral("kestrin: no display")},
    };
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(variable));
    for (const Case& test : cases) {
        SCOPED_TRACE(test.arguments.join(' ').toStdString());
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(KESTRIN_APP_BINARY), test.arguments);
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), test.exitCode);
        const QStringList lines = QString::fromUtf8(program.readAll()).split('\n', Qt::SkipEmptyParts);
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_TRUE(lines[0].startsWith(test.firstLine)) << lines[0].toStdString();
        if (test.exitCode == 1) {
            EXPECT_EQ(lines.size(), 1);
        }
        // A usage error ends in where to read more, as GNU tools do.
        if (test.exitCode == 2) {
            EXPECT_EQ(lines.value(1), QStringLiteral("Try 'kestrin --help' for more information."));
        }
    }
}

// The dialog with the real conversion run: a generated picture becomes a
// database on disk, without any message.
class EndToEnd : public apptest::DialogFixture {};

TEST_F(EndToEnd, ConvertsAGeneratedPictureIntoADatabase) {
    const auto picture = work / "gradient.bmp";
    testsupport::WriteFileBytes(picture, gradientBmp(64, 44));
    openDialog();
    dialog->setConversionRunner([](ConversionJob& job) { return job.run(); });
    fillValidInput(QString::fromStdString(picture.string()));
    control<QPushButton>("startButton")->click();
    const QString shown = prompter.texts().join('|');
    if (shown.contains(QStringLiteral("not available yet")))
        GTEST_SKIP() << "the conversion run is not built yet";
    EXPECT_TRUE(prompter.requests.empty()) << shown.toStdString();
    EXPECT_FALSE(dialog->progressDialog().isOpen());
    EXPECT_EQ(dialog->progressDialog().log(),
              QStringLiteral("Creating database file...\nWriting database header...\nCreating image...\n"
                             "Closing database file...\n"));
    const auto bytes = testsupport::ReadFileBytes(work / "out.pdb");
    ASSERT_GT(bytes.size(), 78u);
    EXPECT_EQ(std::string(bytes.begin() + 60, bytes.begin() + 68), "pictVxmr");
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 7), "Holiday");
}
