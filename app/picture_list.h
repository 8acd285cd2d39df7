#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The pictures the window converts at once: each once, in the order they
// came. A single picture is no list: it leaves the list for the window's
// input field, which is where the window holds one picture.
class CPictureList {
public:
    const QStringList& paths() const { return m_paths; }
    bool isList() const { return m_paths.size() > 1; }

    // Adds the pictures not held yet; the one picture, when that is all the
    // list would hold.
    std::optional<QString> add(const QStringList& pictures);
    // Removes the rows; the picture left alone, if one is.
    std::optional<QString> removeRows(QList<int> rows);
    void clear() { m_paths.clear(); }

private:
    std::optional<QString> takeSingle();

    QStringList m_paths;
};
