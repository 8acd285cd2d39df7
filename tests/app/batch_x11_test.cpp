#include "desktop_home.h"
#include "x_session.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <cstdlib>
#include <iostream>

using apptest::readAll;

namespace {

class ManyPictures : public apptest::DesktopHome {
protected:
    // Starts the program on `x` with these arguments, on `bus` when it runs.
    void startProgram(QProcess& program, apptest::XSession& x, const apptest::AccessibilityBus& bus,
                      const QStringList& arguments) {
        QProcessEnvironment environment = this->environment();
        environment.insert(QStringLiteral("DISPLAY"), x.display());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        if (bus.running()) bus.addTo(environment);
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(QStringLiteral(KESTRIN_APP_BINARY), arguments);
        ASSERT_TRUE(program.waitForStarted(10000));
    }

    QString writePicture(const std::string& name, int seed) {
        const auto path = folder / name;
        testsupport::WriteFileBytes(path, testsupport::MakeBmp24(48, 33, [seed](int x, int y) {
                                        return testsupport::Bgr{static_cast<std::uint8_t>(x * seed),
                                                                static_cast<std::uint8_t>(y * 7), 90};
                                    }));
        return QString::fromStdString(path.string());
    }

    // A database's bytes with its creation and modification times (offsets
    // 36 to 43 of the header) zeroed: the two programs write at other seconds.
    static QByteArray bytesOf(const QString& path) {
        QFile file(path);
        QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (bytes.size() >= 44) bytes.replace(36, 8, QByteArray(8, '\0'));
        return bytes;
    }

    static void closeProgram(QProcess& program, apptest::XSession& x) {
        ASSERT_TRUE(x.xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
        ASSERT_TRUE(program.state() == QProcess::NotRunning || program.waitForFinished(30000));
        EXPECT_EQ(program.exitCode(), 0);
    }
};

}  // namespace

// Five pictures on the command line, one broken and one whose database is in
// the folder already: the folder typed in, START and the question answered
// on the keyboard. The four databases are those kestrin-convert writes.
TEST_F(ManyPictures, TheWindowConvertsThemAsKestrinConvertDoes) {
    apptest::XSession* x = apptest::xSession();
    if (x == nullptr) GTEST_SKIP() << "no X server (Xvfb and xdotool are needed)";
    apptest::AccessibilityBus bus;
    QStringList pictures;
    for (const auto& [name, seed] :
         {std::pair{"one.bmp", 3}, {"two.bmp", 5}, {"broken.bmp", 0}, {"four.bmp", 9}, {"five.bmp", 11}})
        pictures.append(writePicture(name, seed));
    testsupport::WriteFileBytes(folder / "broken.bmp", {'B', 'M', 1, 2, 3});
    const QString reference = root + QStringLiteral("/reference");
    const QString output = root + QStringLiteral("/out");
    QDir().mkpath(reference);
    QDir().mkpath(output);
    // An older database, which "Overwrite all" replaces (nothing else ever is).
    testsupport::WriteFileBytes((output + QStringLiteral("/two.pdb")).toStdString(),
                                testsupport::MinimalPalmDatabase());
    {
        QProcess convert;
        convert.start(QStringLiteral(KESTRIN_CONVERT_BINARY),
                      QStringList{QStringLiteral("-q"), QStringLiteral("--outdir"), reference} + pictures);
        ASSERT_TRUE(convert.waitForFinished(60000));
        ASSERT_EQ(convert.exitCode(), 1);  // the broken picture
    }

    QProcess program;
    startProgram(program, *x, bus, pictures);
    const auto window = x->xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                                    QStringLiteral("--name"), QStringLiteral("^Kestrin$")});
    ASSERT_TRUE(window && !window->isEmpty());
    ASSERT_TRUE(x->xdotool(
        {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window->split(QLatin1Char('\n')).first()}));
    // Alt+L is the output fo&lder, Alt+V START CON&VERSION, Alt+O &Overwrite all.
    ASSERT_TRUE(x->xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("100"),
                            QStringLiteral("alt+l"), QStringLiteral("ctrl+a")}));
    ASSERT_TRUE(x->xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), output}));
    ASSERT_TRUE(x->xdotool({QStringLiteral("key"), QStringLiteral("alt+v")}));
    if (bus.running()) {
        // The question, as a screen reader reads it, names the database there.
        const auto question = bus.tree(QStringLiteral("kestrin"), QStringLiteral("already exist"));
        ASSERT_TRUE(question.has_value());
        EXPECT_TRUE(question->contains(QLatin1String("two.pdb"))) << question->toStdString();
    } else {
        // The question is the program's second window of that title.
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 60000) {
            const auto windows = x->xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                             QStringLiteral("--name"), QStringLiteral("^Kestrin$")});
            if (windows && windows->split(QLatin1Char('\n'), Qt::SkipEmptyParts).size() >= 2) break;
            QTest::qWait(20);
        }
    }
    ASSERT_TRUE(x->xdotool({QStringLiteral("key"), QStringLiteral("alt+o")}));
    ASSERT_TRUE(x->xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--name"),
                            QStringLiteral("^Conversion finished$")},
                           120000));

    for (const char* name : {"one.pdb", "two.pdb", "four.pdb", "five.pdb"}) {
        SCOPED_TRACE(name);
        const QByteArray expected = bytesOf(reference + QLatin1Char('/') + QLatin1String(name));
        ASSERT_GT(expected.size(), 78);
        EXPECT_EQ(bytesOf(output + QLatin1Char('/') + QLatin1String(name)), expected);
    }
    EXPECT_EQ(QDir(output).entryList(QDir::Files | QDir::Hidden).size(), 4);

    if (bus.running()) {
        const auto tree = bus.tree(QStringLiteral("kestrin"), QStringLiteral("Converted: "));
        ASSERT_TRUE(tree.has_value());
        EXPECT_TRUE(tree->contains(QLatin1String("Converted: 4 of 5 pictures."))) << tree->toStdString();
        EXPECT_TRUE(tree->contains(QRegularExpression(QStringLiteral("broken\\.bmp: \\S"))))
            << tree->toStdString();
    }
    ASSERT_TRUE(x->xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
    QTest::qWait(300);
    closeProgram(program, *x);
}

// Every control a Tab reaches has a name and a role for a screen reader, with
// one picture and with a list of them; the listing is printed for the record.
TEST_F(ManyPictures, EveryFocusableControlHasANameAndARole) {
    apptest::XSession* x = apptest::xSession();
    if (x == nullptr) GTEST_SKIP() << "no X server (Xvfb and xdotool are needed)";
    apptest::AccessibilityBus bus;
    if (!bus.running())
        GTEST_SKIP() << "no AT-SPI (dbus-daemon, at-spi2-core and python3-pyatspi are needed)";
    const QStringList one = {writePicture("one.bmp", 3)};
    const QStringList three = one + QStringList{writePicture("two.bmp", 5), writePicture("three.bmp", 7)};
    for (const QStringList& pictures : {one, three}) {
        SCOPED_TRACE(pictures.size());
        QProcess program;
        startProgram(program, *x, bus, pictures);
        const auto tree = bus.tree(QStringLiteral("kestrin"), QStringLiteral("Preview: 160x110"));
        ASSERT_TRUE(tree.has_value());
        std::cout << tree->toStdString() << std::endl;
        int focusable = 0;
        for (const QString& line : tree->split(QLatin1Char('\n'))) {
            const QStringList fields = line.trimmed().split(QLatin1Char('\t'));
            if (fields.size() < 3 || fields[2] != QLatin1String("focusable")) continue;
            ++focusable;
            EXPECT_FALSE(fields[0].isEmpty() || fields[0] == QLatin1String("unknown")) << line.toStdString();
            EXPECT_FALSE(fields[1].trimmed().isEmpty()) << line.toStdString();
        }
        EXPECT_GE(focusable, pictures.size() > 1 ? 16 : 13);
        if (pictures.size() > 1) {
            EXPECT_TRUE(tree->contains(QLatin1String("Input files: 3 pictures")));
        }
        EXPECT_TRUE(tree->contains(
            QRegularExpression(QStringLiteral("image\tPreview: 160x110 and 320x220, [0-9,]+ bytes"))));
        const auto window = x->xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                                        QStringLiteral("--name"), QStringLiteral("^Kestrin$")});
        ASSERT_TRUE(window && !window->isEmpty());
        ASSERT_TRUE(x->xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                                window->split(QLatin1Char('\n')).first()}));
        closeProgram(program, *x);
    }
}
