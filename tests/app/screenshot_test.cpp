#include "app_test_support.h"

#include "app/preview_pane.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>

// Renders the pictures of the documentation when KESTRIN_SCREENSHOT_DIR names
// a folder; the screen of docs/offscreen-screen.json leaves the menu room to
// open to the right:
//   export QT_QPA_PLATFORM=offscreen:configfile=docs/offscreen-screen.json
//   KESTRIN_SCREENSHOT_DIR=$PWD/docs build/debug/tests/app/app_screenshot_test
class Screenshots : public apptest::DialogFixture {
protected:
    void SetUp() override {
        folder = qEnvironmentVariable("KESTRIN_SCREENSHOT_DIR");
        if (folder.isEmpty()) GTEST_SKIP() << "KESTRIN_SCREENSHOT_DIR is not set";
        DialogFixture::SetUp();
        settings->recentSources.add(QStringLiteral("/home/anna/Pictures/lighthouse.png"));
        settings->recentSources.add(QStringLiteral("/home/anna/Pictures/harbour-at-dusk.jpg"));
        // The sample picture, so that the preview pane shows a real conversion.
        ASSERT_TRUE(QDir::setCurrent(QStringLiteral(KESTRIN_SOURCE_DIR)));
        settings->lastSourcePath = QStringLiteral("examples/harbour.bmp");
        settings->lastOutputPath = QStringLiteral("/home/anna/Palm/harbour-at-dusk.pdb");
        settings->imageName = QStringLiteral("Harbour at dusk");
        settings->save();
        openDialog();
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        dialog->move(0, 0);
        QTest::qWait(50);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !dialog->previewPane().isBusy(); }, 30000));
        QTest::qWait(50);
    }
    QString folder;
};

TEST_F(Screenshots, MainWindowAndOptionsMenu) {
    QPixmap window = dialog->grab();
    ASSERT_TRUE(window.save(QDir(folder).filePath(QStringLiteral("main-window.png"))));

    // The menu as it opens from the options button, with its compression
    // submenu, drawn over the window where they appear.
    QPushButton* button = control<QPushButton>("optionsButton");
    QPixmap composed;
    QTimer::singleShot(50, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QTest::keyClick(menu, Qt::Key_C);
        QTimer::singleShot(100, [&, menu] {
            QWidget* submenu = QApplication::activePopupWidget();
            const QRect area = QRect(dialog->geometry()).united(menu->geometry()).united(submenu->geometry());
            composed = QPixmap(area.size());
            composed.fill(Qt::white);
            QPainter painter(&composed);
            painter.drawPixmap(dialog->geometry().topLeft() - area.topLeft(), dialog->grab());
            painter.drawPixmap(menu->geometry().topLeft() - area.topLeft(), menu->grab());
            painter.drawPixmap(submenu->geometry().topLeft() - area.topLeft(), submenu->grab());
            painter.end();
            QTest::keyClick(submenu, Qt::Key_Escape);
            QTest::keyClick(menu, Qt::Key_Escape);
        });
    });
    button->click();
    ASSERT_FALSE(composed.isNull());
    ASSERT_TRUE(composed.save(QDir(folder).filePath(QStringLiteral("options-menu.png"))));
}

// The window with a list of pictures, and the summary after converting them
// (one of them broken), as the question and the summary box show it.
TEST_F(Screenshots, SeveralPicturesAndTheSummary) {
    QStringList pictures;
    for (const char* name : {"harbour-at-dusk.bmp", "lighthouse.bmp", "old-town.bmp", "sailing-boats.bmp"}) {
        const auto copy = work / name;
        std::filesystem::copy_file("examples/harbour.bmp", copy);
        pictures.append(QString::fromStdString(copy.string()));
    }
    testsupport::WriteFileBytes(work / "scan-07.bmp", {'B', 'M', 0, 0});
    pictures.insert(3, QString::fromStdString((work / "scan-07.bmp").string()));
    const auto output = work / "Palm";
    std::filesystem::create_directories(output);
    dialog->openPictures(pictures);
    control<QComboBox>("outputFileCombo")->setEditText(QStringLiteral("/home/anna/Palm/holiday"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !dialog->previewPane().isBusy(); }, 30000));
    QTest::qWait(50);
    ASSERT_TRUE(dialog->grab().save(QDir(folder).filePath(QStringLiteral("several-pictures.png"))));

    control<QComboBox>("outputFileCombo")->setEditText(QString::fromStdString(output.string()));
    QPixmap summary;
    prompter.onPrompt = [&](const PromptRequest& request) {
        QMessageBox box(dialog.get());
        box.setWindowTitle(request.caption);
        box.setText(request.text);
        box.setIcon(request.icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        box.show();
        QTest::qWait(50);
        summary = box.grab();
    };
    control<QPushButton>("startButton")->click();
    ASSERT_FALSE(summary.isNull());
    ASSERT_TRUE(summary.save(QDir(folder).filePath(QStringLiteral("batch-summary.png"))));
}
