// The main dialog's pictures: how they arrive (picked, typed, dropped, from
// the command line), the list of several and its conversion into a folder.
#include "app/main_dialog.h"

#include "app/file_names.h"
#include "app/list_conversion.h"
#include "app/picture_paths.h"
#include "app/preview_pane.h"
#include "app/settings.h"
#include "app/shell.h"
#include "app/status_line.h"
#include "app/string_table.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>

void CMainDialog::choosePicture(const QString& path) {
    transferFromControls();
    // A name that changed without a keystroke the window saw is still not
    // the window's own doing.
    if (m_imageName != m_naming.imageName) m_naming.imageNameByHand = true;
    m_naming.output = m_outputPath;
    m_naming.imageName = m_imageName;
    m_naming = followPicture(m_naming, path);
    m_sourcePath = path;
    m_outputPath = m_naming.output;
    m_imageName = m_naming.imageName;
    transferToControls();
    // What it said was about the picture before.
    m_ui.statusLine->clear();
    refreshPreview();
}

void CMainDialog::takeTypedPicture(const QString& path) {
    // A folder stands for its pictures, as a dropped one does.
    if (pathStatus(path).isFolder) {
        // The folder is no picture's name: the field goes back to what it held.
        m_ui.inputCombo->setEditText(m_naming.picture);
        openPictures({path});
        return;
    }
    choosePicture(path);
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
        m_ui.preview->showDatabase(path);
    else
        choosePicture(path);
}

void CMainDialog::openPictures(const QStringList& paths) {
    if (paths.size() == 1 && pathStatus(paths.first()).isFile && !isBatch()) {
        openPicture(paths.first());
        return;
    }
    const QStringList found = expandPicturePaths(paths);
    if (found.isEmpty()) return;
    transferFromControls();
    // A folder with one picture, or the same file twice, is one picture.
    if (const auto single = m_pictures.add(found))
        openPicture(*single);
    else
        applyPictureMode();
}

void CMainDialog::removeSelectedPictures() {
    transferFromControls();
    QList<int> rows;
    for (const QListWidgetItem* item : m_ui.pictureList->selectedItems())
        rows.append(m_ui.pictureList->row(item));
    if (rows.isEmpty() && m_ui.pictureList->currentRow() >= 0) rows.append(m_ui.pictureList->currentRow());
    // One picture left: the window as it is for one picture, holding it.
    if (const auto single = m_pictures.removeRows(rows)) m_sourcePath = *single;
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
    m_ui.showPictures(m_pictures.paths());
    const bool listHadFocus =
        m_ui.pictureList->hasFocus() || m_ui.removeButton->hasFocus() || m_ui.clearButton->hasFocus();
    m_ui.setPictureMode(batch);
    MainDialogControls::showRecent(
        m_ui.outputCombo, (batch ? m_settings.recentFolders : m_settings.recentOutputs).newestFirst());
    transferToControls();
    // The picture left over from the list is held, not newly chosen.
    if (!batch) m_naming.picture = m_sourcePath;
    if (listHadFocus && !batch) m_ui.inputCombo->setFocus();
    refreshPreview();
}

QString CMainDialog::batchFolder() {
    if (m_writeToFile == 0) {
        // Only Directly send: the databases wait in the temporary folder.
        const QString folder = m_shell.temporaryFolder();
        if (folder.isEmpty()) showMessage(IDS_INSTALL_FAILED);
        return folder;
    }
    if (m_outputFolder.isEmpty()) {
        showMessage(IDS_NO_OUTPUT_FOLDER);
        return {};
    }
    if (!pathStatus(m_outputFolder).isFolder) {
        showMessage(IDS_NO_SUCH_FOLDER, m_outputFolder);
        return {};
    }
    addRecent(m_settings.recentFolders, m_ui.outputCombo, m_outputFolder);
    return m_outputFolder;
}

void CMainDialog::startBatchConversion() {
    transferFromControls();
    if (m_writeToFile == 0 && m_directInstall == 0) {
        showMessage(IDS_NO_OUTPUT_CHOSEN);
        return;
    }
    const QString folder = batchFolder();
    if (folder.isEmpty()) return;
    // What the last run made of the pictures is not what this one makes.
    m_ui.statusLine->clear();
    m_ui.showPictures(m_pictures.paths());
    const ListConversion conversion{m_pictures.paths(), folder,      m_writeToFile == 0,
                                    chosenSettings(),   m_batchJobs, m_feedback};
    const std::optional<BatchReport> report = convertList(conversion, m_prompter, this, m_temporaryDatabases);
    if (!report) return;
    m_ui.showOutcomes(report->outcomes);
    if (m_directInstall == 0) return;
    for (const QString& database : report->converted) {
        if (!handOver(database, QFileInfo(database).absolutePath() + QLatin1Char('/'))) {
            showMessage(IDS_INSTALL_FAILED);
            break;
        }
    }
}
