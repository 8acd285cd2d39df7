#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// A file name is bytes; the window holds paths as QStrings. A name that is not
// UTF-8 (an old camera's, a Latin-1 folder) keeps each byte that is no part of
// a UTF-8 character as the lone surrogate U+DC80 + byte, as Python's
// "surrogateescape" does: the name shows with a replacement character and
// turns back into its very bytes, where QFile::encodeName would make it
// another name. Every path the window hands the file system or the engine
// goes through pathBytes; every one it takes from them through pathFromBytes.

QString pathFromBytes(const QByteArray& bytes);
QByteArray pathBytes(const QString& path);
// The path made absolute (against the current folder) and clean, in the
// string alone: QFileInfo::absoluteFilePath goes through encodeName.
QString absolutePath(const QString& path);

// What is at a path, looked at through its bytes (QFileInfo would look at
// another name). A link counts as what it leads to; a dangling link exists.
struct PathStatus {
    bool exists = false;
    bool isFile = false;
    bool isFolder = false;
    qint64 size = 0;
};
PathStatus pathStatus(const QString& path);

// Removes a file or link, not what it leads to.
bool removeFile(const QString& path);

// The names of the readable files in `folder` (not its subfolders), read
// through the folder's bytes; empty when it cannot be read.
QStringList filesInFolder(const QString& folder);
