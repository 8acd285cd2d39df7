#include "app/string_table.h"

#include "app/picture_paths.h"

#include <QtGlobal>

#include <algorithm>
#include <iterator>

namespace {

struct StringEntry {
    int id;
    const char* text;
};

// Sorted by number. The window shows them translated by their English text
// (tableString); the program name and the company key stay as they are.
constexpr StringEntry kStrings[] = {
    {101, "Kestrin"},
    {102, QT_TRANSLATE_NOOP(
              "StringTable",
              "Please choose at least one of the output options (Direct Install or Write to file).")},
    {107, QT_TRANSLATE_NOOP("StringTable", "Please enter a source file.")},
    {108, QT_TRANSLATE_NOOP("StringTable", "Please choose an output database file (*.pdb).")},
    {110, QT_TRANSLATE_NOOP(
              "StringTable",
              "There were errors during conversion. The output database file could not be written.")},
    {111, QT_TRANSLATE_NOOP(
              "StringTable",
              "There were errors during installation of the image. The database could not be inserted in the "
              "Install Tool.")},
    {116, "Kestrin"},
    {120, "Quessel"},
    {122, QT_TRANSLATE_NOOP("StringTable", "Palm Database (*.pdb)|*.pdb||")},
    {123, QT_TRANSLATE_NOOP("StringTable", "The file %s already exists. Do you want to overwrite it?")},
    {124, QT_TRANSLATE_NOOP("StringTable", "&About Kestrin...")},
    {150, QT_TRANSLATE_NOOP("StringTable", "Delete Settings")},
    {151,
     QT_TRANSLATE_NOOP(
         "StringTable",
         "Do you really want to delete all settings?\n\nChoosing Yes will remove Kestrin's settings from the "
         "Windows registry. Your last recently used files and user names as well as your preferences "
         "concerning used bit depths, color reduction method and compression will be lost!")},
    {152,
     QT_TRANSLATE_NOOP(
         "StringTable",
         "Do you really want to delete all settings?\n\nChoosing Yes will remove Kestrin's settings file %s. "
         "Your last recently used files and user names as well as your preferences concerning used bit "
         "depths, "
         "color reduction method and compression will be lost!")},
    {160, QT_TRANSLATE_NOOP("StringTable", "Please enter an image name.")},
    {161, QT_TRANSLATE_NOOP(
              "StringTable",
              "The image name must not have more than 31 characters. Please enter a shorter image name.")},
    {162,
     QT_TRANSLATE_NOOP(
         "StringTable",
         "Your image cannot be included into Palm Desktop's QuickInstall tool, because *.pdb files are not "
         "associated with Palm Desktop.\n\nPlease create an output file and install that by hand or "
         "(re-)install the newest version of Palm Desktop.")},
    {163, QT_TRANSLATE_NOOP("StringTable",
                            "The image name contains the character \"%s\", which Palm handhelds cannot show. "
                            "Please leave it out "
                            "or replace it.")},
    {170, QT_TRANSLATE_NOOP("StringTable", "Please choose a folder for the databases.")},
    {171,
     QT_TRANSLATE_NOOP("StringTable", "The folder %s does not exist. Please choose an existing folder.")},
    {172,
     QT_TRANSLATE_NOOP(
         "StringTable",
         "Some of the databases already exist in the folder:\n\n%s\n\nDo you want to overwrite all of them, "
         "or skip those pictures?")},
    {173, QT_TRANSLATE_NOOP(
              "StringTable",
              "Another picture of the list is converted into %s already. Please rename one of them.")},
    {200, QT_TRANSLATE_NOOP("StringTable", "Source image file including its full directory path")},
    {201,
     QT_TRANSLATE_NOOP(
         "StringTable",
         "Palm database file with extension .pdb that is to be created, including its full directory path")},
    {202, QT_TRANSLATE_NOOP("StringTable", "Pick a source image file using a file dialog")},
    {203, QT_TRANSLATE_NOOP("StringTable", "Set an output Palm database file using a file dialog")},
    {204, QT_TRANSLATE_NOOP("StringTable", "Internal image name, used for identifying the image in Vexmoor")},
    {205, QT_TRANSLATE_NOOP("StringTable", "Color depth of output image")},
    {206,
     QT_TRANSLATE_NOOP(
         "StringTable",
         "Versions of PalmOS the created Palm Database shall be compatible with. \"PalmOS 3/4/5 combined\" "
         "results in an increased file size")},
    {207, QT_TRANSLATE_NOOP("StringTable", "Raw color reduction")},
    {208, QT_TRANSLATE_NOOP("StringTable", "Color reduction using the dithering technique")},
    {209, QT_TRANSLATE_NOOP("StringTable", "Create an output database file")},
    {210,
     QT_TRANSLATE_NOOP(
         "StringTable",
         "Directly send to Palm Desktop's QuickInstall Tool (Palm Desktop needs to be installed for this)")},
    {211, QT_TRANSLATE_NOOP("StringTable", "Start the conversion using above options")},
    {212, QT_TRANSLATE_NOOP("StringTable", "Advanced options and commands")},
    {213,
     QT_TRANSLATE_NOOP("StringTable", "The pictures to convert, each into a database named after its file")},
    {214, QT_TRANSLATE_NOOP("StringTable", "Remove the selected pictures from the list")},
    {215, QT_TRANSLATE_NOOP("StringTable", "Remove every picture from the list")},
    {216, QT_TRANSLATE_NOOP("StringTable", "Folder the databases are written to, one per picture")},
    {217, QT_TRANSLATE_NOOP("StringTable", "Set the output folder using a folder dialog")},
};

}  // namespace

const char* applicationString(int id) {
    if (id == IDS_SOURCE_FILTER) return pictureFilterText().c_str();
    const auto* found =
        std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                         [](const StringEntry& entry, int wanted) { return entry.id < wanted; });
    return found != std::end(kStrings) && found->id == id ? found->text : loadString(id);
}
