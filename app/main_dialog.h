#pragma once

#include "app/desktop_feedback.h"
#include "app/install_handover.h"
#include "app/main_dialog_controls.h"
#include "app/options_menu.h"
#include "app/output_follow.h"
#include "app/picture_list.h"
#include "app/progress_dialog.h"
#include "app/prompter.h"
#include "engine/conversion_job.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

class CFilePicker;
class CPreviewPane;
class CSettings;
class CShell;
class RecentList;
class QComboBox;
class QMenu;

// How the dialog carries out a filled job; normally ConversionJob::run.
using ConversionRunner = std::function<bool(ConversionJob&)>;

// The program's one window: source picture, image name, colour depth,
// destination, colour reduction and output choices, and START CONVERSION.
// It copies its start values from the settings when it is built and copies
// them back when it closes, however it is closed.
class CMainDialog : public QDialog {
    Q_OBJECT
public:
    CMainDialog(CSettings& settings, CPrompter& prompter, CFilePicker& filePicker, CShell& shell,
                QWidget* parent = nullptr);
    ~CMainDialog() override;

    void setConversionRunner(ConversionRunner runner) { m_runner = std::move(runner); }
    // The desktop's file manager and notifier; none at first.
    void setDesktopFeedback(DesktopFeedback feedback);

    // Validates the fields, updates the recent lists and runs the conversion
    // once per chosen destination.
    void startConversion();
    // Describes the destination choice and enables the output path controls
    // exactly when Write to file is set.
    void refreshOptionsText();
    // Writes the output file, asking before an existing one is replaced. A
    // declined question counts as success.
    bool convertToFile();
    // Converts into the temporary database and hands it to the install tool.
    bool installDirect();
    // A box with the numbered text (its %s replaced by `argument`), the
    // program name as caption, an exclamation icon and an OK button. What
    // the run before it said comes first, in the same box.
    void showMessage(int stringId, const QString& argument = QString());
    void pickSourceFile();
    void pickOutputFile();
    // Makes path the input picture, with its own output and image name,
    // however it came (picked, dropped, named on the command line); a Palm
    // image database is shown in the preview pane instead.
    void openPicture(const QString& path);
    // Asks the preview pane for the conversion the controls describe now.
    void refreshPreview();
    // Takes pictures as a drop or the command line brings them: a folder
    // stands for its pictures (not its subfolders). One picture is taken as
    // openPicture does; several become the list of pictures, or join it.
    void openPictures(const QStringList& paths);
    // The pictures of the list, empty while the window holds one picture.
    const QStringList& pictures() const { return m_pictures.paths(); }
    // How many pictures a conversion of the list converts at once (0: one
    // per core, as kestrin-convert -j).
    void setBatchJobs(int jobs) { m_batchJobs = jobs; }

    // The options menu, built afresh with the current compression,
    // orientation and picture shape marked.
    std::unique_ptr<QMenu> createOptionsMenu();
    void showOptionsMenu(const QPoint& globalPosition);
    void handleCommand(int command);

    CompressionMode compression() const { return m_conversion.compression; }
    const ConversionSettings& conversion() const { return m_conversion; }
    const ConversionJob& job() const { return m_job; }
    CProgressDialog& progressDialog() { return m_progress; }
    CPreviewPane& previewPane() { return *m_ui.preview; }
    CFrameEditor& frameEditor() { return *m_ui.frameEditor; }

protected:
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
#ifdef Q_OS_WIN
    void showEvent(QShowEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

private:
    void connectControls();
    // Makes `path` the one picture of the window; the output follows it, and
    // so does the image name unless one was typed.
    void choosePicture(const QString& path);
    // A picture typed into the input field or taken from its recent list; a
    // folder there becomes the list of its pictures.
    void takeTypedPicture(const QString& path);
    void transferToControls();
    void transferFromControls();
    ColorReduction chosenReduction() const;
    // The fine quality when its box is ticked; otherwise the classic one, or
    // the unknown number the settings held, kept as it was.
    PictureQuality chosenQuality() const;
    // The settings a conversion started now runs with, as the controls show them.
    ConversionSettings chosenSettings() const;
    // The message number of the first field that stops a conversion of one
    // picture, or 0; `argument` is what the message names, if anything.
    int firstInputProblem(QString& argument) const;
    void fillJob(const QString& outputPath);
    bool runJob();
    void addRecent(RecentList& list, QComboBox* combo, const QString& path);
    void deleteSettings();
    // Chooses the program "Directly send" starts, or forgets the chosen one.
    void chooseInstaller();
    void showAboutBox();
    void closingSteps();
    // Accepts a drag, or takes a drop, of a local file as the source picture,
    // whether it is over the dialog or one of its controls; false when the
    // drag carries no such file.
    bool handleFileDrop(QDropEvent* event);
    // The Enter key on `target`, a control of the dialog.
    void pressEnter(QObject* target);
    bool isBatch() const {
        return m_pictures.isList();
    }
    // Shows the list of pictures or the input field, whichever the number of
    // pictures calls for, with the name and output controls to match.
    void applyPictureMode();
    void removeSelectedPictures();
    void clearPictures();
    // Converts every picture of the list into the chosen folder (or the
    // temporary folder, for Directly send) and sums up what happened.
    void startBatchConversion();
    // The folder the list's databases go to, or empty after saying why there
    // is none.
    QString batchFolder();
    // Hands a written database to the install tool; false when none took it.
    bool handOver(const QString& path, const QString& folder);

    CSettings& m_settings;
    CPrompter& m_prompter;
    CFilePicker& m_filePicker;
    CShell& m_shell;
    CPrompterNotifier m_notifier;
    CProgressDialog m_progress;
    ConversionRunner m_runner;
    DesktopFeedback m_feedback;
    MainDialogControls m_ui;

    // The fields the controls are transferred to and from.
    QString m_outputPath;
    QString m_sourcePath;
    int m_directInstall = 0;
    int m_writeToFile = 0;
    QString m_imageName;
    // Colour depth and destination as selected (-1: none), compression as
    // chosen in the options menu; the colour reduction is read from its radio
    // buttons when needed.
    ConversionSettings m_conversion;
    ConversionJob m_job;
    // The picture the output and image name were last settled for.
    PictureNaming m_naming;
    // Several pictures at once: the list, the folder their databases go to,
    // and the databases Directly send left in the temporary folder.
    CPictureList m_pictures;
    QString m_outputFolder;
    QStringList m_temporaryDatabases;
    int m_batchJobs = 0;
    bool m_closed = false;
#ifdef Q_OS_WIN
    bool m_systemMenuExtended = false;
#endif
};
