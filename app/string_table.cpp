#include "app/string_table.h"

#include "app/picture_paths.h"

#include <algorithm>
#include <iterator>

namespace {

struct StringEntry {
    int id;
    const char* text;
};

// Sorted by number.
constexpr StringEntry kStrings[] = {
    {101, "Kestrin"},
    {102, "Please choose at least one of the output options (Direct Install or Write to file)."},
    {107, "Please enter a source file."},
    {108, "Please choose an output database file (*.pdb)."},
    {110, "There were errors during conversion. The output database file could not be written."},
    {111,
     "There were errors during installation of the image. The database could not be inserted in the "
     "Install Tool."},
    {116, "Kestrin"},
    {120, "Quessel"},
    {122, "Palm Database (*.pdb)|*.pdb||"},
    {123, "The file %s already exists. Do you want to overwrite it?"},
    {124, "&About Kestrin..."},
    {150, "Delete Settings"},
    {151,
     "Do you really want to delete all settings?\n\nChoosing Yes will remove Kestrin's settings from the "
     "Windows registry. Your last recently used files and user names as well as your preferences "
     "concerning used bit depths, color reduction method and compression will be lost!"},
    {152,
     "Do you really want to delete all settings?\n\nChoosing Yes will remove Kestrin's settings file %s. "
     "Your last recently used files and user names as well as your preferences concerning used bit depths, "
     "color reduction method and compression will be lost!"},
    {160, "Please enter an image name."},
    {161, "The image name must not have more than 31 characters. Please enter a shorter image name."},
    {162,
     "Your image cannot be included into Palm Desktop's QuickInstall tool, because *.pdb files are not "
     "associated with Palm Desktop.\n\nPlease create an output file and install that by hand or "
     "(re-)install the newest version of Palm Desktop."},
    {163,
     "The image name contains the character \"%s\", which Palm handhelds cannot show. Please leave it out "
     "or replace it."},
    {170, "Please choose a folder for the databases."},
    {171, "The folder %s does not exist. Please choose an existing folder."},
    {172,
     "Some of the databases already exist in the folder:\n\n%s\n\nDo you want to overwrite all of them, "
     "or skip those pictures?"},
    {173, "Another picture of the list is converted into %s already. Please rename one of them."},
    {200, "Source image file including its full directory path"},
    {201, "Palm database file with extension .pdb that is to be created, including its full directory path"},
    {202, "Pick a source image file using a file dialog"},
    {203, "Set an output Palm database file using a file dialog"},
    {204, "Internal image name, used for identifying the image in Vexmoor"},
    {205, "Color depth of output image"},
    {206,
     "Versions of PalmOS the created Palm Database shall be compatible with. \"PalmOS 3/4/5 combined\" "
     "results in an increased file size"},
    {207, "Raw color reduction"},
    {208, "Color reduction using the dithering technique"},
    {209, "Create an output database file"},
    {210, "Directly send to Palm Desktop's QuickInstall Tool (Palm Desktop needs to be installed for this)"},
    {211, "Start the conversion using above options"},
    {212, "Advanced options and commands"},
    {213, "The pictures to convert, each into a database named after its file"},
    {214, "Remove the selected pictures from the list"},
    {215, "Remove every picture from the list"},
    {216, "Folder the databases are written to, one per picture"},
    {217, "Set the output folder using a folder dialog"},
};

}  // namespace

const char* applicationString(int id) {
    if (id == IDS_SOURCE_FILTER) return pictureFilterText().c_str();
    const auto* found =
        std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                         [](const StringEntry& entry, int wanted) { return entry.id < wanted; });
    return found != std::end(kStrings) && found->id == id ? found->text : loadString(id);
}
