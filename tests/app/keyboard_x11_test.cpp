#include "app_test_support.h"
#include "x_session.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTest>

using apptest::DialogFixture;

namespace {

class Keyboard : public DialogFixture {};

}  // namespace

// Real key events, from the X server's keyboard through Qt's X11 platform,
// as a user's keyboard sends them.
TEST_F(Keyboard, EnterPressesAFocusedButtonPicksFromAnOpenListAndOtherwiseMovesOn) {
    apptest::XSession* x = apptest::xSession();
    if (x == nullptr) GTEST_SKIP() << "no X server (Xvfb and xdotool are needed)";
    const struct {
        const char* scenario;
        const char* focus;
        QStringList keys;
        const char* focusAfter;
        std::size_t conversions;
        int pickerCalls;
        int depthIndex;  // of the colour-depth list afterwards
    } cases[] = {
        {"image name", "imageNameEdit", {"Return"}, "colorDepthCombo", 0, 0, 3},
        {"editable path box, keypad Enter", "inputFileCombo", {"KP_Enter"}, "pickButton", 0, 0, 3},
        {"check box is not toggled", "writeToFileCheck", {"Return"}, "outputFileCombo", 0, 0, 3},
        {"START CONVERSION", "startButton", {"Return"}, "startButton", 1, 0, 3},
        {"Pick...", "pickButton", {"KP_Enter"}, "pickButton", 0, 1, 3},
        {"closed drop-down list", "colorDepthCombo", {"Return"}, "destinationOsCombo", 0, 0, 3},
        {"open drop-down list", "colorDepthCombo", {"alt+Down", "Up", "Return"}, "colorDepthCombo", 0, 0, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        runner.jobs.clear();
        picker.calls = 0;
        openDialog();
        fillValidInput();
        dialog->show();
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        control<QWidget>(c.focus)->setFocus();
        QWidget* expectedFocus = control<QWidget>(c.focusAfter);
        for (const QString& key : c.keys) {
            ASSERT_TRUE(
                x->xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50"), key}));
            QTest::qWait(100);
        }
        QElapsedTimer timer;
        timer.start();
        while (QApplication::focusWidget() != expectedFocus && timer.elapsed() < 5000) QTest::qWait(20);
        EXPECT_EQ(QApplication::focusWidget(), expectedFocus)
            << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString()
                                            : "none");
        EXPECT_EQ(runner.jobs.size(), c.conversions);
        EXPECT_EQ(picker.calls, c.pickerCalls);
        EXPECT_EQ(control<QComboBox>("colorDepthCombo")->currentIndex(), c.depthIndex);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
        EXPECT_TRUE(dialog->isVisible());
    }
}
