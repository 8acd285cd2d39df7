#include "app/engine_messages.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>

#include <vector>

namespace {

struct MessageTemplate {
    const char* printfForm;
    const char* qtForm;
};

constexpr MessageTemplate kMessages[] = {
#define KESTRIN_ENGINE_MESSAGE(printfForm, qtForm) {printfForm, qtForm},
#include "app/engine_message_table.h"
#undef KESTRIN_ENGINE_MESSAGE
};

// A message inside a message inside a message ("Error %d decoding %s: %s"
// around "Decoder error: %s" around the decoder's own) is as deep as they go.
constexpr int kDeepestMessage = 3;

struct Matcher {
    QRegularExpression pattern;
    QString qtForm;
    // Which captures stand for %s, and may be messages themselves.
    std::vector<bool> isText;
};

// printf's conversions as the engine's messages use them.
const QRegularExpression& conversionPattern() {
    static const QRegularExpression pattern(
        QStringLiteral("%(%|[-+ #0]*\\d*(?:\\.\\d+)?(?:hh|h|ll|l|z|j|t)?([diouxXcspfgeE]))"));
    return pattern;
}

Matcher buildMatcher(const MessageTemplate& message) {
    Matcher matcher;
    matcher.qtForm = QString::fromUtf8(message.qtForm);
    const QString form = QString::fromUtf8(message.printfForm);
    QString pattern = QStringLiteral("\\A");
    qsizetype done = 0;
    auto conversions = conversionPattern().globalMatch(form);
    while (conversions.hasNext()) {
        const QRegularExpressionMatch conversion = conversions.next();
        pattern += QRegularExpression::escape(form.mid(done, conversion.capturedStart() - done));
        done = conversion.capturedEnd();
        if (conversion.captured(1) == QLatin1String("%")) {
            pattern += QLatin1Char('%');
            continue;
        }
        const QChar kind = conversion.captured(2).front();
        const bool isText = kind == QLatin1Char('s');
        matcher.isText.push_back(isText);
        pattern += isText ? QStringLiteral("(.*?)") : QStringLiteral("(\\S+?)");
    }
    pattern += QRegularExpression::escape(form.mid(done)) + QStringLiteral("\\z");
    matcher.pattern.setPattern(pattern);
    matcher.pattern.setPatternOptions(QRegularExpression::DotMatchesEverythingOption);
    return matcher;
}

const std::vector<Matcher>& matchers() {
    static const std::vector<Matcher> all = [] {
        std::vector<Matcher> built;
        for (const MessageTemplate& message : kMessages) built.push_back(buildMatcher(message));
        return built;
    }();
    return all;
}

// `translated` with each %N replaced by the Nth argument, in one pass: a "%1"
// inside a file name stays as it is.
QString substitute(const QString& translated, const QStringList& arguments) {
    QString text;
    for (qsizetype i = 0; i < translated.size(); ++i) {
        const QChar c = translated[i];
        if (c == QLatin1Char('%') && i + 1 < translated.size() && translated[i + 1].isDigit()) {
            const int number = translated[i + 1].digitValue();
            if (number >= 1 && number <= arguments.size()) {
                text += arguments[number - 1];
                ++i;
                continue;
            }
        }
        text += c;
    }
    return text;
}

QString translateMessage(const QString& text, int depth) {
    if (depth > kDeepestMessage) return text;
    for (const Matcher& matcher : matchers()) {
        const QRegularExpressionMatch match = matcher.pattern.match(text);
        if (!match.hasMatch()) continue;
        QStringList arguments;
        bool changed = false;
        for (std::size_t i = 0; i < matcher.isText.size(); ++i) {
            const QString argument = match.captured(static_cast<int>(i) + 1);
            arguments.append(matcher.isText[i] ? translateMessage(argument, depth + 1) : argument);
            changed = changed || arguments.back() != argument;
        }
        const QByteArray source = matcher.qtForm.toUtf8();
        const QString translated = QCoreApplication::translate("EngineMessage", source.constData());
        if (translated == matcher.qtForm && !changed) return text;
        return substitute(translated, arguments);
    }
    return text;
}

}  // namespace

QString engineMessageText(const std::string& text) {
    return translateMessage(QString::fromStdString(text), 1);
}
