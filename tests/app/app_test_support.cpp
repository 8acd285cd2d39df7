#include "app_test_support.h"

#include "x_session.h"

#include "app/string_table.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>

#include <fstream>

namespace apptest {

QTemporaryDir* configurationRoot = nullptr;
XSession* currentXSession = nullptr;
bool suiteWantsXServer = false;

XSession* xSession() {
    return currentXSession;
}

QString configFolder() {
    return configurationRoot->path() + QStringLiteral("/config");
}

void clearConfiguration() {
    QDir(configFolder()).removeRecursively();
    QDir().mkpath(configFolder());
}

QString settingsFile() {
    return configFolder() + QStringLiteral("/Quessel/kestrin.conf");
}

PromptAnswer FakePrompter::prompt(const PromptRequest& request) {
    requests.push_back(request);
    if (onPrompt) onPrompt(request);
    if (request.buttons == PromptButtons::Ok) return PromptAnswer::Ok;
    if (answers.empty()) return PromptAnswer::Yes;
    const PromptAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

QStringList FakePrompter::texts() const {
    QStringList all;
    for (const PromptRequest& request : requests) all.append(request.text);
    return all;
}

std::optional<QString> FakeFilePicker::pickSource(QWidget* owner, const QStringList& filters) {
    ++calls;
    lastOwner = owner;
    lastFilters = filters;
    return answer;
}

std::optional<QString> FakeFilePicker::pickOutput(QWidget* owner, const QString& defaultName,
                                                  const QString& defaultSuffix, const QStringList& filters) {
    ++calls;
    lastOwner = owner;
    lastFilters = filters;
    lastDefaultName = defaultName;
    lastDefaultSuffix = defaultSuffix;
    return answer;
}

std::optional<QStringList> FakeFilePicker::pickSources(QWidget* owner, const QStringList& filters) {
    ++calls;
    lastOwner = owner;
    lastFilters = filters;
    if (!answers.isEmpty()) return answers;
    if (!answer) return std::nullopt;
    return QStringList{*answer};
}

std::optional<QString> FakeFilePicker::pickFolder(QWidget* owner, const QString&) {
    ++calls;
    lastOwner = owner;
    return answer;
}

FakeShell::FakeShell() = default;

QString FakeShell::temporaryFolder() {
    return QString::fromStdString(folder.path().string()) + QLatin1Char('/');
}

std::vector<DocumentHandler> FakeShell::findHandlers(const QString&, const QString&) {
    std::vector<DocumentHandler> handlers;
    for (const QString& program : associations) handlers.push_back(DocumentHandler{program, program});
    return handlers;
}

void FakeShell::openDocument(const DocumentHandler& handler, const QString& document,
                             const QString& directory) {
    openedWith.append(handler.id);
    opened.append(document);
    openedDirectories.append(directory);
    QFile file(document);
    openedContents.append(file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString());
}

bool FakeShell::startProgram(const QString& program, const QString& document, const QString&) {
    started.append(program + QLatin1Char(' ') + document);
    return QFileInfo(program).isAbsolute();
}

bool FakeRunner::operator()(ConversionJob& job) {
    jobs.push_back(job);
    auto* window = dynamic_cast<CProgressDialog*>(job.progress);
    job.progress->open(std::string("Creating ") + job.outputPath + "...");
    job.progress->appendLine(loadString(IDS_CREATING_DATABASE));
    progressWasOpen.push_back(window != nullptr && window->isOpen());
    if (!succeed) {
        job.notifier->showMessage("Output file " + job.outputPath + " could not be created.",
                                  MessageIcon::Error);
        job.progress->close();
        return false;
    }
    job.progress->appendLine(loadString(IDS_WRITING_HEADER));
    job.progress->appendLine(loadString(IDS_CREATING_IMAGE));
    // Written the way a careless writer would: following whatever is there.
    std::ofstream(job.outputPath, std::ios::binary | std::ios::trunc) << "database of " << job.imageName;
    job.progress->appendLine(loadString(IDS_CLOSING_DATABASE));
    job.progress->close();
    return true;
}

void DialogFixture::SetUp() {
    clearConfiguration();
    store = std::make_unique<CNativeSettingsStore>(QStringLiteral("Quessel"), QStringLiteral("kestrin"));
    settings = std::make_unique<CSettings>(*store);
}

void DialogFixture::TearDown() {
    dialog.reset();
    settings.reset();
    store.reset();
}

void DialogFixture::openDialog() {
    dialog.reset();
    settings = std::make_unique<CSettings>(*store);
    settings->load();
    dialog = std::make_unique<CMainDialog>(*settings, prompter, picker, shell);
    dialog->setConversionRunner([this](ConversionJob& job) { return runner(job); });
}

void DialogFixture::closeAndSave() {
    dialog->reject();
    dialog.reset();
    settings->save();
}

void DialogFixture::fillValidInput(const QString& source) {
    control<QComboBox>("inputFileCombo")->setEditText(source);
    control<QComboBox>("outputFileCombo")->setEditText(QString::fromStdString((work / "out.pdb").string()));
    control<QLineEdit>("imageNameEdit")->setText(QStringLiteral("Holiday"));
}

std::map<QString, QStringList> shortcutOwners(const QWidget& window) {
    std::map<QString, QStringList> owners;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&window)) continue;
        QKeySequence key;
        if (auto* label = qobject_cast<QLabel*>(widget); label && label->buddy())
            key = QKeySequence::mnemonic(label->text());
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            key = button->shortcut();
        else if (auto* group = qobject_cast<QGroupBox*>(widget))
            key = QKeySequence::mnemonic(group->title());
        if (!key.isEmpty()) owners[key.toString()].append(widget->objectName());
    }
    return owners;
}

}  // namespace apptest

// Every suite runs with its own user configuration folder, so no test touches
// the real settings, under the offscreen platform, so none needs a display.
// The suites that send real key events get an X server of their own instead,
// never the user's, and fall back to offscreen without one.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<apptest::XSession> xSession;
    if (apptest::suiteWantsXServer) {
        xSession = std::make_unique<apptest::XSession>();
        if (xSession->running()) {
            qputenv("DISPLAY", xSession->display().toLatin1());
            qputenv("QT_QPA_PLATFORM", "xcb");
            apptest::currentXSession = xSession.get();
        } else {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
    }
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/kestrin-app-test-XXXXXX"));
    apptest::configurationRoot = &root;
    apptest::clearConfiguration();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(apptest::configFolder()));
    // Qt asks for the runtime folder too; a private one keeps it quiet.
    const QString runtime = root.path() + QStringLiteral("/run");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, apptest::configFolder());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, apptest::configFolder());

    int result = 0;
    {
        QApplication application(argc, argv);
        QApplication::setOrganizationName(QStringLiteral("Quessel"));
        QApplication::setApplicationName(QStringLiteral("kestrin"));
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    apptest::currentXSession = nullptr;
    apptest::configurationRoot = nullptr;
    return result;
}
