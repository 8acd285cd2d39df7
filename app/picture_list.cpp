#include "app/picture_list.h"

#include <algorithm>
#include <functional>

std::optional<QString> CPictureList::add(const QStringList& pictures) {
    for (const QString& path : pictures) {
        if (!m_paths.contains(path)) m_paths.append(path);
    }
    return takeSingle();
}

std::optional<QString> CPictureList::removeRows(QList<int> rows) {
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (const int row : rows) {
        if (row >= 0 && row < m_paths.size()) m_paths.removeAt(row);
    }
    return takeSingle();
}

std::optional<QString> CPictureList::takeSingle() {
    if (m_paths.size() != 1) return std::nullopt;
    return m_paths.takeFirst();
}
