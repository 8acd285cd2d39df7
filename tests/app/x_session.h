#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>

namespace apptest {

// An X server of the test's own (Xvfb) and xdotool to send it real key
// events through the XTEST extension, which reach a window exactly as a
// keyboard's do.
class XSession {
public:
    // Starts Xvfb on a free display; running() is false when Xvfb or
    // xdotool is not installed or the server does not come up.
    XSession();
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool running() const { return !m_display.isEmpty(); }
    // ":N"
    const QString& display() const { return m_display; }

    // Runs xdotool on this display while the caller's event loop keeps
    // running, so a window of this process sees the events as they come.
    // Its standard output, or nothing when it failed.
    std::optional<QString> xdotool(const QStringList& arguments, int timeoutMs = 20000);

private:
    QProcess m_server;
    QString m_display;
};

// The X server of a suite that asked for one (by linking x11_suite.cpp);
// null for the others, and when no server could be started.
XSession* xSession();
// Set before main() by x11_suite.cpp.
extern bool suiteWantsXServer;

}  // namespace apptest
