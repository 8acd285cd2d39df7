#include "app/options_menu.h"

#include "app/plain_text.h"
#include "app/ui_text.h"

#include <QActionGroup>
#include <QMenu>

namespace {

struct MenuEntry {
    enum Kind {
        Command,
        // A mark that goes on and off.
        Toggle,
        // One of a submenu's choices, marked as a radio item.
        Choice,
        Submenu,
        EndOfSubmenu,
        Separator,
    };
    Kind kind;
    const char* text = nullptr;
    int command = 0;
    const char* objectName = nullptr;
    // Toggles and choices: whether the entry is marked now.
    bool (*marked)(const OptionsMenuState&) = nullptr;
    // Commands that only change a conversion choice.
    void (*apply)(ConversionSettings&) = nullptr;
};

using State = const OptionsMenuState&;
using Choices = ConversionSettings&;

// A part to keep is only kept by a crop.
void keepPart(ConversionSettings& conversion, CropGravity gravity) {
    conversion.gravity = gravity;
    conversion.fit = PictureFit::Crop;
}

const MenuEntry kMenu[] = {
    {MenuEntry::Submenu, QT_TRANSLATE_NOOP("Kestrin", "&Compression"), 0, "compressionMenu"},
    {MenuEntry::Choice, QT_TRANSLATE_NOOP("Kestrin", "&None"), ID_COMPRESSION_NONE, "compressionNoneAction",
     [](State s) { return s.conversion.compression == kCompressionNone; },
     [](Choices c) { c.compression = kCompressionNone; }},
    {MenuEntry::Choice, QT_TRANSLATE_NOOP("Kestrin", "&Scanline"), ID_COMPRESSION_SCANLINE,
     "compressionScanlineAction", [](State s) { return s.conversion.compression == kCompressionScanline; },
     [](Choices c) { c.compression = kCompressionScanline; }},
    {MenuEntry::Choice, QT_TRANSLATE_NOOP("Kestrin", "&Most efficient"), ID_COMPRESSION_MOST_EFFICIENT,
     "compressionMostEfficientAction",
     [](State s) { return s.conversion.compression == kCompressionMostEfficient; },
     [](Choices c) { c.compression = kCompressionMostEfficient; }},
    {MenuEntry::EndOfSubmenu},
    {MenuEntry::Toggle, QT_TRANSLATE_NOOP("Kestrin", "&Turn photos upright"), ID_TURN_UPRIGHT,
     "turnPhotosUprightAction", [](State s) { return s.conversion.autoOrient; },
     [](Choices c) { c.autoOrient = !c.autoOrient; }},
    {MenuEntry::Toggle, QT_TRANSLATE_NOOP("Kestrin", "&Use color profiles"), ID_USE_COLOR_PROFILES,
     "useColourProfilesAction", [](State s) { return s.conversion.colorManage; },
     [](Choices c) { c.colorManage = !c.colorManage; }},
    {MenuEntry::Submenu, QT_TRANSLATE_NOOP("Kestrin", "&Picture shape"), 0, "pictureShapeMenu"},
    {MenuEntry::Choice, QT_TRANSLATE_NOOP("Kestrin", "&Stretch to fill"), ID_FIT_STRETCH, "fitStretchAction",
     [](State s) { return s.conversion.fit == PictureFit::Stretch; },
     [](Choices c) { c.fit = PictureFit::Stretch; }},
    {MenuEntry::Choice, QT_TRANSLATE_NOOP("Kestrin", "&Fit inside with borders"), ID_FIT_PAD, "fitPadAction",
     [](State s) { return s.conversion.fit == PictureFit::Pad; }, [](Choices c) { c.fit = PictureFit::Pad; }},
    {MenuEntry::Choice, QT_TRANSLATE_NOOP("Kestrin", "&Crop to fill"), ID_FIT_CROP, "fitCropAction",
     [](State s) { return s.conversion.fit == PictureFit::Crop; },
     [](Choices c) { c.fit = PictureFit::Crop; }},
    // Which part Crop keeps: a group of its own, so its mark stays with any shape.
    {MenuEntry::Separator},
    {MenuEntry::Choice, QT_TRANSLATE_NOOP("Kestrin", "Keep the &middle"), ID_GRAVITY_CENTER,
     "keepMiddleAction", [](State s) { return s.conversion.gravity == CropGravity::Center; },
     [](Choices c) { keepPart(c, CropGravity::Center); }},
    {MenuEntry::Choice, QT_TRANSLATE_NOOP("Kestrin", "Keep the &top"), ID_GRAVITY_NORTH, "keepTopAction",
     [](State s) { return s.conversion.gravity == CropGravity::North; },
     [](Choices c) { keepPart(c, CropGravity::North); }},
    {MenuEntry::Choice, QT_TRANSLATE_NOOP("Kestrin", "Keep the &bottom"), ID_GRAVITY_SOUTH,
     "keepBottomAction", [](State s) { return s.conversion.gravity == CropGravity::South; },
     [](Choices c) { keepPart(c, CropGravity::South); }},
    {MenuEntry::Choice, QT_TRANSLATE_NOOP("Kestrin", "Keep the &right side"), ID_GRAVITY_EAST,
     "keepRightAction", [](State s) { return s.conversion.gravity == CropGravity::East; },
     [](Choices c) { keepPart(c, CropGravity::East); }},
    {MenuEntry::Choice, QT_TRANSLATE_NOOP("Kestrin", "Keep the &left side"), ID_GRAVITY_WEST,
     "keepLeftAction", [](State s) { return s.conversion.gravity == CropGravity::West; },
     [](Choices c) { keepPart(c, CropGravity::West); }},
    {MenuEntry::Choice, QT_TRANSLATE_NOOP("Kestrin", "Keep the top r&ight"), ID_GRAVITY_NORTHEAST,
     "keepTopRightAction", [](State s) { return s.conversion.gravity == CropGravity::NorthEast; },
     [](Choices c) { keepPart(c, CropGravity::NorthEast); }},
    {MenuEntry::Choice, QT_TRANSLATE_NOOP("Kestrin", "Keep the top l&eft"), ID_GRAVITY_NORTHWEST,
     "keepTopLeftAction", [](State s) { return s.conversion.gravity == CropGravity::NorthWest; },
     [](Choices c) { keepPart(c, CropGravity::NorthWest); }},
    {MenuEntry::Choice, QT_TRANSLATE_NOOP("Kestrin", "Keep the bottom ri&ght"), ID_GRAVITY_SOUTHEAST,
     "keepBottomRightAction", [](State s) { return s.conversion.gravity == CropGravity::SouthEast; },
     [](Choices c) { keepPart(c, CropGravity::SouthEast); }},
    {MenuEntry::Choice, QT_TRANSLATE_NOOP("Kestrin", "Keep the b&ottom left"), ID_GRAVITY_SOUTHWEST,
     "keepBottomLeftAction", [](State s) { return s.conversion.gravity == CropGravity::SouthWest; },
     [](Choices c) { keepPart(c, CropGravity::SouthWest); }},
    {MenuEntry::Choice, QT_TRANSLATE_NOOP("Kestrin", "Keep what dra&ws the eye (smart)"), ID_GRAVITY_SMART,
     "keepSmartAction", [](State s) { return s.conversion.gravity == CropGravity::Smart; },
     [](Choices c) { keepPart(c, CropGravity::Smart); }},
    {MenuEntry::Separator},
    {MenuEntry::Toggle, QT_TRANSLATE_NOOP("Kestrin", "Tur&n tall pictures to fill"), ID_ROTATE_TO_FILL,
     "rotateToFillAction", [](State s) { return s.conversion.rotateToFill; },
     [](Choices c) { c.rotateToFill = !c.rotateToFill; }},
    {MenuEntry::EndOfSubmenu},
    // Marked while a program of the user's own replaces the desktop's
    // association; choosing it then goes back to the association.
    {MenuEntry::Toggle, QT_TRANSLATE_NOOP("Kestrin", "&Install with..."), ID_INSTALL_WITH,
     "installWithAction", [](State s) { return !s.installer.isEmpty(); }},
    {MenuEntry::Command, QT_TRANSLATE_NOOP("Kestrin", "&Delete Settings"), ID_DELETE_SETTINGS,
     "deleteSettingsAction"},
    {MenuEntry::Command, QT_TRANSLATE_NOOP("Kestrin", "&About Kestrin"), ID_ABOUT, "aboutAction"},
    {MenuEntry::Separator},
    {MenuEntry::Command, QT_TRANSLATE_NOOP("Kestrin", "E&xit\tEsc"), ID_EXIT, "exitAction"},
};

}  // namespace

std::unique_ptr<QMenu> createOptionsMenu(QWidget* parent, const OptionsMenuState& state) {
    auto menu = std::make_unique<QMenu>(parent);
    menu->setObjectName(QStringLiteral("optionsMenu"));
    QMenu* target = menu.get();
    QActionGroup* choices = nullptr;
    for (const MenuEntry& entry : kMenu) {
        switch (entry.kind) {
            case MenuEntry::Submenu:
                target = menu->addMenu(uiText(entry.text));
                target->setObjectName(QLatin1String(entry.objectName));
                choices = new QActionGroup(target);
                continue;
            case MenuEntry::EndOfSubmenu:
                target = menu.get();
                choices = nullptr;
                continue;
            case MenuEntry::Separator:
                target->addSeparator();
                // Within a submenu, the choices after a separator are a group of their own.
                if (choices != nullptr) choices = new QActionGroup(target);
                continue;
            default:
                break;
        }
        QAction* action = target->addAction(uiText(entry.text));
        action->setData(entry.command);
        action->setObjectName(QLatin1String(entry.objectName));
        if (entry.marked != nullptr) {
            action->setCheckable(true);
            if (entry.kind == MenuEntry::Choice) action->setActionGroup(choices);
            action->setChecked(entry.marked(state));
        }
        if (entry.command == ID_INSTALL_WITH && !state.installer.isEmpty())
            action->setToolTip(plainToolTip(state.installer));
    }
    return menu;
}

bool applyConversionCommand(int command, ConversionSettings& conversion) {
    for (const MenuEntry& entry : kMenu) {
        if (entry.command == command && entry.apply != nullptr) {
            entry.apply(conversion);
            return true;
        }
    }
    return false;
}
