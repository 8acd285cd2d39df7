#include "app/main_dialog_controls.h"

#include "app/app_icon.h"
#include "app/frame_editor.h"
#include "app/plain_text.h"
#include "app/preview_pane.h"
#include "app/prompter.h"
#include "app/status_line.h"
#include "app/string_table.h"
#include "app/ui_text.h"
#include "engine/conversion_job.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

struct DestinationText {
    const char* description;
    const char* bestResults;
};

constexpr DestinationText kDestinationTexts[] = {
    {QT_TRANSLATE_NOOP("Kestrin",
                       "Creates an image compatible with PalmOS 3 and 4; in low resolution (160x110)."),
     QT_TRANSLATE_NOOP("Kestrin", "(Best results with 160x110 pixel images)")},
    {QT_TRANSLATE_NOOP("Kestrin", "Creates an image compatible with PalmOS 5; in low resolution (160x110)."),
     QT_TRANSLATE_NOOP("Kestrin", "(Best results with 160x110 pixel images)")},
    {QT_TRANSLATE_NOOP("Kestrin",
                       "Creates an image compatible with PalmOS 5; in both low and double resolution "
                       "(160x110 and 320x220)."),
     QT_TRANSLATE_NOOP("Kestrin", "(Best results with 320x220 pixel images)")},
    {QT_TRANSLATE_NOOP("Kestrin",
                       "Creates an image compatible with PalmOS 3, 4 and 5; in low resolution (160x110)."),
     QT_TRANSLATE_NOOP("Kestrin", "(Best results with 160x110 pixel images)")},
};

template <typename Widget>
Widget* makeWidget(const char* objectName, QWidget* parent) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QLatin1String(objectName));
    return widget;
}

QPushButton* makeButton(const char* objectName, QWidget* parent) {
    auto* button = makeWidget<QPushButton>(objectName, parent);
    // No button is the default one: Enter presses only a focused button.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QComboBox* makePathCombo(const char* objectName, QWidget* parent) {
    auto* combo = makeWidget<QComboBox>(objectName, parent);
    combo->setEditable(true);
    // The list holds only what the recent lists put there; typed text and the
    // Enter key do not add items, and nothing completes the typing.
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(36);
    return combo;
}

QLabel* makeSample(const char* objectName, const QPixmap& pixmap, QWidget* parent) {
    auto* sample = makeWidget<QLabel>(objectName, parent);
    sample->setPixmap(pixmap);
    sample->setFixedSize(42, 30);
    return sample;
}

// A list's entries in place, so that the selection stays.
void setItems(QComboBox* combo, const QStringList& texts) {
    const QSignalBlocker quiet(combo);
    for (int i = 0; i < texts.size(); ++i) {
        if (i < combo->count())
            combo->setItemText(i, texts[i]);
        else
            combo->addItem(texts[i]);
    }
}

struct OutcomeLook {
    QStyle::StandardPixmap icon;
    QString text;
};

OutcomeLook outcomeLook(const PictureOutcome& outcome) {
    switch (outcome.kind) {
        case PictureOutcome::Kind::Converted:
            return {QStyle::SP_DialogApplyButton, uiText("Converted")};
        case PictureOutcome::Kind::Incomplete:
            return {QStyle::SP_MessageBoxWarning,
                    uiText("Converted, but incomplete: %1").arg(outcome.reason)};
        case PictureOutcome::Kind::Skipped:
            return {QStyle::SP_MessageBoxInformation, uiText("Skipped: its database already exists")};
        case PictureOutcome::Kind::Failed:
            return {QStyle::SP_MessageBoxCritical, uiText("Failed: %1").arg(outcome.reason)};
        case PictureOutcome::Kind::NotConverted:
            break;
    }
    // Not the failed one's cross: nothing went wrong with the picture.
    return {QStyle::SP_MediaStop, uiText("Not converted, as the conversion was cancelled")};
}

// Screen readers name a control by its label; a combo box and its line edit
// are named alike.
void setAccessibleName(QComboBox* combo, const QString& name) {
    combo->setAccessibleName(name);
    combo->lineEdit()->setAccessibleName(name);
}

}  // namespace

void MainDialogControls::setupUi(QDialog* owner) {
    dialog = owner;
    dialog->setObjectName(QStringLiteral("mainDialog"));
    buildInputGroup();
    buildPropertiesGroup();
    buildReductionGroup();
    buildOutputGroup();
    buildCommands();
    buildPreviewGroup();
    retranslateUi();
    arrangeGroups();
    setFocusOrder();
}

void MainDialogControls::buildInputGroup() {
    inputGroup = makeWidget<QGroupBox>("inputGroup", dialog);
    inputLabel = makeWidget<QLabel>("inputFileLabel", inputGroup);
    inputCombo = makePathCombo("inputFileCombo", inputGroup);
    inputLabel->setBuddy(inputCombo);
    pickButton = makeButton("pickButton", inputGroup);
    bestResultsLabel = makeWidget<QLabel>("bestResultsLabel", inputGroup);
    // In place of the input field while several pictures are chosen.
    pictureList = makeWidget<QListWidget>("pictureList", inputGroup);
    pictureList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Four rows at the least; the list takes the height the window can spare.
    pictureList->setMinimumHeight(pictureList->fontMetrics().lineSpacing() * 4 + 8);
    // The outcome icons no taller than a line, so rows keep their height.
    const int iconSide = pictureList->fontMetrics().height();
    pictureList->setIconSize(QSize(iconSide, iconSide));
    pictureList->hide();
    pictureCountLabel = makeWidget<QLabel>("pictureCountLabel", inputGroup);
    pictureCountLabel->hide();
    removeButton = makeButton("removePictureButton", inputGroup);
    removeButton->hide();
    clearButton = makeButton("clearPicturesButton", inputGroup);
    clearButton->hide();
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(removeButton);
    listButtons->addWidget(clearButton);
    listButtons->addStretch(1);
    listButtons->addWidget(pictureCountLabel);
    auto* layout = new QGridLayout(inputGroup);
    layout->addWidget(inputLabel, 0, 0);
    layout->addWidget(inputCombo, 0, 1);
    layout->addWidget(pictureList, 0, 1);
    layout->addWidget(pickButton, 0, 2, Qt::AlignTop);
    layout->addLayout(listButtons, 1, 1);
    layout->addWidget(bestResultsLabel, 2, 1, 1, 2);
    layout->setColumnStretch(1, 1);
}

void MainDialogControls::buildPropertiesGroup() {
    propertiesGroup = makeWidget<QGroupBox>("imagePropertiesGroup", dialog);
    imageNameLabel = makeWidget<QLabel>("imageNameLabel", propertiesGroup);
    imageNameEdit = makeWidget<QLineEdit>("imageNameEdit", propertiesGroup);
    imageNameEdit->setMaxLength(static_cast<int>(kMaxImageNameLength));
    imageNameLabel->setBuddy(imageNameEdit);
    colorDepthLabel = makeWidget<QLabel>("colorDepthLabel", propertiesGroup);
    colorDepthCombo = makeWidget<QComboBox>("colorDepthCombo", propertiesGroup);
    colorDepthLabel->setBuddy(colorDepthCombo);
    destinationLabel = makeWidget<QLabel>("destinationOsLabel", propertiesGroup);
    destinationCombo = makeWidget<QComboBox>("destinationOsCombo", propertiesGroup);
    destinationLabel->setBuddy(destinationCombo);
    destinationDescription = makeWidget<QLabel>("destinationDescriptionLabel", propertiesGroup);
    destinationDescription->setWordWrap(true);
    destinationDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Room for the longest description on two lines.
    destinationDescription->setMinimumHeight(2 * dialog->fontMetrics().lineSpacing() + 2);
    destinationDescription->setMinimumWidth(
        dialog->fontMetrics().horizontalAdvance(uiText(kDestinationTexts[2].description)) * 11 / 20);
    auto* layout = new QGridLayout(propertiesGroup);
    layout->addWidget(imageNameLabel, 0, 0);
    layout->addWidget(imageNameEdit, 0, 1);
    layout->addWidget(colorDepthLabel, 1, 0);
    layout->addWidget(colorDepthCombo, 1, 1);
    layout->addWidget(destinationLabel, 2, 0);
    layout->addWidget(destinationCombo, 2, 1);
    layout->addWidget(destinationDescription, 3, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(3, 1);
}

void MainDialogControls::buildReductionGroup() {
    reductionGroup = makeWidget<QGroupBox>("colorReductionGroup", dialog);
    rawRadio = makeWidget<QRadioButton>("rawRadio", reductionGroup);
    auto* rawSample = makeSample("rawSampleImage", rawSamplePixmap(), reductionGroup);
    rawNote = makeWidget<QLabel>("rawNoteLabel", reductionGroup);
    ditherRadio = makeWidget<QRadioButton>("ditheringRadio", reductionGroup);
    auto* ditherSample = makeSample("ditheringSampleImage", ditherSamplePixmap(), reductionGroup);
    ditherNote = makeWidget<QLabel>("ditheringNoteLabel", reductionGroup);
    fineQualityCheck = makeWidget<QCheckBox>("fineQualityCheck", reductionGroup);
    auto* layout = new QGridLayout(reductionGroup);
    layout->addWidget(rawRadio, 0, 0);
    layout->addWidget(rawSample, 0, 1);
    layout->addWidget(rawNote, 0, 2);
    layout->addWidget(ditherRadio, 1, 0);
    layout->addWidget(ditherSample, 1, 1);
    layout->addWidget(ditherNote, 1, 2);
    layout->addWidget(fineQualityCheck, 2, 0, 1, 3);
    layout->setColumnStretch(2, 1);
    layout->setRowStretch(3, 1);
    layout->setHorizontalSpacing(10);
}

void MainDialogControls::buildOutputGroup() {
    outputGroup = makeWidget<QGroupBox>("outputGroup", dialog);
    writeToFileCheck = makeWidget<QCheckBox>("writeToFileCheck", outputGroup);
    outputLabel = makeWidget<QLabel>("writeToFileLabel", outputGroup);
    outputCombo = makePathCombo("outputFileCombo", outputGroup);
    outputLabel->setBuddy(outputCombo);
    setButton = makeButton("setButton", outputGroup);
    directInstallCheck = makeWidget<QCheckBox>("directInstallCheck", outputGroup);
    auto* layout = new QGridLayout(outputGroup);
    auto* writeTo = new QHBoxLayout;
    writeTo->setSpacing(0);
    writeTo->addWidget(writeToFileCheck);
    writeTo->addWidget(outputLabel);
    layout->addLayout(writeTo, 0, 0);
    layout->addWidget(outputCombo, 0, 1);
    layout->addWidget(setButton, 0, 2);
    layout->addWidget(directInstallCheck, 1, 0, 1, 3);
    layout->setColumnStretch(1, 1);
}

void MainDialogControls::buildCommands() {
    startButton = makeButton("startButton", dialog);
    QFont startFont = startButton->font();
    startFont.setBold(true);
    startButton->setFont(startFont);
    startButton->setMinimumHeight(44);
    optionsButton = makeButton("optionsButton", dialog);
    optionsButton->setIcon(kestrinIcon());
    optionsButton->setIconSize(QSize(32, 32));
    optionsButton->setFixedSize(44, 44);
    // The button shows only the icon; its mnemonic "&0" stays as a shortcut.
    optionsButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_0));
}

void MainDialogControls::buildPreviewGroup() {
    previewGroup = makeWidget<QGroupBox>("previewGroup", dialog);
    preview = new CPreviewPane(previewGroup);
    frameEditor = new CFrameEditor(previewGroup);
    auto* layout = new QVBoxLayout(previewGroup);
    layout->addWidget(frameEditor);
    layout->addWidget(preview);
}

void MainDialogControls::arrangeGroups() {
    auto* middle = new QHBoxLayout;
    middle->addWidget(propertiesGroup, 1);
    middle->addWidget(reductionGroup, 0);
    auto* commands = new QHBoxLayout;
    commands->addWidget(startButton, 1);
    commands->addWidget(optionsButton);
    m_form = new QVBoxLayout;
    m_form->addWidget(inputGroup);
    m_form->addLayout(middle);
    // The spare height, which the list of pictures takes while there is one;
    // the output choices and START stay at the bottom.
    m_formSpare = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding);
    m_form->addItem(m_formSpare);
    m_form->setStretch(m_form->indexOf(m_formSpare), 1);
    m_form->addWidget(outputGroup);
    m_form->addLayout(commands);
    // The preview beside the form; both take a share of a wider window, the
    // form for longer paths, the preview for a larger zoom.
    auto* columns = new QHBoxLayout;
    columns->addLayout(m_form, 3);
    columns->addWidget(previewGroup, 2);
    windowLayout = new QVBoxLayout(dialog);
    windowLayout->addLayout(columns, 1);
    // What the last conversion wrote, across the window's whole width.
    statusLine = new CStatusLine(dialog);
    windowLayout->addWidget(statusLine);
}

void MainDialogControls::setFocusOrder() {
    // The order of the controls, which Tab and Enter follow.
    const QList<QWidget*> order = {inputCombo,   pictureList,   pickButton,         removeButton,
                                   clearButton,  imageNameEdit, colorDepthCombo,    destinationCombo,
                                   rawRadio,     ditherRadio,   fineQualityCheck,   writeToFileCheck,
                                   outputCombo,  setButton,     directInstallCheck, startButton,
                                   optionsButton};
    for (qsizetype i = 0; i + 1 < order.size(); ++i) QWidget::setTabOrder(order[i], order[i + 1]);
}

void MainDialogControls::retranslateUi() {
    dialog->setWindowTitle(uiText("Kestrin"));
    inputGroup->setTitle(uiText("Input"));
    pickButton->setText(uiText("Pic&k..."));
    // Alt+R is "W&rite to" already.
    removeButton->setText(uiText("R&emove"));
    clearButton->setText(uiText("Clear &all"));
    propertiesGroup->setTitle(uiText("Image Properties"));
    imageNameLabel->setText(uiText("&Image name:"));
    colorDepthLabel->setText(uiText("&Color depth:"));
    // Already in sorted order, as the list keeps them.
    setItems(colorDepthCombo, {uiText("1 bit (black & white)"), uiText("2 bit (4 shades of gray)"),
                               uiText("4 bit (16 shades of gray)"), uiText("8 bit (256 colors)")});
    destinationLabel->setText(uiText("Destination &OS:"));
    setItems(destinationCombo, {uiText("PalmOS 3 or 4"), uiText("PalmOS 5 (low-res)"),
                                uiText("PalmOS 5 (high-res)"), uiText("PalmOS 3/4/5 combined")});
    const DestinationText& destination = kDestinationTexts[std::max(0, m_destination)];
    destinationDescription->setText(m_destination >= 0 ? uiText(destination.description) : QString());
    bestResultsLabel->setText(uiText(destination.bestResults));
    reductionGroup->setTitle(uiText("Color reduction method"));
    rawRadio->setText(uiText("Ra&w"));
    rawNote->setText(uiText("(recommended for graphics)"));
    ditherRadio->setText(uiText("Dit&hering"));
    ditherNote->setText(uiText("(recommended for photos)"));
    fineQualityCheck->setText(uiText("Fine &quality (closer to the photo)"));
    outputGroup->setTitle(uiText("Output"));
    writeToFileCheck->setText(uiText("W&rite to"));
    setButton->setText(uiText("&Set..."));
    directInstallCheck->setText(uiText("&Directly send to Palm Desktop's QuickInstall Tool"));
    startButton->setText(uiText("START CON&VERSION"));
    previewGroup->setTitle(uiText("Preview"));

    inputLabel->setText(m_batch ? uiText("Input &files:") : uiText("Input &file:"));
    outputLabel->setText(m_batch ? uiText("fo&lder:") : uiText("fi&le:"));
    setAccessibleName(inputCombo, uiText("Input file"));
    setAccessibleName(outputCombo, m_batch ? uiText("Output folder") : uiText("Output file"));
    // The check box and its label "file:" read as one.
    writeToFileCheck->setAccessibleName(m_batch ? uiText("Write to folder") : uiText("Write to file"));
    imageNameEdit->setAccessibleName(uiText("Image name"));
    colorDepthCombo->setAccessibleName(uiText("Color depth"));
    destinationCombo->setAccessibleName(uiText("Destination OS"));
    optionsButton->setAccessibleName(uiText("Options"));
    showPictureCount();
    retranslateTips();
}

void MainDialogControls::retranslateTips() {
    const std::pair<QWidget*, int> tips[] = {
        {inputCombo, 200},         {pickButton, 202},  {imageNameEdit, 204}, {colorDepthCombo, 205},
        {destinationCombo, 206},   {rawRadio, 207},    {ditherRadio, 208},   {writeToFileCheck, 209},
        {directInstallCheck, 210}, {startButton, 211}, {optionsButton, 212}, {pictureList, 213},
        {removeButton, 214},       {clearButton, 215},
    };
    for (const auto& [control, stringId] : tips) control->setToolTip(tableString(stringId));
    outputCombo->setToolTip(tableString(m_batch ? IDS_OUTPUT_FOLDER_TIP : IDS_OUTPUT_FILE_TIP));
    setButton->setToolTip(tableString(m_batch ? IDS_SET_FOLDER_TIP : IDS_SET_FILE_TIP));
    fineQualityCheck->setToolTip(
        uiText("Scale and dither in linear light and match colors as the eye sees them"));
}

void MainDialogControls::setPictureMode(bool batch) {
    m_batch = batch;
    inputCombo->setVisible(!batch);
    pictureList->setVisible(batch);
    removeButton->setVisible(batch);
    clearButton->setVisible(batch);
    pictureCountLabel->setVisible(batch);
    inputLabel->setBuddy(batch ? static_cast<QWidget*>(pictureList) : inputCombo);
    imageNameEdit->setEnabled(!batch);
    // Beside the list's first row; beside the field, level with its text.
    inputGroup->layout()->setAlignment(inputLabel, batch ? Qt::AlignTop : Qt::Alignment());
    // The list takes the spare height; without it, the gap above the output does.
    m_form->setStretchFactor(inputGroup, batch ? 1 : 0);
    m_formSpare->changeSize(0, 0, QSizePolicy::Minimum, batch ? QSizePolicy::Fixed : QSizePolicy::Expanding);
    m_form->setStretch(m_form->indexOf(m_formSpare), batch ? 0 : 1);
    m_form->invalidate();
    retranslateUi();
}

void MainDialogControls::showPictures(const QStringList& pictures) {
    const int keptRow = pictureList->currentRow();
    {
        const QSignalBlocker quiet(pictureList);
        pictureList->clear();
        for (const QString& path : pictures) {
            auto* item = new QListWidgetItem(QFileInfo(path).fileName(), pictureList);
            item->setToolTip(plainToolTip(path));
            item->setData(Qt::UserRole, path);
        }
        pictureList->setCurrentRow(
            std::clamp(keptRow, 0, std::max(0, static_cast<int>(pictures.size()) - 1)));
    }
    showPictureCount();
}

void MainDialogControls::showPictureCount() {
    const QString count = uiNumber(pictureList->count());
    pictureCountLabel->setText(uiText("%1 pictures").arg(count));
    pictureList->setAccessibleName(uiText("Input files: %1 pictures").arg(count));
}

void MainDialogControls::showOutcomes(const QHash<QString, PictureOutcome>& outcomes) {
    const QStyle* style = pictureList->style();
    for (int row = 0; row < pictureList->count(); ++row) {
        QListWidgetItem* item = pictureList->item(row);
        const QString path = item->data(Qt::UserRole).toString();
        const auto found = outcomes.constFind(path);
        if (found == outcomes.constEnd()) continue;
        const auto& [icon, text] = outcomeLook(*found);
        item->setIcon(style->standardIcon(icon));
        item->setToolTip(plainToolTip(path + QLatin1Char('\n') + text));
        item->setData(Qt::AccessibleTextRole, uiText("%1: %2").arg(item->text(), text));
    }
}

void MainDialogControls::showDestination(int destination) {
    if (destination < 0 || destination >= static_cast<int>(std::size(kDestinationTexts))) return;
    m_destination = destination;
    destinationDescription->setText(uiText(kDestinationTexts[destination].description));
    bestResultsLabel->setText(uiText(kDestinationTexts[destination].bestResults));
}

void MainDialogControls::showRecent(QComboBox* combo, const QStringList& newestFirst) {
    const QString typed = combo->currentText();
    const QSignalBlocker quiet(combo);
    combo->clear();
    combo->addItems(newestFirst);
    combo->setEditText(typed);
}

void MainDialogControls::addRecent(QComboBox* combo, const QString& path) {
    const QString typed = combo->currentText();
    const QSignalBlocker quiet(combo);
    if (combo->count() > 15) combo->removeItem(15);
    combo->insertItem(0, path);
    combo->setEditText(typed);
}
