#include "app/main_dialog.h"

#include "app/about_dialog.h"
#include "app/app_icon.h"
#include "app/file_manager.h"
#include "app/file_names.h"
#include "app/file_picker.h"
#include "app/frame_editor.h"
#include "app/list_conversion.h"
#include "app/picture_paths.h"
#include "app/preview_pane.h"
#include "app/settings.h"
#include "app/shell.h"
#include "app/status_line.h"
#include "app/string_table.h"
#include "app/system_menu.h"
#include "app/ui_text.h"
#include "app/window_size.h"
#include "engine/output_replacement.h"
#include "engine/windows_1252.h"
#include "imagelib/text_exception.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>

#include <algorithm>
#include <exception>
#include <functional>

namespace {

constexpr int kImageNameLimit = static_cast<int>(kMaxImageNameLength);
#ifdef Q_OS_WIN
constexpr int kSystemMenuAbout = 16;  // the About item added to the system menu
#endif

constexpr const char* kNoInstallToolText = QT_TRANSLATE_NOOP(
    "Kestrin",
    "No install tool for Palm databases was found on this computer. Choose the program that installs "
    "databases with \"Install with...\" in the options menu, or write the database to a file.");

constexpr const char* kNoFolderProgramText = QT_TRANSLATE_NOOP(
    "Kestrin", "No program to show folders was found on this computer. The file is in the folder %1.");

bool isEnterKey(const QKeyEvent& event) {
    return (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) &&
           (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

// The image name as the database stores it, in the handheld's character set;
// startConversion refuses names with characters it cannot hold.
std::string imageNameBytes(const QString& name) {
    return encodeWindows1252(name.toStdString()).bytes;
}

}  // namespace

CMainDialog::CMainDialog(CSettings& settings, CPrompter& prompter, CFilePicker& filePicker, CShell& shell,
                         QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_settings(settings),
      m_prompter(prompter),
      m_filePicker(filePicker),
      m_shell(shell),
      m_notifier(prompter),
      m_runner([](ConversionJob& job) { return job.run(); }) {
    m_ui.setupUi(this);
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
    connectControls();
    setWindowIcon(kestrinIcon());
    setAcceptDrops(true);

    m_directInstall = m_settings.directInstall;
    m_writeToFile = m_settings.writeToFile;
    m_sourcePath = m_settings.lastSourcePath;
    m_outputPath = m_settings.lastOutputPath;
    m_outputFolder = m_settings.lastOutputFolder;
    m_imageName = m_settings.imageName;
    m_conversion = m_settings.conversion;
    m_naming = {m_sourcePath, m_outputPath, m_imageName};
    transferToControls();
    refreshOptionsText();
    (m_settings.conversion.reduction != ColorReduction::kRaw ? m_ui.ditherRadio : m_ui.rawRadio)
        ->setChecked(true);
    m_ui.fineQualityCheck->setChecked(m_settings.conversion.quality == PictureQuality::kFine);

    MainDialogControls::showRecent(m_ui.inputCombo, m_settings.recentSources.newestFirst());
    MainDialogControls::showRecent(m_ui.outputCombo, m_settings.recentOutputs.newestFirst());
    refreshPreview();

    m_settings.loadWindowSize();
    const QScreen* shownOn = screen();
    resize(windowSizeOnScreen(m_settings.windowSize.isValid() ? m_settings.windowSize : sizeHint(),
                              minimumSizeHint(), shownOn ? shownOn->availableSize() : QSize()));
}

CMainDialog::~CMainDialog() = default;

void CMainDialog::setDesktopFeedback(DesktopFeedback feedback) {
    m_feedback = std::move(feedback);
    if (m_feedback.fileManager == nullptr) return;
    // The answer may come after the window is gone.
    m_feedback.fileManager->setNotShownHandler([window = QPointer<CMainDialog>(this)](const QString& folder) {
        if (window.isNull()) return;
        window->m_prompter.prompt(makePrompt(
            window, tableString(IDS_PROGRAM_NAME),
            uiText(kNoFolderProgramText).arg(QDir::toNativeSeparators(folder)), MessageIcon::Information));
    });
}

void CMainDialog::connectControls() {
    connect(m_ui.startButton, &QPushButton::clicked, this, &CMainDialog::startConversion);
    connect(m_ui.pickButton, &QPushButton::clicked, this, &CMainDialog::pickSourceFile);
    connect(m_ui.setButton, &QPushButton::clicked, this, &CMainDialog::pickOutputFile);
    connect(m_ui.writeToFileCheck, &QCheckBox::clicked, this, &CMainDialog::refreshOptionsText);
    connect(m_ui.directInstallCheck, &QCheckBox::clicked, this, &CMainDialog::refreshOptionsText);
    connect(m_ui.destinationCombo, &QComboBox::activated, this, &CMainDialog::refreshOptionsText);
    connect(m_ui.statusLine, &CStatusLine::showInFolderRequested, this, [this](const QString& path) {
        if (m_feedback.fileManager != nullptr) m_feedback.fileManager->showInFolder(path);
    });
    connect(m_ui.optionsButton, &QPushButton::clicked, this, [this] {
        showOptionsMenu(m_ui.optionsButton->mapToGlobal(QPoint(m_ui.optionsButton->width(), 0)));
    });

    // The picture chooser and the way out, under the desktop's usual keys;
    // quitting saves the settings as Escape does. Ctrl+Q is the desktops'
    // Quit, and Windows has none of its own to clash with.
    connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, this,
            &CMainDialog::pickSourceFile);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this), &QShortcut::activated, this,
            &CMainDialog::reject);

    // A new picture typed and confirmed, or taken from the recent ones.
    connect(m_ui.inputCombo->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        const QString typed = m_ui.inputCombo->currentText();
        if (m_closed || isBatch() || typed.isEmpty() || typed == m_naming.picture ||
            isPalmDatabasePath(typed))
            return;
        takeTypedPicture(typed);
    });
    connect(m_ui.inputCombo, &QComboBox::textActivated, this, [this](const QString& recent) {
        if (!isBatch() && !isPalmDatabasePath(recent)) takeTypedPicture(recent);
    });
    connect(m_ui.imageNameEdit, &QLineEdit::textEdited, this, [this] { m_naming.imageNameByHand = true; });

    connect(m_ui.removeButton, &QPushButton::clicked, this, &CMainDialog::removeSelectedPictures);
    connect(m_ui.clearButton, &QPushButton::clicked, this, &CMainDialog::clearPictures);
    connect(m_ui.pictureList, &QListWidget::currentRowChanged, this, &CMainDialog::refreshPreview);
    connect(m_ui.inputCombo, &QComboBox::editTextChanged, this, &CMainDialog::refreshPreview);
    connect(m_ui.colorDepthCombo, &QComboBox::currentIndexChanged, this, &CMainDialog::refreshPreview);
    connect(m_ui.destinationCombo, &QComboBox::currentIndexChanged, this, &CMainDialog::refreshPreview);
    connect(m_ui.ditherRadio, &QRadioButton::toggled, this, &CMainDialog::refreshPreview);
    connect(m_ui.fineQualityCheck, &QCheckBox::toggled, this, &CMainDialog::refreshPreview);
    connect(m_ui.frameEditor, &CFrameEditor::frameChosen, this, &CMainDialog::refreshPreview);
    // The frame is drawn over the picture the preview decoded.
    connect(m_ui.preview, &CPreviewPane::sourceShown, m_ui.frameEditor, &CFrameEditor::setSourcePicture);
}

void CMainDialog::transferToControls() {
    m_ui.inputCombo->setEditText(m_sourcePath);
    m_ui.outputCombo->setEditText(isBatch() ? m_outputFolder : m_outputPath);
    m_ui.directInstallCheck->setChecked(m_directInstall != 0);
    m_ui.writeToFileCheck->setChecked(m_writeToFile != 0);
    // A stored name longer than the typing limit is shown in full; the
    // conversion refuses it until it is shortened.
    m_ui.imageNameEdit->setMaxLength(std::max<int>(kImageNameLimit, static_cast<int>(m_imageName.size())));
    // While each picture names its own database, the field says so.
    m_ui.imageNameEdit->setText(isBatch() ? uiText("from each file's name") : m_imageName);
    const auto select = [](QComboBox* combo, int index) {
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    };
    select(m_ui.colorDepthCombo, m_conversion.depthListPosition());
    select(m_ui.destinationCombo, m_conversion.destination);
}

void CMainDialog::transferFromControls() {
    if (isBatch()) {
        m_outputFolder = m_ui.outputCombo->currentText();
    } else {
        m_outputPath = m_ui.outputCombo->currentText();
        m_sourcePath = m_ui.inputCombo->currentText();
        m_imageName = m_ui.imageNameEdit->text();
    }
    m_directInstall = m_ui.directInstallCheck->isChecked() ? 1 : 0;
    m_writeToFile = m_ui.writeToFileCheck->isChecked() ? 1 : 0;
    m_conversion.chooseDepthByListPosition(m_ui.colorDepthCombo->currentIndex());
    m_conversion.destination = static_cast<DestinationOs>(m_ui.destinationCombo->currentIndex());
}

void CMainDialog::refreshOptionsText() {
    transferFromControls();
    m_ui.showDestination(m_conversion.destination);
    m_ui.outputCombo->setEnabled(m_writeToFile != 0);
    m_ui.setButton->setEnabled(m_writeToFile != 0);
}

void CMainDialog::showMessage(int stringId, const QString& argument) {
    const QString text = argument.isEmpty() ? tableString(stringId) : tableString(stringId, argument);
    m_notifier.showHeld(this, text);
}

void CMainDialog::pickSourceFile() {
    const auto picked = m_filePicker.pickSources(this, convertFilterToQt(tableString(IDS_SOURCE_FILTER)));
    if (!picked || picked->isEmpty()) return;
    if (picked->size() > 1 || isBatch()) {
        openPictures(*picked);
        return;
    }
    openPicture(picked->first());
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

int CMainDialog::firstInputProblem(QString& argument) const {
    if (m_writeToFile == 0 && m_directInstall == 0) return IDS_NO_OUTPUT_CHOSEN;
    if (m_sourcePath.isEmpty()) return IDS_NO_SOURCE;
    if (m_writeToFile != 0 && m_outputPath.isEmpty()) return IDS_NO_OUTPUT_PATH;
    if (m_imageName.isEmpty()) return IDS_NO_IMAGE_NAME;
    if (const auto refused = encodeWindows1252(m_imageName.toStdString()).firstRefused) {
        argument = QString::fromStdString(utf8Character(*refused));
        return IDS_IMAGE_NAME_CHARACTER;
    }
    if (imageNameBytes(m_imageName).size() > kImageNameLimit) return IDS_IMAGE_NAME_TOO_LONG;
    return 0;
}

void CMainDialog::startConversion() {
    if (isBatch()) {
        startBatchConversion();
        return;
    }
    transferFromControls();
    QString argument;
    if (const int problem = firstInputProblem(argument)) {
        showMessage(problem, argument);
        return;
    }

    // Recorded before converting and whatever the outcome; the output path is
    // offered even when no file is written.
    addRecent(m_settings.recentSources, m_ui.inputCombo, m_sourcePath);
    addRecent(m_settings.recentOutputs, m_ui.outputCombo, m_outputPath);

    // Whatever it said was about an earlier conversion.
    m_ui.statusLine->clear();
    if (m_writeToFile != 0 && !convertToFile()) showMessage(IDS_CONVERSION_FAILED);
    if (m_directInstall != 0 && !installDirect()) showMessage(IDS_INSTALL_FAILED);
}

void CMainDialog::addRecent(RecentList& list, QComboBox* combo, const QString& path) {
    if (list.add(path)) MainDialogControls::addRecent(combo, path);
}

ColorReduction CMainDialog::chosenReduction() const {
    return m_ui.ditherRadio->isChecked() ? ColorReduction::kDithering : ColorReduction::kRaw;
}

PictureQuality CMainDialog::chosenQuality() const {
    if (m_ui.fineQualityCheck->isChecked()) return PictureQuality::kFine;
    return m_conversion.quality == PictureQuality::kFine ? PictureQuality::kClassic : m_conversion.quality;
}

ConversionSettings CMainDialog::chosenSettings() const {
    ConversionSettings settings = m_conversion;
    settings.reduction = chosenReduction();
    settings.quality = chosenQuality();
    // The frame drawn by hand belongs to the one picture it was drawn on.
    if (!isBatch() && settings.fit == PictureFit::Crop && !m_ui.frameEditor->isHidden())
        settings.cropBox = m_ui.frameEditor->chosenFrame();
    return settings;
}

void CMainDialog::fillJob(const QString& outputPath) {
    m_job.inputPath = pathBytes(m_sourcePath).toStdString();
    m_job.settings = chosenSettings();
    m_job.imageName = imageNameBytes(m_imageName);
    m_job.outputPath = pathBytes(outputPath).toStdString();
    m_job.replaceExisting = false;
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
        m_notifier.showMessage(error.GetUserMessage(), MessageIcon::Error);
    } catch (const std::exception& error) {
        m_notifier.showMessage(error.what(), MessageIcon::Error);
    }
    m_progress.close();
    // A failure's messages wait for the window's own word on it.
    if (written) m_notifier.showHeld(this);
    return written;
}

bool CMainDialog::convertToFile() {
    fillJob(m_outputPath);
    // Only a database may be replaced; anything else there is refused by the
    // run with its reason, without a question whose yes could not be kept.
    if (pathStatus(m_outputPath).exists &&
        !outputRefusal(m_job.outputPath, OutputKind::kPalmDatabase, true)) {
        const PromptRequest question = makePrompt(
            this, tableString(IDS_OVERWRITE_CAPTION), tableString(IDS_OVERWRITE_QUESTION, m_outputPath),
            MessageIcon::Question, PromptButtons::YesNo, PromptAnswer::No);
        if (m_prompter.prompt(question) != PromptAnswer::Yes) return true;
        m_job.replaceExisting = true;
    }
    const bool written = runJob();
    if (written) m_ui.statusLine->showWritten(m_outputPath);
    return written;
}

bool CMainDialog::installDirect() {
    const QString folder = m_shell.temporaryFolder();
    if (folder.isEmpty()) return false;
    const QString path = folder + QLatin1String(kTemporaryDatabaseName);
    fillJob(path);
    removeStaleDatabase(path);
    if (!runJob()) return false;
    return handOver(path, folder);
}

bool CMainDialog::handOver(const QString& path, const QString& folder) {
    const HandOverResult result = handOverDatabase(m_shell, m_settings.installer, path, folder);
    // Without a program of the user's own, say that none was found and where
    // to choose one; a chosen one that fails to start needs no such advice.
    if (result != HandOverResult::Started && m_settings.installer.isEmpty()) {
        m_notifier.hold(uiText(kNoInstallToolText), MessageIcon::Warning);
    }
    return result == HandOverResult::Started;
}

std::unique_ptr<QMenu> CMainDialog::createOptionsMenu() {
    return ::createOptionsMenu(this, {m_conversion, m_settings.installer});
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
    if (applyConversionCommand(command, m_conversion)) {
        refreshPreview();
        return;
    }
    switch (command) {
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
#ifdef Q_OS_WIN
    const QString text = tableString(IDS_DELETE_QUESTION);
#else
    // Elsewhere there is no registry: the question names the settings file.
    const QString text = tableString(IDS_DELETE_QUESTION_FILE, m_settings.location());
#endif
    const PromptRequest question = makePrompt(this, tableString(IDS_DELETE_CAPTION), text,
                                              MessageIcon::Question, PromptButtons::YesNo, PromptAnswer::No);
    // No is the default: an Enter pressed without reading keeps the settings.
    if (m_prompter.prompt(question) != PromptAnswer::Yes) return;
    m_settings.deleteStored();
}

void CMainDialog::chooseInstaller() {
    if (!m_settings.installer.isEmpty()) {
        m_settings.installer.clear();
        return;
    }
    if (const auto program = m_filePicker.pickSource(this, {uiText("Programs and scripts (*)")}))
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
    // A maximized window comes back at the size it had before.
    m_settings.windowSize = (isMaximized() || isFullScreen()) ? normalGeometry().size() : size();
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
            if (watched == m_ui.pictureList && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
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

void CMainDialog::refreshPreview() {
    // What fillJob would hand a conversion run started now.
    ConversionSettings settings = chosenSettings();
    settings.chooseDepthByListPosition(m_ui.colorDepthCombo->currentIndex());
    settings.destination = static_cast<DestinationOs>(m_ui.destinationCombo->currentIndex());
    m_ui.frameEditor->showPicture(isBatch() ? QString() : m_ui.inputCombo->currentText(), settings);
    settings.cropBox = chosenSettings().cropBox;
    if (isBatch()) {
        // The selected picture of the list, named as its conversion names it.
        const int row = std::max(0, m_ui.pictureList->currentRow());
        const QString path = m_pictures.paths().value(row);
        m_ui.preview->showConversion(path, settings, defaultBatchImageName(enginePath(path)));
        return;
    }
    m_ui.preview->showConversion(m_ui.inputCombo->currentText(), settings,
                                 imageNameBytes(m_ui.imageNameEdit->text()));
}

#ifdef Q_OS_WIN
void CMainDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_systemMenuExtended) return;
    m_systemMenuExtended = true;
    const QString aboutItem = tableString(IDS_ABOUT_MENU_ITEM);
    if (!aboutItem.isEmpty()) addSystemMenuItem(this, kSystemMenuAbout, aboutItem);
}

bool CMainDialog::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (systemMenuCommand(message) != kSystemMenuAbout)
        return QDialog::nativeEvent(eventType, message, result);
    showAboutBox();
    *result = 0;
    return true;
}
#endif
