#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>
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

// A D-Bus bus daemon of the test's own, ended with the object.
class PrivateBus {
public:
    // Starts dbus-daemon with `arguments` (a --session or --config-file) in
    // `environment`; running() is false when dbus-daemon is missing or does
    // not come up.
    explicit PrivateBus(const QStringList& arguments,
                        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool running() const { return !m_address.isEmpty(); }
    const QString& address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

// A D-Bus session bus of the test's own, on which the AT-SPI bus starts
// when a program asks for it, so that a program started with environment()
// shows its accessibility tree to the tree() reader (python3-pyatspi).
// running() is false when dbus-daemon, at-spi2-core or pyatspi is missing.
class AccessibilityBus {
public:
    AccessibilityBus();
    ~AccessibilityBus();
    AccessibilityBus(const AccessibilityBus&) = delete;
    AccessibilityBus& operator=(const AccessibilityBus&) = delete;

    bool running() const { return m_bus && m_bus->running(); }
    // Adds the bus and the switches that turn Qt's accessibility on.
    void addTo(QProcessEnvironment& environment) const;
    // The tree of the running application `name` once an object's line holds
    // `waitFor` (see accessibility_tree.py), or nothing.
    std::optional<QString> tree(const QString& name, const QString& waitFor = QString());

private:
    std::unique_ptr<PrivateBus> m_bus;
};

// The X server of a suite that asked for one (by linking x11_suite.cpp);
// null for the others, and when no server could be started.
XSession* xSession();
// Set before main() by x11_suite.cpp.
extern bool suiteWantsXServer;

}  // namespace apptest
