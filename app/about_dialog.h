#pragma once

#include <QDialog>
#include <QStringList>

// The about box: the program's icon, name and version, what it is for, and
// one credit line for each library it decodes pictures with.
class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
};

// The credit lines, with the versions the linked libraries report at run time
// where they offer one.
QStringList libraryCreditLines();
