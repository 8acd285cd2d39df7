#include "app/picture_paths.h"

#include "app/file_names.h"
#include "app/ui_text.h"
#include "imagelib/formats/picture_file_types.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace {

// "*.bmp;*.dib;*.BMP;*.DIB": Windows dialogs match without regard to case,
// the others list both.
std::string filterPatterns(const std::vector<std::string>& suffixes) {
    std::string lower;
    std::string upper;
    for (const std::string& suffix : suffixes) {
        lower += "*." + suffix + ";";
        upper += "*." + QString::fromStdString(suffix).toUpper().toStdString() + ";";
    }
    std::string patterns = lower + upper;
    patterns.pop_back();
    return patterns;
}

std::string buildPictureFilter() {
    std::string filter =
        uiText("All supported formats").toStdString() + "|" + filterPatterns(pictureFileSuffixes()) + "|";
    for (const PictureFileType& type : pictureFileTypes())
        filter += uiText(type.label.c_str()).toStdString() + "|" + filterPatterns(type.suffixes) + "|";
    // A database opens in the preview.
    filter += uiText("Palm image databases (*.pdb)").toStdString() + "|*.pdb;*.PDB|";
    return filter + uiText("All files (*.*)").toStdString() + "|*.*||";
}

QStringList droppedLocalPaths(const QMimeData* data, bool foldersToo) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        // The path's own bytes: toLocalFile() would decode a name that is not
        // UTF-8 into another one.
        const QString path =
            pathFromBytes(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
        const PathStatus status = pathStatus(path);
        if (status.isFile || (foldersToo && status.isFolder))
            paths.append(QDir::toNativeSeparators(absolutePath(path)));
    }
    return paths;
}

}  // namespace

const std::string& pictureFilterText() {
    static const std::string filter = buildPictureFilter();
    return filter;
}

QStringList pictureNamePatterns() {
    return QString::fromStdString(filterPatterns(pictureFileSuffixes())).split(QLatin1Char(';'));
}

QStringList picturesInFolder(const QString& folder) {
    const QDir directory(folder);
    // By suffix, not through QDir's wildcards: a regular expression refuses
    // the escaped bytes of a name that is not UTF-8.
    const auto isPicture = [](const QString& name) {
        for (const std::string& suffix : pictureFileSuffixes()) {
            if (name.endsWith(QLatin1Char('.') + QString::fromStdString(suffix), Qt::CaseInsensitive))
                return true;
        }
        return false;
    };
    QStringList names;
    for (const QString& name : filesInFolder(folder)) {
        if (isPicture(name)) names.append(name);
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    QStringList found;
    for (const QString& name : names)
        found.append(QDir::toNativeSeparators(directory.absoluteFilePath(name)));
    return found;
}

QStringList expandPicturePaths(const QStringList& paths) {
    QStringList found;
    for (const QString& path : paths) {
        if (pathStatus(path).isFolder)
            found.append(picturesInFolder(path));
        else if (!isPalmDatabasePath(path))
            found.append(QDir::toNativeSeparators(absolutePath(path)));
    }
    return found;
}

QString droppedFile(const QMimeData* data) {
    const QStringList files = droppedLocalPaths(data, false);
    return files.isEmpty() ? QString() : files.first();
}

QStringList droppedPaths(const QMimeData* data) {
    return droppedLocalPaths(data, true);
}

bool isPalmDatabasePath(const QString& path) {
    return path.endsWith(QLatin1String(".pdb"), Qt::CaseInsensitive) && pathStatus(path).isFile;
}

std::string enginePath(const QString& path) {
    return pathBytes(QDir::fromNativeSeparators(path)).toStdString();
}
