#include "app/converter_app.h"

#include "app/desktop_notifier.h"
#include "app/file_manager.h"
#include "app/file_names.h"
#include "app/file_picker.h"
#include "app/main_dialog.h"
#include "app/prompter.h"
#include "app/settings.h"
#include "app/shell.h"
#include "app/string_table.h"
#include "app/ui_language.h"
#include "engine/engine_version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef _WIN32
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

constexpr const char* kApplicationKey = "kestrin";
constexpr const char* kDesktopFileName = "org.quessel.Kestrin";

constexpr const char* kUsage =
    "Usage: kestrin [OPTION]... [FILE]...\n"
    "\n"
    "Opens the Kestrin window, with FILE as the input picture when given.\n"
    "Several files, or a folder, open as a list of pictures converted at once.\n"
    "To convert pictures without a window, use kestrin-convert.\n"
    "\n"
    "  -h, --help     this text\n"
    "      --version  the program's version\n";

// The options every Qt program takes (QGuiApplication's and, on X11, the
// platform's), which QApplication handles itself.
constexpr const char* kQtOptionsWithValue[] = {"platform",      "platformpluginpath",
                                               "platformtheme", "plugin",
                                               "qmljsdebugger", "qwindowgeometry",
                                               "qwindowicon",   "qwindowtitle",
                                               "session",       "style",
                                               "stylesheet",    "display",
                                               "geometry",      "name",
                                               "title",         "visual"};
constexpr const char* kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] != '\0';
}

bool hasDisplay(int argc, char** argv) {
#if defined(_WIN32) || defined(__APPLE__)
    (void)argc;
    (void)argv;
    return true;
#else
    if (isSet("DISPLAY") || isSet("WAYLAND_DISPLAY") || isSet("QT_QPA_PLATFORM")) return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return true;
    }
    return false;
#endif
}

#ifndef _WIN32
// A signal handler may only write to a descriptor; the event loop reads the
// other end and closes the dialog.
int terminationPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(terminationPipe[1], &byte, 1);
}
#endif

}  // namespace

void CConverterApp::prepareTermination() {
#ifndef _WIN32
    if (terminationPipe[0] >= 0) return;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, terminationPipe) != 0) return;
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) sigaction(signalNumber, &action, nullptr);
#endif
}

std::optional<int> CConverterApp::answerWithoutWindow(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
    QCommandLineParser parser;
    // Qt's own options are written with one dash ("-style fusion") or two.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({help, version});
    // QApplication takes these out of the arguments; they are no mistake.
    for (const char* name : kQtOptionsWithValue)
        parser.addOption(QCommandLineOption(QLatin1String(name), QString(), QStringLiteral("value")));
    for (const char* name : kQtFlags) parser.addOption(QCommandLineOption(QLatin1String(name)));
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        const QString problem = unknown.isEmpty() ? parser.errorText()
                                                  : QStringLiteral("unknown option '%1%2'")
                                                        .arg(unknown.first().size() > 1 ? QLatin1String("--")
                                                                                        : QLatin1String("-"),
                                                             unknown.first());
        std::fprintf(stderr, "kestrin: %s\nTry 'kestrin --help' for more information.\n",
                     problem.toLocal8Bit().constData());
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("kestrin %s\n", kKestrinVersion);
        return 0;
    }
    if (!hasDisplay(argc, argv)) {
        std::fputs(
            "kestrin: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set); "
            "use kestrin-convert to convert pictures on the command line\n",
            stderr);
        return 1;
    }
    return std::nullopt;
}

int CConverterApp::run(int& argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QString::fromUtf8(applicationString(IDS_COMPANY_KEY)));
    QApplication::setApplicationName(QLatin1String(kApplicationKey));
    // Under Wayland the window finds its icon and launcher entry by this name.
    QGuiApplication::setDesktopFileName(QLatin1String(kDesktopFileName));
    const CUiLanguage language;

    // QApplication has taken its own options out of the arguments already.
    QStringList inputPictures;
#ifdef _WIN32
    const QStringList arguments = QApplication::arguments();
#else
    // As the file system holds the names: arguments() decodes a name that is
    // not UTF-8 into another one.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments.append(pathFromBytes(QByteArray(argv[i])));
#endif
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (!optionsEnded && arguments[i] == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !arguments[i].startsWith(QLatin1Char('-')))
            inputPictures.append(QDir::toNativeSeparators(absolutePath(arguments[i])));
    }

    CNativeSettingsStore store(QApplication::organizationName(), QApplication::applicationName());
    CSettings settings(store);
    settings.load();

    CMessageBoxPrompter prompter;
    CQtFilePicker filePicker;
    const std::unique_ptr<CShell> shell = createPlatformShell();
    const std::unique_ptr<CFileManager> fileManager = createPlatformFileManager();
    const std::unique_ptr<CNotifier> notifier = createPlatformNotifier();
    {
        CMainDialog dialog(settings, prompter, filePicker, *shell);
        dialog.setDesktopFeedback({fileManager.get(), notifier.get()});
        bool terminated = false;
#ifndef _WIN32
        std::unique_ptr<QSocketNotifier> termination;
        if (terminationPipe[0] >= 0) {
            termination = std::make_unique<QSocketNotifier>(terminationPipe[0], QSocketNotifier::Read);
            QObject::connect(termination.get(), &QSocketNotifier::activated, &dialog, [&dialog, &terminated] {
                char drained[16];
                while (read(terminationPipe[0], drained, sizeof drained) > 0) {
                }
                // Closing the dialog from inside a message box or menu would
                // leave that one open; close whatever is modal first.
                while (QWidget* modal = QApplication::activeModalWidget()) {
                    if (modal == &dialog) break;
                    modal->close();
                    if (QApplication::activeModalWidget() == modal) break;
                }
                terminated = true;
                dialog.reject();
            });
        }
#endif
        // After the termination watch: a request that comes while opening the
        // pictures asks a question is answered by closing the question first.
        if (!inputPictures.isEmpty()) dialog.openPictures(inputPictures);
        if (!terminated) dialog.exec();
    }
    settings.save();
    return 0;
}
