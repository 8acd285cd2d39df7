#include "fake_bus.h"

#include <QFile>

namespace apptest {

namespace {

const QString kClientName = QStringLiteral("kestrin-test-client");
const QString kServiceName = QStringLiteral("kestrin-test-service");

// The session bus's own rules, without the service folders of
// <standard_session_servicedirs/>: a file manager or notification server
// installed on the machine must not start in their place.
constexpr const char kBareConfiguration[] = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

}  // namespace

BareSessionBus::BareSessionBus() {
    const QString configuration = QString::fromStdString((m_folder / "session.conf").string());
    QFile file(configuration);
    if (!file.open(QIODevice::WriteOnly) || file.write(kBareConfiguration) < 0) return;
    file.close();
    m_bus = std::make_unique<PrivateBus>(QStringList{QStringLiteral("--config-file=") + configuration});
    if (!m_bus->running()) return;
    QDBusConnection::connectToBus(m_bus->address(), kClientName);
    QDBusConnection::connectToBus(m_bus->address(), kServiceName);
}

BareSessionBus::~BareSessionBus() {
    QDBusConnection::disconnectFromBus(kClientName);
    QDBusConnection::disconnectFromBus(kServiceName);
}

bool BareSessionBus::running() const {
    return m_bus && m_bus->running() && client().isConnected() && service().isConnected();
}

QString BareSessionBus::address() const {
    return m_bus ? m_bus->address() : QString();
}

QDBusConnection BareSessionBus::client() const {
    return QDBusConnection(kClientName);
}

QDBusConnection BareSessionBus::service() const {
    return QDBusConnection(kServiceName);
}

bool RecordingObject::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    calls.append(message);
    if (!error.isEmpty()) return connection.send(message.createErrorReply(error, QStringLiteral("refused")));
    return connection.send(message.createReply(answer ? answer(message) : QList<QVariant>()));
}

}  // namespace apptest
