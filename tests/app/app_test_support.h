#pragma once

#include "app/file_manager.h"
#include "app/file_picker.h"
#include "app/main_dialog.h"
#include "app/prompter.h"
#include "app/settings.h"
#include "app/shell.h"
#include "support/test_support.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace apptest {

// The folder that holds this test process's user configuration (the
// settings file lives below it as Quessel/kestrin.conf).
QString configFolder();
// Removes everything from the configuration folder.
void clearConfiguration();
// The settings file the program writes.
QString settingsFile();

// Records every box and answers Yes/No questions from a queue (Yes when the
// queue is empty).
class FakePrompter : public CPrompter {
public:
    PromptAnswer prompt(const PromptRequest& request) override;

    std::vector<PromptRequest> requests;
    std::deque<PromptAnswer> answers;
    // Called while the box would be shown, e.g. to look at the dialog then.
    std::function<void(const PromptRequest&)> onPrompt;

    QStringList texts() const;
};

class FakeFilePicker : public CFilePicker {
public:
    std::optional<QString> pickSource(QWidget* owner, const QStringList& filters) override;
    std::optional<QString> pickOutput(QWidget* owner, const QString& defaultName,
                                      const QString& defaultSuffix, const QStringList& filters) override;
    std::optional<QStringList> pickSources(QWidget* owner, const QStringList& filters) override;
    std::optional<QString> pickFolder(QWidget* owner, const QString& start) override;

    std::optional<QString> answer;
    // What pickSources answers when not empty; otherwise `answer` alone.
    QStringList answers;
    QWidget* lastOwner = nullptr;
    QStringList lastFilters;
    QString lastDefaultName;
    QString lastDefaultSuffix;
    int calls = 0;
};

// A desktop whose .pdb associations are the programs of `associations`, the
// preferred one first (empty: none). Opening a document records it and
// copies the file, so a test can see what the install tool was given.
class FakeShell : public CShell {
public:
    FakeShell();
    QString temporaryFolder() override;
    std::vector<DocumentHandler> findHandlers(const QString& document, const QString& directory) override;
    void openDocument(const DocumentHandler& handler, const QString& document,
                      const QString& directory) override;
    bool startProgram(const QString& program, const QString& document, const QString& directory) override;

    testsupport::TemporaryFolder folder;
    QStringList associations;
    QStringList openedWith;
    QStringList opened;
    QStringList openedContents;
    QStringList openedDirectories;
    // "program document" for each program of the user's own started; one
    // named without a folder counts as not found.
    QStringList started;
};

// Records what "Show in folder" was asked to show, one list per request.
class FakeFileManager : public CFileManager {
public:
    void showInFolder(const QString& file) override { shown.append(QStringList{file}); }
    void showInFolder(const QStringList& files) override { shown.append(files); }

    QList<QStringList> shown;
};

// Stands in for the conversion run: records each job, shows the progress
// lines of a successful run on the dialog's progress window and writes a
// small file at the output path, or reports failure without writing.
class FakeRunner {
public:
    bool operator()(ConversionJob& job);

    bool succeed = true;
    std::vector<ConversionJob> jobs;
    // Whether the progress window was open while the run was going on.
    std::vector<bool> progressWasOpen;
};

// The visible controls of `window` that answer each Alt+letter, by the
// letter: labels for their buddies, buttons and group boxes.
std::map<QString, QStringList> shortcutOwners(const QWidget& window);

// A main dialog with fakes around it and the settings of the temporary
// configuration folder.
class DialogFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the dialog from the stored settings (loading them first).
    void openDialog();
    // Closes the dialog as the Escape key does and saves the settings, as the
    // program does at exit.
    void closeAndSave();

    template <typename T>
    T* control(const char* name) const {
        T* found = dialog->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // Fills the fields for a conversion that passes validation.
    void fillValidInput(const QString& source = QStringLiteral("/pictures/photo.bmp"));

    std::unique_ptr<CNativeSettingsStore> store;
    std::unique_ptr<CSettings> settings;
    FakePrompter prompter;
    FakeFilePicker picker;
    FakeShell shell;
    FakeRunner runner;
    std::unique_ptr<CMainDialog> dialog;
    testsupport::TemporaryFolder work;
};

}  // namespace apptest
