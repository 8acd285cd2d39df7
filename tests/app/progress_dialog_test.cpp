#include "app_test_support.h"

#include "app/string_table.h"

#include <QDialog>
#include <QLabel>

#include <set>

TEST(ProgressDialog, ShowsACaptionedModelessWindowWithOneLinePerStep) {
    CProgressDialog progress;
    EXPECT_FALSE(progress.isOpen());
    progress.open("Creating /tmp/out.pdb...");
    ASSERT_TRUE(progress.isOpen());
    QDialog* window = progress.window();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    EXPECT_EQ(window->parentWidget(), nullptr);
    EXPECT_EQ(progress.caption(), QStringLiteral("Creating /tmp/out.pdb..."));
    progress.appendLine(loadString(IDS_CREATING_DATABASE));
    progress.appendLine("<b>not markup</b>");
    const QString expected = QStringLiteral("Creating database file...\n<b>not markup</b>\n");
    EXPECT_EQ(progress.log(), expected);
    auto* log = window->findChild<QLabel*>(QStringLiteral("progressLog"));
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->text(), expected);
    EXPECT_EQ(log->textFormat(), Qt::PlainText);
    progress.close();
    EXPECT_FALSE(progress.isOpen());
    EXPECT_EQ(progress.window(), nullptr);
    progress.appendLine("after the run");  // ignored, nothing to show it in
    progress.close();
}

TEST(ProgressDialog, StartsEachRunWithAnEmptyLogAndTheDefaultCaption) {
    CProgressDialog progress;
    progress.open("first");
    progress.appendLine("one");
    progress.close();
    progress.open("");
    EXPECT_EQ(progress.caption(), QStringLiteral("Processing Conversion..."));
    EXPECT_TRUE(progress.log().isEmpty());
    progress.close();
}

TEST(StringTable, EveryNumberedTextOfTheApplicationIsThere) {
    const int ids[] = {101, 102, 107, 108, 110, 111, 116, 120, 121, 122, 123, 124, 130, 131, 136,
                       137, 138, 139, 150, 151, 160, 161, 162, 170, 171, 172, 173, 200, 201, 202,
                       203, 204, 205, 206, 207, 208, 209, 210, 211, 212, 213, 214, 215, 216, 217};
    std::set<std::string> seen;
    for (const int id : ids) {
        const std::string text = applicationString(id);
        EXPECT_FALSE(text.empty()) << id;
        seen.insert(text);
    }
    EXPECT_STREQ(applicationString(120), "Quessel");
    EXPECT_STREQ(applicationString(116), "Kestrin");
    EXPECT_STREQ(applicationString(122), "Palm Database (*.pdb)|*.pdb||");
    EXPECT_STREQ(applicationString(100), "");
    EXPECT_STREQ(applicationString(218), "");
}
