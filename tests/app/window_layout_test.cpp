// The main window on small and high-density screens: every control in
// sight at the smallest size and on laptop screens, the preview pixel-exact,
// the size kept from one run to the next, the list's outcomes on its rows.
#include "app_test_support.h"

#include "app/plain_text.h"
#include "app/preview_pane.h"
#include "app/window_size.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTest>

#include <filesystem>

using apptest::DialogFixture;

namespace {

class WindowLayout : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        openDialog();
    }

    QString picture(const std::string& name) {
        const auto path = work / name;
        testsupport::WriteFileBytes(path, testsupport::MakeBmp24(40, 30, [](int x, int y) {
                                        return testsupport::Bgr{static_cast<std::uint8_t>(x * 6),
                                                                static_cast<std::uint8_t>(y * 8), 90};
                                    }));
        return QString::fromStdString(path.string());
    }

    void waitForPreview() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !dialog->previewPane().isBusy(); }, 30000));
        QTest::qWait(20);
    }

    // Every named control that is shown lies within its parent and clear of
    // its shown siblings; the preview's pictures may scroll within their area.
    void expectEveryControlInSight() {
        QList<QWidget*> controls;
        for (QWidget* widget : dialog->findChildren<QWidget*>()) {
            const QString name = widget->objectName();
            if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || !widget->isVisibleTo(dialog.get()))
                continue;
            QWidget* scroll = widget->parentWidget();
            while (scroll != nullptr && !qobject_cast<QScrollArea*>(scroll)) scroll = scroll->parentWidget();
            if (scroll == nullptr) controls.append(widget);
        }
        for (QWidget* widget : controls) {
            const std::string name = widget->objectName().toStdString();
            EXPECT_FALSE(widget->geometry().isEmpty()) << name;
            EXPECT_TRUE(widget->parentWidget()->rect().contains(widget->geometry())) << name;
            for (QWidget* other : controls) {
                if (other == widget || other->parentWidget() != widget->parentWidget()) continue;
                EXPECT_FALSE(widget->geometry().intersects(other->geometry()))
                    << name << " and " << other->objectName().toStdString();
            }
        }
    }

    // Each device pixel of the shown pictures is the Palm pixel it stands for.
    void expectPixelExactPreview() {
        const ConversionPreview& shown = dialog->previewPane().preview();
        const int zoom = dialog->previewPane().zoom();
        const qreal ratio = dialog->devicePixelRatioF();
        EXPECT_GE(zoom, ratio);
        const char* views[] = {"lowDensityPreview", "highDensityPreview"};
        for (std::size_t i = 0; i < shown.pictures.size(); ++i) {
            SCOPED_TRACE(views[i]);
            const CMemoryBitmap& palm = *shown.pictures[i].pixels;
            const QImage drawn = control<QWidget>(views[i])->grab().toImage();
            ASSERT_GE(drawn.width(), palm.GetWidth() * zoom);
            ASSERT_GE(drawn.height(), palm.GetHeight() * zoom);
            int wrong = 0;
            for (int y = 0; y < palm.GetHeight() * zoom; ++y) {
                const std::uint8_t* row = palm.GetRows()[y / zoom];
                for (int x = 0; x < palm.GetWidth() * zoom; ++x) {
                    const std::uint8_t* bgra = row + 4 * (x / zoom);
                    if (drawn.pixel(x, y) != qRgb(bgra[2], bgra[1], bgra[0])) ++wrong;
                }
            }
            EXPECT_EQ(wrong, 0);
        }
    }
};

}  // namespace

TEST(PreviewZoom, TakesTheLargestWholeNumberOfDevicePixelsThatFits) {
    const QSize low(160, 110);
    const QSize high(320, 220);
    const struct {
        QSize room;
        QList<QSize> pictures;
        qreal ratio;
        int zoom;
    } cases[] = {
        {{330, 230}, {low}, 1.0, 2},
        {{319, 219}, {low}, 1.0, 1},
        {{4000, 4000}, {low, high}, 1.0, kMaxPreviewZoom},
        {{640, 666}, {low, high}, 1.0, 2},
        // At 1.5 only whole device pixels: 2 (1.33 logical), 3 (2 logical), ...
        {{214, 147}, {low}, 1.5, 2},
        {{10, 10}, {low}, 1.5, 2},
        {{320, 220}, {low}, 1.5, 3},
        {{640, 666}, {low, high}, 2.0, 4},
        {{10, 10}, {low}, 1.25, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.room.width() << "x" << c.room.height() << " at " << c.ratio);
        EXPECT_EQ(previewZoom(c.room, c.pictures, 6, c.ratio), c.zoom);
    }
    // A picture's last device pixel is never cut off.
    EXPECT_EQ(zoomedPreviewSize(low, 2, 1.5), QSize(214, 147));
    EXPECT_EQ(zoomedPreviewSize(high, 4, 2.0), QSize(640, 440));
}

TEST_F(WindowLayout, EveryControlStaysInSightAtTheSmallestSizeAndOnLaptopScreens) {
    fillValidInput(picture("photo.bmp"));
    const QStringList list{picture("a.bmp"), picture("b.bmp"), picture("c.bmp")};
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    for (const bool several : {false, true}) {
        if (several) dialog->openPictures(list);
        waitForPreview();
        // The smallest window and its frame fit a 1280x700 screen.
        const QSize minimum = dialog->minimumSize();
        EXPECT_LE(minimum.width(), 1280 - kWindowFrameAllowance.width());
        EXPECT_LE(minimum.height(), 700 - kWindowFrameAllowance.height());
        // The smallest, 1280x700 and 1366x768 screens, each without its title bar.
        for (const QSize size : {minimum, QSize(1280, 660), QSize(1366, 728)}) {
            SCOPED_TRACE(testing::Message() << (several ? "list " : "one picture ") << size.width() << "x"
                                            << size.height() << " at " << dialog->devicePixelRatioF());
            dialog->resize(size);
            QTest::qWait(20);
            EXPECT_EQ(dialog->size(), size);
            expectEveryControlInSight();
            expectPixelExactPreview();
        }
    }
    // The list takes the spare height.
    const int listHeight = control<QListWidget>("pictureList")->height();
    dialog->resize(1366, 900);
    QTest::qWait(20);
    EXPECT_GT(control<QListWidget>("pictureList")->height(), listHeight + 100);
    EXPECT_EQ(control<QLabel>("pictureCountLabel")->text(), QStringLiteral("3 pictures"));
}

// The same at the pixel ratios of 150% and 200% screens, which Qt fixes
// before the application starts: in a process of its own.
TEST_F(WindowLayout, AtHighPixelRatiosToo) {
    if (!qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR")) GTEST_SKIP() << "run by the test at ratio 1";
    for (const char* factor : {"1.5", "2"}) {
        SCOPED_TRACE(factor);
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QLatin1String(factor));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=WindowLayout.EveryControlStaysInSight*")});
        ASSERT_TRUE(child.waitForFinished(120000));
        const QString output = QString::fromUtf8(child.readAll());
        EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
        EXPECT_TRUE(output.contains(QLatin1String("[  PASSED  ] 1 test"))) << output.toStdString();
    }
}

TEST_F(WindowLayout, TheWindowComesBackAtItsSizeWithinTheScreen) {
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    // Taller than the smallest, still within the test's small screen.
    const QSize chosen = dialog->minimumSize() + QSize(0, 23);
    dialog->resize(chosen);
    closeAndSave();
    EXPECT_EQ(store->readNumber(SettingsKey::kWindow, SettingsKey::kHeight), quint32(chosen.height()));
    openDialog();
    EXPECT_EQ(dialog->size(), chosen);

    // A size from a larger screen is cut to this one's, never below the smallest.
    store->writeNumber(SettingsKey::kWindow, SettingsKey::kWidth, 9000);
    store->writeNumber(SettingsKey::kWindow, SettingsKey::kHeight, 7000);
    store->flush();
    openDialog();
    const QSize available = dialog->screen()->availableSize() - kWindowFrameAllowance;
    EXPECT_EQ(dialog->size(), available.expandedTo(dialog->minimumSizeHint()));
}

TEST_F(WindowLayout, EachRowOfTheListShowsWhatTheConversionMadeOfItUntilTheListOrTheNextRunChanges) {
    const auto folder = work / "out";
    std::filesystem::create_directories(folder);
    testsupport::WriteFileBytes(folder / "kept.pdb", {'o', 'l', 'd'});
    testsupport::WriteFileBytes(work / "broken.bmp", {'B', 'M', 0, 0});
    dialog->openPictures(
        {picture("fine.bmp"), picture("kept.bmp"), QString::fromStdString((work / "broken.bmp").string())});
    control<QComboBox>("outputFileCombo")->setEditText(QString::fromStdString(folder.string()));
    prompter.answers = {PromptAnswer::No};  // skip the picture whose database exists
    control<QPushButton>("startButton")->click();

    auto* list = control<QListWidget>("pictureList");
    const struct {
        const char* row;
        const char* outcome;
    } expected[] = {
        {"fine.bmp: Converted", ""},
        {"kept.bmp: Skipped: its database already exists", ""},
        {"broken.bmp: Failed: ", "broken.bmp"},
    };
    ASSERT_EQ(list->count(), 3);
    for (int row = 0; row < 3; ++row) {
        const QListWidgetItem* item = list->item(row);
        const QString spoken = item->data(Qt::AccessibleTextRole).toString();
        EXPECT_TRUE(spoken.startsWith(QLatin1String(expected[row].row))) << spoken.toStdString();
        // The reason names the file, as a single conversion's message does.
        EXPECT_TRUE(
            spoken.mid(int(qstrlen(expected[row].row))).contains(QLatin1String(expected[row].outcome)));
        EXPECT_FALSE(item->icon().isNull());
        EXPECT_EQ(item->toolTip(), plainToolTip(item->data(Qt::UserRole).toString() + QLatin1Char('\n') +
                                                spoken.section(QLatin1String(": "), 1, -1)));
    }
    // The next run's question comes before any outcome of its own.
    bool outcomesShownWhileAsked = true;
    prompter.onPrompt = [&](const PromptRequest&) {
        outcomesShownWhileAsked = !list->item(0)->icon().isNull();
    };
    prompter.answers = {PromptAnswer::Cancel};
    control<QPushButton>("startButton")->click();
    EXPECT_FALSE(outcomesShownWhileAsked);
    prompter.onPrompt = nullptr;
    dialog->openPictures({picture("more.bmp")});
    ASSERT_EQ(list->count(), 4);
    for (int row = 0; row < 4; ++row) {
        EXPECT_TRUE(list->item(row)->icon().isNull());
        EXPECT_TRUE(list->item(row)->data(Qt::AccessibleTextRole).toString().isEmpty());
    }
    EXPECT_EQ(control<QLabel>("pictureCountLabel")->text(), QStringLiteral("4 pictures"));
}
