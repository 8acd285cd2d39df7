#include "app/file_picker.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {

std::optional<QString> runDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(chosen.first());
}

}  // namespace

std::optional<QString> CQtFilePicker::pickSource(QWidget* owner, const QStringList& filters) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    return runDialog(dialog);
}

std::optional<QString> CQtFilePicker::pickOutput(QWidget* owner, const QString& defaultName,
                                                 const QString& defaultSuffix, const QStringList& filters) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.selectFile(defaultName);
    return runDialog(dialog);
}

std::optional<QStringList> CQtFilePicker::pickSources(QWidget* owner, const QStringList& filters) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    QStringList chosen;
    for (const QString& path : dialog.selectedFiles()) chosen.append(QDir::toNativeSeparators(path));
    return chosen;
}

std::optional<QString> CQtFilePicker::pickFolder(QWidget* owner, const QString& start) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (QFileInfo(start).isDir()) dialog.setDirectory(start);
    return runDialog(dialog);
}

QStringList convertFilterToQt(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList converted;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts[i].trimmed();
        if (label.isEmpty()) break;  // the "||" at the end
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
        }
        if (label.endsWith(QLatin1Char(')'))) {
            const qsizetype open = label.lastIndexOf(QLatin1Char('('));
            if (open > 0) label = label.left(open).trimmed();
        }
        converted.append(label + QLatin1String(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    }
    return converted;
}

QString defaultOutputName(const QString& sourcePath) {
    const QString fallback = QStringLiteral("MyVexmoorImg.pdb");
    // Both separators count, so a path typed in Windows form names its file
    // wherever the program runs.
    const qsizetype separator =
        std::max(sourcePath.lastIndexOf(QLatin1Char('/')), sourcePath.lastIndexOf(QLatin1Char('\\')));
    const QString title = sourcePath.mid(separator + 1);
    const QString stem = title.left(title.indexOf(QLatin1Char('.')));
    if (stem.trimmed().isEmpty()) return fallback;
    return stem + QLatin1String(".pdb");
}
