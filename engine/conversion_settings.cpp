#include "engine/conversion_settings.h"

#include "engine/pixel_packer.h"

namespace {

// Each depth's row in the colour depth list and its number in the settings
// file. The list is sorted, so 2 bits sits between 1 and 4; the file keeps
// the numbers older builds wrote for the other three, and 2 bits takes the
// next free one, which those builds read as 8 bits.
struct DepthEntry {
    ColorDepth depth;
    std::int32_t listPosition;
    std::int32_t stored;
};

constexpr DepthEntry kDepthEntries[] = {
    {kOneBit, 0, 0},
    {kTwoBits, 1, 3},
    {kFourBits, 2, 1},
    {kEightBits, 3, 2},
};

// The entry of `depth`; a number that is no depth (cast from elsewhere) counts as 8 bits.
const DepthEntry& entryOf(ColorDepth depth) {
    for (const DepthEntry& entry : kDepthEntries)
        if (entry.depth == depth) return entry;
    return kDepthEntries[3];
}

// Chooses the depth whose `column` holds `number`; a number no entry holds is
// kept as the unlisted one, and the depth is then 8 bits.
void chooseDepth(ConversionSettings& settings, std::int32_t number, std::int32_t DepthEntry::*column) {
    settings.unlistedDepthPosition.reset();
    for (const DepthEntry& entry : kDepthEntries) {
        if (entry.*column == number) {
            settings.depth = entry.depth;
            return;
        }
    }
    settings.depth = kEightBits;
    settings.unlistedDepthPosition = number;
}

}  // namespace

std::int32_t ConversionSettings::depthListPosition() const {
    return unlistedDepthPosition ? *unlistedDepthPosition : entryOf(depth).listPosition;
}

void ConversionSettings::chooseDepthByListPosition(std::int32_t position) {
    chooseDepth(*this, position, &DepthEntry::listPosition);
}

std::int32_t ConversionSettings::storedDepth() const {
    return unlistedDepthPosition ? *unlistedDepthPosition : entryOf(depth).stored;
}

void ConversionSettings::chooseDepthByStoredValue(std::int32_t stored) {
    chooseDepth(*this, stored, &DepthEntry::stored);
}

int ConversionSettings::ditherSetting() const {
    return reduction == ColorReduction::kRaw ? 0 : kDitherFloydSteinberg;
}

namespace {

constexpr StoredConversionSetting kStoredSettings[] = {
    {"dither",
     [](const ConversionSettings& settings) { return static_cast<std::int32_t>(settings.reduction); },
     [](ConversionSettings& settings, std::int32_t stored) {
         settings.reduction = static_cast<ColorReduction>(stored);
     }},
    {"compression",
     [](const ConversionSettings& settings) { return static_cast<std::int32_t>(settings.compression); },
     [](ConversionSettings& settings, std::int32_t stored) {
         settings.compression = static_cast<CompressionMode>(stored);
     }},
    {"colordepth", [](const ConversionSettings& settings) { return settings.storedDepth(); },
     [](ConversionSettings& settings, std::int32_t stored) { settings.chooseDepthByStoredValue(stored); }},
    {"os", [](const ConversionSettings& settings) { return static_cast<std::int32_t>(settings.destination); },
     [](ConversionSettings& settings, std::int32_t stored) {
         settings.destination = static_cast<DestinationOs>(stored);
     }},
    {"orient", [](const ConversionSettings& settings) { return std::int32_t{settings.autoOrient ? 1 : 0}; },
     [](ConversionSettings& settings, std::int32_t stored) { settings.autoOrient = stored != 0; }},
    {"fit", [](const ConversionSettings& settings) { return static_cast<std::int32_t>(settings.fit); },
     [](ConversionSettings& settings, std::int32_t stored) {
         settings.fit = static_cast<PictureFit>(stored);
     }},
    {"quality",
     [](const ConversionSettings& settings) { return static_cast<std::int32_t>(settings.quality); },
     [](ConversionSettings& settings, std::int32_t stored) {
         settings.quality = static_cast<PictureQuality>(stored);
     }},
    {"colormanage",
     [](const ConversionSettings& settings) { return std::int32_t{settings.colorManage ? 1 : 0}; },
     [](ConversionSettings& settings, std::int32_t stored) { settings.colorManage = stored != 0; }},
    {"gravity",
     [](const ConversionSettings& settings) { return static_cast<std::int32_t>(settings.gravity); },
     [](ConversionSettings& settings, std::int32_t stored) {
         settings.gravity = stored >= 0 && stored <= static_cast<std::int32_t>(CropGravity::Smart)
                                ? static_cast<CropGravity>(stored)
                                : CropGravity::Center;
     }},
    {"rotatetofill",
     [](const ConversionSettings& settings) { return std::int32_t{settings.rotateToFill ? 1 : 0}; },
     [](ConversionSettings& settings, std::int32_t stored) { settings.rotateToFill = stored != 0; }},
};

}  // namespace

std::span<const StoredConversionSetting> storedConversionSettings() {
    return kStoredSettings;
}
