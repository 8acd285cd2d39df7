#pragma once

#include "engine/conversion_settings.h"

#include <QString>

#include <memory>

class QMenu;
class QWidget;

// Commands of the options menu; Exit is the same command as the Escape key.
enum MainDialogCommand : int {
    ID_EXIT = 2,
    ID_ABOUT = 1000,
    ID_COMPRESSION_NONE = 40002,
    ID_COMPRESSION_SCANLINE = 40003,
    ID_COMPRESSION_MOST_EFFICIENT = 40004,
    ID_DELETE_SETTINGS = 40005,
    ID_TURN_UPRIGHT = 40006,
    ID_FIT_STRETCH = 40007,
    ID_FIT_PAD = 40008,
    ID_FIT_CROP = 40009,
    ID_INSTALL_WITH = 40010,
    ID_USE_COLOR_PROFILES = 40016,
    // The crop's gravities, in the order of CropGravity, then turning to fill.
    ID_GRAVITY_CENTER = 40041,
    ID_GRAVITY_NORTH,
    ID_GRAVITY_SOUTH,
    ID_GRAVITY_EAST,
    ID_GRAVITY_WEST,
    ID_GRAVITY_NORTHEAST,
    ID_GRAVITY_NORTHWEST,
    ID_GRAVITY_SOUTHEAST,
    ID_GRAVITY_SOUTHWEST,
    ID_GRAVITY_SMART,
    ID_ROTATE_TO_FILL,
};

// What the menu marks.
struct OptionsMenuState {
    ConversionSettings conversion;
    // The program of the user's own that replaces the desktop's association;
    // empty for none.
    QString installer;
};

// The menu, built afresh with the current choices marked; each action
// carries its command as its data.
std::unique_ptr<QMenu> createOptionsMenu(QWidget* parent, const OptionsMenuState& state);

// Carries out a command that only changes a conversion choice; false for
// every other command, which the window carries out itself.
bool applyConversionCommand(int command, ConversionSettings& conversion);
