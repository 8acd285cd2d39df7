#pragma once

#include <QString>

#include <chrono>
#include <memory>

class QObject;
class QWidget;

// Tells the user that a long task has ended while they were looking
// elsewhere.
class CNotifier {
public:
    virtual ~CNotifier() = default;
    // Raises a desktop notification with `summary` and `body` (plain text)
    // and has `window` (may be null) ask for attention until it is activated.
    // Does not wait for the desktop.
    virtual void notifyFinished(QWidget* window, const QString& summary, const QString& body) = 0;
};

// Whether a task that took `elapsed` is worth a notification: it ran longer
// than ten seconds and its window is not the active one.
bool worthNotifying(std::chrono::milliseconds elapsed, bool windowActive);

#ifndef _WIN32

#include <QDBusConnection>

// The freedesktop.org notification server on the session bus
// (org.freedesktop.Notifications.Notify), as Kestrin with its own icon.
class CDesktopNotifier : public CNotifier {
public:
    explicit CDesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus());
    ~CDesktopNotifier() override;

    void notifyFinished(QWidget* window, const QString& summary, const QString& body) override;

private:
    QDBusConnection m_bus;
    // Parent of the calls still waiting for their answer.
    std::unique_ptr<QObject> m_pendingCalls;
};

#endif

// The notifier of the platform the program was built for.
std::unique_ptr<CNotifier> createPlatformNotifier();
