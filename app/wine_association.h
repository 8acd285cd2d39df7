#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Wine makes each Windows file association a desktop entry that asks Wine to
// open the file with a ProgID of one Wine prefix; which Windows program that
// is, only the prefix's registry knows.
struct WineOpenCommand {
    QString prefix;  // the Wine prefix folder
    QString progId;
};

// The Wine prefix and ProgID of a desktop entry's command line, split into
// words ("env WINEPREFIX=/home/u/.wine wine start /ProgIDOpen Palm.Database
// %f"); nothing when the entry does not open files through Wine. Without a
// WINEPREFIX the prefix is `home`/.wine, as for Wine itself.
std::optional<WineOpenCommand> wineOpenCommand(const QStringList& words, const QString& home);

// The value `valueName` ("" for the key's default value) of `keyPath` in the
// text of a Wine registry file (user.reg, system.reg), undoing the file's
// escapes; expandable strings come back unexpanded. Nothing when the key or
// value is missing or holds no string. Key names compare without regard to
// case, as in Windows.
std::optional<QString> readWineRegistryString(const QByteArray& registry, const QString& keyPath,
                                              const QString& valueName);

// The command line Windows runs to open files of the ProgID in that prefix:
// user.reg's classes before system.reg's, as Windows merges them.
std::optional<QString> wineOpenCommandLine(const WineOpenCommand& command);

// The program a Windows command line starts: the quoted first part, or for an
// unquoted line everything up to ".exe" or else the first word.
QString programOfWindowsCommandLine(const QString& commandLine);
