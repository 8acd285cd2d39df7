#include "app/output_follow.h"

#include "app/file_names.h"
#include "engine/batch_runner.h"
#include "engine/windows_1252.h"

#include <algorithm>

namespace {

// Where the file name of a path starts: after its last separator, in Windows
// or Unix form wherever the program runs (0 when there is none).
qsizetype nameStart(const QString& path) {
    return std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1;
}

}  // namespace

PictureNaming followPicture(const PictureNaming& previous, const QString& newPicture) {
    if (newPicture.isEmpty() || newPicture == previous.picture) return previous;
    PictureNaming next = previous;
    next.picture = newPicture;
    const qsizetype pictureNameStart = nameStart(newPicture);
    const Conversion named =
        conversionIntoFolder(pathBytes(newPicture.mid(pictureNameStart)).toStdString(), {});
    const QString& folderOf = previous.output.isEmpty() ? newPicture : previous.output;
    next.output = folderOf.left(nameStart(folderOf)) + pathFromBytes(QByteArray::fromStdString(named.output));
    if (!previous.imageNameByHand)
        next.imageName = QString::fromStdString(decodeWindows1252(named.imageName));
    return next;
}
