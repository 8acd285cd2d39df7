#include "app/desktop_notifier.h"

#include <QApplication>
#include <QWidget>

namespace {

constexpr std::chrono::seconds kWorthNotifyingAfter{10};

}  // namespace

bool worthNotifying(std::chrono::milliseconds elapsed, bool windowActive) {
    return elapsed > kWorthNotifyingAfter && !windowActive;
}

#ifndef _WIN32

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kObjectPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";
constexpr const char* kAppName = "Kestrin";
constexpr const char* kAppId = "org.quessel.Kestrin";
// The server's own choice of how long the notification stays.
constexpr int kServerDefaultTimeout = -1;

}  // namespace

CDesktopNotifier::CDesktopNotifier(QDBusConnection bus)
    : m_bus(std::move(bus)), m_pendingCalls(std::make_unique<QObject>()) {}

CDesktopNotifier::~CDesktopNotifier() = default;

void CDesktopNotifier::notifyFinished(QWidget* window, const QString& summary, const QString& body) {
    if (window != nullptr) QApplication::alert(window);
    if (!m_bus.isConnected()) return;
    // A server that reads markup in the body would take a file name with
    // "<" or "&" for markup; one that does not would show the escapes. So
    // ask first.
    const QDBusMessage askCapabilities =
        QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kObjectPath),
                                       QLatin1String(kInterface), QStringLiteral("GetCapabilities"));
    auto* asked = new QDBusPendingCallWatcher(m_bus.asyncCall(askCapabilities), m_pendingCalls.get());
    QObject::connect(asked, &QDBusPendingCallWatcher::finished,
                     [bus = m_bus, summary, body](QDBusPendingCallWatcher* answer) {
                         const QDBusPendingReply<QStringList> capabilities = *answer;
                         const bool markup = capabilities.isValid() &&
                                             capabilities.value().contains(QLatin1String("body-markup"));
                         QDBusMessage notify = QDBusMessage::createMethodCall(
                             QLatin1String(kService), QLatin1String(kObjectPath), QLatin1String(kInterface),
                             QStringLiteral("Notify"));
                         notify << QString::fromLatin1(kAppName) << 0u << QString::fromLatin1(kAppId)
                                << summary << (markup ? body.toHtmlEscaped() : body) << QStringList()
                                << QVariantMap{{QStringLiteral("desktop-entry"), QString::fromLatin1(kAppId)}}
                                << kServerDefaultTimeout;
                         // Nothing to do with the answer: a notification that could not be
                         // shown leaves the window's own call for attention.
                         bus.send(notify);
                         answer->deleteLater();
                     });
}

std::unique_ptr<CNotifier> createPlatformNotifier() {
    return std::make_unique<CDesktopNotifier>();
}

#else

namespace {

// The taskbar's flashing is Windows's way of asking for attention.
class CAttentionNotifier : public CNotifier {
public:
    void notifyFinished(QWidget* window, const QString&, const QString&) override {
        if (window != nullptr) QApplication::alert(window);
    }
};

}  // namespace

std::unique_ptr<CNotifier> createPlatformNotifier() {
    return std::make_unique<CAttentionNotifier>();
}

#endif
