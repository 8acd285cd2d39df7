#include "app/desktop_notifier.h"
#include "fake_bus.h"

#include <QDBusArgument>
#include <QStringList>
#include <QTest>
#include <QVariantMap>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

TEST(DesktopNotifier, NotifiesOnlyAfterTenSecondsAwayFromTheWindow) {
    EXPECT_FALSE(worthNotifying(10s, false));
    EXPECT_TRUE(worthNotifying(10001ms, false));
    EXPECT_FALSE(worthNotifying(1h, true));
}

TEST(DesktopNotifier, SendsTheNotificationAsKestrinWithTheBodyAsPlainText) {
    apptest::BareSessionBus bus;
    if (!bus.running()) GTEST_SKIP() << "no dbus-daemon";
    struct Case {
        const char* name;
        QStringList capabilities;
        QString body;
    };
    // A file name with markup characters must reach the user as it is.
    const Case cases[] = {
        {"plain server", {QStringLiteral("body")}, QStringLiteral("3 pictures in <a&b>")},
        {"markup server",
         {QStringLiteral("body"), QStringLiteral("body-markup")},
         QStringLiteral("3 pictures in &lt;a&amp;b&gt;")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        apptest::RecordingObject server;
        server.answer = [&](const QDBusMessage& call) -> QList<QVariant> {
            if (call.member() == QLatin1String("GetCapabilities")) return {c.capabilities};
            return {QVariant::fromValue(7u)};
        };
        ASSERT_TRUE(bus.service().registerVirtualObject(kPath, &server));
        ASSERT_TRUE(bus.service().registerService(kService));
        {
            QWidget window;
            CDesktopNotifier notifier(bus.client());
            notifier.notifyFinished(&window, QStringLiteral("Batch finished"),
                                    QStringLiteral("3 pictures in <a&b>"));
            EXPECT_TRUE(QTest::qWaitFor([&] { return server.calls.size() == 2; }));
        }
        bus.service().unregisterService(kService);
        bus.service().unregisterObject(kPath);
        ASSERT_EQ(server.calls.size(), 2);
        const QDBusMessage& notify = server.calls[1];
        EXPECT_EQ(notify.member(), QStringLiteral("Notify"));
        EXPECT_EQ(notify.signature(), QStringLiteral("susssasa{sv}i"));
        const QVariantList arguments = notify.arguments();
        ASSERT_EQ(arguments.size(), 8);
        EXPECT_EQ(arguments[0].toString(), QStringLiteral("Kestrin"));
        EXPECT_EQ(arguments[1].toUInt(), 0u);
        EXPECT_EQ(arguments[2].toString(), QStringLiteral("org.quessel.Kestrin"));
        EXPECT_EQ(arguments[3].toString(), QStringLiteral("Batch finished"));
        EXPECT_EQ(arguments[4].toString(), c.body);
        EXPECT_TRUE(arguments[5].toStringList().isEmpty());
        const QVariantMap hints = qdbus_cast<QVariantMap>(arguments[6]);
        EXPECT_EQ(hints.value(QStringLiteral("desktop-entry")).toString(),
                  QStringLiteral("org.quessel.Kestrin"));
        EXPECT_EQ(arguments[7].toInt(), -1);
    }
}

}  // namespace
