#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>

class QSettings;

// Where the per-user settings live. Values sit either directly in the
// application's key (empty group) or in one of its subkeys ("MRU input").
// Numbers are 32-bit unsigned words; a read answers nothing for a value that is
// missing or cannot be read, so the caller falls back to its default.
class CSettingsStore {
public:
    virtual ~CSettingsStore() = default;

    virtual std::optional<quint32> readNumber(const QString& group, const QString& name) = 0;
    virtual std::optional<QString> readText(const QString& group, const QString& name) = 0;
    virtual void writeNumber(const QString& group, const QString& name, quint32 value) = 0;
    virtual void writeText(const QString& group, const QString& name, const QString& value) = 0;
    // Ends a series of reads or writes and puts the writes on disk; failures
    // are ignored.
    virtual void flush() = 0;
    // Removes the application's settings with everything below them, then the
    // company level, but only when no other program's settings are left in it.
    // Failures are ignored.
    virtual void deleteAll() = 0;
    // Where the values are kept, in words a user can follow to them; empty
    // when there is no such place.
    virtual QString location() { return {}; }
};

// The platform's native settings storage: the registry key
// HKEY_CURRENT_USER\Software\<organization>\<application> on Windows, the file
// <organization>/<application>.conf in the user's configuration folder on Linux.
class CNativeSettingsStore : public CSettingsStore {
public:
    CNativeSettingsStore(QString organization, QString application);
    ~CNativeSettingsStore() override;

    std::optional<quint32> readNumber(const QString& group, const QString& name) override;
    std::optional<QString> readText(const QString& group, const QString& name) override;
    void writeNumber(const QString& group, const QString& name, quint32 value) override;
    void writeText(const QString& group, const QString& name, const QString& value) override;
    void flush() override;
    void deleteAll() override;

    // A file path, or a registry path on Windows.
    QString location() override;

private:
    QSettings& settings();
    static QString key(const QString& group, const QString& name);

    QString m_organization;
    QString m_application;
    std::unique_ptr<QSettings> m_settings;
};
