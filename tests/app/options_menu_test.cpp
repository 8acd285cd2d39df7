#include "app_test_support.h"

#include "app/about_dialog.h"
#include "app/string_table.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>
#include <zlib.h>

using apptest::configFolder;
using apptest::DialogFixture;
using apptest::settingsFile;

namespace {

QStringList entries(const QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

// The compression item that carries the radio mark, or empty.
QString markedCompression(QMenu* menu) {
    QMenu* compression = menu->findChild<QMenu*>(QStringLiteral("compressionMenu"));
    if (compression == nullptr) return QStringLiteral("<no submenu>");
    QString marked;
    for (const QAction* action : compression->actions()) {
        EXPECT_TRUE(action->isCheckable());
        if (action->isChecked()) marked += action->text();
    }
    return marked;
}

class OptionsMenu : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        openDialog();
    }
};

}  // namespace

TEST_F(OptionsMenu, HoldsTheCommandsInOrder) {
    const std::unique_ptr<QMenu> menu = dialog->createOptionsMenu();
    EXPECT_EQ(entries(menu.get()),
              (QStringList{"&Compression", "&Turn photos upright", "&Use color profiles", "&Picture shape",
                           "&Install with...", "&Delete Settings", "&About Kestrin", "-", "E&xit\tEsc"}));
    QMenu* compression = menu->findChild<QMenu*>(QStringLiteral("compressionMenu"));
    ASSERT_NE(compression, nullptr);
    EXPECT_EQ(menu->actions().first()->menu(), compression);
    EXPECT_EQ(entries(compression), (QStringList{"&None", "&Scanline", "&Most efficient"}));
    QList<int> commands;
    for (const QAction* action : compression->actions()) commands.append(action->data().toInt());
    for (const QAction* action : menu->actions()) {
        if (!action->isSeparator() && action->menu() == nullptr) commands.append(action->data().toInt());
    }
    EXPECT_EQ(commands, (QList<int>{40002, 40003, 40004, 40006, 40016, 40010, 40005, 1000, 2}));
    QMenu* shape = menu->findChild<QMenu*>(QStringLiteral("pictureShapeMenu"));
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(menu->actions().at(3)->menu(), shape);
    EXPECT_EQ(entries(shape),
              (QStringList{"&Stretch to fill", "&Fit inside with borders", "&Crop to fill", "-",
                           "Keep the &middle", "Keep the &top", "Keep the &bottom", "Keep the &right side",
                           "Keep the &left side", "Keep the top r&ight", "Keep the top l&eft",
                           "Keep the bottom ri&ght", "Keep the b&ottom left",
                           "Keep what dra&ws the eye (smart)", "-", "Tur&n tall pictures to fill"}));
}

TEST_F(OptionsMenu, UprightAndShapeMarksFollowTheChoicesAndAreSaved) {
    const auto marks = [this] {
        const std::unique_ptr<QMenu> menu = dialog->createOptionsMenu();
        QString marked = menu->findChild<QAction*>(QStringLiteral("turnPhotosUprightAction"))->isChecked()
                             ? QStringLiteral("upright")
                             : QStringLiteral("as stored");
        if (!menu->findChild<QAction*>(QStringLiteral("useColourProfilesAction"))->isChecked())
            marked += QStringLiteral(", as sRGB");
        for (const QAction* action : menu->findChild<QMenu*>(QStringLiteral("pictureShapeMenu"))->actions())
            if (action->isChecked()) marked += QStringLiteral(", ") + action->text();
        return marked;
    };
    EXPECT_EQ(marks(), QStringLiteral("upright, &Stretch to fill, Keep the &middle"));
    dialog->handleCommand(ID_TURN_UPRIGHT);
    dialog->handleCommand(ID_USE_COLOR_PROFILES);
    dialog->handleCommand(ID_FIT_PAD);
    EXPECT_EQ(marks(), QStringLiteral("as stored, as sRGB, &Fit inside with borders, Keep the &middle"));
    // A part to keep crops.
    dialog->handleCommand(ID_GRAVITY_SMART);
    dialog->handleCommand(ID_ROTATE_TO_FILL);
    closeAndSave();
    QSettings stored(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(stored.value("orient").toInt(), 0);
    EXPECT_EQ(stored.value("fit").toInt(), 2);
    EXPECT_EQ(stored.value("colormanage").toInt(), 0);
    EXPECT_EQ(stored.value("gravity").toInt(), 9);
    EXPECT_EQ(stored.value("rotatetofill").toInt(), 1);
    openDialog();
    EXPECT_EQ(marks(), QStringLiteral(
                           "as stored, as sRGB, &Crop to fill, Keep what dra&ws the eye (smart), Tur&n tall "
                           "pictures to fill"));
    dialog->handleCommand(ID_TURN_UPRIGHT);
    EXPECT_TRUE(dialog->conversion().autoOrient);
}

TEST_F(OptionsMenu, TheRadioMarkFollowsTheCompression) {
    EXPECT_EQ(markedCompression(dialog->createOptionsMenu().get()), QStringLiteral("&Most efficient"));
    dialog->handleCommand(ID_COMPRESSION_NONE);
    EXPECT_EQ(dialog->compression(), 0);
    EXPECT_EQ(markedCompression(dialog->createOptionsMenu().get()), QStringLiteral("&None"));
    dialog->handleCommand(ID_COMPRESSION_SCANLINE);
    EXPECT_EQ(dialog->compression(), 1);
    EXPECT_EQ(markedCompression(dialog->createOptionsMenu().get()), QStringLiteral("&Scanline"));
    dialog->handleCommand(ID_COMPRESSION_MOST_EFFICIENT);
    EXPECT_EQ(dialog->compression(), 99);

    // A stored value that is none of the three marks nothing.
    dialog.reset();
    settings->conversion.compression = static_cast<CompressionMode>(5);
    settings->save();
    openDialog();
    EXPECT_EQ(markedCompression(dialog->createOptionsMenu().get()), QString());
}

TEST_F(OptionsMenu, TheButtonOpensTheMenuAtItsTopRightCornerAndAChoiceIsApplied) {
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    QPushButton* button = control<QPushButton>("optionsButton");
    QRect shownAt;
    QString marked;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        shownAt = menu->geometry();
        marked = markedCompression(menu);
        // Through the mnemonics, as a user would: Compression, then None.
        QTest::keyClick(menu, Qt::Key_C);
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_N);
    });
    button->click();
    // At the button's top-right corner, unless the screen's edges push it left or up.
    const QPoint corner = button->mapToGlobal(QPoint(button->width(), 0));
    const QRect screen = button->screen()->geometry();
    EXPECT_EQ(shownAt.top(), std::min(corner.y(), screen.bottom() + 1 - shownAt.height()));
    EXPECT_EQ(shownAt.left(), std::min(corner.x(), screen.right() + 1 - shownAt.width()));
    EXPECT_EQ(marked, QStringLiteral("&Most efficient"));
    // The menu is gone, and the choice is kept but not yet saved.
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(dialog->compression(), 0);
    EXPECT_FALSE(QFile::exists(settingsFile()));
}

TEST_F(OptionsMenu, TheRightMouseButtonOpensItWhereClicked) {
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    QWidget* label = control<QLabel>("bestResultsLabel");
    QPoint shownAt;
    QTimer::singleShot(0, [&] {
        QWidget* menu = QApplication::activePopupWidget();
        ASSERT_NE(menu, nullptr);
        shownAt = menu->pos();
        menu->close();
    });
    const QPoint local(3, 3);
    QContextMenuEvent event(QContextMenuEvent::Mouse, local, label->mapToGlobal(local));
    QApplication::sendEvent(label, &event);
    EXPECT_EQ(shownAt, label->mapToGlobal(local));
}

TEST_F(OptionsMenu, ExitClosesLikeEscape) {
    dialog->show();
    control<QLineEdit>("imageNameEdit")->setText(QStringLiteral("via exit"));
    dialog->handleCommand(ID_EXIT);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(settings->imageName, QStringLiteral("via exit"));
}

TEST_F(OptionsMenu, DeleteSettingsAsksAndThenRemovesEverything) {
    settings->save();
    ASSERT_TRUE(QFile::exists(settingsFile()));
    dialog->handleCommand(ID_DELETE_SETTINGS);
    ASSERT_EQ(prompter.requests.size(), 1u);
    const PromptRequest& question = prompter.requests.front();
    EXPECT_EQ(question.caption, QStringLiteral("Delete Settings"));
    // Linux has no registry to speak of: the question names the file.
    EXPECT_EQ(
        question.text,
        QString::fromUtf8(applicationString(152)).replace(QStringLiteral("%s"), apptest::settingsFile()));
    EXPECT_FALSE(question.text.contains(QStringLiteral("registry")));
    EXPECT_TRUE(question.text.startsWith(
        QStringLiteral("Do you really want to delete all settings?\n\nChoosing Yes")));
    EXPECT_EQ(question.icon, MessageIcon::Question);
    EXPECT_EQ(question.buttons, PromptButtons::YesNo);
    EXPECT_EQ(question.defaultAnswer, PromptAnswer::No);
    EXPECT_EQ(question.owner, dialog.get());
    EXPECT_FALSE(QFile::exists(settingsFile()));
    EXPECT_FALSE(QDir(configFolder() + QStringLiteral("/Quessel")).exists());

    // The dialog keeps its values; later changes and the close write nothing.
    EXPECT_EQ(control<QLineEdit>("imageNameEdit")->text(), QStringLiteral("My vexmoor image"));
    control<QLineEdit>("imageNameEdit")->setText(QStringLiteral("not saved"));
    closeAndSave();
    EXPECT_FALSE(QFile::exists(settingsFile()));
    openDialog();
    EXPECT_EQ(control<QLineEdit>("imageNameEdit")->text(), QStringLiteral("My vexmoor image"));
}

TEST_F(OptionsMenu, DeleteSettingsKeepsTheCompanyFolderWithAnotherProgramInIt) {
    settings->save();
    {
        QSettings other(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quessel"),
                        QStringLiteral("neighbour"));
        other.setValue("kept", true);
    }
    dialog->handleCommand(ID_DELETE_SETTINGS);
    EXPECT_FALSE(QFile::exists(settingsFile()));
    EXPECT_TRUE(QFile::exists(configFolder() + QStringLiteral("/Quessel/neighbour.conf")));
    closeAndSave();
    EXPECT_FALSE(QFile::exists(settingsFile()));
}

TEST_F(OptionsMenu, AnsweringNoChangesNothingAndTheCloseSavesAsUsual) {
    settings->save();
    prompter.answers = {PromptAnswer::No};
    dialog->handleCommand(ID_DELETE_SETTINGS);
    EXPECT_TRUE(QFile::exists(settingsFile()));
    EXPECT_FALSE(settings->isDeleted());
    control<QLineEdit>("imageNameEdit")->setText(QStringLiteral("kept"));
    closeAndSave();
    openDialog();
    EXPECT_EQ(control<QLineEdit>("imageNameEdit")->text(), QStringLiteral("kept"));
}

TEST_F(OptionsMenu, AboutShowsTheAboutBoxModally) {
    dialog->show();
    QString caption;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        modal = box->isModal();
        box->findChild<QPushButton*>(QStringLiteral("aboutOkButton"))->click();
    });
    dialog->handleCommand(ID_ABOUT);
    EXPECT_EQ(caption, QStringLiteral("About Kestrin"));
    EXPECT_TRUE(modal);
    EXPECT_TRUE(dialog->isVisible());
}

TEST(AboutBox, NamesTheProgramAndTheLinkedLibrariesWithTheirVersions) {
    CAboutDialog about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Kestrin"));
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("aboutName"))->text(),
              QStringLiteral("Kestrin " KESTRIN_PROJECT_VERSION));
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("aboutPurpose"))->text(),
              QStringLiteral("This program converts and installs images for use with \"Vexmoor\"."));
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("aboutLicence"))->text(),
              QStringLiteral("Kestrin is free software under the MIT License."));
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("aboutLibrariesIntro"))->text(),
              QStringLiteral("Kestrin makes use of several libraries to decode your input image files:"));
    EXPECT_FALSE(about.findChild<QLabel*>(QStringLiteral("aboutIcon"))->pixmap().isNull());

    const QStringList credits = libraryCreditLines();
    const QString all = credits.join('\n');
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("aboutCredits"))->text(), all);
    EXPECT_EQ(credits.size(), 12);
    EXPECT_TRUE(all.contains(
        QStringLiteral("giflib %1.%2.%3").arg(GIFLIB_MAJOR).arg(GIFLIB_MINOR).arg(GIFLIB_RELEASE)));
    EXPECT_TRUE(
        all.contains(QStringLiteral("libpng version ") + QString::fromLatin1(png_get_libpng_ver(nullptr))));
    EXPECT_TRUE(all.contains(QString::fromLatin1(TIFFGetVersion()).section('\n', 0, 0)));
    EXPECT_TRUE(all.contains(QStringLiteral("zlib version ") + QString::fromLatin1(zlibVersion())));
    EXPECT_TRUE(all.contains(QStringLiteral("Qt version ") + QString::fromLatin1(qVersion())));
    EXPECT_TRUE(all.contains(QStringLiteral("Independent JPEG Group")));
    // The libraries without a header here: named, each with a version it reported.
    for (const char* library : {"libwebp", "libheif", "lcms2\\)", "cairo", "GLib and GIO"}) {
        EXPECT_TRUE(all.contains(
            QRegularExpression(QString::fromLatin1(library) + QStringLiteral(" version \\d+\\.\\d+"))))
            << library;
    }
}
