#pragma once

#include <QLocale>

#include <memory>

class QTranslator;

// The language of the window: Kestrin's translation for the locale, Qt's own
// for the standard buttons of message boxes and file dialogs, and the number
// format that goes with the words. A language without a translation gets the
// English texts and English numbers ("10,232 bytes", never "10.232 bytes"),
// so that no number is written in a language its words are not. Lives as long
// as the window; going out of scope takes the translations back.
class CUiLanguage {
public:
    explicit CUiLanguage(const QLocale& locale = QLocale::system());
    ~CUiLanguage();
    CUiLanguage(const CUiLanguage&) = delete;
    CUiLanguage& operator=(const CUiLanguage&) = delete;

    // Whether Kestrin's texts are shown in the locale's language.
    bool translated() const { return m_kestrin != nullptr; }

private:
    std::unique_ptr<QTranslator> m_kestrin;
    std::unique_ptr<QTranslator> m_qt;
    QLocale m_previousDefault;
};
