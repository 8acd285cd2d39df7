#include "app/settings_store.h"

#include "app/file_names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QUtf8StringView>
#include <QVariant>

#include <limits>

CNativeSettingsStore::CNativeSettingsStore(QString organization, QString application)
    : m_organization(std::move(organization)), m_application(std::move(application)) {}

CNativeSettingsStore::~CNativeSettingsStore() = default;

QSettings& CNativeSettingsStore::settings() {
    if (!m_settings) {
        m_settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                 m_organization, m_application);
    }
    return *m_settings;
}

QString CNativeSettingsStore::key(const QString& group, const QString& name) {
    return group.isEmpty() ? name : group + QLatin1Char('/') + name;
}

QString CNativeSettingsStore::location() {
    return settings().fileName();
}

std::optional<quint32> CNativeSettingsStore::readNumber(const QString& group, const QString& name) {
    const QVariant value = settings().value(key(group, name));
    if (!value.isValid()) return std::nullopt;
    // The registry hands back a word; the configuration file a text. A negative
    // text is the same word written by a signed writer.
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok || number < std::numeric_limits<qint32>::min() || number > std::numeric_limits<quint32>::max()) {
        return std::nullopt;
    }
    return static_cast<quint32>(number);
}

std::optional<QString> CNativeSettingsStore::readText(const QString& group, const QString& name) {
    const QVariant value = settings().value(key(group, name));
    // A path that is not UTF-8 is kept as its bytes.
    if (value.typeId() == QMetaType::QByteArray) return pathFromBytes(value.toByteArray());
    // A hand-edited file can hold a list or other types for a text value; those
    // count as unreadable.
    if (value.typeId() != QMetaType::QString) return std::nullopt;
    return value.toString();
}

void CNativeSettingsStore::writeNumber(const QString& group, const QString& name, quint32 value) {
    settings().setValue(key(group, name), value);
}

void CNativeSettingsStore::writeText(const QString& group, const QString& name, const QString& value) {
    // Text is stored as text; a path that is not UTF-8 (escaped bytes in the
    // QString) as its bytes, which text would turn into other characters.
    const QByteArray bytes = pathBytes(value);
    if (QUtf8StringView(bytes).isValidUtf8())
        settings().setValue(key(group, name), value);
    else
        settings().setValue(key(group, name), bytes);
}

void CNativeSettingsStore::flush() {
    if (m_settings) m_settings->sync();
    m_settings.reset();
}

void CNativeSettingsStore::deleteAll() {
    // Nothing of ours may be written back after the deletion.
    m_settings.reset();
#ifdef Q_OS_WIN
    const QString companyKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\") + m_organization;
    bool companyEmpty = false;
    {
        QSettings company(companyKey, QSettings::NativeFormat);
        company.remove(m_application);
        company.sync();
        companyEmpty = company.childGroups().isEmpty();
    }
    if (companyEmpty) {
        QSettings software(QStringLiteral("HKEY_CURRENT_USER\\Software"), QSettings::NativeFormat);
        software.remove(m_organization);
        software.sync();
    }
#else
    QString fileName;
    {
        QSettings located(QSettings::NativeFormat, QSettings::UserScope, m_organization, m_application);
        fileName = located.fileName();
    }
    QFile::remove(fileName);
    // The company folder goes only when it is empty; rmdir refuses otherwise,
    // so another program's settings in it stay.
    const QDir companyFolder = QFileInfo(fileName).absoluteDir();
    if (companyFolder.dirName() == m_organization) QDir().rmdir(companyFolder.absolutePath());
#endif
}
