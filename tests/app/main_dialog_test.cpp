#include "app_test_support.h"

#include "app/status_line.h"
#include "app/string_table.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <QUrl>
#include <filesystem>

#include <fstream>
#include <map>

using apptest::DialogFixture;
using apptest::FakeFileManager;

namespace {

QString text(int id) {
    return QString::fromUtf8(applicationString(id));
}

QStringList items(const QComboBox* combo) {
    QStringList all;
    for (int i = 0; i < combo->count(); ++i) all.append(combo->itemText(i));
    return all;
}

class MainDialog : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        openDialog();
    }
    QComboBox* input() const { return control<QComboBox>("inputFileCombo"); }
    QComboBox* output() const { return control<QComboBox>("outputFileCombo"); }
    QLineEdit* name() const { return control<QLineEdit>("imageNameEdit"); }
    QCheckBox* writeToFile() const { return control<QCheckBox>("writeToFileCheck"); }
    QCheckBox* directInstall() const { return control<QCheckBox>("directInstallCheck"); }
    QComboBox* depth() const { return control<QComboBox>("colorDepthCombo"); }
    QComboBox* destination() const { return control<QComboBox>("destinationOsCombo"); }
    void start() { control<QPushButton>("startButton")->click(); }
};

}  // namespace

TEST_F(MainDialog, FirstStartShowsTheDefaults) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Kestrin"));
    EXPECT_EQ(name()->text(), QStringLiteral("My vexmoor image"));
    EXPECT_TRUE(writeToFile()->isChecked());
    EXPECT_FALSE(directInstall()->isChecked());
    EXPECT_TRUE(control<QRadioButton>("ditheringRadio")->isChecked());
    EXPECT_FALSE(control<QRadioButton>("rawRadio")->isChecked());
    EXPECT_EQ(dialog->compression(), 99);
    EXPECT_EQ(depth()->currentText(), QStringLiteral("8 bit (256 colors)"));
    EXPECT_EQ(destination()->currentText(), QStringLiteral("PalmOS 5 (high-res)"));
    EXPECT_TRUE(input()->currentText().isEmpty());
    EXPECT_TRUE(output()->currentText().isEmpty());
    EXPECT_EQ(input()->count(), 0);
    EXPECT_EQ(output()->count(), 0);
    EXPECT_EQ(control<QLabel>("bestResultsLabel")->text(),
              QStringLiteral("(Best results with 320x220 pixel images)"));
}

TEST_F(MainDialog, HasEveryControlWithItsTextInItsGroup) {
    const auto inGroup = [this](const char* name, const char* group) {
        QWidget* widget = dialog->findChild<QWidget*>(QLatin1String(name));
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_EQ(widget->parentWidget()->objectName(), QLatin1String(group)) << name;
    };
    EXPECT_EQ(control<QGroupBox>("inputGroup")->title(), QStringLiteral("Input"));
    EXPECT_EQ(control<QGroupBox>("imagePropertiesGroup")->title(), QStringLiteral("Image Properties"));
    EXPECT_EQ(control<QGroupBox>("colorReductionGroup")->title(), QStringLiteral("Color reduction method"));
    EXPECT_EQ(control<QGroupBox>("outputGroup")->title(), QStringLiteral("Output"));

    EXPECT_EQ(control<QLabel>("inputFileLabel")->text(), QStringLiteral("Input &file:"));
    EXPECT_EQ(control<QLabel>("inputFileLabel")->buddy(), input());
    EXPECT_EQ(control<QPushButton>("pickButton")->text(), QStringLiteral("Pic&k..."));
    EXPECT_EQ(control<QLabel>("imageNameLabel")->text(), QStringLiteral("&Image name:"));
    EXPECT_EQ(control<QLabel>("imageNameLabel")->buddy(), name());
    EXPECT_EQ(control<QLabel>("colorDepthLabel")->text(), QStringLiteral("&Color depth:"));
    EXPECT_EQ(control<QLabel>("destinationOsLabel")->text(), QStringLiteral("Destination &OS:"));
    EXPECT_EQ(items(depth()), (QStringList{"1 bit (black & white)", "2 bit (4 shades of gray)",
                                           "4 bit (16 shades of gray)", "8 bit (256 colors)"}));
    EXPECT_EQ(items(destination()), (QStringList{"PalmOS 3 or 4", "PalmOS 5 (low-res)", "PalmOS 5 (high-res)",
                                                 "PalmOS 3/4/5 combined"}));
    EXPECT_EQ(control<QRadioButton>("rawRadio")->text(), QStringLiteral("Ra&w"));
    EXPECT_EQ(control<QRadioButton>("ditheringRadio")->text(), QStringLiteral("Dit&hering"));
    EXPECT_EQ(control<QLabel>("rawNoteLabel")->text(), QStringLiteral("(recommended for graphics)"));
    EXPECT_EQ(control<QLabel>("ditheringNoteLabel")->text(), QStringLiteral("(recommended for photos)"));
    EXPECT_EQ(control<QLabel>("rawSampleImage")->pixmap().size(), QSize(42, 30));
    EXPECT_EQ(control<QLabel>("ditheringSampleImage")->pixmap().size(), QSize(42, 30));
    EXPECT_EQ(writeToFile()->text(), QStringLiteral("W&rite to"));
    EXPECT_EQ(control<QLabel>("writeToFileLabel")->text(), QStringLiteral("fi&le:"));
    EXPECT_EQ(control<QLabel>("writeToFileLabel")->buddy(), output());
    EXPECT_EQ(control<QPushButton>("setButton")->text(), QStringLiteral("&Set..."));
    EXPECT_EQ(directInstall()->text(), QStringLiteral("&Directly send to Palm Desktop's QuickInstall Tool"));
    EXPECT_EQ(control<QPushButton>("startButton")->text(), QStringLiteral("START CON&VERSION"));
    EXPECT_FALSE(control<QPushButton>("optionsButton")->icon().isNull());
    EXPECT_EQ(control<QPushButton>("optionsButton")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_0));
    EXPECT_FALSE(dialog->windowIcon().isNull());
    EXPECT_EQ(name()->maxLength(), 31);
    EXPECT_TRUE(input()->isEditable());
    EXPECT_TRUE(output()->isEditable());
    EXPECT_FALSE(depth()->isEditable());

    inGroup("inputFileCombo", "inputGroup");
    inGroup("pickButton", "inputGroup");
    inGroup("bestResultsLabel", "inputGroup");
    inGroup("imageNameEdit", "imagePropertiesGroup");
    inGroup("colorDepthCombo", "imagePropertiesGroup");
    inGroup("destinationOsCombo", "imagePropertiesGroup");
    inGroup("destinationDescriptionLabel", "imagePropertiesGroup");
    inGroup("rawRadio", "colorReductionGroup");
    inGroup("ditheringRadio", "colorReductionGroup");
    inGroup("fineQualityCheck", "colorReductionGroup");
    inGroup("writeToFileCheck", "outputGroup");
    inGroup("outputFileCombo", "outputGroup");
    inGroup("setButton", "outputGroup");
    inGroup("directInstallCheck", "outputGroup");
}

TEST_F(MainDialog, TabFollowsTheOrderOfTheControls) {
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    const char* order[] = {"inputFileCombo",     "pickButton", "imageNameEdit",      "colorDepthCombo",
                           "destinationOsCombo", "radio",      "fineQualityCheck",   "writeToFileCheck",
                           "outputFileCombo",    "setButton",  "directInstallCheck", "startButton",
                           "optionsButton"};
    input()->setFocus();
    for (std::size_t i = 1; i < std::size(order); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        // The line edit inside an editable combo box stands for the box.
        if (focus != nullptr && qobject_cast<QComboBox*>(focus->parentWidget()))
            focus = focus->parentWidget();
        ASSERT_NE(focus, nullptr);
        // The two radio buttons are one stop; arrow keys move between them.
        const QString name =
            qobject_cast<QRadioButton*>(focus) ? QStringLiteral("radio") : focus->objectName();
        EXPECT_EQ(name, QLatin1String(order[i])) << "after " << order[i - 1];
    }
}

TEST_F(MainDialog, TooltipsComeFromTheStringTable) {
    const std::pair<const char*, int> expected[] = {
        {"inputFileCombo", 200}, {"outputFileCombo", 201},  {"pickButton", 202},         {"setButton", 203},
        {"imageNameEdit", 204},  {"colorDepthCombo", 205},  {"destinationOsCombo", 206}, {"rawRadio", 207},
        {"ditheringRadio", 208}, {"writeToFileCheck", 209}, {"directInstallCheck", 210}, {"startButton", 211},
        {"optionsButton", 212},
    };
    for (const auto& [name, id] : expected) {
        EXPECT_EQ(control<QWidget>(name)->toolTip(), text(id)) << name;
    }
    EXPECT_TRUE(control<QLabel>("bestResultsLabel")->toolTip().isEmpty());
    EXPECT_TRUE(control<QGroupBox>("outputGroup")->toolTip().isEmpty());
}

TEST_F(MainDialog, ValidationStopsAtTheFirstProblemInOrder) {
    struct Case {
        bool file;
        bool install;
        QString source;
        QString output;
        QString imageName;
        int message;
    };
    const QString name31(31, QLatin1Char('n'));
    const QString name32(32, QLatin1Char('n'));
    const QString out = QString::fromStdString((work / "o.pdb").string());
    const Case cases[] = {
        {false, false, "", "", "", 102},           {true, false, "", "", "", 107},
        {true, false, "/a.bmp", "", "", 108},      {true, true, "/a.bmp", "", "x", 108},
        {true, false, "/a.bmp", out, "", 160},     {true, false, "/a.bmp", out, name32, 161},
        {false, true, "/a.bmp", out, name32, 161},
    };
    for (const Case& c : cases) {
        prompter.requests.clear();
        writeToFile()->setChecked(c.file);
        directInstall()->setChecked(c.install);
        input()->setEditText(c.source);
        output()->setEditText(c.output);
        // Past the typing limit, as a stored name can be.
        name()->setMaxLength(64);
        name()->setText(c.imageName);
        start();
        ASSERT_EQ(prompter.requests.size(), 1u) << c.message;
        const PromptRequest& shown = prompter.requests.front();
        EXPECT_EQ(shown.text, text(c.message));
        EXPECT_EQ(shown.caption, QStringLiteral("Kestrin"));
        EXPECT_EQ(shown.icon, MessageIcon::Warning);
        EXPECT_EQ(shown.buttons, PromptButtons::Ok);
        EXPECT_EQ(shown.owner, dialog.get());
    }
    EXPECT_TRUE(runner.jobs.empty());
    EXPECT_TRUE(settings->recentSources.newestFirst().isEmpty());
    EXPECT_EQ(input()->count(), 0);

    name()->setText(name31);
    writeToFile()->setChecked(true);
    directInstall()->setChecked(false);
    prompter.requests.clear();
    start();
    EXPECT_TRUE(prompter.requests.empty()) << prompter.texts().join('|').toStdString();
    ASSERT_EQ(runner.jobs.size(), 1u);
    EXPECT_EQ(runner.jobs[0].imageName, std::string(31, 'n'));
}

TEST_F(MainDialog, NamesAreStoredInThePalmCharacterSetOneByteEachAndOthersAreRefused) {
    const struct {
        QString typed;
        std::string stored;  // empty: refused with message 163 naming `refused`
        QString refused;
    } cases[] = {
        {QString(31, QChar(0x00E9)), std::string(31, '\xE9'), {}},
        {QString(31, QChar(0x20AC)), std::string(31, '\x80'), {}},
        {QStringLiteral("\u201cQuay\u201d \u2013 5\u20ac\u2026"), "\x93Quay\x94 \x96 5\x80\x85", {}},
        {QStringLiteral("\u0141\u00f3d\u017a"), {}, QStringLiteral("\u0141")},
        {QStringLiteral("Snow \u2603"), {}, QStringLiteral("\u2603")},
    };
    fillValidInput();
    for (const auto& c : cases) {
        runner.jobs.clear();
        prompter.requests.clear();
        std::filesystem::remove(work / "out.pdb");
        name()->setText(c.typed);
        start();
        if (c.stored.empty()) {
            EXPECT_EQ(prompter.texts(), QStringList{text(163).replace(QStringLiteral("%s"), c.refused)});
            EXPECT_TRUE(runner.jobs.empty());
            continue;
        }
        EXPECT_TRUE(prompter.requests.empty()) << prompter.texts().join('|').toStdString();
        ASSERT_EQ(runner.jobs.size(), 1u);
        EXPECT_EQ(runner.jobs[0].imageName, c.stored);
    }
}

TEST_F(MainDialog, DirectInstallAloneNeedsNoOutputPath) {
    shell.associations = {QStringLiteral("/opt/palm/quickinstall.exe")};
    writeToFile()->click();
    directInstall()->click();
    input()->setEditText(QStringLiteral("/a.bmp"));
    output()->setEditText(QString());
    start();
    EXPECT_TRUE(prompter.requests.empty()) << prompter.texts().join('|').toStdString();
    ASSERT_EQ(runner.jobs.size(), 1u);
    EXPECT_EQ(QString::fromStdString(runner.jobs[0].outputPath),
              shell.temporaryFolder() + "My-Vexmoor-Image.pdb");
}

TEST_F(MainDialog, FillsTheJobFromTheControls) {
    fillValidInput(QStringLiteral("/pictures/Übersicht.png"));
    const int expectedDepth[] = {1, 2, 4};
    for (int index = -1; index < 3; ++index) {
        depth()->setCurrentIndex(index);
        destination()->setCurrentIndex(index + 1);
        control<QRadioButton>(index % 2 != 0 ? "rawRadio" : "ditheringRadio")->setChecked(true);
        dialog->handleCommand(index == 0 ? ID_COMPRESSION_NONE : ID_COMPRESSION_SCANLINE);
        QFile::remove(output()->currentText());
        start();
        const ConversionJob& job = runner.jobs.back();
        EXPECT_EQ(job.settings.depth, index < 0 ? 8 : expectedDepth[index]);
        EXPECT_EQ(job.settings.destination, index + 1);
        EXPECT_EQ(job.settings.ditherSetting(), index % 2 != 0 ? 0 : 4);
        EXPECT_EQ(job.settings.compression, index == 0 ? 0 : 1);
        EXPECT_EQ(job.settings.width, 160);
        EXPECT_EQ(job.settings.height, 110);
    }
    EXPECT_EQ(runner.jobs.back().inputPath, "/pictures/Übersicht.png");
    EXPECT_EQ(runner.jobs.back().imageName, "Holiday");
    EXPECT_EQ(QString::fromStdString(runner.jobs.back().outputPath), output()->currentText());
}

TEST_F(MainDialog, ASuccessfulConversionShowsNothingAndClosesTheProgressWindow) {
    fillValidInput();
    start();
    EXPECT_TRUE(prompter.requests.empty());
    ASSERT_EQ(runner.progressWasOpen.size(), 1u);
    EXPECT_TRUE(runner.progressWasOpen[0]);
    EXPECT_FALSE(dialog->progressDialog().isOpen());
    EXPECT_TRUE(QFile::exists(output()->currentText()));
}

TEST_F(MainDialog, AFailedConversionIsOneBoxEndingInMessage110AndStillInstalls) {
    shell.associations = {QStringLiteral("/opt/palm/quickinstall.exe")};
    fillValidInput();
    directInstall()->setChecked(true);
    runner.succeed = false;
    start();
    // One box per destination: the run's own message, then the dialog's.
    const QStringList shown = prompter.texts();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral("Output file ")));
    EXPECT_TRUE(shown[0].endsWith(QStringLiteral(" could not be created.\n\n") + text(110)))
        << shown[0].toStdString();
    EXPECT_EQ(prompter.requests[0].icon, MessageIcon::Error);
    EXPECT_EQ(prompter.requests[0].owner, dialog.get());
    EXPECT_EQ(prompter.requests[0].caption, QStringLiteral("Kestrin"));
    EXPECT_TRUE(shown[1].endsWith(QStringLiteral("\n\n") + text(111))) << shown[1].toStdString();
    EXPECT_EQ(runner.jobs.size(), 2u);
    EXPECT_FALSE(dialog->progressDialog().isOpen());
}

TEST_F(MainDialog, AnExceptionFromTheRunBecomesAMessage) {
    fillValidInput();
    dialog->setConversionRunner([](ConversionJob&) -> bool { throw std::runtime_error("disk full"); });
    start();
    EXPECT_EQ(prompter.texts(), QStringList{QStringLiteral("disk full\n\n") + text(110)});
}

TEST_F(MainDialog, AsksBeforeOverwritingAndADeclineIsNoError) {
    fillValidInput();
    const QString existing = output()->currentText();
    const std::vector<std::uint8_t> precious = testsupport::MinimalPalmDatabase();
    testsupport::WriteFileBytes(existing.toStdString(), precious);
    shell.associations = {QStringLiteral("/opt/palm/quickinstall.exe")};
    directInstall()->setChecked(true);
    prompter.answers = {PromptAnswer::No};
    start();
    ASSERT_EQ(prompter.requests.size(), 1u);
    const PromptRequest& question = prompter.requests.front();
    EXPECT_EQ(question.text,
              QStringLiteral("The file %1 already exists. Do you want to overwrite it?").arg(existing));
    EXPECT_EQ(question.caption, text(116));
    EXPECT_EQ(question.icon, MessageIcon::Question);
    EXPECT_EQ(question.buttons, PromptButtons::YesNo);
    EXPECT_EQ(question.defaultAnswer, PromptAnswer::No);
    // Only the install ran; the file is untouched.
    ASSERT_EQ(runner.jobs.size(), 1u);
    EXPECT_EQ(QString::fromStdString(runner.jobs[0].outputPath),
              shell.temporaryFolder() + "My-Vexmoor-Image.pdb");
    EXPECT_EQ(shell.opened.size(), 1);
    EXPECT_EQ(testsupport::ReadFileBytes(existing.toStdString()), precious);

    prompter.requests.clear();
    prompter.answers = {PromptAnswer::Yes};
    start();
    EXPECT_EQ(prompter.requests.size(), 1u);
    EXPECT_EQ(runner.jobs.size(), 3u);

    // A photo at the name is never replaced, so no question offers it: the
    // run refuses it with the reason.
    std::ofstream(existing.toStdString()) << "precious";
    prompter.requests.clear();
    runner.jobs.clear();
    directInstall()->setChecked(false);
    start();
    EXPECT_TRUE(prompter.requests.empty());
    ASSERT_EQ(runner.jobs.size(), 1u);
    EXPECT_FALSE(runner.jobs[0].replaceExisting);
}

TEST_F(MainDialog, DestinationChoiceChangesBothDescriptions) {
    dialog->show();
    QLabel* description = control<QLabel>("destinationDescriptionLabel");
    QLabel* hint = control<QLabel>("bestResultsLabel");
    const QString lowRes = QStringLiteral("(Best results with 160x110 pixel images)");
    const struct {
        int index;
        const char* description;
        QString hint;
    } expected[] = {
        {0, "Creates an image compatible with PalmOS 3 and 4; in low resolution (160x110).", lowRes},
        {1, "Creates an image compatible with PalmOS 5; in low resolution (160x110).", lowRes},
        {2,
         "Creates an image compatible with PalmOS 5; in both low and double resolution (160x110 and "
         "320x220).",
         QStringLiteral("(Best results with 320x220 pixel images)")},
        {3, "Creates an image compatible with PalmOS 3, 4 and 5; in low resolution (160x110).", lowRes},
    };
    EXPECT_EQ(description->text(), QLatin1String(expected[2].description));
    destination()->setFocus();
    QTest::keyClick(destination(), Qt::Key_Home);
    for (const auto& choice : expected) {
        EXPECT_EQ(destination()->currentIndex(), choice.index);
        EXPECT_EQ(description->text(), QLatin1String(choice.description));
        EXPECT_EQ(hint->text(), choice.hint);
        QTest::keyClick(destination(), Qt::Key_Down);
    }
}

TEST_F(MainDialog, WriteToFileEnablesTheOutputPathControlsAtOnce) {
    QPushButton* set = control<QPushButton>("setButton");
    EXPECT_TRUE(output()->isEnabled());
    EXPECT_TRUE(set->isEnabled());
    writeToFile()->click();
    EXPECT_FALSE(output()->isEnabled());
    EXPECT_FALSE(set->isEnabled());
    directInstall()->click();
    EXPECT_FALSE(output()->isEnabled());
    writeToFile()->click();
    EXPECT_TRUE(output()->isEnabled());
    EXPECT_TRUE(set->isEnabled());
}

TEST_F(MainDialog, StartedConversionsFillTheRecentListsNewestFirst) {
    for (int i = 1; i <= 17; ++i) {
        fillValidInput(QStringLiteral("/pictures/%1.bmp").arg(i));
        output()->setEditText(QString::fromStdString((work / ("out" + std::to_string(i) + ".pdb")).string()));
        start();
    }
    EXPECT_TRUE(prompter.requests.empty());
    ASSERT_EQ(input()->count(), 16);
    EXPECT_EQ(input()->itemText(0), QStringLiteral("/pictures/17.bmp"));
    EXPECT_EQ(input()->itemText(15), QStringLiteral("/pictures/2.bmp"));
    EXPECT_EQ(settings->recentSources.newestFirst(), items(input()));
    EXPECT_EQ(settings->recentOutputs.newestFirst(), items(output()));
    // The typed texts stay as they were.
    EXPECT_EQ(input()->currentText(), QStringLiteral("/pictures/17.bmp"));

    // Used again: neither added nor moved; another case is another path.
    fillValidInput(QStringLiteral("/pictures/5.bmp"));
    start();
    EXPECT_EQ(input()->itemText(0), QStringLiteral("/pictures/17.bmp"));
    fillValidInput(QStringLiteral("/PICTURES/5.BMP"));
    start();
    EXPECT_EQ(input()->itemText(0), QStringLiteral("/PICTURES/5.BMP"));
    EXPECT_EQ(input()->count(), 16);
}

TEST_F(MainDialog, AnEmptyOutputPathJoinsTheListOnlyWhenItIsFull) {
    shell.associations = {QStringLiteral("/opt/palm/quickinstall.exe")};
    writeToFile()->setChecked(false);
    directInstall()->setChecked(true);
    input()->setEditText(QStringLiteral("/a.bmp"));
    output()->setEditText(QString());
    start();
    EXPECT_EQ(output()->count(), 0);
    EXPECT_TRUE(settings->recentOutputs.newestFirst().isEmpty());

    for (int i = 0; i < 16; ++i) settings->recentOutputs.add(QStringLiteral("/o/%1.pdb").arg(i));
    start();
    ASSERT_EQ(output()->count(), 1);
    EXPECT_EQ(output()->itemText(0), QString());
    EXPECT_EQ(settings->recentOutputs.newestFirst().size(), 15);
}

TEST_F(MainDialog, ListsOpenFromTheStoredSlotsStartingAtTheStoredIndex) {
    dialog.reset();
    for (int slot = 0; slot < 16; ++slot) {
        settings->recentSources.setSlot(slot, slot == 7 ? QString() : QStringLiteral("/s/%1.bmp").arg(slot));
    }
    settings->recentSources.setIndex(20);
    settings->lastSourcePath = QStringLiteral("/typed/last.bmp");
    settings->save();
    openDialog();
    ASSERT_EQ(input()->count(), 15);
    EXPECT_EQ(input()->itemText(0), QStringLiteral("/s/4.bmp"));
    EXPECT_EQ(input()->itemText(1), QStringLiteral("/s/3.bmp"));
    EXPECT_EQ(input()->itemText(14), QStringLiteral("/s/5.bmp"));
    EXPECT_EQ(input()->currentText(), QStringLiteral("/typed/last.bmp"));

    fillValidInput(QStringLiteral("/new.bmp"));
    start();
    EXPECT_EQ(settings->recentSources.index(), 0u);
    EXPECT_EQ(settings->recentSources.slot(0), QStringLiteral("/new.bmp"));
    EXPECT_EQ(input()->itemText(0), QStringLiteral("/new.bmp"));
}

TEST_F(MainDialog, OutputPickerProposesANameFromTheSource) {
    input()->setEditText(QStringLiteral("C:\\pics\\my.photo.jpg"));
    picker.answer = std::nullopt;
    output()->setEditText(QStringLiteral("/kept.pdb"));
    control<QPushButton>("setButton")->click();
    EXPECT_EQ(picker.lastDefaultName, QStringLiteral("my.pdb"));
    EXPECT_EQ(picker.lastDefaultSuffix, QStringLiteral("pdb"));
    EXPECT_EQ(picker.lastFilters, QStringList{QStringLiteral("Palm Database (*.pdb)")});
    EXPECT_EQ(picker.lastOwner, dialog.get());
    EXPECT_EQ(output()->currentText(), QStringLiteral("/kept.pdb"));

    input()->setEditText(QString());
    picker.answer = QStringLiteral("/chosen/file.pdb");
    control<QPushButton>("setButton")->click();
    EXPECT_EQ(picker.lastDefaultName, QStringLiteral("MyVexmoorImg.pdb"));
    EXPECT_EQ(output()->currentText(), QStringLiteral("/chosen/file.pdb"));
}

TEST_F(MainDialog, SourcePickerOffersEveryFormatAndKeepsOtherFields) {
    name()->setText(QStringLiteral("typed, not yet transferred"));
    picker.answer = QStringLiteral("/pictures/chosen.gif");
    control<QPushButton>("pickButton")->click();
    EXPECT_EQ(input()->currentText(), QStringLiteral("/pictures/chosen.gif"));
    EXPECT_EQ(name()->text(), QStringLiteral("typed, not yet transferred"));
    ASSERT_EQ(picker.lastFilters.size(), 16);
    EXPECT_EQ(picker.lastFilters.value(14), QStringLiteral("Palm image databases (*.pdb *.PDB)"));
    EXPECT_TRUE(
        picker.lastFilters.first().startsWith(QStringLiteral("All supported formats (*.bmp *.dib *.tif")));
    EXPECT_EQ(picker.lastFilters.last(), QStringLiteral("All files (*)"));

    picker.answer = std::nullopt;
    control<QPushButton>("pickButton")->click();
    EXPECT_EQ(input()->currentText(), QStringLiteral("/pictures/chosen.gif"));
}

TEST_F(MainDialog, EnterMovesToTheNextControlAndPressesOnlyAFocusedButton) {
    fillValidInput();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    name()->setFocus();
    QTest::keyClick(name(), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), depth());
    input()->setFocus();
    QTest::keyClick(input()->lineEdit(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(QApplication::focusWidget(), control<QPushButton>("pickButton"));
    EXPECT_EQ(input()->count(), 0);  // typed text is not added to the list
    EXPECT_TRUE(runner.jobs.empty());
    QPushButton* startButton = control<QPushButton>("startButton");
    startButton->setFocus();
    QTest::keyClick(startButton, Qt::Key_Return);
    EXPECT_EQ(runner.jobs.size(), 1u);
    EXPECT_TRUE(prompter.requests.empty());
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(MainDialog, EscapeClosesAndHandsTheValuesBackToTheSettings) {
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    input()->setEditText(QStringLiteral("/pics/x.tif"));
    output()->setEditText(QStringLiteral("/pdb/x.pdb"));
    name()->setText(QStringLiteral("Renamed"));
    depth()->setCurrentIndex(0);
    destination()->setCurrentIndex(1);
    writeToFile()->setChecked(false);
    directInstall()->setChecked(true);
    control<QRadioButton>("rawRadio")->setChecked(true);
    dialog->handleCommand(ID_COMPRESSION_SCANLINE);
    std::ofstream((shell.temporaryFolder() + "My-Vexmoor-Image.pdb").toStdString()) << "left over";

    input()->setFocus();
    QTest::keyClick(input()->lineEdit(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(settings->lastSourcePath, QStringLiteral("/pics/x.tif"));
    EXPECT_EQ(settings->lastOutputPath, QStringLiteral("/pdb/x.pdb"));
    EXPECT_EQ(settings->imageName, QStringLiteral("Renamed"));
    EXPECT_EQ(settings->conversion.depthListPosition(), 0);
    EXPECT_EQ(settings->conversion.destination, 1);
    EXPECT_EQ(settings->writeToFile, 0);
    EXPECT_EQ(settings->directInstall, 1);
    EXPECT_EQ(settings->conversion.reduction, ColorReduction::kRaw);
    EXPECT_EQ(settings->conversion.compression, 1);
    EXPECT_FALSE(QFile::exists(shell.temporaryFolder() + "My-Vexmoor-Image.pdb"));

    // What the next start shows.
    settings->save();
    openDialog();
    EXPECT_EQ(input()->currentText(), QStringLiteral("/pics/x.tif"));
    EXPECT_EQ(name()->text(), QStringLiteral("Renamed"));
    EXPECT_EQ(depth()->currentIndex(), 0);
    EXPECT_EQ(destination()->currentIndex(), 1);
    EXPECT_FALSE(writeToFile()->isChecked());
    EXPECT_TRUE(directInstall()->isChecked());
    EXPECT_TRUE(control<QRadioButton>("rawRadio")->isChecked());
    EXPECT_EQ(dialog->compression(), 1);
    EXPECT_FALSE(output()->isEnabled());
    EXPECT_EQ(control<QLabel>("bestResultsLabel")->text(),
              QStringLiteral("(Best results with 160x110 pixel images)"));
}

TEST_F(MainDialog, TheCloseBoxClosesTheSameWay) {
    dialog->show();
    name()->setText(QStringLiteral("Closed by the box"));
    EXPECT_TRUE(dialog->close());
    EXPECT_EQ(settings->imageName, QStringLiteral("Closed by the box"));
}

TEST_F(MainDialog, StoredChoicesOutsideTheListsLeaveNoSelection) {
    dialog.reset();
    settings->conversion.chooseDepthByListPosition(7);
    settings->conversion.destination = static_cast<DestinationOs>(-1);
    settings->save();
    openDialog();
    EXPECT_EQ(depth()->currentIndex(), -1);
    EXPECT_EQ(destination()->currentIndex(), -1);
    fillValidInput();
    start();
    ASSERT_EQ(runner.jobs.size(), 1u);
    EXPECT_EQ(runner.jobs[0].settings.depth, 8);
}

TEST_F(MainDialog, AStoredNameLongerThanTheLimitIsShownInFullAndRefused) {
    dialog.reset();
    const QString longName(40, QLatin1Char('L'));
    settings->imageName = longName;
    settings->save();
    openDialog();
    EXPECT_EQ(name()->text(), longName);
    fillValidInput();
    name()->setText(longName);
    start();
    EXPECT_EQ(prompter.texts(), QStringList{text(161)});
}

TEST_F(MainDialog, DroppingAPictureFillsTheInputField) {
    const QString picture = QString::fromStdString((work / "dropped.bmp").string());
    std::ofstream(picture.toStdString()) << "BM";
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(picture)});

    for (QWidget* target : {static_cast<QWidget*>(dialog.get()), static_cast<QWidget*>(name())}) {
        input()->setEditText(QString());
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        EXPECT_EQ(input()->currentText(), picture);
        EXPECT_EQ(name()->text(), QStringLiteral("dropped"));
    }

    // A folder stands for its pictures.
    QMimeData folder;
    folder.setUrls({QUrl::fromLocalFile(QString::fromStdString(work.path().string()))});
    QDragEnterEvent accepted(QPoint(5, 5), Qt::CopyAction, &folder, Qt::LeftButton, Qt::NoModifier);
    accepted.setAccepted(false);
    QApplication::sendEvent(dialog.get(), &accepted);
    EXPECT_TRUE(accepted.isAccepted());
}

TEST_F(MainDialog, EveryVisibleShortcutLetterIsUniqueForOnePictureAndForAList) {
    const auto letters = [this] { return apptest::shortcutOwners(*dialog); };
    for (const bool list : {false, true}) {
        if (list)
            dialog->openPictures({QStringLiteral("/pictures/a.bmp"), QStringLiteral("/pictures/b.bmp")});
        ASSERT_EQ(dialog->pictures().isEmpty(), !list);
        const auto owners = letters();
        EXPECT_GE(owners.size(), list ? 16u : 14u);
        for (const auto& [key, widgets] : owners)
            EXPECT_EQ(widgets.size(), 1) << key.toStdString() << ": " << widgets.join(' ').toStdString();
    }
}

TEST_F(MainDialog, CtrlOPicksAPictureAndCtrlQQuitsSavingLikeEscape) {
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    picker.answer = QStringLiteral("/pictures/keyed.gif");
    QTest::keySequence(dialog.get(), QKeySequence::Open);
    EXPECT_EQ(picker.calls, 1);
    EXPECT_EQ(input()->currentText(), QStringLiteral("/pictures/keyed.gif"));
    name()->setText(QStringLiteral("Quit with keys"));
    QTest::keyClick(dialog.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(settings->imageName, QStringLiteral("Quit with keys"));
    EXPECT_EQ(settings->lastSourcePath, QStringLiteral("/pictures/keyed.gif"));
}

TEST_F(MainDialog, OutputFollowsEachNewPictureAndNameUnlessTypedByHand) {
    const auto pick = [this](const char* path) {
        picker.answer = QString::fromUtf8(path);
        control<QPushButton>("pickButton")->click();
    };
    pick("/pictures/a.jpg");
    EXPECT_EQ(output()->currentText(), QStringLiteral("/pictures/a.pdb"));
    EXPECT_EQ(name()->text(), QStringLiteral("a"));

    // Set by hand for a: b's database goes into that folder, under b's name.
    QTest::keyClicks(output()->lineEdit(), QStringLiteral("x"));
    output()->setEditText(QStringLiteral("/out/mine.pdb"));
    pick("/pictures/b.jpg");
    EXPECT_EQ(output()->currentText(), QStringLiteral("/out/b.pdb"));
    EXPECT_EQ(name()->text(), QStringLiteral("b"));
    pick("/pictures/c.jpg");
    EXPECT_EQ(output()->currentText(), QStringLiteral("/out/c.pdb"));

    // Typed and confirmed, and taken from the recent list; a typed name stays.
    QTest::keyClicks(name(), QStringLiteral("!"));
    input()->setEditText(QStringLiteral("/typed/d.e.png"));
    emit input()->lineEdit()->editingFinished();
    EXPECT_EQ(output()->currentText(), QStringLiteral("/out/d.pdb"));
    EXPECT_EQ(name()->text(), QStringLiteral("c!"));
    emit input()->textActivated(QStringLiteral("/recent/e.bmp"));
    EXPECT_EQ(input()->currentText(), QStringLiteral("/recent/e.bmp"));
    EXPECT_EQ(output()->currentText(), QStringLiteral("/out/e.pdb"));
    EXPECT_EQ(name()->text(), QStringLiteral("c!"));
}

TEST_F(MainDialog, APictureOnTheCommandLineBringsItsOwnOutputAndName) {
    dialog->openPictures({QStringLiteral("/pictures/fruits.jpg")});
    EXPECT_EQ(output()->currentText(), QStringLiteral("/pictures/fruits.pdb"));
    EXPECT_EQ(name()->text(), QStringLiteral("fruits"));
    output()->setEditText(QStringLiteral("/out/fruits.pdb"));
    name()->setText(QStringLiteral("Typed last time"));
    closeAndSave();

    // "Open with" the next day: the stored output and name were fruits'.
    openDialog();
    dialog->openPictures({QStringLiteral("/pictures/rocket.jpg")});
    EXPECT_EQ(input()->currentText(), QStringLiteral("/pictures/rocket.jpg"));
    EXPECT_EQ(output()->currentText(), QStringLiteral("/out/rocket.pdb"));
    EXPECT_EQ(name()->text(), QStringLiteral("rocket"));
    // The stored picture itself keeps what was stored with it.
    closeAndSave();
    openDialog();
    dialog->openPictures({QStringLiteral("/pictures/rocket.jpg")});
    EXPECT_EQ(output()->currentText(), QStringLiteral("/out/rocket.pdb"));
}

TEST_F(MainDialog, TheStatusLineNamesTheWrittenDatabaseAndShowsItInItsFolder) {
    const struct {
        const char* scenario;
        const char* fileName;
        bool succeed;
        bool overwriteDeclined;
        const char* status;  // in German, whose digits group with "."
    } cases[] = {
        {"written", "out.pdb", true, false, "Wrote out.pdb (12.345 bytes)"},
        {"a name that looks like a placeholder or markup", "50%1 <b>.pdb", true, false,
         "Wrote 50%1 <b>.pdb (12.345 bytes)"},
        {"failed", "out.pdb", false, false, ""},
        {"overwrite declined", "out.pdb", true, true, ""},
    };
    const QLocale systemLocale;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    FakeFileManager files;
    dialog->setDesktopFeedback({&files, nullptr});
    auto* status = dialog->findChild<CStatusLine*>();
    ASSERT_NE(status, nullptr);
    auto* showButton = control<QPushButton>("showInFolderButton");
    bool succeed = true;
    dialog->setConversionRunner([&succeed](ConversionJob& job) {
        if (succeed) std::ofstream(job.outputPath, std::ios::binary) << std::string(12345, 'x');
        return succeed;
    });
    fillValidInput();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        // What an earlier conversion said goes, whatever this one does.
        succeed = true;
        output()->setEditText(QString::fromStdString((work / "earlier.pdb").string()));
        std::filesystem::remove(work / "earlier.pdb");
        start();
        ASSERT_FALSE(status->text().isEmpty());

        const QString path = QString::fromStdString((work / c.fileName).string());
        QFile::remove(path);
        if (c.overwriteDeclined) {
            testsupport::WriteFileBytes(path.toStdString(), testsupport::MinimalPalmDatabase());
            prompter.answers = {PromptAnswer::No};
        }
        succeed = c.succeed;
        output()->setEditText(path);
        start();
        EXPECT_EQ(status->text(), QString::fromUtf8(c.status));
        EXPECT_EQ(showButton->isVisibleTo(dialog.get()), c.status[0] != '\0');
        files.shown.clear();
        if (showButton->isVisibleTo(dialog.get())) {
            showButton->click();
            EXPECT_EQ(files.shown, QList<QStringList>{QStringList{path}});
        }
    }
    // It spoke of the picture before.
    succeed = true;
    std::filesystem::remove(work / "earlier.pdb");
    output()->setEditText(QString::fromStdString((work / "earlier.pdb").string()));
    start();
    ASSERT_FALSE(status->text().isEmpty());
    dialog->openPictures({QStringLiteral("/pictures/another.jpg")});
    EXPECT_TRUE(status->text().isEmpty());
    QLocale::setDefault(systemLocale);
}

TEST_F(MainDialog, AFolderTypedIntoInputBecomesTheListOfItsPictures) {
    std::filesystem::create_directories(work / "album");
    for (const char* name : {"a.bmp", "b.png", "notes.txt"}) std::ofstream(work / "album" / name) << "x";
    input()->setEditText(QString::fromStdString((work / "album").string()));
    emit input()->lineEdit()->editingFinished();
    EXPECT_EQ(dialog->pictures().size(), 2);
}
