#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// The open and save file dialogs. Both answer the chosen full path, or
// nothing when the user cancelled.
class CFilePicker {
public:
    virtual ~CFilePicker() = default;
    // An existing file; `filters` in Qt's syntax, the first one selected.
    virtual std::optional<QString> pickSource(QWidget* owner, const QStringList& filters) = 0;
    // A file to write; the dialog does not ask about overwriting, the caller does.
    virtual std::optional<QString> pickOutput(QWidget* owner, const QString& defaultName,
                                              const QString& defaultSuffix, const QStringList& filters) = 0;
    // One or more existing files; never an empty list.
    virtual std::optional<QStringList> pickSources(QWidget* owner, const QStringList& filters) = 0;
    // An existing folder, starting at `start` when it is one.
    virtual std::optional<QString> pickFolder(QWidget* owner, const QString& start) = 0;
};

class CQtFilePicker : public CFilePicker {
public:
    std::optional<QString> pickSource(QWidget* owner, const QStringList& filters) override;
    std::optional<QString> pickOutput(QWidget* owner, const QString& defaultName,
                                      const QString& defaultSuffix, const QStringList& filters) override;
    std::optional<QStringList> pickSources(QWidget* owner, const QStringList& filters) override;
    std::optional<QString> pickFolder(QWidget* owner, const QString& start) override;
};

// Turns a filter of label and pattern pairs separated by "|" (ending in "||")
// into Qt's "Label (*.a *.b)" entries. The patterns in the label's own
// parentheses are replaced by the real ones, and "*.*" becomes "*", which is
// what it means on Windows.
QStringList convertFilterToQt(const QString& filter);

// The name the output picker proposes for a source path: its file name cut
// before the first "." with ".pdb" added, or "MyVexmoorImg.pdb" when the path
// has no usable name.
QString defaultOutputName(const QString& sourcePath);
