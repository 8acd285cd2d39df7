// Several pictures in the window: the list in place of the input field, and
// converting them all at once through the engine's batch runner.
#include "app_test_support.h"

#include "app/batch_conversion.h"
#include "app/batch_progress_dialog.h"
#include "app/desktop_notifier.h"
#include "app/file_names.h"
#include "app/picture_paths.h"
#include "app/preview_pane.h"
#include "app/string_table.h"
#include "fake_bus.h"
#include "support/image_writers.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <set>

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

using apptest::DialogFixture;

namespace {

class RecordingNotifier : public UserNotifier {
public:
    void showMessage(const std::string& text, MessageIcon) override { last = text; }
    std::string last;
};

class BatchWindow : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        openDialog();
    }

    QString picture(const std::string& name, int width = 40, int height = 30) {
        const auto path = work / name;
        testsupport::WriteFileBytes(path, testsupport::MakeBmp24(width, height, [](int x, int y) {
                                        return testsupport::Bgr{static_cast<std::uint8_t>(x * 3),
                                                                static_cast<std::uint8_t>(y * 5), 60};
                                    }));
        return QString::fromStdString(path.string());
    }

    QStringList names() const {
        QStringList all;
        auto* list = control<QListWidget>("pictureList");
        for (int i = 0; i < list->count(); ++i) all.append(list->item(i)->text());
        return all;
    }

    static std::string contents(const std::filesystem::path& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
};

}  // namespace

TEST_F(BatchWindow, SeveralPicturesTakeTheInputFieldsPlaceUntilOneIsLeft) {
    std::filesystem::create_directories(work / "album" / "sub");
    for (const char* name : {"b.bmp", "a.BMP", "c.png"})
        std::filesystem::copy_file(picture("x.bmp").toStdString(), work / "album" / name,
                                   std::filesystem::copy_options::overwrite_existing);
    testsupport::WriteFileBytes(work / "album" / "notes.txt", {'h', 'i'});
    testsupport::WriteFileBytes(work / "album" / "sub" / "d.bmp", {'B', 'M'});
    settings->imageName = QStringLiteral("Kept name");
    settings->save();
    openDialog();

    dialog->openPictures({QString::fromStdString((work / "album").string())});
    EXPECT_EQ(names().join(QLatin1Char(' ')).toStdString(), "a.BMP b.bmp c.png");
    EXPECT_FALSE(control<QComboBox>("inputFileCombo")->isVisibleTo(dialog.get()));
    EXPECT_FALSE(control<QLineEdit>("imageNameEdit")->isEnabled());
    EXPECT_EQ(control<QLineEdit>("imageNameEdit")->text(), QStringLiteral("from each file's name"));
    EXPECT_EQ(control<QLabel>("writeToFileLabel")->text(), QStringLiteral("fo&lder:"));
    EXPECT_EQ(control<QListWidget>("pictureList")->accessibleName(),
              QStringLiteral("Input files: 3 pictures"));

    // A dropped or picked picture joins the list; one already there does not.
    dialog->openPictures({picture("e.bmp"), QString::fromStdString((work / "album" / "b.bmp").string())});
    EXPECT_EQ(names().size(), 4);

    auto* list = control<QListWidget>("pictureList");
    for (int left = 3; left >= 1; --left) {
        list->setCurrentRow(0);
        // The Delete key on the list does what Remove does.
        if (left == 2)
            QTest::keyClick(list, Qt::Key_Delete);
        else
            control<QPushButton>("removePictureButton")->click();
        if (left > 1) {
            EXPECT_EQ(names().size(), left);
        }
    }
    EXPECT_TRUE(dialog->pictures().isEmpty());
    EXPECT_TRUE(control<QComboBox>("inputFileCombo")->isVisibleTo(dialog.get()));
    EXPECT_EQ(control<QComboBox>("inputFileCombo")->currentText().toStdString(), (work / "e.bmp").string());
    EXPECT_EQ(control<QLineEdit>("imageNameEdit")->text().toStdString(), "Kept name");
    EXPECT_EQ(control<QLabel>("writeToFileLabel")->text(), QStringLiteral("fi&le:"));
}

TEST_F(BatchWindow, TabVisitsTheControlsInTheOrderTheyAreSeen) {
    // The two radio buttons are one stop; the arrow keys move between them.
    const char* radio = "radio";
    const QStringList single = {"inputFileCombo",     "pickButton", "imageNameEdit",      "colorDepthCombo",
                                "destinationOsCombo", radio,        "fineQualityCheck",   "writeToFileCheck",
                                "outputFileCombo",    "setButton",  "directInstallCheck", "startButton",
                                "optionsButton"};
    QStringList several = single;
    several[0] = QStringLiteral("pictureList");
    several.insert(2, QStringLiteral("removePictureButton"));
    several.insert(3, QStringLiteral("clearPicturesButton"));
    several.removeAll(QStringLiteral("imageNameEdit"));
    dialog->show();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    for (const QStringList& expected : {single, several}) {
        if (expected == several) dialog->openPictures({picture("a.bmp"), picture("b.bmp")});
        control<QWidget>(expected.first().toLatin1().constData())->setFocus();
        QStringList visited;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const QString name = QApplication::focusWidget()->objectName();
            visited.append(name.endsWith(QLatin1String("Radio")) ? QStringLiteral("radio") : name);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        EXPECT_EQ(visited.join(QLatin1Char(' ')).toStdString(),
                  expected.join(QLatin1Char(' ')).toStdString());
    }
}

TEST_F(BatchWindow, StartConvertsThemAllAndAsksOnceAboutDatabasesThatExist) {
    const struct {
        const char* scenario;
        PromptAnswer answer;
        bool writeToFolder;
        std::vector<std::string> written;  // besides b.pdb as it was
        bool summary;
    } cases[] = {
        {"overwrite all", PromptAnswer::Yes, true, {"a.pdb", "b.pdb", "c.pdb"}, true},
        {"skip those", PromptAnswer::No, true, {"a.pdb", "c.pdb"}, true},
        {"only directly send", PromptAnswer::Yes, false, {}, true},
        {"cancel", PromptAnswer::Cancel, true, {}, false},
    };
    const QStringList pictures = {picture("a.bmp"), picture("b.bmp", 300, 200), picture("broken.bmp"),
                                  picture("c.bmp", 13, 17), picture("c.gif")};
    testsupport::WriteFileBytes(work / "broken.bmp", {'B', 'M', 0, 1});
    RecordingNotifier single;
    {
        ConversionJob job;
        job.inputPath = (work / "broken.bmp").string();
        job.outputPath = (work / "single.pdb").string();
        job.notifier = &single;
        ASSERT_FALSE(job.run());
    }
    shell.associations = {QStringLiteral("C:\\palm\\Instapp.exe")};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        const auto folder = work / "out";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        // An older database: "Overwrite" replaces it (nothing else ever is).
        const std::vector<std::uint8_t> old = testsupport::MinimalPalmDatabase();
        testsupport::WriteFileBytes(folder / "b.pdb", old);
        prompter.requests.clear();
        prompter.answers = {c.answer};
        shell.opened.clear();
        openDialog();
        dialog->setBatchJobs(2);
        dialog->openPictures(pictures);
        control<QComboBox>("outputFileCombo")->setEditText(QString::fromStdString(folder.string()));
        if (!c.writeToFolder) control<QCheckBox>("writeToFileCheck")->setChecked(false);
        control<QCheckBox>("directInstallCheck")->setChecked(!c.writeToFolder);
        control<QPushButton>("startButton")->click();

        std::set<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (name == "b.pdb" && contents(entry.path()) == std::string(old.begin(), old.end())) continue;
            found.insert(name);
        }
        EXPECT_EQ(found, std::set<std::string>(c.written.begin(), c.written.end()));
        const QStringList texts = prompter.texts();
        ASSERT_EQ(texts.size(), (c.writeToFolder ? 1 : 0) + (c.summary ? 1 : 0));
        if (!c.summary) continue;
        const QString summary = texts.last();
        EXPECT_TRUE(summary.contains(QStringLiteral("broken.bmp: ") + QString::fromStdString(single.last)))
            << summary.toStdString();
        EXPECT_EQ(summary.contains(QLatin1String("Skipped")), c.answer == PromptAnswer::No)
            << summary.toStdString();
        EXPECT_TRUE(
            summary.contains(QLatin1String("c.gif: Another picture of the list is converted into c.pdb")))
            << summary.toStdString();
        if (!c.writeToFolder) {
            EXPECT_EQ(shell.opened.size(), 3);
            for (const QString& opened : shell.opened)
                EXPECT_TRUE(opened.startsWith(shell.temporaryFolder()));
        }
    }

    // The folder is remembered as the recent outputs are.
    closeAndSave();
    openDialog();
    dialog->openPictures(pictures);
    EXPECT_EQ(control<QComboBox>("outputFileCombo")->currentText().toStdString(), (work / "out").string());
    EXPECT_EQ(control<QComboBox>("outputFileCombo")->itemText(0).toStdString(), (work / "out").string());
}

TEST_F(BatchWindow, CancelLetsThePicturesInProgressFinishAndLeavesNothingHalfWritten) {
    QStringList pictures;
    for (int i = 0; i < 8; ++i) pictures.append(picture("p" + std::to_string(i) + ".bmp", 1600, 1200));
    const auto folder = work / "out";
    std::filesystem::create_directories(folder);
    dialog->setBatchJobs(1);
    dialog->openPictures(pictures);
    control<QComboBox>("outputFileCombo")->setEditText(QString::fromStdString(folder.string()));
    QTimer cancel;
    QString count;
    QObject::connect(&cancel, &QTimer::timeout, [this, &count] {
        auto* progress = dialog->findChild<CBatchProgressDialog*>();
        auto* button =
            progress ? progress->findChild<QPushButton*>(QStringLiteral("batchCancelButton")) : nullptr;
        if (button == nullptr || !button->isEnabled()) return;
        count = progress->findChild<QLabel*>(QStringLiteral("batchCountLabel"))->text();
        button->click();
    });
    cancel.start(5);
    control<QPushButton>("startButton")->click();
    cancel.stop();

    std::size_t written = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EXPECT_EQ(entry.path().extension(), ".pdb") << entry.path();
        ++written;
    }
    EXPECT_LT(written, 8u);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-7] of 8$")).match(count).hasMatch())
        << count.toStdString();
    ASSERT_EQ(prompter.texts().size(), 1);
    EXPECT_TRUE(
        prompter.texts().front().startsWith(QStringLiteral("Converted: %1 of 8 pictures.").arg(written)))
        << prompter.texts().front().toStdString();
    EXPECT_TRUE(prompter.texts().front().contains(QLatin1String("cancelled")));
}

TEST_F(BatchWindow, APictureThatEndsEarlyIsNamedInTheSummaryAsIncomplete) {
    testsupport::WriteFileBytes(work / "cut.jpg", testsupport::CutOffJpeg());
    const auto folder = work / "out";
    std::filesystem::create_directories(folder);
    dialog->openPictures({picture("a.bmp"), QString::fromStdString((work / "cut.jpg").string())});
    control<QComboBox>("outputFileCombo")->setEditText(QString::fromStdString(folder.string()));
    control<QPushButton>("startButton")->click();
    ASSERT_FALSE(prompter.texts().isEmpty());
    const QString summary = prompter.texts().last();
    EXPECT_TRUE(
        summary.startsWith(QStringLiteral("Converted: 2 of 2 pictures.\nConverted, but incomplete: "
                                          "1.\ncut.jpg: the picture ends early: rows ")))
        << summary.toStdString();
    EXPECT_TRUE(std::filesystem::exists(folder / "cut.pdb"));
}

TEST_F(BatchWindow, ALongBatchEndingUnwatchedIsAnnouncedAndTheSummaryShowsTheDatabases) {
    apptest::BareSessionBus bus;
    if (!bus.running()) GTEST_SKIP() << "no dbus-daemon";
    using namespace std::chrono_literals;
    const struct {
        const char* scenario;
        std::chrono::seconds duration;
        bool lookingElsewhere;
        bool writeToFolder;
        bool announced;
    } cases[] = {
        {"long, looking elsewhere", 11s, true, true, true},
        {"ten seconds", 10s, true, true, false},
        {"long, but watched", 60s, false, true, false},
        {"long, only directly send", 11s, true, false, true},
    };
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    const QString path = QStringLiteral("/org/freedesktop/Notifications");
    const QStringList pictures = {picture("a.bmp"), picture("b.bmp")};
    shell.associations = {QStringLiteral("/opt/palm/quickinstall.exe")};
    QWidget elsewhere;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        apptest::RecordingObject server;
        server.answer = [](const QDBusMessage& call) -> QList<QVariant> {
            if (call.member() == QLatin1String("GetCapabilities"))
                return {QStringList{QStringLiteral("body")}};
            return {QVariant::fromValue(1u)};
        };
        ASSERT_TRUE(bus.service().registerVirtualObject(path, &server));
        ASSERT_TRUE(bus.service().registerService(service));
        const auto folder = work / "out";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        prompter.requests.clear();
        openDialog();
        CDesktopNotifier notifier(bus.client());
        apptest::FakeFileManager files;
        int clockReadings = 0;
        // The batch is timed from its start to its end, when the user has
        // turned to another window or not.
        const auto now = [&]() {
            if (++clockReadings == 2 && c.lookingElsewhere) {
                elsewhere.show();
                elsewhere.activateWindow();
                EXPECT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
            }
            return std::chrono::steady_clock::time_point{} + (clockReadings == 2 ? c.duration : 0s);
        };
        dialog->setDesktopFeedback({&files, &notifier, now});
        dialog->show();
        dialog->openPictures(pictures);
        control<QComboBox>("outputFileCombo")->setEditText(QString::fromStdString(folder.string()));
        control<QCheckBox>("writeToFileCheck")->setChecked(c.writeToFolder);
        control<QCheckBox>("directInstallCheck")->setChecked(!c.writeToFolder);
        control<QPushButton>("startButton")->click();
        EXPECT_EQ(clockReadings, 2);
        EXPECT_EQ(QTest::qWaitFor([&] { return server.calls.size() == 2; }, c.announced ? 5000 : 300),
                  c.announced);
        bus.service().unregisterService(service);
        bus.service().unregisterObject(path);
        elsewhere.hide();
        if (c.announced) {
            ASSERT_EQ(server.calls.size(), 2);
            const QVariantList notify = server.calls[1].arguments();
            ASSERT_EQ(notify.size(), 8);
            EXPECT_EQ(notify[3].toString(), QStringLiteral("Conversion finished"));
            EXPECT_EQ(notify[4].toString(), QStringLiteral("2 of 2 pictures converted"));
        } else {
            EXPECT_TRUE(server.calls.isEmpty());
        }
        // The summary offers the written databases, not the temporary ones.
        ASSERT_FALSE(prompter.requests.empty());
        EXPECT_EQ(prompter.requests.back().buttons,
                  c.writeToFolder ? PromptButtons::OkShowInFolder : PromptButtons::Ok);
        const QString out = QString::fromStdString(folder.string());
        const QList<QStringList> shown = {{out + QStringLiteral("/a.pdb"), out + QStringLiteral("/b.pdb")}};
        EXPECT_EQ(files.shown, c.writeToFolder ? shown : QList<QStringList>{});
    }
}

#ifdef __linux__
// The pictures give way to the window; were the window's thread lowered with
// them (or the whole process, as setpriority does on other systems), the
// window would gain nothing and keep its lower priority afterwards.
TEST_F(BatchWindow, ThePicturesRunBelowTheWindowWhoseOwnPriorityStays) {
    const auto niceness = [] { return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())); };
    const int window = niceness();
    std::vector<Conversion> plan;
    for (const char* name : {"a", "b", "c"})
        plan.push_back(
            conversionIntoFolder(picture(std::string(name) + ".bmp").toStdString(), work.path().string()));
    CBatchConversion batch(plan, ConversionSettings{});
    std::vector<int> workers;
    QObject::connect(
        &batch, &CBatchConversion::pictureDone, &batch, [&] { workers.push_back(niceness()); },
        Qt::DirectConnection);
    QEventLoop waiting;
    QObject::connect(&batch, &CBatchConversion::finished, &waiting, &QEventLoop::quit);
    batch.start(2);
    waiting.exec();

    ASSERT_EQ(workers.size(), plan.size());
    for (int worker : workers) EXPECT_GT(worker, std::min(window, 18));
    EXPECT_EQ(niceness(), window);
    for (std::size_t i = 0; i < plan.size(); ++i)
        EXPECT_EQ(batch.outcome(i), CBatchConversion::Outcome::Converted);
}
#endif

// What a text becomes on screen: a tooltip Qt takes for rich text shows its
// characters after the markup is read; a label shows its text as its format
// says.
QString shownTip(const QString& tip) {
    if (!Qt::mightBeRichText(tip)) return tip;
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}

TEST_F(BatchWindow, NamesThatLookLikeMarkupShowAsTheirCharactersEverywhere) {
    for (const std::string name : {"<h1>BIG", "<img src=x>", "&amp;", "&lt;b&gt;"}) {
        SCOPED_TRACE(name);
        const QString shownName = QString::fromStdString(name);
        std::filesystem::remove_all(work / "out");
        std::filesystem::create_directories(work / "out");
        const QStringList pictures = {picture(name + ".bmp"), picture(name + "2.bmp")};
        testsupport::WriteFileBytes(work / (name + "2.bmp"), {'n', 'o'});
        openDialog();
        prompter.requests.clear();
        dialog->openPictures(pictures);
        control<QComboBox>("outputFileCombo")->setEditText(QString::fromStdString((work / "out").string()));
        auto* list = control<QListWidget>("pictureList");
        EXPECT_EQ(shownTip(list->item(0)->toolTip()), pictures[0]);
        control<QPushButton>("startButton")->click();
        // The summary (a box, plain text), each row's outcome and what screen readers hear.
        ASSERT_EQ(prompter.texts().size(), 1);
        EXPECT_TRUE(prompter.texts()[0].contains(shownName + QStringLiteral("2.bmp: "))) << name;
        EXPECT_EQ(shownTip(list->item(0)->toolTip()), pictures[0] + QStringLiteral("\nConverted"));
        EXPECT_TRUE(
            shownTip(list->item(1)->toolTip()).startsWith(pictures[1] + QStringLiteral("\nFailed: ")));
        EXPECT_EQ(list->item(0)->data(Qt::AccessibleTextRole).toString(),
                  shownName + QStringLiteral(".bmp: Converted"));

        // One picture: the preview's error, the overwrite question, the status line.
        control<QPushButton>("clearPicturesButton")->click();
        dialog->openPictures({pictures[1]});
        auto* previewText = control<QLabel>("previewStatusLabel");
        QElapsedTimer clock;
        clock.start();
        while (!previewText->text().contains(QLatin1String("2.bmp")) && clock.elapsed() < 30000)
            QTest::qWait(5);
        EXPECT_EQ(previewText->textFormat(), Qt::PlainText);
        EXPECT_TRUE(previewText->text().contains(shownName + QStringLiteral("2.bmp"))) << name;
        dialog->openPictures({pictures[0]});
        const QString output = QString::fromStdString((work / "out" / (name + ".pdb")).string());
        control<QComboBox>("outputFileCombo")->setEditText(output);
        prompter.requests.clear();
        dialog->setConversionRunner([](ConversionJob& job) { return job.run(); });
        control<QPushButton>("startButton")->click();
        ASSERT_EQ(prompter.texts().size(), 1);
        EXPECT_EQ(prompter.texts()[0], tableString(IDS_OVERWRITE_QUESTION, output));
        auto* status = control<QLabel>("statusLabel");
        EXPECT_EQ(status->textFormat(), Qt::PlainText);
        EXPECT_TRUE(status->text().startsWith(QStringLiteral("Wrote ") + shownName + QStringLiteral(".pdb")));
        EXPECT_EQ(shownTip(status->toolTip()), output);
    }
}

// The boxes themselves: every question and message is plain text.
TEST(MessageBoxes, ShowTheirTextAsItsCharacters) {
    const QString text = QStringLiteral("<h1>BIG.png <img src=x> &amp;");
    QTimer::singleShot(0, [text] {
        for (QWidget* shown : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(shown);
            if (box == nullptr) continue;
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->text(), text);
            box->done(QMessageBox::No);
        }
    });
    CMessageBoxPrompter prompter;
    prompter.prompt(makePrompt(nullptr, QStringLiteral("Kestrin"), text, MessageIcon::Question,
                               PromptButtons::YesNo, PromptAnswer::No));
}

// Names are bytes: one that is not UTF-8 is listed, dropped and converted
// under its own name, as kestrin-convert converts it.
TEST_F(BatchWindow, NamesThatAreNotUtf8AreListedDroppedAndConvertedUnderTheirOwnBytes) {
    const std::vector<std::string> names = {"caf\xe9", "caf\xc3\xa9", "\xff\xfe", "\xed\xb3\xa9", "plain"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const QByteArray bytes = QByteArray::fromStdString(name);
        EXPECT_EQ(pathBytes(pathFromBytes(bytes)), bytes);
    }
    EXPECT_EQ(pathFromBytes("caf\xc3\xa9"), QStringLiteral("caf\u00e9"));

    const auto album = work / "album";
    std::filesystem::create_directories(album);
    std::filesystem::create_directories(work / "out");
    const std::string source = picture("source.bmp").toStdString();
    for (const std::string& name : names) std::filesystem::copy_file(source, album / (name + ".bmp"));
    dialog->openPictures({QString::fromStdString(album.string())});
    ASSERT_EQ(dialog->pictures().size(), static_cast<qsizetype>(names.size()));
    control<QComboBox>("outputFileCombo")->setEditText(QString::fromStdString((work / "out").string()));
    control<QPushButton>("startButton")->click();
    std::set<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(work / "out"))
        written.insert(entry.path().filename().string());
    std::set<std::string> expected;
    for (const std::string& name : names) expected.insert(name + ".pdb");
    EXPECT_EQ(written, expected);

    QMimeData drop;
    QList<QUrl> urls;
    for (const std::string& name : {names[0], names[2]})
        urls.append(QUrl::fromEncoded(
            "file://" +
            QByteArray::fromStdString((album / (name + ".bmp")).string()).toPercentEncoding("/")));
    drop.setUrls(urls);
    const QStringList dropped = droppedPaths(&drop);
    ASSERT_EQ(dropped.size(), 2);
    EXPECT_EQ(pathBytes(dropped[1]).toStdString(), (album / (names[2] + ".bmp")).string());

    // Named on the command line, relative to the current folder.
    const QString current = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(album.parent_path().string()));
    const QStringList named =
        expandPicturePaths({pathFromBytes(QByteArray::fromStdString("album/" + names[0] + ".bmp"))});
    QDir::setCurrent(current);
    ASSERT_EQ(named.size(), 1);
    EXPECT_EQ(pathBytes(named[0]).toStdString(), (album / (names[0] + ".bmp")).string());
}
