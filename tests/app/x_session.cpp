#include "x_session.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

namespace apptest {

XSession::XSession() {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
        return;
    }
    // -displayfd: the server picks a free display and writes its number once
    // it accepts connections, so parallel suites never collide.
    m_server.setProcessChannelMode(QProcess::SeparateChannels);
    m_server.start(
        QStringLiteral("Xvfb"),
        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
         QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!m_server.waitForStarted(10000)) return;
    QByteArray number;
    QElapsedTimer timer;
    timer.start();
    while (!number.contains('\n') && timer.elapsed() < 20000) {
        if (!m_server.waitForReadyRead(1000) && m_server.state() != QProcess::Running) return;
        number += m_server.readAllStandardOutput();
    }
    bool ok = false;
    const int display = number.trimmed().toInt(&ok);
    if (ok) m_display = QStringLiteral(":%1").arg(display);
}

XSession::~XSession() {
    if (m_server.state() == QProcess::NotRunning) return;
    m_server.terminate();
    if (!m_server.waitForFinished(5000)) m_server.kill();
    m_server.waitForFinished(5000);
}

std::optional<QString> XSession::xdotool(const QStringList& arguments, int timeoutMs) {
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral("xdotool"), arguments);
    QElapsedTimer timer;
    timer.start();
    while (tool.state() != QProcess::NotRunning && timer.elapsed() < timeoutMs) QTest::qWait(10);
    if (tool.state() != QProcess::NotRunning) {
        tool.kill();
        tool.waitForFinished(5000);
        return std::nullopt;
    }
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) return std::nullopt;
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

namespace {

const QString kTreeScript = QStringLiteral(KESTRIN_SOURCE_DIR "/tests/app/accessibility_tree.py");
// The system's own Python: pyatspi is a Debian package, not a pip one.
const QString kPython = QStringLiteral("/usr/bin/python3");

}  // namespace

PrivateBus::PrivateBus(const QStringList& arguments, const QProcessEnvironment& environment) {
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) return;
    m_daemon.setProcessEnvironment(environment);
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   arguments + QStringList{QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(10000)) return;
    QByteArray address;
    QElapsedTimer timer;
    timer.start();
    while (!address.contains('\n') && timer.elapsed() < 20000) {
        if (!m_daemon.waitForReadyRead(1000) && m_daemon.state() != QProcess::Running) return;
        address += m_daemon.readAllStandardOutput();
    }
    m_address = QString::fromUtf8(address).trimmed();
}

PrivateBus::~PrivateBus() {
    if (m_daemon.state() == QProcess::NotRunning) return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000)) m_daemon.kill();
    m_daemon.waitForFinished(5000);
}

AccessibilityBus::AccessibilityBus() {
    if (!QFileInfo::exists(QStringLiteral("/usr/libexec/at-spi-bus-launcher")) ||
        !QFileInfo::exists(kPython)) {
        return;
    }
    QProcess probe;
    probe.start(kPython, {QStringLiteral("-c"), QStringLiteral("import pyatspi")});
    if (!probe.waitForFinished(20000) || probe.exitCode() != 0) return;

    // The session bus finds the AT-SPI bus launcher among the system's services.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_DIRS"), QStringLiteral("/usr/local/share:/usr/share"));
    m_bus = std::make_unique<PrivateBus>(QStringList{QStringLiteral("--session")}, environment);
}

AccessibilityBus::~AccessibilityBus() = default;

void AccessibilityBus::addTo(QProcessEnvironment& environment) const {
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus ? m_bus->address() : QString());
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_ACCESSIBILITY"), QStringLiteral("1"));
}

std::optional<QString> AccessibilityBus::tree(const QString& name, const QString& waitFor) {
    QProcess reader;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    addTo(environment);
    reader.setProcessEnvironment(environment);
    QStringList arguments = {kTreeScript, name};
    if (!waitFor.isEmpty()) arguments.append(waitFor);
    reader.start(kPython, arguments);
    // The program under test may be this process: keep its events flowing.
    QElapsedTimer timer;
    timer.start();
    while (reader.state() != QProcess::NotRunning && timer.elapsed() < 60000) QTest::qWait(20);
    if (reader.state() != QProcess::NotRunning) {
        reader.kill();
        reader.waitForFinished(5000);
        return std::nullopt;
    }
    if (reader.exitStatus() != QProcess::NormalExit || reader.exitCode() != 0) return std::nullopt;
    return QString::fromUtf8(reader.readAllStandardOutput());
}

}  // namespace apptest
