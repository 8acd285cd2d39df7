#include "app/file_names.h"

#ifdef _WIN32

// Windows names are UTF-16, which a QString holds as it is.
#include <QDir>
#include <QFile>
#include <QFileInfo>

QString pathFromBytes(const QByteArray& bytes) {
    return QFile::decodeName(bytes);
}

QByteArray pathBytes(const QString& path) {
    return QFile::encodeName(path);
}

QString absolutePath(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

PathStatus pathStatus(const QString& path) {
    const QFileInfo info(path);
    return {info.exists() || info.isSymLink(), info.isFile(), info.isDir(), info.size()};
}

bool removeFile(const QString& path) {
    return QFile::remove(path);
}

QStringList filesInFolder(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Readable);
}

#else

#include <QDir>
#include <QUtf8StringView>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace {

constexpr char16_t kEscapedByteBase = 0xDC00;

// The length of the UTF-8 character at `at`, or 0 when the bytes there are
// none (a stray byte, an overlong form, a surrogate, beyond U+10FFFF).
int utf8CharacterLength(const QByteArray& bytes, qsizetype at) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    int length = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (at + length > bytes.size()) return 0;
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    }
    const unsigned char second = byte(at + 1);
    if (lead == 0xE0 && second < 0xA0) return 0;   // overlong
    if (lead == 0xED && second >= 0xA0) return 0;  // a surrogate
    if (lead == 0xF0 && second < 0x90) return 0;   // overlong
    if (lead == 0xF4 && second >= 0x90) return 0;  // beyond U+10FFFF
    return length;
}

}  // namespace

QString pathFromBytes(const QByteArray& bytes) {
    if (QUtf8StringView(bytes).isValidUtf8()) return QString::fromUtf8(bytes);
    QString path;
    for (qsizetype at = 0; at < bytes.size();) {
        const int length = utf8CharacterLength(bytes, at);
        if (length == 0) {
            path += QChar(static_cast<char16_t>(kEscapedByteBase + static_cast<unsigned char>(bytes[at])));
            ++at;
            continue;
        }
        path += QString::fromUtf8(bytes.constData() + at, length);
        at += length;
    }
    return path;
}

QByteArray pathBytes(const QString& path) {
    QByteArray bytes;
    bytes.reserve(path.size());
    qsizetype textStart = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path[i].unicode();
        const bool escapedByte = unit >= kEscapedByteBase + 0x80 && unit <= kEscapedByteBase + 0xFF &&
                                 (i == 0 || !path[i - 1].isHighSurrogate());
        if (!escapedByte) continue;
        bytes += QStringView(path).mid(textStart, i - textStart).toUtf8();
        bytes += static_cast<char>(unit - kEscapedByteBase);
        textStart = i + 1;
    }
    bytes += QStringView(path).mid(textStart).toUtf8();
    return bytes;
}

QString absolutePath(const QString& path) {
    if (path.startsWith(QLatin1Char('/'))) return QDir::cleanPath(path);
    return QDir::cleanPath(QDir::currentPath() + QLatin1Char('/') + path);
}

PathStatus pathStatus(const QString& path) {
    const QByteArray bytes = pathBytes(path);
    PathStatus status;
    struct stat info {};
    if (::stat(bytes.constData(), &info) == 0) {
        status.exists = true;
        status.isFile = S_ISREG(info.st_mode);
        status.isFolder = S_ISDIR(info.st_mode);
        status.size = static_cast<qint64>(info.st_size);
    } else {
        status.exists = ::lstat(bytes.constData(), &info) == 0;
    }
    return status;
}

bool removeFile(const QString& path) {
    return ::unlink(pathBytes(path).constData()) == 0;
}

QStringList filesInFolder(const QString& folder) {
    QStringList names;
    const QByteArray folderBytes = pathBytes(folder);
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(folderBytes.constData()), ::closedir);
    if (!directory) return names;
    while (const dirent* entry = ::readdir(directory.get())) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..") continue;
        const QByteArray path = folderBytes + '/' + name;
        struct stat info {};
        if (::stat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        if (::access(path.constData(), R_OK) != 0) continue;
        names.append(pathFromBytes(name));
    }
    return names;
}

#endif
