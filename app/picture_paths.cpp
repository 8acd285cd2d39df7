#include "app/picture_paths.h"

#include "app/ui_text.h"
#include "imagelib/formats/picture_file_types.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

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
    return filter + uiText("All files (*.*)").toStdString() + "|*.*||";
}

QStringList droppedLocalPaths(const QMimeData* data, bool foldersToo) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const QFileInfo info(url.toLocalFile());
        if (info.isFile() || (foldersToo && info.isDir()))
            paths.append(QDir::toNativeSeparators(info.absoluteFilePath()));
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
    QStringList found;
    for (const QString& name : directory.entryList(pictureNamePatterns(), QDir::Files | QDir::Readable,
                                                   QDir::Name | QDir::IgnoreCase))
        found.append(QDir::toNativeSeparators(directory.absoluteFilePath(name)));
    return found;
}

QStringList expandPicturePaths(const QStringList& paths) {
    QStringList found;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir())
            found.append(picturesInFolder(path));
        else if (!isPalmDatabasePath(path))
            found.append(QDir::toNativeSeparators(info.absoluteFilePath()));
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
    return path.endsWith(QLatin1String(".pdb"), Qt::CaseInsensitive) && QFileInfo(path).isFile();
}

std::string enginePath(const QString& path) {
    return QFile::encodeName(QDir::fromNativeSeparators(path)).toStdString();
}
