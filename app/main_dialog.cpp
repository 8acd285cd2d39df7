#include "app/main_dialog.h"

#include "app/about_dialog.h"
#include "app/app_icon.h"
#include "app/batch_conversion.h"
#include "app/batch_progress_dialog.h"
#include "app/file_picker.h"
#include "app/preview_pane.h"
#include "app/settings.h"
#include "app/shell.h"
#include "app/string_table.h"
#include "engine/windows_1252.h"
#include "imagelib/text_exception.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <functional>
#include <iterator>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

constexpr int kImageNameLimit = static_cast<int>(kMaxImageNameLength);
#ifdef Q_OS_WIN
constexpr int kSystemMenuAbout = 16;  // the About item added to the system menu
#endif

// String-table numbers of the dialog.
enum : int {
    IDS_NO_OUTPUT_CHOSEN = 102,
    IDS_NO_SOURCE = 107,
    IDS_NO_OUTPUT_PATH = 108,
    IDS_CONVERSION_FAILED = 110,
    IDS_INSTALL_FAILED = 111,
    IDS_OVERWRITE_CAPTION = 116,
    IDS_SOURCE_FILTER = 121,
    IDS_OUTPUT_FILTER = 122,
    IDS_OVERWRITE_QUESTION = 123,
    IDS_ABOUT_MENU_ITEM = 124,
    IDS_DELETE_CAPTION = 150,
    IDS_DELETE_QUESTION = 151,
    IDS_DELETE_QUESTION_FILE = 152,
    IDS_NO_IMAGE_NAME = 160,
    IDS_IMAGE_NAME_TOO_LONG = 161,
    IDS_NOT_ASSOCIATED = 162,
    IDS_IMAGE_NAME_CHARACTER = 163,
    IDS_NO_OUTPUT_FOLDER = 170,
    IDS_NO_SUCH_FOLDER = 171,
    IDS_OVERWRITE_SOME_QUESTION = 172,
    IDS_SAME_DATABASE_NAME = 173,
    IDS_OUTPUT_FILE_TIP = 201,
    IDS_SET_FILE_TIP = 203,
    IDS_OUTPUT_FOLDER_TIP = 216,
    IDS_SET_FOLDER_TIP = 217,
};

// What the image name field shows while each picture names its own database.
const QString kNameFromFile = QStringLiteral("from each file's name");

struct DestinationText {
    const char* description;
    const char* bestResults;
};

constexpr DestinationText kDestinationTexts[] = {
    {"Creates an image compatible with PalmOS 3 and 4; in low resolution (160x110).",
     "(Best results with 160x110 pixel images)"},
    {"Creates an image compatible with PalmOS 5; in low resolution (160x110).",
     "(Best results with 160x110 pixel images)"},
    {"Creates an image compatible with PalmOS 5; in both low and double resolution (160x110 and 320x220).",
     "(Best results with 320x220 pixel images)"},
    {"Creates an image compatible with PalmOS 3, 4 and 5; in low resolution (160x110).",
     "(Best results with 160x110 pixel images)"},
};

bool isEnterKey(const QKeyEvent& event) {
    return (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) &&
           (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

// The local file a drag carries, or empty.
QString droppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const QFileInfo info(url.toLocalFile());
        if (info.isFile()) return QDir::toNativeSeparators(info.absoluteFilePath());
    }
    return {};
}

// The local files and folders a drag carries.
QStringList droppedPaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const QFileInfo info(url.toLocalFile());
        if (info.isFile() || info.isDir()) paths.append(QDir::toNativeSeparators(info.absoluteFilePath()));
    }
    return paths;
}

// The name patterns of the picker's "All supported formats" entry; a folder
// stands for the files that match them.
QStringList pictureNamePatterns() {
    const QStringList filters = convertFilterToQt(tableString(IDS_SOURCE_FILTER));
    if (filters.isEmpty()) return {};
    const QString first = filters.first();
    const qsizetype open = first.lastIndexOf(QLatin1Char('('));
    return first.mid(open + 1).chopped(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// A path as the engine's batch runner takes it: its names end at "/" on
// every system.
std::string enginePath(const QString& path) {
    return QFile::encodeName(QDir::fromNativeSeparators(path)).toStdString();
}

// Palm Desktop's install tool, under either of the names it has had; Windows
// compares file names without regard to case.
bool isInstallTool(const QString& program) {
    return program.endsWith(QLatin1String("quickinstall.exe"), Qt::CaseInsensitive) ||
           program.endsWith(QLatin1String("instapp.exe"), Qt::CaseInsensitive);
}

// The image name as the database stores it, in the handheld's character set;
// startConversion refuses names with characters it cannot hold.
std::string imageNameBytes(const QString& name) {
    return encodeWindows1252(name.toStdString()).bytes;
}

// Palm image databases are shown, never converted: the input stays for pictures.
bool isPalmDatabasePath(const QString& path) {
    return path.endsWith(QLatin1String(".pdb"), Qt::CaseInsensitive) && QFileInfo(path).isFile();
}

QLabel* makeLabel(const QString& text, const char* objectName, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(objectName));
    return label;
}

QPushButton* makeButton(const QString& text, const char* objectName, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(objectName));
    // No button is the default one: Enter presses only a focused button.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QComboBox* makePathCombo(const char* objectName, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(objectName));
    combo->setEditable(true);
    // The list holds only what the recent lists put there; typed text and the
    // Enter key do not add items, and nothing completes the typing.
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(36);
    return combo;
}

}  // namespace

CMainDialog::CMainDialog(CSettings& settings, CPrompter& prompter, CFilePicker& filePicker, CShell& shell,
                         QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_settings(settings),
      m_prompter(prompter),
      m_filePicker(filePicker),
      m_shell(shell),
      m_notifier(prompter),
      m_runner([](ConversionJob& job) { return job.run(); }) {
    buildControls();
    setWindowIcon(kestrinIcon());
    setAcceptDrops(true);

    m_directInstall = m_settings.directInstall;
    m_writeToFile = m_settings.writeToFile;
    m_sourcePath = m_settings.lastSourcePath;
    m_outputPath = m_settings.lastOutputPath;
    m_outputFolder = m_settings.lastOutputFolder;
    m_imageName = m_settings.imageName;
    m_conversion = m_settings.conversion;
    transferToControls();
    refreshOptionsText();
    (m_settings.conversion.reduction != ColourReduction::kRaw ? m_ditherRadio : m_rawRadio)->setChecked(true);
    m_fineQualityCheck->setChecked(m_settings.conversion.quality == PictureQuality::kFine);

    for (const QString& path : m_settings.recentSources.newestFirst()) m_inputCombo->addItem(path);
    for (const QString& path : m_settings.recentOutputs.newestFirst()) m_outputCombo->addItem(path);
    // Filling a list selects its first item; the fields keep their own texts.
    m_inputCombo->setEditText(m_sourcePath);
    m_outputCombo->setEditText(m_outputPath);
    refreshPreview();
}

CMainDialog::~CMainDialog() = default;

void CMainDialog::buildControls() {
    setObjectName(QStringLiteral("mainDialog"));
    setWindowTitle(QStringLiteral("Kestrin"));

    // Input
    auto* inputGroup = new QGroupBox(QStringLiteral("Input"), this);
    inputGroup->setObjectName(QStringLiteral("inputGroup"));
    auto* inputLabel = makeLabel(QStringLiteral("Input &file:"), "inputFileLabel", inputGroup);
    m_inputLabel = inputLabel;
    m_inputCombo = makePathCombo("inputFileCombo", inputGroup);
    inputLabel->setBuddy(m_inputCombo);
    m_pickButton = makeButton(QStringLiteral("Pic&k..."), "pickButton", inputGroup);
    m_bestResultsLabel = makeLabel(kDestinationTexts[0].bestResults, "bestResultsLabel", inputGroup);
    // In place of the input field while several pictures are chosen.
    m_pictureList = new QListWidget(inputGroup);
    m_pictureList->setObjectName(QStringLiteral("pictureList"));
    m_pictureList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pictureList->setFixedHeight(m_pictureList->fontMetrics().lineSpacing() * 4 + 8);
    m_pictureList->hide();
    m_removeButton = makeButton(QStringLiteral("&Remove"), "removePictureButton", inputGroup);
    m_removeButton->hide();
    m_clearButton = makeButton(QStringLiteral("Clear &all"), "clearPicturesButton", inputGroup);
    m_clearButton->hide();
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(m_removeButton);
    listButtons->addWidget(m_clearButton);
    listButtons->addStretch(1);
    auto* inputLayout = new QGridLayout(inputGroup);
    inputLayout->addWidget(inputLabel, 0, 0);
    inputLayout->addWidget(m_inputCombo, 0, 1);
    inputLayout->addWidget(m_pictureList, 0, 1);
    inputLayout->addWidget(m_pickButton, 0, 2, Qt::AlignTop);
    inputLayout->addLayout(listButtons, 1, 1);
    inputLayout->addWidget(m_bestResultsLabel, 2, 1, 1, 2);
    inputLayout->setColumnStretch(1, 1);

    // Image Properties
    auto* propertiesGroup = new QGroupBox(QStringLiteral("Image Properties"), this);
    propertiesGroup->setObjectName(QStringLiteral("imagePropertiesGroup"));
    auto* nameLabel = makeLabel(QStringLiteral("&Image name:"), "imageNameLabel", propertiesGroup);
    m_imageNameEdit = new QLineEdit(propertiesGroup);
    m_imageNameEdit->setObjectName(QStringLiteral("imageNameEdit"));
    m_imageNameEdit->setMaxLength(kImageNameLimit);
    nameLabel->setBuddy(m_imageNameEdit);
    auto* depthLabel = makeLabel(QStringLiteral("&Color depth:"), "colorDepthLabel", propertiesGroup);
    m_colourDepthCombo = new QComboBox(propertiesGroup);
    m_colourDepthCombo->setObjectName(QStringLiteral("colorDepthCombo"));
    // Already in sorted order, as the list keeps them.
    m_colourDepthCombo->addItems({QStringLiteral("1 bit (black & white)"),
                                  QStringLiteral("4 bit (16 shades of gray)"),
                                  QStringLiteral("8 bit (256 colors)")});
    depthLabel->setBuddy(m_colourDepthCombo);
    auto* destinationLabel =
        makeLabel(QStringLiteral("Destination &OS:"), "destinationOsLabel", propertiesGroup);
    m_destinationCombo = new QComboBox(propertiesGroup);
    m_destinationCombo->setObjectName(QStringLiteral("destinationOsCombo"));
    m_destinationCombo->addItems({QStringLiteral("PalmOS 3 or 4"), QStringLiteral("PalmOS 5 (low-res)"),
                                  QStringLiteral("PalmOS 5 (high-res)"),
                                  QStringLiteral("PalmOS 3/4/5 combined")});
    destinationLabel->setBuddy(m_destinationCombo);
    m_destinationDescription = makeLabel(QString(), "destinationDescriptionLabel", propertiesGroup);
    m_destinationDescription->setWordWrap(true);
    m_destinationDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Room for the longest description on two lines.
    m_destinationDescription->setMinimumHeight(2 * fontMetrics().lineSpacing() + 2);
    m_destinationDescription->setMinimumWidth(
        fontMetrics().horizontalAdvance(QString::fromLatin1(kDestinationTexts[2].description)) * 11 / 20);
    auto* propertiesLayout = new QGridLayout(propertiesGroup);
    propertiesLayout->addWidget(nameLabel, 0, 0);
    propertiesLayout->addWidget(m_imageNameEdit, 0, 1);
    propertiesLayout->addWidget(depthLabel, 1, 0);
    propertiesLayout->addWidget(m_colourDepthCombo, 1, 1);
    propertiesLayout->addWidget(destinationLabel, 2, 0);
    propertiesLayout->addWidget(m_destinationCombo, 2, 1);
    propertiesLayout->addWidget(m_destinationDescription, 3, 0, 1, 2);
    propertiesLayout->setColumnStretch(1, 1);
    propertiesLayout->setRowStretch(3, 1);

    // Color reduction method
    auto* reductionGroup = new QGroupBox(QStringLiteral("Color reduction method"), this);
    reductionGroup->setObjectName(QStringLiteral("colorReductionGroup"));
    m_rawRadio = new QRadioButton(QStringLiteral("Ra&w"), reductionGroup);
    m_rawRadio->setObjectName(QStringLiteral("rawRadio"));
    auto* rawSample = makeLabel(QString(), "rawSampleImage", reductionGroup);
    rawSample->setPixmap(rawSamplePixmap());
    rawSample->setFixedSize(42, 30);
    auto* rawNote = makeLabel(QStringLiteral("(recommended for graphics)"), "rawNoteLabel", reductionGroup);
    m_ditherRadio = new QRadioButton(QStringLiteral("Dit&hering"), reductionGroup);
    m_ditherRadio->setObjectName(QStringLiteral("ditheringRadio"));
    auto* ditherSample = makeLabel(QString(), "ditheringSampleImage", reductionGroup);
    ditherSample->setPixmap(ditherSamplePixmap());
    ditherSample->setFixedSize(42, 30);
    auto* ditherNote =
        makeLabel(QStringLiteral("(recommended for photos)"), "ditheringNoteLabel", reductionGroup);
    auto* reductionLayout = new QGridLayout(reductionGroup);
    reductionLayout->addWidget(m_rawRadio, 0, 0);
    reductionLayout->addWidget(rawSample, 0, 1);
    reductionLayout->addWidget(rawNote, 0, 2);
    reductionLayout->addWidget(m_ditherRadio, 1, 0);
    reductionLayout->addWidget(ditherSample, 1, 1);
    reductionLayout->addWidget(ditherNote, 1, 2);
    m_fineQualityCheck = new QCheckBox(QStringLiteral("Fine &quality (closer to the photo)"), reductionGroup);
    m_fineQualityCheck->setObjectName(QStringLiteral("fineQualityCheck"));
    m_fineQualityCheck->setToolTip(
        QStringLiteral("Scale and dither in linear light and match colours as the eye sees them"));
    reductionLayout->addWidget(m_fineQualityCheck, 2, 0, 1, 3);
    reductionLayout->setColumnStretch(2, 1);
    reductionLayout->setRowStretch(3, 1);
    reductionLayout->setHorizontalSpacing(10);

    // Output
    auto* outputGroup = new QGroupBox(QStringLiteral("Output"), this);
    outputGroup->setObjectName(QStringLiteral("outputGroup"));
    m_writeToFileCheck = new QCheckBox(QStringLiteral("W&rite to"), outputGroup);
    m_writeToFileCheck->setObjectName(QStringLiteral("writeToFileCheck"));
    auto* fileLabel = makeLabel(QStringLiteral("fi&le:"), "writeToFileLabel", outputGroup);
    m_outputLabel = fileLabel;
    m_outputCombo = makePathCombo("outputFileCombo", outputGroup);
    fileLabel->setBuddy(m_outputCombo);
    m_setButton = makeButton(QStringLiteral("&Set..."), "setButton", outputGroup);
    m_directInstallCheck =
        new QCheckBox(QStringLiteral("&Directly send to Palm Desktop's QuickInstall Tool"), outputGroup);
    m_directInstallCheck->setObjectName(QStringLiteral("directInstallCheck"));
    auto* outputLayout = new QGridLayout(outputGroup);
    auto* writeTo = new QHBoxLayout;
    writeTo->setSpacing(0);
    writeTo->addWidget(m_writeToFileCheck);
    writeTo->addWidget(fileLabel);
    outputLayout->addLayout(writeTo, 0, 0);
    outputLayout->addWidget(m_outputCombo, 0, 1);
    outputLayout->addWidget(m_setButton, 0, 2);
    outputLayout->addWidget(m_directInstallCheck, 1, 0, 1, 3);
    outputLayout->setColumnStretch(1, 1);

    // Commands
    m_startButton = makeButton(QStringLiteral("START CON&VERSION"), "startButton", this);
    QFont startFont = m_startButton->font();
    startFont.setBold(true);
    m_startButton->setFont(startFont);
    m_startButton->setMinimumHeight(44);
    m_optionsButton = makeButton(QString(), "optionsButton", this);
    m_optionsButton->setIcon(kestrinIcon());
    m_optionsButton->setIconSize(QSize(32, 32));
    m_optionsButton->setFixedSize(44, 44);
    // The button shows only the icon; its mnemonic "&0" stays as a shortcut.
    m_optionsButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_0));
    m_optionsButton->setAccessibleName(QStringLiteral("Options"));
    // Screen readers name a control by its label; these have none of their own.
    m_inputCombo->setAccessibleName(QStringLiteral("Input file"));
    m_inputCombo->lineEdit()->setAccessibleName(QStringLiteral("Input file"));
    m_outputCombo->setAccessibleName(QStringLiteral("Output file"));
    m_outputCombo->lineEdit()->setAccessibleName(QStringLiteral("Output file"));
    // The check box and its label "file:" read as one.
    m_writeToFileCheck->setAccessibleName(QStringLiteral("Write to file"));
    m_imageNameEdit->setAccessibleName(QStringLiteral("Image name"));
    m_colourDepthCombo->setAccessibleName(QStringLiteral("Color depth"));
    m_destinationCombo->setAccessibleName(QStringLiteral("Destination OS"));

    auto* middle = new QHBoxLayout;
    middle->addWidget(propertiesGroup, 1);
    middle->addWidget(reductionGroup, 0);
    auto* commands = new QHBoxLayout;
    commands->addWidget(m_startButton, 1);
    commands->addWidget(m_optionsButton);
    auto* form = new QVBoxLayout;
    form->addWidget(inputGroup);
    form->addLayout(middle);
    // The preview is the taller side; the output choices and START stay at the bottom.
    form->addStretch(1);
    form->addWidget(outputGroup);
    form->addLayout(commands);

    // Preview, beside the form
    auto* previewGroup = new QGroupBox(QStringLiteral("Preview"), this);
    previewGroup->setObjectName(QStringLiteral("previewGroup"));
    m_preview = new CPreviewPane(previewGroup);
    auto* previewLayout = new QVBoxLayout(previewGroup);
    previewLayout->addWidget(m_preview);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(form, 1);
    layout->addWidget(previewGroup, 0);
    // Wider windows show longer paths; taller ones would only stretch the groups.
    setFixedHeight(sizeHint().height());

    const std::pair<QWidget*, int> tooltips[] = {
        {m_inputCombo, 200},    {m_outputCombo, 201},      {m_pickButton, 202},         {m_setButton, 203},
        {m_imageNameEdit, 204}, {m_colourDepthCombo, 205}, {m_destinationCombo, 206},   {m_rawRadio, 207},
        {m_ditherRadio, 208},   {m_writeToFileCheck, 209}, {m_directInstallCheck, 210}, {m_startButton, 211},
        {m_optionsButton, 212},  {m_pictureList, 213},     {m_removeButton, 214},       {m_clearButton, 215},
    };
    for (const auto& [control, stringId] : tooltips) control->setToolTip(tableString(stringId));

    // The order of the controls, which Tab and Enter follow.
    const QList<QWidget*> order = {m_inputCombo,      m_pictureList,       m_pickButton,       m_removeButton,
                                   m_clearButton,     m_imageNameEdit,     m_colourDepthCombo, m_destinationCombo,
                                   m_rawRadio,        m_ditherRadio,       m_fineQualityCheck, m_writeToFileCheck,
                                   m_outputCombo,     m_setButton,         m_directInstallCheck, m_startButton,
                                   m_optionsButton};
    for (qsizetype i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);

    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);

    connect(m_startButton, &QPushButton::clicked, this, &CMainDialog::startConversion);
    connect(m_pickButton, &QPushButton::clicked, this, &CMainDialog::pickSourceFile);
    connect(m_setButton, &QPushButton::clicked, this, &CMainDialog::pickOutputFile);
    connect(m_writeToFileCheck, &QCheckBox::clicked, this, &CMainDialog::refreshOptionsText);
    connect(m_directInstallCheck, &QCheckBox::clicked, this, &CMainDialog::refreshOptionsText);
    connect(m_destinationCombo, &QComboBox::activated, this, &CMainDialog::refreshOptionsText);
    connect(m_optionsButton, &QPushButton::clicked, this,
            [this] { showOptionsMenu(m_optionsButton->mapToGlobal(QPoint(m_optionsButton->width(), 0))); });

    connect(m_removeButton, &QPushButton::clicked, this, &CMainDialog::removeSelectedPictures);
    connect(m_clearButton, &QPushButton::clicked, this, &CMainDialog::clearPictures);
    connect(m_pictureList, &QListWidget::currentRowChanged, this, &CMainDialog::refreshPreview);
    connect(m_inputCombo, &QComboBox::editTextChanged, this, &CMainDialog::refreshPreview);
    connect(m_colourDepthCombo, &QComboBox::currentIndexChanged, this, &CMainDialog::refreshPreview);
    connect(m_destinationCombo, &QComboBox::currentIndexChanged, this, &CMainDialog::refreshPreview);
    connect(m_ditherRadio, &QRadioButton::toggled, this, &CMainDialog::refreshPreview);
    connect(m_fineQualityCheck, &QCheckBox::toggled, this, &CMainDialog::refreshPreview);
}

void CMainDialog::transferToControls() {
    m_inputCombo->setEditText(m_sourcePath);
    m_outputCombo->setEditText(isBatch() ? m_outputFolder : m_outputPath);
    m_directInstallCheck->setChecked(m_directInstall != 0);
    m_writeToFileCheck->setChecked(m_writeToFile != 0);
    // A stored name longer than the typing limit is shown in full; the
    // conversion refuses it until it is shortened.
    m_imageNameEdit->setMaxLength(std::max<int>(kImageNameLimit, static_cast<int>(m_imageName.size())));
    m_imageNameEdit->setText(isBatch() ? kNameFromFile : m_imageName);
    const auto select = [](QComboBox* combo, int index) {
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    };
    select(m_colourDepthCombo, m_conversion.depthListPosition());
    select(m_destinationCombo, m_conversion.destination);
}

void CMainDialog::transferFromControls() {
    if (isBatch()) {
        m_outputFolder = m_outputCombo->currentText();
    } else {
        m_outputPath = m_outputCombo->currentText();
        m_sourcePath = m_inputCombo->currentText();
        m_imageName = m_imageNameEdit->text();
    }
    m_directInstall = m_directInstallCheck->isChecked() ? 1 : 0;
    m_writeToFile = m_writeToFileCheck->isChecked() ? 1 : 0;
    m_conversion.chooseDepthByListPosition(m_colourDepthCombo->currentIndex());
    m_conversion.destination = static_cast<DestinationOs>(m_destinationCombo->currentIndex());
}

void CMainDialog::refreshOptionsText() {
    transferFromControls();
    const int destination = m_conversion.destination;
    if (destination >= 0 && destination < static_cast<int>(std::size(kDestinationTexts))) {
        const DestinationText& texts = kDestinationTexts[destination];
        m_destinationDescription->setText(QString::fromLatin1(texts.description));
        m_bestResultsLabel->setText(QString::fromLatin1(texts.bestResults));
    }
    m_outputCombo->setEnabled(m_writeToFile != 0);
    m_setButton->setEnabled(m_writeToFile != 0);
}

void CMainDialog::showMessage(int stringId, const QString& argument) {
    PromptRequest request;
    request.owner = this;
    request.caption = tableString(IDS_PROGRAM_NAME);
    request.text = argument.isEmpty() ? tableString(stringId) : tableString(stringId, argument);
    request.icon = MessageIcon::Warning;
    m_prompter.prompt(request);
}

void CMainDialog::pickSourceFile() {
    const auto picked = m_filePicker.pickSources(this, convertFilterToQt(tableString(IDS_SOURCE_FILTER)));
    if (!picked || picked->isEmpty()) return;
    if (picked->size() > 1 || isBatch()) {
        openPictures(*picked);
        return;
    }
    const QString chosen = picked->first();
    if (isPalmDatabasePath(chosen)) {
        m_preview->showDatabase(chosen);
        return;
    }
    transferFromControls();
    m_sourcePath = chosen;
    transferToControls();
}

void CMainDialog::pickOutputFile() {
    transferFromControls();
    if (isBatch()) {
        const auto folder = m_filePicker.pickFolder(this, m_outputFolder);
        if (!folder) return;
        m_outputFolder = *folder;
        transferToControls();
        return;
    }
    const auto chosen = m_filePicker.pickOutput(this, defaultOutputName(m_sourcePath), QStringLiteral("pdb"),
                                                convertFilterToQt(tableString(IDS_OUTPUT_FILTER)));
    if (!chosen) return;
    m_outputPath = *chosen;
    transferToControls();
}

void CMainDialog::startConversion() {
    if (isBatch()) {
        startBatchConversion();
        return;
    }
    transferFromControls();
    int problem = 0;
    if (m_writeToFile == 0 && m_directInstall == 0) {
        problem = IDS_NO_OUTPUT_CHOSEN;
    } else if (m_sourcePath.isEmpty()) {
        problem = IDS_NO_SOURCE;
    } else if (m_writeToFile != 0 && m_outputPath.isEmpty()) {
        problem = IDS_NO_OUTPUT_PATH;
    } else if (m_imageName.isEmpty()) {
        problem = IDS_NO_IMAGE_NAME;
    } else if (const auto refused = encodeWindows1252(m_imageName.toStdString()).firstRefused) {
        showMessage(IDS_IMAGE_NAME_CHARACTER, QString::fromStdString(utf8Character(*refused)));
        return;
    } else if (imageNameBytes(m_imageName).size() > kImageNameLimit) {
        problem = IDS_IMAGE_NAME_TOO_LONG;
    }
    if (problem != 0) {
        showMessage(problem);
        return;
    }

    // Recorded before converting and whatever the outcome; the output path is
    // offered even when no file is written.
    addRecent(m_settings.recentSources, m_inputCombo, m_sourcePath);
    addRecent(m_settings.recentOutputs, m_outputCombo, m_outputPath);

    if (m_writeToFile != 0 && !convertToFile()) showMessage(IDS_CONVERSION_FAILED);
    if (m_directInstall != 0 && !installDirect()) showMessage(IDS_INSTALL_FAILED);
}

void CMainDialog::addRecent(RecentList& list, QComboBox* combo, const QString& path) {
    if (!list.add(path)) return;
    const QString typed = combo->currentText();
    const QSignalBlocker quiet(combo);
    if (combo->count() > 15) combo->removeItem(15);
    combo->insertItem(0, path);
    combo->setEditText(typed);
}

ColourReduction CMainDialog::chosenReduction() const {
    return m_ditherRadio->isChecked() ? ColourReduction::kDithering : ColourReduction::kRaw;
}

PictureQuality CMainDialog::chosenQuality() const {
    if (m_fineQualityCheck->isChecked()) return PictureQuality::kFine;
    return m_conversion.quality == PictureQuality::kFine ? PictureQuality::kClassic : m_conversion.quality;
}

ConversionSettings CMainDialog::chosenSettings() const {
    ConversionSettings settings = m_conversion;
    settings.reduction = chosenReduction();
    settings.quality = chosenQuality();
    return settings;
}

void CMainDialog::fillJob(const QString& outputPath) {
    m_job.inputPath = QFile::encodeName(m_sourcePath).toStdString();
    m_job.settings = chosenSettings();
    m_job.imageName = imageNameBytes(m_imageName);
    m_job.outputPath = QFile::encodeName(outputPath).toStdString();
}

bool CMainDialog::runJob() {
    m_job.notifier = &m_notifier;
    m_job.progress = &m_progress;
    bool written = false;
    // A failure the run does not report itself (a write error of the file
    // layer) still ends in a message instead of ending the program.
    try {
        written = m_runner(m_job);
    } catch (const CTextException& error) {
        m_notifier.showMessage(error.GetMessage(), MessageIcon::Error);
    } catch (const std::exception& error) {
        m_notifier.showMessage(error.what(), MessageIcon::Error);
    }
    m_progress.close();
    return written;
}

bool CMainDialog::convertToFile() {
    fillJob(m_outputPath);
    const QFileInfo existing(m_outputPath);
    if (existing.exists() || existing.isSymLink()) {
        PromptRequest request;
        request.owner = this;
        request.caption = tableString(IDS_OVERWRITE_CAPTION);
        request.text = tableString(IDS_OVERWRITE_QUESTION, m_outputPath);
        request.icon = MessageIcon::Question;
        request.buttons = PromptButtons::YesNo;
        request.defaultAnswer = PromptAnswer::No;
        if (m_prompter.prompt(request) != PromptAnswer::Yes) return true;
    }
    return runJob();
}

bool CMainDialog::installDirect() {
    const QString folder = m_shell.temporaryFolder();
    if (folder.isEmpty()) return false;
    const QString path = folder + QLatin1String(kTemporaryDatabaseName);
    fillJob(path);
    // Whatever is at the fixed name goes first, so the run creates a new file
    // and never writes through a link or a second name of another file.
    const QFileInfo existing(path);
    if (existing.isSymLink() || existing.isFile()) QFile::remove(path);
    if (!runJob()) return false;
    return handOver(path, folder);
}

bool CMainDialog::handOver(const QString& path, const QString& folder) {
    if (!m_settings.installer.isEmpty()) return m_shell.startProgram(m_settings.installer, path, folder);
    const std::vector<DocumentHandler> handlers = m_shell.findHandlers(path, folder);
    if (handlers.empty()) return false;
    // Linux desktops offer every program registered for the type, not one;
    // the install tool is the first that passes the name test.
    for (const DocumentHandler& handler : handlers) {
        if (isInstallTool(handler.program)) {
            m_shell.openDocument(handler, path, folder);
            return true;
        }
    }
    showMessage(IDS_NOT_ASSOCIATED);
    return false;
}

std::unique_ptr<QMenu> CMainDialog::createOptionsMenu() {
    auto menu = std::make_unique<QMenu>(this);
    menu->setObjectName(QStringLiteral("optionsMenu"));
    const auto addCommand = [](QMenu* target, const QString& text, int command, const char* objectName) {
        QAction* action = target->addAction(text);
        action->setData(command);
        action->setObjectName(QLatin1String(objectName));
        return action;
    };

    QMenu* compressionMenu = menu->addMenu(QStringLiteral("&Compression"));
    compressionMenu->setObjectName(QStringLiteral("compressionMenu"));
    auto* marks = new QActionGroup(compressionMenu);
    const struct {
        const char* text;
        int command;
        CompressionMode value;
        const char* objectName;
    } choices[] = {
        {"&None", ID_COMPRESSION_NONE, kCompressionNone, "compressionNoneAction"},
        {"&Scanline", ID_COMPRESSION_SCANLINE, kCompressionScanline, "compressionScanlineAction"},
        {"&Most efficient", ID_COMPRESSION_MOST_EFFICIENT, kCompressionMostEfficient,
         "compressionMostEfficientAction"},
    };
    for (const auto& choice : choices) {
        QAction* action =
            addCommand(compressionMenu, QString::fromLatin1(choice.text), choice.command, choice.objectName);
        action->setCheckable(true);
        action->setActionGroup(marks);
        action->setChecked(m_conversion.compression == choice.value);
    }
    QAction* upright = addCommand(menu.get(), QStringLiteral("Turn photos upright"), ID_TURN_UPRIGHT,
                                  "turnPhotosUprightAction");
    upright->setCheckable(true);
    upright->setChecked(m_conversion.autoOrient);
    QAction* profiles = addCommand(menu.get(), QStringLiteral("Use colour profiles"), ID_USE_COLOUR_PROFILES,
                                   "useColourProfilesAction");
    profiles->setCheckable(true);
    profiles->setChecked(m_conversion.colorManage);

    QMenu* shapeMenu = menu->addMenu(QStringLiteral("Picture shape"));
    shapeMenu->setObjectName(QStringLiteral("pictureShapeMenu"));
    auto* shapeMarks = new QActionGroup(shapeMenu);
    const struct {
        const char* text;
        int command;
        PictureFit value;
        const char* objectName;
    } shapes[] = {
        {"Stretch to fill", ID_FIT_STRETCH, PictureFit::Stretch, "fitStretchAction"},
        {"Fit inside with borders", ID_FIT_PAD, PictureFit::Pad, "fitPadAction"},
        {"Crop to fill", ID_FIT_CROP, PictureFit::Crop, "fitCropAction"},
    };
    for (const auto& shape : shapes) {
        QAction* action = addCommand(shapeMenu, QString::fromLatin1(shape.text), shape.command, shape.objectName);
        action->setCheckable(true);
        action->setActionGroup(shapeMarks);
        action->setChecked(m_conversion.fit == shape.value);
    }
    // Checked while a program of the user's own replaces the desktop's
    // association; choosing it then goes back to the association.
    QAction* installWith =
        addCommand(menu.get(), QStringLiteral("&Install with..."), ID_INSTALL_WITH, "installWithAction");
    installWith->setCheckable(true);
    installWith->setChecked(!m_settings.installer.isEmpty());
    if (!m_settings.installer.isEmpty()) installWith->setToolTip(m_settings.installer);
    addCommand(menu.get(), QStringLiteral("Delete Settings"), ID_DELETE_SETTINGS, "deleteSettingsAction");
    addCommand(menu.get(), QStringLiteral("&About Kestrin"), ID_ABOUT, "aboutAction");
    menu->addSeparator();
    addCommand(menu.get(), QStringLiteral("E&xit\tEsc"), ID_EXIT, "exitAction");
    return menu;
}

void CMainDialog::showOptionsMenu(const QPoint& globalPosition) {
    int command = 0;
    {
        const std::unique_ptr<QMenu> menu = createOptionsMenu();
        if (const QAction* chosen = menu->exec(globalPosition)) command = chosen->data().toInt();
    }
    if (command != 0) handleCommand(command);
}

void CMainDialog::handleCommand(int command) {
    switch (command) {
        case ID_COMPRESSION_NONE:
            m_conversion.compression = kCompressionNone;
            refreshPreview();
            break;
        case ID_COMPRESSION_SCANLINE:
            m_conversion.compression = kCompressionScanline;
            refreshPreview();
            break;
        case ID_COMPRESSION_MOST_EFFICIENT:
            m_conversion.compression = kCompressionMostEfficient;
            refreshPreview();
            break;
        case ID_TURN_UPRIGHT:
            m_conversion.autoOrient = !m_conversion.autoOrient;
            refreshPreview();
            break;
        case ID_USE_COLOUR_PROFILES:
            m_conversion.colorManage = !m_conversion.colorManage;
            refreshPreview();
            break;
        case ID_FIT_STRETCH:
            m_conversion.fit = PictureFit::Stretch;
            refreshPreview();
            break;
        case ID_FIT_PAD:
            m_conversion.fit = PictureFit::Pad;
            refreshPreview();
            break;
        case ID_FIT_CROP:
            m_conversion.fit = PictureFit::Crop;
            refreshPreview();
            break;
        case ID_DELETE_SETTINGS:
            deleteSettings();
            break;
        case ID_INSTALL_WITH:
            chooseInstaller();
            break;
        case ID_ABOUT:
            showAboutBox();
            break;
        case ID_EXIT:
            reject();
            break;
        default:
            break;
    }
}

void CMainDialog::deleteSettings() {
    PromptRequest request;
    request.owner = this;
    request.caption = tableString(IDS_DELETE_CAPTION);
#ifdef Q_OS_WIN
    request.text = tableString(IDS_DELETE_QUESTION);
#else
    // Elsewhere there is no registry: the question names the settings file.
    request.text = tableString(IDS_DELETE_QUESTION_FILE, m_settings.location());
#endif
    request.icon = MessageIcon::Question;
    request.buttons = PromptButtons::YesNo;
    request.defaultAnswer = PromptAnswer::Yes;
    if (m_prompter.prompt(request) != PromptAnswer::Yes) return;
    m_settings.deleteStored();
}

void CMainDialog::chooseInstaller() {
    if (!m_settings.installer.isEmpty()) {
        m_settings.installer.clear();
        return;
    }
    if (const auto program = m_filePicker.pickSource(this, {QStringLiteral("Programs and scripts (*)")}))
        m_settings.installer = *program;
}

void CMainDialog::showAboutBox() {
    CAboutDialog about(this);
    about.exec();
}

void CMainDialog::closingSteps() {
    transferFromControls();
    m_settings.writeToFile = m_writeToFile;
    m_settings.directInstall = m_directInstall;
    m_settings.conversion = m_conversion;
    m_settings.conversion.reduction = chosenReduction();
    m_settings.conversion.quality = chosenQuality();
    m_settings.lastSourcePath = m_sourcePath;
    m_settings.lastOutputPath = m_outputPath;
    m_settings.imageName = m_imageName;
    m_settings.lastOutputFolder = m_outputFolder;
    const QString folder = m_shell.temporaryFolder();
    if (!folder.isEmpty()) QFile::remove(folder + QLatin1String(kTemporaryDatabaseName));
    for (const QString& database : m_temporaryDatabases) QFile::remove(database);
}

void CMainDialog::done(int result) {
    if (!m_closed) {
        m_closed = true;
        closingSteps();
    }
    QDialog::done(result);
}

void CMainDialog::keyPressEvent(QKeyEvent* event) {
    if (isEnterKey(*event)) {
        pressEnter(focusWidget());
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CMainDialog::pressEnter(QObject* target) {
    // Under the dialog manager the focused push button is the default
    // button, so Enter presses it; on any other control Enter is the
    // dialog's OK command, which moves on to the next control.
    auto* button = qobject_cast<QPushButton*>(target);
    if (button != nullptr && button->isEnabled()) {
        button->click();
        return;
    }
    focusNextChild();
}

bool CMainDialog::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
            if (watched == m_pictureList && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
                removeSelectedPictures();
                return true;
            }
            // Controls such as the editable combo boxes keep Enter for
            // themselves; in this dialog it is the dialog's. An open
            // drop-down list is the exception: Enter picks its entry.
            if (isEnterKey(*static_cast<QKeyEvent*>(event)) && QApplication::activePopupWidget() == nullptr) {
                pressEnter(watched);
                return true;
            }
            break;
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            if (handleFileDrop(static_cast<QDropEvent*>(event))) return true;
            break;
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

void CMainDialog::contextMenuEvent(QContextMenuEvent* event) {
    showOptionsMenu(event->globalPos());
}

bool CMainDialog::handleFileDrop(QDropEvent* event) {
    const QStringList paths = droppedPaths(event->mimeData());
    const QString file = droppedFile(event->mimeData());
    if (paths.isEmpty()) return false;
    if (event->type() == QEvent::Drop) {
        // One file alone is taken as it always was.
        if (paths.size() == 1 && !file.isEmpty() && !isBatch())
            openPicture(file);
        else
            openPictures(paths);
    }
    event->acceptProposedAction();
    return true;
}

void CMainDialog::dragEnterEvent(QDragEnterEvent* event) {
    handleFileDrop(event);
}

void CMainDialog::dragMoveEvent(QDragMoveEvent* event) {
    handleFileDrop(event);
}

void CMainDialog::dropEvent(QDropEvent* event) {
    handleFileDrop(event);
}

void CMainDialog::openPicture(const QString& path) {
    if (isPalmDatabasePath(path))
        m_preview->showDatabase(path);
    else
        m_inputCombo->setEditText(path);
}

void CMainDialog::refreshPreview() {
    // What fillJob would hand a conversion run started now.
    ConversionSettings settings = chosenSettings();
    settings.chooseDepthByListPosition(m_colourDepthCombo->currentIndex());
    settings.destination = static_cast<DestinationOs>(m_destinationCombo->currentIndex());
    if (isBatch()) {
        // The selected picture of the list, named as its conversion names it.
        const int row = std::max(0, m_pictureList->currentRow());
        const QString path = m_pictures.value(row);
        m_preview->showConversion(path, settings, defaultBatchImageName(enginePath(path)));
        return;
    }
    m_preview->showConversion(m_inputCombo->currentText(), settings, imageNameBytes(m_imageNameEdit->text()));
}

void CMainDialog::openPictures(const QStringList& paths) {
    if (paths.size() == 1 && QFileInfo(paths.first()).isFile() && !isBatch()) {
        openPicture(paths.first());
        return;
    }
    QStringList found;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            const QDir folder(path);
            for (const QString& name : folder.entryList(pictureNamePatterns(), QDir::Files | QDir::Readable,
                                                        QDir::Name | QDir::IgnoreCase))
                found.append(QDir::toNativeSeparators(folder.absoluteFilePath(name)));
        } else if (!isPalmDatabasePath(path)) {
            // Named on the command line or dropped, a file that is not there
            // still joins: its conversion says what is wrong with it.
            found.append(QDir::toNativeSeparators(info.absoluteFilePath()));
        }
    }
    if (!isBatch() && found.size() == 1) {
        openPicture(found.first());
        return;
    }
    if (found.isEmpty()) return;
    transferFromControls();
    const bool wasBatch = isBatch();
    for (const QString& path : found) {
        if (!m_pictures.contains(path)) m_pictures.append(path);
    }
    if (!wasBatch && m_pictures.size() == 1) {
        // A folder with one picture, or the same file twice.
        const QString only = m_pictures.takeFirst();
        openPicture(only);
        return;
    }
    applyPictureMode();
}

void CMainDialog::removeSelectedPictures() {
    transferFromControls();
    QList<int> rows;
    for (const QListWidgetItem* item : m_pictureList->selectedItems()) rows.append(m_pictureList->row(item));
    if (rows.isEmpty() && m_pictureList->currentRow() >= 0) rows.append(m_pictureList->currentRow());
    std::sort(rows.begin(), rows.end(), std::greater<>());
    for (const int row : rows) m_pictures.removeAt(row);
    if (m_pictures.size() == 1) {
        // One picture left: the window as it is for one picture, holding it.
        m_sourcePath = m_pictures.takeFirst();
    }
    applyPictureMode();
}

void CMainDialog::clearPictures() {
    transferFromControls();
    m_pictures.clear();
    m_sourcePath.clear();
    applyPictureMode();
}

void CMainDialog::applyPictureMode() {
    const bool batch = isBatch();
    const int keptRow = m_pictureList->currentRow();
    {
        const QSignalBlocker quiet(m_pictureList);
        m_pictureList->clear();
        for (const QString& path : m_pictures) {
            auto* item = new QListWidgetItem(QFileInfo(path).fileName(), m_pictureList);
            item->setToolTip(path);
        }
        m_pictureList->setCurrentRow(std::clamp(keptRow, 0, std::max(0, static_cast<int>(m_pictures.size()) - 1)));
    }
    m_pictureList->setAccessibleName(QStringLiteral("Input files: %1 pictures").arg(m_pictures.size()));
    const bool listHadFocus = m_pictureList->hasFocus() || m_removeButton->hasFocus() || m_clearButton->hasFocus();
    m_inputCombo->setVisible(!batch);
    m_pictureList->setVisible(batch);
    m_removeButton->setVisible(batch);
    m_clearButton->setVisible(batch);
    m_inputLabel->setText(batch ? QStringLiteral("Input &files:") : QStringLiteral("Input &file:"));
    m_inputLabel->setBuddy(batch ? static_cast<QWidget*>(m_pictureList) : m_inputCombo);
    m_outputLabel->setText(batch ? QStringLiteral("fo&lder:") : QStringLiteral("fi&le:"));
    const QString outputName = batch ? QStringLiteral("Output folder") : QStringLiteral("Output file");
    m_outputCombo->setAccessibleName(outputName);
    m_outputCombo->lineEdit()->setAccessibleName(outputName);
    m_writeToFileCheck->setAccessibleName(batch ? QStringLiteral("Write to folder") : QStringLiteral("Write to file"));
    m_outputCombo->setToolTip(tableString(batch ? IDS_OUTPUT_FOLDER_TIP : IDS_OUTPUT_FILE_TIP));
    m_setButton->setToolTip(tableString(batch ? IDS_SET_FOLDER_TIP : IDS_SET_FILE_TIP));
    m_imageNameEdit->setEnabled(!batch);
    fillOutputCombo();
    transferToControls();
    if (listHadFocus && !batch) m_inputCombo->setFocus();
    // The list is taller than the field it replaces.
    layout()->activate();
    setFixedHeight(sizeHint().height());
    refreshPreview();
}

void CMainDialog::fillOutputCombo() {
    const QSignalBlocker quiet(m_outputCombo);
    m_outputCombo->clear();
    const RecentList& recent = isBatch() ? m_settings.recentFolders : m_settings.recentOutputs;
    for (const QString& path : recent.newestFirst()) m_outputCombo->addItem(path);
}

void CMainDialog::startBatchConversion() {
    transferFromControls();
    if (m_writeToFile == 0 && m_directInstall == 0) {
        showMessage(IDS_NO_OUTPUT_CHOSEN);
        return;
    }
    QString folder;
    if (m_writeToFile != 0) {
        if (m_outputFolder.isEmpty()) {
            showMessage(IDS_NO_OUTPUT_FOLDER);
            return;
        }
        if (!QFileInfo(m_outputFolder).isDir()) {
            showMessage(IDS_NO_SUCH_FOLDER, m_outputFolder);
            return;
        }
        folder = m_outputFolder;
        addRecent(m_settings.recentFolders, m_outputCombo, m_outputFolder);
    } else {
        // Only Directly send: the databases wait in the temporary folder.
        folder = m_shell.temporaryFolder();
        if (folder.isEmpty()) {
            showMessage(IDS_INSTALL_FAILED);
            return;
        }
    }

    std::vector<Conversion> plan;
    QStringList existing;
    std::vector<Conversion> existingPlan;
    QStringList failures;
    QStringList outputs;
    for (const QString& picture : m_pictures) {
        Conversion conversion =
            conversionIntoFolder(enginePath(picture), enginePath(folder));
        const QString output = QFile::decodeName(conversion.output.c_str());
        // "photo.jpg" and "photo.png" would both make photo.pdb: the first
        // picture keeps the name, the others are not converted.
        if (outputs.contains(output)) {
            failures.append(QFileInfo(picture).fileName() + QLatin1String(": ") +
                            tableString(IDS_SAME_DATABASE_NAME, QFileInfo(output).fileName()));
            continue;
        }
        outputs.append(output);
        const QFileInfo there(output);
        if (m_writeToFile == 0) {
            // As for one picture: whatever is at the name goes first.
            if (there.isSymLink() || there.isFile()) QFile::remove(output);
            m_temporaryDatabases.append(output);
        } else if (there.exists() || there.isSymLink()) {
            existing.append(there.fileName());
            existingPlan.push_back(conversion);
            continue;
        }
        plan.push_back(conversion);
    }
    QStringList skipped;
    if (!existing.isEmpty()) {
        PromptRequest request;
        request.owner = this;
        request.caption = tableString(IDS_OVERWRITE_CAPTION);
        request.text = tableString(IDS_OVERWRITE_SOME_QUESTION, existing.join(QLatin1Char('\n')));
        request.icon = MessageIcon::Question;
        request.buttons = PromptButtons::OverwriteSkipCancel;
        request.defaultAnswer = PromptAnswer::No;
        const PromptAnswer answer = m_prompter.prompt(request);
        if (answer == PromptAnswer::Cancel) return;
        if (answer == PromptAnswer::Yes) {
            plan.insert(plan.end(), existingPlan.begin(), existingPlan.end());
            // The list's order, so the summary reads as the list does.
            std::stable_sort(plan.begin(), plan.end(), [this](const Conversion& a, const Conversion& b) {
                return m_pictures.indexOf(QFile::decodeName(a.input.c_str())) <
                       m_pictures.indexOf(QFile::decodeName(b.input.c_str()));
            });
        } else {
            for (const Conversion& conversion : existingPlan)
                skipped.append(QFileInfo(QFile::decodeName(conversion.input.c_str())).fileName());
        }
    }

    CBatchConversion batch(plan, chosenSettings());
    CBatchProgressDialog progress(static_cast<int>(plan.size()), this);
    int done = 0;
    connect(&batch, &CBatchConversion::pictureStarted, &progress, [&](int index) {
        progress.showCurrent(QFileInfo(QFile::decodeName(plan[static_cast<std::size_t>(index)].input.c_str())).fileName());
    });
    connect(&batch, &CBatchConversion::pictureDone, &progress, [&](int) { progress.showDone(++done); });
    connect(&progress, &CBatchProgressDialog::cancelRequested, &batch, &CBatchConversion::cancel);
    QEventLoop waiting;
    connect(&batch, &CBatchConversion::finished, &waiting, &QEventLoop::quit);
    progress.show();
    batch.start(m_batchJobs);
    if (!batch.isFinished()) waiting.exec();
    progress.hide();

    QStringList converted;
    QStringList incomplete;
    int notStarted = 0;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const QString input = QFile::decodeName(plan[i].input.c_str());
        switch (batch.outcome(i)) {
            case CBatchConversion::Outcome::Converted:
                converted.append(QFile::decodeName(plan[i].output.c_str()));
                if (!batch.warning(i).empty())
                    incomplete.append(QFileInfo(input).fileName() + QLatin1String(": ") +
                                      QString::fromStdString(batch.warning(i)));
                break;
            case CBatchConversion::Outcome::Failed: {
                const std::string& reason = batch.reason(i);
                failures.append(QFileInfo(input).fileName() + QLatin1String(": ") +
                                (reason.empty() ? tableString(IDS_CONVERSION_FAILED) : QString::fromStdString(reason)));
                break;
            }
            case CBatchConversion::Outcome::NotStarted:
                ++notStarted;
                break;
        }
    }

    QString summary = QStringLiteral("Converted: %1 of %2 pictures.").arg(converted.size()).arg(m_pictures.size());
    if (!incomplete.isEmpty())
        summary += QStringLiteral("\nConverted, but incomplete: %1.\n").arg(incomplete.size()) +
                   incomplete.join(QLatin1Char('\n'));
    if (!skipped.isEmpty())
        summary += QStringLiteral("\nSkipped, their databases already exist: %1.").arg(skipped.join(QLatin1String(", ")));
    if (notStarted > 0) summary += QStringLiteral("\nNot converted, as the conversion was cancelled: %1.").arg(notStarted);
    if (!failures.isEmpty())
        summary += QStringLiteral("\nFailed: %1.\n\n").arg(failures.size()) + failures.join(QLatin1Char('\n'));
    PromptRequest request;
    request.owner = this;
    request.caption = QStringLiteral("Conversion finished");
    request.text = summary;
    request.icon = failures.isEmpty() && incomplete.isEmpty() ? MessageIcon::Information : MessageIcon::Warning;
    m_prompter.prompt(request);

    if (m_directInstall != 0) {
        for (const QString& database : converted) {
            if (!handOver(database, QFileInfo(database).absolutePath() + QLatin1Char('/'))) {
                showMessage(IDS_INSTALL_FAILED);
                break;
            }
        }
    }
}

#ifdef Q_OS_WIN
void CMainDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_systemMenuExtended) return;
    m_systemMenuExtended = true;
    const char* aboutItem = applicationString(IDS_ABOUT_MENU_ITEM);
    HMENU systemMenu = GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE);
    if (systemMenu != nullptr && aboutItem[0] != '\0') {
        AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(systemMenu, MF_STRING, kSystemMenuAbout, aboutItem);
    }
}

bool CMainDialog::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    const auto* msg = static_cast<const MSG*>(message);
    // The low four bits of a system command are the system's own.
    if (msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == kSystemMenuAbout) {
        showAboutBox();
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}
#endif
