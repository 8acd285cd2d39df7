#include "engine/conversion_settings.h"

#include "engine/pixel_packer.h"

std::int32_t ConversionSettings::depthListPosition() const {
    if (unlistedDepthPosition) return *unlistedDepthPosition;
    switch (depth) {
        case kOneBit:
            return 0;
        case kFourBits:
            return 1;
        default:
            return 2;
    }
}

void ConversionSettings::chooseDepthByListPosition(std::int32_t position) {
    unlistedDepthPosition.reset();
    switch (position) {
        case 0:
            depth = kOneBit;
            break;
        case 1:
            depth = kFourBits;
            break;
        case 2:
            depth = kEightBits;
            break;
        default:
            depth = kEightBits;
            unlistedDepthPosition = position;
            break;
    }
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
    {"colordepth", [](const ConversionSettings& settings) { return settings.depthListPosition(); },
     [](ConversionSettings& settings, std::int32_t stored) { settings.chooseDepthByListPosition(stored); }},
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
};

}  // namespace

std::span<const StoredConversionSetting> storedConversionSettings() {
    return kStoredSettings;
}
