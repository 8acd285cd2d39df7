#include "app/converter_app.h"

#include "app/file_picker.h"
#include "app/main_dialog.h"
#include "app/prompter.h"
#include "app/settings.h"
#include "app/shell.h"
#include "engine/string_table.h"

#include <QApplication>

#ifndef _WIN32
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

constexpr int IDS_COMPANY_KEY = 120;
constexpr const char* kApplicationKey = "kestrin";

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

int CConverterApp::run(int& argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QString::fromUtf8(loadString(IDS_COMPANY_KEY)));
    QApplication::setApplicationName(QLatin1String(kApplicationKey));

    CNativeSettingsStore store(QApplication::organizationName(), QApplication::applicationName());
    CSettings settings(store);
    settings.load();

    CMessageBoxPrompter prompter;
    CQtFilePicker filePicker;
    const std::unique_ptr<CShell> shell = createPlatformShell();
    {
        CMainDialog dialog(settings, prompter, filePicker, *shell);
#ifndef _WIN32
        std::unique_ptr<QSocketNotifier> termination;
        if (terminationPipe[0] >= 0) {
            termination = std::make_unique<QSocketNotifier>(terminationPipe[0], QSocketNotifier::Read);
            QObject::connect(termination.get(), &QSocketNotifier::activated, &dialog, [&dialog] {
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
                dialog.reject();
            });
        }
#endif
        dialog.exec();
    }
    settings.save();
    return 0;
}
