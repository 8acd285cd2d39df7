// The one list of picture types: the decoder's formats, the window's filter
// and folder scan, and the packaging's lists all come from it.
#include "app_test_support.h"

#include "app/picture_paths.h"
#include "app/string_table.h"
#include "imagelib/formats/any_format_decoder.h"
#include "imagelib/formats/picture_file_types.h"
#include "support/image_writers.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <filesystem>
#include <set>

using apptest::DialogFixture;

namespace {

QString joined(const std::vector<std::string>& words, const char* separator) {
    QStringList all;
    for (const std::string& word : words) all.append(QString::fromStdString(word));
    return all.join(QLatin1String(separator));
}

QString packagingFile(const char* name) {
    QFile file(QStringLiteral(KESTRIN_SOURCE_DIR "/packaging/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return QString::fromUtf8(file.readAll());
}

class FolderScan : public DialogFixture {};

}  // namespace

TEST(PictureFileTypes, EveryFormatOfTheDecoderHasExactlyOneType) {
    std::multiset<int> typed;
    for (const PictureFileType& type : pictureFileTypes())
        typed.insert(type.formats.begin(), type.formats.end());
    for (int format = CAnyFormatDecoder::FORMAT_BMP; format <= CAnyFormatDecoder::FORMAT_PNM; ++format)
        EXPECT_EQ(typed.count(format), 1u) << "format " << format;
    EXPECT_EQ(typed.size(), static_cast<std::size_t>(CAnyFormatDecoder::FORMAT_PNM));

    const std::vector<std::string> suffixes = pictureFileSuffixes();
    EXPECT_EQ(std::set<std::string>(suffixes.begin(), suffixes.end()).size(), suffixes.size());
    for (const std::string& suffix : suffixes)
        EXPECT_EQ(QString::fromStdString(suffix), QString::fromStdString(suffix).toLower());
}

TEST(PictureFileTypes, TheWindowAndThePackagingListTheTypesOfTheTable) {
    QStringList patterns;
    for (const std::string& suffix : pictureFileSuffixes())
        patterns.append(QStringLiteral("*.%1").arg(suffix.c_str()));
    for (const std::string& suffix : pictureFileSuffixes())
        patterns.append(QStringLiteral("*.%1").arg(QString::fromStdString(suffix).toUpper()));
    EXPECT_EQ(pictureNamePatterns(), patterns);

    const QStringList filters = convertFilterToQt(QString::fromUtf8(applicationString(121)));
    // Every type, all of them, Palm databases (shown, not converted) and all files.
    ASSERT_EQ(filters.size(), static_cast<qsizetype>(pictureFileTypes().size() + 3));
    EXPECT_EQ(filters.first(), QStringLiteral("All supported formats (%1)").arg(patterns.join(' ')));
    EXPECT_TRUE(
        filters.contains(QStringLiteral("JPEG (*.jpg *.jpeg *.jpe *.jfif *.JPG *.JPEG *.JPE *.JFIF)")));
    EXPECT_TRUE(filters.contains(QStringLiteral("Bitmap (*.bmp *.dib *.BMP *.DIB)")));
    EXPECT_EQ(filters.last(), QStringLiteral("All files (*)"));

    const QString completion = packagingFile("kestrin-convert.bash");
    EXPECT_TRUE(
        completion.contains(QStringLiteral("_filedir '@(%1)'").arg(joined(pictureFileSuffixes(), "|"))))
        << "the picture suffixes of kestrin-convert.bash differ from the table";
    const QRegularExpression mimeLine(QStringLiteral("^MimeType=(.*)$"), QRegularExpression::MultilineOption);
    EXPECT_EQ(mimeLine.match(packagingFile("org.quessel.Kestrin.desktop")).captured(1),
              joined(pictureMimeTypes(), ";") + ';');
}

TEST_F(FolderScan, TakesEveryNameThePicturesGoBy) {
    const std::filesystem::path folder = work / "pictures";
    std::filesystem::create_directories(folder / "nested.jpg");
    const auto bitmap = testsupport::MakeBmp24(8, 6, [](int x, int y) {
        return testsupport::Bgr{static_cast<std::uint8_t>(x * 30), static_cast<std::uint8_t>(y * 40), 90};
    });
    testsupport::JpegPicture jpeg{
        .width = 8, .height = 6, .samples = std::vector<std::uint8_t>(8 * 6 * 3, 128)};
    testsupport::WriteFileBytes(folder / "scan.JPE", testsupport::EncodeJpeg(jpeg));
    testsupport::WriteFileBytes(folder / "photo.jfif", testsupport::EncodeJpeg(jpeg));
    testsupport::WriteFileBytes(folder / "old.dib", bitmap);
    testsupport::WriteFileBytes(folder / "notes.txt", {'h', 'i'});

    QStringList expected;
    for (const char* name : {"old.dib", "photo.jfif", "scan.JPE"})
        expected.append(QString::fromStdString((folder / name).string()));
    EXPECT_EQ(picturesInFolder(QString::fromStdString(folder.string())), expected);
    openDialog();
    dialog->openPictures({QString::fromStdString(folder.string())});
    EXPECT_EQ(dialog->pictures(), expected);
}
