#include "app_test_support.h"

#include "app/string_table.h"

TEST(FilePickerFilters, BecomeQtFiltersWithTheRealPatterns) {
    const QStringList source = convertFilterToQt(QString::fromUtf8(applicationString(121)));
    EXPECT_EQ(
        source,
        (QStringList{
            "All supported formats (*.bmp *.tif *.gif *.jpg *.jpeg *.png *.ppm *.pgm *.pbm *.pcx *.pct)",
            "Bitmap (*.bmp)",
            "Tagged Image File Format (*.tif)",
            "CompuServe Bitmap (*.gif)",
            "JPEG (*.jpg *.jpeg)",
            "Portable Network Graphics (*.png)",
            "Portable Graymap (*.ppm *.pgm *.pbm)",
            "PC Paintbrush (*.pcx)",
            "Mac PICT (*.pct)",
            "All files (*)",
        }));
    EXPECT_EQ(convertFilterToQt(QString::fromUtf8(applicationString(122))), QStringList{"Palm Database (*.pdb)"});
    EXPECT_TRUE(convertFilterToQt(QString()).isEmpty());
    EXPECT_EQ(convertFilterToQt(QStringLiteral("Odd|*.a")), QStringList{"Odd (*.a)"});
}

TEST(FilePickerFilters, TheProposedOutputNameIsTheSourceNameCutAtItsFirstDot) {
    EXPECT_EQ(defaultOutputName(QStringLiteral("C:\\pics\\my.photo.jpg")), QStringLiteral("my.pdb"));
    EXPECT_EQ(defaultOutputName(QStringLiteral("/home/me/Holiday 2003.tiff")),
              QStringLiteral("Holiday 2003.pdb"));
    EXPECT_EQ(defaultOutputName(QStringLiteral("noextension")), QStringLiteral("noextension.pdb"));
    EXPECT_EQ(defaultOutputName(QString()), QStringLiteral("MyVexmoorImg.pdb"));
    EXPECT_EQ(defaultOutputName(QStringLiteral("/pictures/")), QStringLiteral("MyVexmoorImg.pdb"));
    EXPECT_EQ(defaultOutputName(QStringLiteral("/pictures/.hidden.png")), QStringLiteral("MyVexmoorImg.pdb"));
}
