#include "app/ui_language.h"
#include "app/engine_messages.h"
#include "app/preview_pane.h"
#include "app/progress_dialog.h"
#include "app_test_support.h"
#include "support/tiff_gif_writers.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>

using apptest::DialogFixture;

namespace {

class UiLanguage : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        // Noise compresses badly, so its database has a size of thousands.
        testsupport::TiffPicture noise;
        noise.width = 160;
        noise.height = 110;
        noise.samplesPerPixel = 3;
        noise.photometric = 2;  // RGB
        for (int i = 0; i < 160 * 110 * 3; ++i)
            noise.pixels.push_back(static_cast<std::uint8_t>(i * 7919 >> 3));
        picture = QString::fromStdString((work.path() / "noise.tif").string());
        testsupport::WriteFileBytes(picture.toStdString(), testsupport::WriteTiff(noise));
    }
    void TearDown() override {
        dialog.reset();
        DialogFixture::TearDown();
    }
    void waitForPreview() {
        CPreviewPane& pane = dialog->previewPane();
        QElapsedTimer clock;
        clock.start();
        while (pane.isBusy() && clock.elapsed() < 30000) QTest::qWait(5);
        ASSERT_FALSE(pane.isBusy());
    }
    QString picture;
};

}  // namespace

TEST_F(UiLanguage, SpeaksTheLocalesLanguageWithItsNumbersAndEnglishWithEnglishNumbersOtherwise) {
    const struct {
        const char* locale;
        bool translated;
        const char* startButton;
        const char* noPicture;
        const char* bytes;  // the size's text around its number
        QLocale numbers;
    } cases[] = {
        {"de_DE", true, "&UMWANDLUNG STARTEN", "Kein Bild gewählt.", "%1 Bytes", QLocale(QLocale::German)},
        {"fr_FR", true, "LANCER LA CON&VERSION", "Aucune image choisie.", "%1 octets",
         QLocale(QLocale::French)},
        {"es_ES", true, "INICIAR CON&VERSIÓN", "No se ha elegido ninguna imagen.", "%1 bytes",
         QLocale(QLocale::Spanish)},
        // No translation: English words, and so English numbers.
        {"pt_BR", false, "START CON&VERSION", "No picture chosen.", "%1 bytes", QLocale(QLocale::English)},
        {"en_GB", false, "START CON&VERSION", "No picture chosen.", "%1 bytes",
         QLocale(QLocale::English, QLocale::UnitedKingdom)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        const CUiLanguage language{QLocale(QLatin1String(c.locale))};
        EXPECT_EQ(language.translated(), c.translated);
        openDialog();
        dialog->previewPane().setDelay(0);
        EXPECT_EQ(control<QPushButton>("startButton")->text(), QString::fromUtf8(c.startButton));
        EXPECT_EQ(dialog->previewPane().statusText(), QString::fromUtf8(c.noPicture));
        for (const bool list : {false, true}) {
            if (list) dialog->openPictures({picture, picture + QStringLiteral("-copy.tif")});
            for (const auto& [key, widgets] : apptest::shortcutOwners(*dialog))
                EXPECT_EQ(widgets.size(), 1) << key.toStdString() << ": " << widgets.join(' ').toStdString();
        }

        openDialog();
        dialog->previewPane().setDelay(0);
        control<QComboBox>("inputFileCombo")->setEditText(picture);
        waitForPreview();
        const qulonglong size = dialog->previewPane().preview().databaseSize;
        ASSERT_GE(size, 1000u);
        EXPECT_EQ(dialog->previewPane().statusText(),
                  QString::fromUtf8(c.bytes).arg(c.numbers.toString(size)));
        dialog.reset();
    }
    EXPECT_EQ(QLocale().toString(10232), QLocale::system().toString(10232));
}

TEST_F(UiLanguage, TranslatesTheEnginesProgressLinesAndItsCaptionAroundThePath) {
    const CUiLanguage language{QLocale(QStringLiteral("de_DE"))};
    CProgressDialog progress;
    progress.open("Creating /pictures/Creating %s....pdb...");
    progress.appendLine("Creating database file...");
    progress.appendLine("Not one of the engine's lines");
    EXPECT_EQ(progress.caption(), QStringLiteral("/pictures/Creating %s....pdb wird erstellt..."));
    EXPECT_EQ(progress.log(),
              QStringLiteral("Datenbankdatei wird erstellt...\nNot one of the engine's lines\n"));
    progress.close();
}

// The engine's messages reach the window in English; it shows them in the
// user's language, arguments and inner messages included, and in English as
// the engine wrote them.
TEST(EngineMessages, AreShownInTheUsersLanguageWithTheirArguments) {
    const struct {
        const char* engine;
        const char* german;
    } cases[] = {
        {"Error 8 decoding /p/<h1>50%1.png: Decoder error: Unknown file type.\n",
         "Fehler 8 beim Lesen von /p/<h1>50%1.png: Dekodierfehler: Unbekannter Dateityp.\n"},
        {"Output file /out/a.pdb could not be created.",
         "Die Ausgabedatei /out/a.pdb konnte nicht angelegt werden."},
        // Known outside, unknown inside: the inner text stays as it came.
        {"Error 4 decoding a.png: something new", "Fehler 4 beim Lesen von a.png: something new"},
        {"A message no table knows", "A message no table knows"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.engine);
        EXPECT_EQ(engineMessageText(c.engine), QString::fromUtf8(c.engine));
        const CUiLanguage german(QLocale(QLocale::German, QLocale::Germany));
        EXPECT_EQ(engineMessageText(c.engine), QString::fromUtf8(c.german));
    }
}
