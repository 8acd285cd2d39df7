#include "app/wine_association.h"

#include <QFile>
#include <QFileInfo>
#include <QStringView>

namespace {

// Registry files of old, much used prefixes run to a few megabytes; anything
// far beyond that is not a registry worth reading.
constexpr qint64 kLargestRegistryFile = 64 * 1024 * 1024;

bool isWineProgram(const QString& word) {
    const QString name = QFileInfo(word).fileName();
    return name == QLatin1String("wine") || name == QLatin1String("wine64") ||
           name.startsWith(QLatin1String("wine-")) || name.startsWith(QLatin1String("wine64-"));
}

int digitValue(QChar c, int base) {
    const int value = c.isDigit() ? c.unicode() - '0'
                      : (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'))
                          ? c.toLower().unicode() - 'a' + 10
                          : 99;
    return value < base ? value : -1;
}

// A string of the registry file starting after its opening quote (or, for a
// key name, after the "["), up to the unescaped `end`. Wine writes
// backslashes, quotes and brackets with a backslash, control characters as C
// escapes or octal, and everything beyond ASCII as \x with up to four hex
// digits.
std::optional<QString> readEscaped(QStringView line, qsizetype& position, QChar end) {
    QString text;
    while (position < line.size()) {
        const QChar c = line[position++];
        if (c == end) return text;
        if (c != QLatin1Char('\\') || position == line.size()) {
            text.append(c);
            continue;
        }
        const QChar code = line[position++];
        const auto readNumber = [&](int base, int maxDigits, char32_t start) {
            char32_t value = start;
            for (int digits = 0; digits < maxDigits && position < line.size(); ++digits) {
                const int digit = digitValue(line[position], base);
                if (digit < 0) break;
                value = value * static_cast<char32_t>(base) + static_cast<char32_t>(digit);
                ++position;
            }
            text.append(QChar(static_cast<char16_t>(value)));
        };
        switch (code.unicode()) {
            case 'a':
                text.append(QChar(0x07));
                break;
            case 'b':
                text.append(QChar(0x08));
                break;
            case 'e':
                text.append(QChar(0x1b));
                break;
            case 'f':
                text.append(QChar(0x0c));
                break;
            case 'n':
                text.append(QChar(0x0a));
                break;
            case 'r':
                text.append(QChar(0x0d));
                break;
            case 't':
                text.append(QChar(0x09));
                break;
            case 'v':
                text.append(QChar(0x0b));
                break;
            case 'x':
                readNumber(16, 4, 0);
                break;
            default:
                if (digitValue(code, 8) >= 0) {
                    readNumber(8, 2, static_cast<char32_t>(digitValue(code, 8)));
                } else {
                    text.append(code);
                }
        }
    }
    return std::nullopt;
}

// The bytes of a hex(N): value, "22,00,43,00"; nothing when malformed.
std::optional<QByteArray> readHexBytes(QStringView list) {
    QByteArray bytes;
    for (const QStringView part : list.split(QLatin1Char(','))) {
        const QStringView trimmed = part.trimmed();
        if (trimmed.isEmpty()) continue;
        bool ok = false;
        const uint value = trimmed.toUInt(&ok, 16);
        if (!ok || value > 0xff || trimmed.size() > 2) return std::nullopt;
        bytes.append(static_cast<char>(value));
    }
    return bytes;
}

QString fromUtf16LittleEndian(const QByteArray& bytes) {
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (unit == 0) break;
        text.append(QChar(unit));
    }
    return text;
}

// The string data of a value line after its "=".
std::optional<QString> readStringData(QStringView data) {
    qsizetype position = 1;
    if (data.startsWith(QLatin1Char('"'))) return readEscaped(data, position, QLatin1Char('"'));
    // REG_SZ and REG_EXPAND_SZ in their typed forms.
    for (const char* type : {"str(1):\"", "str(2):\""}) {
        if (data.startsWith(QLatin1String(type))) {
            position = 8;
            return readEscaped(data, position, QLatin1Char('"'));
        }
    }
    for (const char* type : {"hex(1):", "hex(2):"}) {
        if (data.startsWith(QLatin1String(type))) {
            const auto bytes = readHexBytes(data.mid(7));
            if (!bytes) return std::nullopt;
            return fromUtf16LittleEndian(*bytes);
        }
    }
    return std::nullopt;
}

// The lines of a registry file with the continuations of long hex values
// ("...,00,\" and the next line) joined.
QStringList logicalLines(const QString& text) {
    QStringList lines;
    QString pending;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (!pending.isEmpty()) line = line.trimmed();
        if (line.endsWith(QLatin1Char('\\')) && !line.startsWith(QLatin1Char('['))) {
            pending += line.chopped(1);
            continue;
        }
        pending += line;
        lines.append(pending);
        pending.clear();
    }
    if (!pending.isEmpty()) lines.append(pending);
    return lines;
}

std::optional<QString> readRegistryFile(const QString& path, const QString& keyPath) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestRegistryFile) return std::nullopt;
    return readWineRegistryString(file.readAll(), keyPath, QString());
}

}  // namespace

std::optional<WineOpenCommand> wineOpenCommand(const QStringList& words, const QString& home) {
    qsizetype i = 0;
    QString prefix;
    if (!words.isEmpty() && QFileInfo(words[0]).fileName() == QLatin1String("env")) {
        for (++i; i < words.size() && words[i].contains(QLatin1Char('=')) &&
                  !words[i].startsWith(QLatin1Char('-'));
             ++i) {
            const qsizetype equals = words[i].indexOf(QLatin1Char('='));
            if (words[i].left(equals) == QLatin1String("WINEPREFIX")) prefix = words[i].mid(equals + 1);
        }
    }
    if (i + 3 >= words.size() || !isWineProgram(words[i])) return std::nullopt;
    const QString& start = words[i + 1];
    if (start.compare(QLatin1String("start"), Qt::CaseInsensitive) != 0 &&
        start.compare(QLatin1String("start.exe"), Qt::CaseInsensitive) != 0) {
        return std::nullopt;
    }
    if (words[i + 2].compare(QLatin1String("/ProgIDOpen"), Qt::CaseInsensitive) != 0) return std::nullopt;
    if (prefix.isEmpty()) prefix = home + QLatin1String("/.wine");
    return WineOpenCommand{prefix, words[i + 3]};
}

std::optional<QString> readWineRegistryString(const QByteArray& registry, const QString& keyPath,
                                              const QString& valueName) {
    bool inKey = false;
    for (const QString& line : logicalLines(QString::fromUtf8(registry))) {
        if (line.startsWith(QLatin1Char('['))) {
            qsizetype position = 1;
            const auto key = readEscaped(line, position, QLatin1Char(']'));
            inKey = key && key->compare(keyPath, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inKey) continue;
        qsizetype position = 0;
        std::optional<QString> name;
        if (line.startsWith(QLatin1Char('@'))) {
            name = QString();
            position = 1;
        } else if (line.startsWith(QLatin1Char('"'))) {
            position = 1;
            name = readEscaped(line, position, QLatin1Char('"'));
        }
        if (!name || position >= line.size() || line[position] != QLatin1Char('=')) continue;
        if (name->compare(valueName, Qt::CaseInsensitive) != 0) continue;
        return readStringData(QStringView(line).mid(position + 1));
    }
    return std::nullopt;
}

std::optional<QString> wineOpenCommandLine(const WineOpenCommand& command) {
    const QString key =
        QLatin1String("Software\\Classes\\") + command.progId + QLatin1String("\\shell\\open\\command");
    for (const char* file : {"/user.reg", "/system.reg"}) {
        if (auto line = readRegistryFile(command.prefix + QLatin1String(file), key)) return line;
    }
    return std::nullopt;
}

QString programOfWindowsCommandLine(const QString& commandLine) {
    const QString line = commandLine.trimmed();
    if (line.startsWith(QLatin1Char('"'))) {
        const qsizetype closing = line.indexOf(QLatin1Char('"'), 1);
        return closing < 0 ? line.mid(1) : line.mid(1, closing - 1);
    }
    // Unquoted paths with spaces ("C:\Program Files\Palm\Instapp.exe %1")
    // are common in old installers; Windows finds their end at the program.
    for (qsizetype from = 0;;) {
        const qsizetype exe = line.indexOf(QLatin1String(".exe"), from, Qt::CaseInsensitive);
        if (exe < 0) break;
        const qsizetype end = exe + 4;
        if (end == line.size() || line[end].isSpace()) return line.left(end);
        from = end;
    }
    const qsizetype space = line.indexOf(QLatin1Char(' '));
    return space < 0 ? line : line.left(space);
}
