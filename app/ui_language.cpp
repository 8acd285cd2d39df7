#include "app/ui_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// Built from app/translations/kestrin_*.ts into the program's resources, so
// the build folder and the installed program find them alike.
constexpr const char* kTranslationsFolder = ":/kestrin/translations";

std::unique_ptr<QTranslator> loadTranslation(const QLocale& locale, const QString& name,
                                             const QString& folder) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, name, QStringLiteral("_"), folder)) return nullptr;
    QCoreApplication::installTranslator(translator.get());
    return translator;
}

}  // namespace

CUiLanguage::CUiLanguage(const QLocale& locale) : m_previousDefault(QLocale()) {
    m_kestrin = loadTranslation(locale, QStringLiteral("kestrin"), QLatin1String(kTranslationsFolder));
    if (m_kestrin == nullptr) {
        QLocale::setDefault(locale.language() == QLocale::English
                                ? locale
                                : QLocale(QLocale::English, QLocale::UnitedStates));
        return;
    }
    // Qt's translations come with Qt's packages; without them the standard
    // buttons stay English, as every Qt program's do then.
    m_qt =
        loadTranslation(locale, QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    QLocale::setDefault(locale);
}

CUiLanguage::~CUiLanguage() {
    if (m_qt) QCoreApplication::removeTranslator(m_qt.get());
    if (m_kestrin) QCoreApplication::removeTranslator(m_kestrin.get());
    QLocale::setDefault(m_previousDefault);
}
