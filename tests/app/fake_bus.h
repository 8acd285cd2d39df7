#pragma once

#include "support/test_support.h"
#include "x_session.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

namespace apptest {

// A session bus of the test's own that starts no services: only what the test
// registers answers. `client` is the connection for the code under test,
// `service` the one the fakes register on.
class BareSessionBus {
public:
    BareSessionBus();
    ~BareSessionBus();
    BareSessionBus(const BareSessionBus&) = delete;
    BareSessionBus& operator=(const BareSessionBus&) = delete;

    // False when dbus-daemon is missing or does not come up.
    bool running() const;
    // For a program of the test's own to connect to.
    QString address() const;
    QDBusConnection client() const;
    QDBusConnection service() const;

private:
    testsupport::TemporaryFolder m_folder;
    std::unique_ptr<PrivateBus> m_bus;
};

// An object of a fake service: records every call and answers it with what
// `answer` gives (no arguments when unset), or with the error `error` when
// that is set.
class RecordingObject : public QDBusVirtualObject {
public:
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
    QString introspect(const QString&) const override { return {}; }

    QList<QDBusMessage> calls;
    std::function<QList<QVariant>(const QDBusMessage&)> answer;
    QString error;
};

}  // namespace apptest
