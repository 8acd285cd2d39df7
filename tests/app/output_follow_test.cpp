#include "app/output_follow.h"

#include <gtest/gtest.h>

TEST(OutputFollow, TheOutputFollowsEveryNewPictureAndATypedNameStays) {
    const QString kDefault = QStringLiteral("My vexmoor image");
    const struct {
        const char* scenario;
        PictureNaming previous;
        QString picture;
        QString output;
        QString imageName;
    } cases[] = {
        {"first picture", {{}, {}, kDefault}, "/pics/beach.jpg", "/pics/beach.pdb", "beach"},
        {"output typed by hand: its folder stays, its name was a's",
         {"/pics/a.jpg", "/out/mine.pdb", "a"},
         "/pics/b.png",
         "/out/b.pdb",
         "b"},
        {"image name typed by hand",
         {"/pics/a.jpg", "/out/a.pdb", "Mine", true},
         "/pics/b.png",
         "/out/b.pdb",
         "Mine"},
        {"picture in another folder",
         {"/pics/a.jpg", "/out/a.pdb", "a"},
         "/elsewhere/c.bmp",
         "/out/c.pdb",
         "c"},
        {"several dots", {{}, "/out/x.pdb", "x"}, "/pics/my.photo.large.jpg", "/out/my.pdb", "my"},
        {"a name the handheld cannot show",
         {{}, {}, kDefault},
         QStringLiteral("/pics/Snow \u2603 caf\u00e9 and a name far longer than thirty-one.png"),
         QStringLiteral("/pics/Snow \u2603 caf\u00e9 and a name far longer than thirty-one.pdb"),
         QStringLiteral("Snow _ caf\u00e9 and a name far long")},
        {"no name before the dot", {{}, "/out/x.pdb", "x"}, "/pics/.png", "/out/MyVexmoorImg.pdb", kDefault},
        {"Windows form", {{}, {}, kDefault}, "C:\\pics\\tree.gif", "C:\\pics\\tree.pdb", "tree"},
        {"the same picture again", {"/pics/a.jpg", "/out/z.pdb", "z"}, "/pics/a.jpg", "/out/z.pdb", "z"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        const PictureNaming next = followPicture(c.previous, c.picture);
        EXPECT_EQ(next.picture, c.picture);
        EXPECT_EQ(next.output, c.output);
        EXPECT_EQ(next.imageName, c.imageName);
        EXPECT_EQ(next.imageNameByHand, c.previous.imageNameByHand);
    }
}
