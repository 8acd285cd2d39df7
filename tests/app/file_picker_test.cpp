#include "app_test_support.h"

#include "app/string_table.h"

TEST(FilePickerFilters, BecomeQtFiltersWithTheRealPatterns) {
    const QStringList source = convertFilterToQt(QString::fromUtf8(applicationString(121)));
    EXPECT_EQ(
        source,
        (QStringList{
            "All supported formats (*.bmp *.dib *.tif *.tiff *.gif *.jpg *.jpeg *.jpe *.jfif *.png *.ppm "
            "*.pgm "
            "*.pbm *.pnm *.pam *.pcx *.pct *.pict *.tga *.wmf *.emf *.webp *.heic *.heif *.avif *.eps *.epsf "
            "*.BMP *.DIB *.TIF *.TIFF *.GIF *.JPG *.JPEG *.JPE *.JFIF *.PNG *.PPM *.PGM *.PBM *.PNM *.PAM "
            "*.PCX "
            "*.PCT *.PICT *.TGA *.WMF *.EMF *.WEBP *.HEIC *.HEIF *.AVIF *.EPS *.EPSF)",
            "Bitmap (*.bmp *.dib *.BMP *.DIB)",
            "Tagged Image File Format (*.tif *.tiff *.TIF *.TIFF)",
            "CompuServe Bitmap (*.gif *.GIF)",
            "JPEG (*.jpg *.jpeg *.jpe *.jfif *.JPG *.JPEG *.JPE *.JFIF)",
            "Portable Network Graphics (*.png *.PNG)",
            "Netpbm (*.ppm *.pgm *.pbm *.pnm *.pam *.PPM *.PGM *.PBM *.PNM *.PAM)",
            "PC Paintbrush (*.pcx *.PCX)",
            "Mac PICT (*.pct *.pict *.PCT *.PICT)",
            "Targa (*.tga *.TGA)",
            "Windows Metafile (*.wmf *.emf *.WMF *.EMF)",
            "WebP (*.webp *.WEBP)",
            "HEIF and AVIF (*.heic *.heif *.avif *.HEIC *.HEIF *.AVIF)",
            "Encapsulated PostScript with TIFF preview (*.eps *.epsf *.EPS *.EPSF)",
            "Palm image databases (*.pdb *.PDB)",
            "All files (*)",
        }));
    EXPECT_EQ(convertFilterToQt(QString::fromUtf8(applicationString(122))),
              QStringList{"Palm Database (*.pdb)"});
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
