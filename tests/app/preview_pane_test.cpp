#include "app_test_support.h"

#include "app/frame_editor.h"
#include "app/preview_pane.h"
#include "engine/palm_database_reader.h"
#include "engine/palm_picture.h"
#include "support/tiff_gif_writers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <cstring>

using apptest::DialogFixture;

namespace {

// The viewer's pictures of a database written by a real conversion run.
std::vector<std::shared_ptr<CMemoryBitmap>> readBackPictures(const std::string& databasePath) {
    const PalmDatabaseRecord database = readPalmDatabaseFile(databasePath);
    std::vector<std::shared_ptr<CMemoryBitmap>> pictures;
    for (int density : viewerDensities(database)) {
        pictures.push_back(std::make_shared<CMemoryBitmap>());
        renderViewerPicture(database, density, *pictures.back());
    }
    return pictures;
}

bool samePixels(const CMemoryBitmap& a, const CMemoryBitmap& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
    for (int y = 0; y < a.GetHeight(); ++y)
        if (std::memcmp(a.GetRows()[y], b.GetRows()[y], static_cast<std::size_t>(a.GetWidth()) * 4) != 0)
            return false;
    return true;
}

void expectShows(const ConversionPreview& preview, const std::string& databasePath) {
    const auto expected = readBackPictures(databasePath);
    ASSERT_EQ(preview.pictures.size(), expected.size()) << preview.error;
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(samePixels(*preview.pictures[i].pixels, *expected[i])) << "picture " << i;
    EXPECT_EQ(preview.databaseSize, std::filesystem::file_size(databasePath));
}

class PreviewPane : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        openDialog();
        pane().setDelay(0);
        // Stored on its side, so the pane has to turn it as a run does.
        testsupport::TiffPicture scene;
        scene.width = 90;
        scene.height = 70;
        scene.samplesPerPixel = 3;
        scene.photometric = 2;  // RGB
        scene.orientation = 6;  // ORIENTATION_RIGHTTOP
        for (int y = 0; y < 70; ++y)
            for (int x = 0; x < 90; ++x)
                scene.pixels.insert(scene.pixels.end(),
                                    {static_cast<std::uint8_t>(x * 2), static_cast<std::uint8_t>(y * 3),
                                     static_cast<std::uint8_t>((x ^ y) * 4)});
        picture = (work.path() / "scene.tif").string();
        testsupport::WriteFileBytes(picture, testsupport::WriteTiff(scene));
    }
    CPreviewPane& pane() { return dialog->previewPane(); }
    void waitForPreview() {
        QElapsedTimer clock;
        clock.start();
        while (pane().isBusy() && clock.elapsed() < 30000) QTest::qWait(5);
        ASSERT_FALSE(pane().isBusy());
    }
    // Writes what a real run makes of `picture` with these settings.
    std::string convert(const ConversionSettings& settings) {
        ConversionJob job;
        job.settings = settings;
        job.inputPath = picture;
        job.imageName = "My vexmoor image";
        job.outputPath = (work.path() / "expected.pdb").string();
        EXPECT_TRUE(job.run());
        return job.outputPath;
    }

    std::string picture;
};

}  // namespace

TEST_F(PreviewPane, ShowsWhatTheWrittenDatabaseReadsBackToAndFollowsEverySetting) {
    const struct {
        DestinationOs destination;
        int depthPosition;
        ColorReduction reduction;
        int compressionCommand;
        CompressionMode compression;
        bool upright;
        int fitCommand;
        PictureFit fit;
        std::size_t pictures;
        PictureQuality quality = PictureQuality::kClassic;
    } cases[] = {
        {kPalmOs5HighRes, 2, ColorReduction::kDithering, ID_COMPRESSION_MOST_EFFICIENT,
         kCompressionMostEfficient, true, ID_FIT_PAD, PictureFit::Pad, 2},
        {kPalmOs3Or4, 0, ColorReduction::kRaw, ID_COMPRESSION_NONE, kCompressionNone, false, ID_FIT_CROP,
         PictureFit::Crop, 1, PictureQuality::kFine},
        {kPalmOs3To5Combined, 1, ColorReduction::kDithering, ID_COMPRESSION_SCANLINE, kCompressionScanline,
         true, ID_FIT_STRETCH, PictureFit::Stretch, 1, PictureQuality::kFine},
        {kPalmOs5LowRes, 2, ColorReduction::kRaw, ID_COMPRESSION_SCANLINE, kCompressionScanline, false,
         ID_FIT_STRETCH, PictureFit::Stretch, 1},
    };
    control<QComboBox>("inputFileCombo")->setEditText(QString::fromStdString(picture));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.destination);
        control<QComboBox>("destinationOsCombo")->setCurrentIndex(c.destination);
        control<QComboBox>("colorDepthCombo")->setCurrentIndex(c.depthPosition);
        control<QRadioButton>(c.reduction == ColorReduction::kRaw ? "rawRadio" : "ditheringRadio")->click();
        dialog->handleCommand(c.compressionCommand);
        if (dialog->conversion().autoOrient != c.upright) dialog->handleCommand(ID_TURN_UPRIGHT);
        dialog->handleCommand(c.fitCommand);
        control<QCheckBox>("fineQualityCheck")->setChecked(c.quality == PictureQuality::kFine);
        waitForPreview();

        ConversionSettings settings;
        settings.destination = c.destination;
        settings.chooseDepthByListPosition(c.depthPosition);
        settings.reduction = c.reduction;
        settings.compression = c.compression;
        settings.autoOrient = c.upright;
        settings.fit = c.fit;
        settings.quality = c.quality;
        expectShows(pane().preview(), convert(settings));
        EXPECT_EQ(pane().preview().pictures.size(), c.pictures);
        EXPECT_TRUE(pane().statusText().endsWith(QStringLiteral(" bytes")));
    }
    // Other settings reuse the picture decoded first.
    EXPECT_EQ(pane().decodeCount(), 1);
    EXPECT_TRUE(prompter.requests.empty());
}

TEST_F(PreviewPane, ShowsWhyAPictureCannotBeReadAsText) {
    const std::string broken = (work.path() / "broken.bmp").string();
    testsupport::WriteFileBytes(broken, {'B', 'M', 1, 2, 3});
    control<QComboBox>("inputFileCombo")->setEditText(QString::fromStdString(broken));
    waitForPreview();
    EXPECT_TRUE(pane().preview().pictures.empty());
    EXPECT_TRUE(pane().statusText().contains(QString::fromStdString(broken)))
        << pane().statusText().toStdString();
    EXPECT_TRUE(prompter.requests.empty());
}

TEST_F(PreviewPane, ShowsAPalmDatabaseWithoutMakingItTheInput) {
    const std::string database = convert(ConversionSettings{});
    const QString typed = QStringLiteral("/pictures/kept.jpg");
    control<QComboBox>("inputFileCombo")->setEditText(typed);
    const std::function<void()> ways[] = {
        [&] { dialog->openPicture(QString::fromStdString(database)); },
        [&] {
            picker.answer = QString::fromStdString(database);
            dialog->pickSourceFile();
        },
    };
    for (const auto& open : ways) {
        open();
        waitForPreview();
        expectShows(pane().preview(), database);
        EXPECT_TRUE(pane().statusText().startsWith(QStringLiteral("expected.pdb: ")))
            << pane().statusText().toStdString();
        EXPECT_EQ(control<QComboBox>("inputFileCombo")->currentText(), typed);
    }
}

TEST_F(PreviewPane, DropsTheResultOfARequestThatWasReplaced) {
    // Large enough that its conversion is still at work when the next request comes.
    const std::string large = (work.path() / "large.bmp").string();
    testsupport::WriteFileBytes(
        large, testsupport::MakeBmp24(1600, 1200, [](int x, int y) {
            return testsupport::Bgr{static_cast<std::uint8_t>(x), 0, static_cast<std::uint8_t>(y)};
        }));
    control<QComboBox>("inputFileCombo")->setEditText(QString::fromStdString(large));
    QTest::qWait(20);
    QSignalSpy shown(&pane(), &CPreviewPane::previewShown);
    control<QComboBox>("destinationOsCombo")->setCurrentIndex(kPalmOs3Or4);
    control<QComboBox>("inputFileCombo")->setEditText(QString::fromStdString(picture));
    waitForPreview();
    QTest::qWait(100);
    ASSERT_EQ(shown.count(), 1);
    ConversionSettings settings;
    settings.destination = kPalmOs3Or4;
    expectShows(pane().preview(), convert(settings));
}

TEST_F(PreviewPane, TheFrameMovedByKeysAndMouseIsWhatThePreviewAndTheRunKeep) {
    // Wider than the image area, and different in every column; a Targa
    // picture, which only the preview's decoders read, not Qt's.
    std::vector<std::uint8_t> wide{0, 0, 2, 0,         0,         0,   0, 0,  0,
                                   0, 0, 0, 300 % 256, 300 / 256, 100, 0, 24, 0x20};
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 300; ++x)
            wide.insert(wide.end(),
                        {static_cast<std::uint8_t>(y * 2), static_cast<std::uint8_t>((x * 7 + y) % 256),
                         static_cast<std::uint8_t>(x * 255 / 299)});
    picture = (work.path() / "wide.tga").string();
    testsupport::WriteFileBytes(picture, wide);
    control<QComboBox>("inputFileCombo")->setEditText(QString::fromStdString(picture));
    dialog->handleCommand(ID_FIT_CROP);
    waitForPreview();
    CFrameEditor& editor = dialog->frameEditor();
    ASSERT_FALSE(editor.isHidden());
    EXPECT_EQ(editor.frame(), (PixelRect{77, 0, 146, 100}));
    const auto expectKept = [&](const PixelRect& frame) {
        waitForPreview();
        EXPECT_EQ(editor.frame(), frame);
        EXPECT_EQ(editor.accessibleName(), editor.frameText());
        EXPECT_TRUE(editor.accessibleName().contains(QStringLiteral("from %1 across").arg(frame.left)));
        ConversionSettings settings;
        settings.fit = PictureFit::Crop;
        settings.cropBox = frame;
        expectShows(pane().preview(), convert(settings));
    };
    QTest::keyClick(&editor, Qt::Key_Right);
    expectKept({83, 0, 146, 100});
    QTest::keyClick(&editor, Qt::Key_Left);
    QTest::keyClick(&editor, Qt::Key_Left);
    expectKept({71, 0, 146, 100});
    // Dragged to the left edge and beyond: the frame stops there.
    const QPoint middle = editor.rect().center();
    QTest::mousePress(&editor, Qt::LeftButton, {}, middle);
    QTest::mouseMove(&editor, middle - QPoint(editor.width(), 0));
    QTest::mouseRelease(&editor, Qt::LeftButton, {}, middle - QPoint(editor.width(), 0));
    expectKept({0, 0, 146, 100});
    // Another picture forgets the frame.
    control<QComboBox>("inputFileCombo")->setEditText(QString());
    EXPECT_TRUE(editor.chosenFrame().IsEmpty());
}
