#include "support/color_profiles.h"

#include "support/test_support.h"

#include <lcms2.h>
#include <webp/mux.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace testsupport {

namespace {

using Profile = std::unique_ptr<void, decltype(&cmsCloseProfile)>;

std::vector<std::uint8_t> Save(cmsHPROFILE profile) {
    const Profile owner(profile, cmsCloseProfile);
    cmsUInt32Number size = 0;
    if (profile == nullptr || !cmsSaveProfileToMem(profile, nullptr, &size))
        throw std::runtime_error("lcms2 could not save a profile");
    std::vector<std::uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    return bytes;
}

cmsToneCurve* SrgbCurve() {
    const cmsFloat64Number parameters[] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    return cmsBuildParametricToneCurve(nullptr, 4, parameters);
}

void Describe(cmsHPROFILE profile, const char* name) {
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(text, "en", "US", name);
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, text);
    cmsMLUfree(text);
}

void PutBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace

std::vector<std::uint8_t> ColordProfile(const std::string& fileName) {
    const std::filesystem::path path = std::filesystem::path("/usr/share/color/icc/colord") / fileName;
    return std::filesystem::exists(path) ? ReadFileBytes(path) : std::vector<std::uint8_t>{};
}

std::vector<std::uint8_t> DisplayP3Profile() {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    cmsToneCurve* curve = SrgbCurve();
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    if (profile != nullptr) Describe(profile, "Display P3");
    return Save(profile);
}

std::vector<std::uint8_t> SrgbProfile() {
    return Save(cmsCreate_sRGBProfile());
}

std::vector<std::uint8_t> GreyGamma22Profile() {
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    cmsFreeToneCurve(curve);
    if (profile != nullptr) Describe(profile, "Grey 2.2");
    return Save(profile);
}

std::vector<std::uint8_t> PlainInksProfile() {
    const Profile srgb(cmsCreate_sRGBProfile(), cmsCloseProfile);
    const Profile lab(cmsCreateLab4Profile(nullptr), cmsCloseProfile);
    cmsHTRANSFORM toLab = cmsCreateTransform(srgb.get(), TYPE_RGB_DBL, lab.get(), TYPE_Lab_DBL,
                                             INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 2.1);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* table = cmsStageAllocCLut16bit(nullptr, 9, 4, 3, nullptr);
    cmsStageSampleCLut16bit(
        table,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) -> cmsInt32Number {
            const double light = 1.0 - in[3] / 65535.0;
            const double rgb[3] = {(1.0 - in[0] / 65535.0) * light, (1.0 - in[1] / 65535.0) * light,
                                   (1.0 - in[2] / 65535.0) * light};
            cmsCIELab value;
            cmsDoTransform(cargo, rgb, &value, 1);
            cmsFloat2LabEncodedV2(out, &value);
            return TRUE;
        },
        toLab, 0);
    cmsPipelineInsertStage(pipeline, cmsAT_BEGIN, table);
    cmsWriteTag(profile, cmsSigAToB0Tag, pipeline);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipelineFree(pipeline);
    cmsDeleteTransform(toLab);
    Describe(profile, "Plain inks");
    return Save(profile);
}

namespace {

// sRGB's own profile, to be changed; its curves and colorants stay.
cmsHPROFILE SrgbBase(const char* name) {
    cmsHPROFILE profile = cmsCreate_sRGBProfile();
    if (profile == nullptr) throw std::runtime_error("lcms2 could not build sRGB");
    Describe(profile, name);
    return profile;
}

std::vector<std::uint8_t> WithFloatPipeline(cmsHPROFILE profile, cmsPipeline* pipeline) {
    // Linked for the colorimetric intent too, which a profile without
    // perceptual tables is converted with.
    if (pipeline == nullptr || !cmsWriteTag(profile, cmsSigDToB0Tag, pipeline) ||
        !cmsLinkTag(profile, cmsSigDToB1Tag, cmsSigDToB0Tag))
        throw std::runtime_error("lcms2 could not write the pipeline");
    cmsPipelineFree(pipeline);
    return Save(profile);
}

}  // namespace

std::vector<std::uint8_t> WideTableProfile(int chains, int wideChannels, bool cmyk) {
    cmsHPROFILE profile;
    if (cmyk) {
        profile = cmsCreateProfilePlaceholder(nullptr);
        cmsSetProfileVersion(profile, 4.3);
        cmsSetDeviceClass(profile, cmsSigOutputClass);
        cmsSetColorSpace(profile, cmsSigCmykData);
        cmsSetPCS(profile, cmsSigXYZData);
        cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
        Describe(profile, "Wide table");
    } else {
        profile = SrgbBase("Wide table");
    }
    const auto inputs = static_cast<cmsUInt32Number>(cmyk ? 4 : 3);
    const auto wide = static_cast<cmsUInt32Number>(wideChannels);
    cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, inputs, 3);
    for (int chain = 0; chain < chains; ++chain) {
        const cmsUInt32Number in = chain == 0 ? inputs : 3;
        std::vector<cmsFloat64Number> spread(in * wide);
        for (cmsUInt32Number i = 0; i < in * wide; ++i) spread[i] = i % (in + 1) == 0 ? 1.0 : 0.0;
        cmsPipelineInsertStage(pipeline, cmsAT_END,
                               cmsStageAllocMatrix(nullptr, wide, in, spread.data(), nullptr));
        std::vector<cmsFloat32Number> table((std::size_t{1} << wide) * 3);
        for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<cmsFloat32Number>(i % 7) / 7.0f;
        cmsPipelineInsertStage(pipeline, cmsAT_END,
                               cmsStageAllocCLutFloat(nullptr, 2, wide, 3, table.data()));
    }
    return WithFloatPipeline(profile, pipeline);
}

std::vector<std::uint8_t> ManyMatricesProfile(int stages) {
    cmsHPROFILE profile = SrgbBase("Many matrices");
    cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 3, 3);
    const cmsFloat64Number nearIdentity[9] = {0.9, 0.05, 0.05, 0.05, 0.9, 0.05, 0.05, 0.05, 0.9};
    for (int stage = 0; stage < stages; ++stage)
        cmsPipelineInsertStage(pipeline, cmsAT_END,
                               cmsStageAllocMatrix(nullptr, 3, 3, nearIdentity, nullptr));
    return WithFloatPipeline(profile, pipeline);
}

std::vector<std::uint8_t> ScaledColorantsProfile(double scale) {
    cmsHPROFILE profile = SrgbBase("scaled");
    for (const cmsTagSignature tag : {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag}) {
        cmsCIEXYZ colorant = *static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tag));
        colorant.X *= scale;
        colorant.Y *= scale;
        colorant.Z *= scale;
        cmsWriteTag(profile, tag, &colorant);
    }
    return Save(profile);
}

std::vector<std::uint8_t> NearSrgbProfile() {
    cmsHPROFILE profile = SrgbBase("Near sRGB");
    cmsToneCurve* srgb = SrgbCurve();
    std::vector<cmsUInt16Number> entries(256);
    for (int level = 0; level < 256; ++level) {
        const double light = cmsEvalToneCurveFloat(srgb, static_cast<cmsFloat32Number>(level / 255.0));
        // Halfway between two sampled levels, a quarter of the light.
        const double dip = level % 15 == 0 ? 1.0 : 0.25 + 0.75 * std::abs(level % 15 - 7.5) / 7.5;
        entries[static_cast<std::size_t>(level)] =
            static_cast<cmsUInt16Number>(std::lround(light * dip * 65535));
    }
    cmsFreeToneCurve(srgb);
    cmsToneCurve* curve = cmsBuildTabulatedToneCurve16(nullptr, 256, entries.data());
    for (const cmsTagSignature tag : {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag})
        cmsWriteTag(profile, tag, curve);
    cmsFreeToneCurve(curve);
    return Save(profile);
}

std::vector<std::uint8_t> ConvertFromSrgb(const std::vector<std::uint8_t>& rgb,
                                          const std::vector<std::uint8_t>& profile) {
    const Profile source(cmsCreate_sRGBProfile(), cmsCloseProfile);
    const Profile target(cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size())),
                         cmsCloseProfile);
    cmsHTRANSFORM transform = cmsCreateTransform(source.get(), TYPE_RGB_8, target.get(), TYPE_RGB_8,
                                                 INTENT_RELATIVE_COLORIMETRIC, 0);
    if (transform == nullptr) throw std::runtime_error("lcms2 could not convert into the profile");
    std::vector<std::uint8_t> converted(rgb.size());
    cmsDoTransform(transform, rgb.data(), converted.data(), static_cast<cmsUInt32Number>(rgb.size() / 3));
    cmsDeleteTransform(transform);
    return converted;
}

std::vector<double> ConvertToSrgbExactly(const std::vector<std::uint8_t>& samples,
                                         const std::vector<std::uint8_t>& profile) {
    const Profile source(cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size())),
                         cmsCloseProfile);
    const Profile target(cmsCreate_sRGBProfile(), cmsCloseProfile);
    if (!source) throw std::runtime_error("lcms2 could not open the profile");
    const cmsColorSpaceSignature space = cmsGetColorSpace(source.get());
    const cmsUInt32Number channels = cmsChannelsOf(space);
    const cmsUInt32Number format =
        COLORSPACE_SH(_cmsLCMScolorSpace(space)) | CHANNELS_SH(channels) | BYTES_SH(1);
    cmsHTRANSFORM transform =
        cmsCreateTransform(source.get(), format, target.get(), TYPE_RGB_DBL, INTENT_PERCEPTUAL, 0);
    if (transform == nullptr) throw std::runtime_error("lcms2 could not convert from the profile");
    const std::size_t pixels = samples.size() / channels;
    std::vector<double> converted(3 * pixels);
    cmsDoTransform(transform, samples.data(), converted.data(), static_cast<cmsUInt32Number>(pixels));
    cmsDeleteTransform(transform);
    return converted;
}

std::vector<std::uint8_t> ConvertToSrgb(const std::vector<std::uint8_t>& samples,
                                        const std::vector<std::uint8_t>& profile) {
    std::vector<std::uint8_t> rounded;
    for (const double value : ConvertToSrgbExactly(samples, profile))
        rounded.push_back(static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255)));
    return rounded;
}

std::vector<std::uint8_t> WithJpegProfile(const std::vector<std::uint8_t>& jpeg,
                                          const std::vector<std::uint8_t>& profile) {
    constexpr std::size_t kChunk = 65519;
    const std::size_t count = (profile.size() + kChunk - 1) / kChunk;
    std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t size = std::min(kChunk, profile.size() - i * kChunk);
        const std::size_t length = 2 + 14 + size;
        out.insert(out.end(),
                   {0xFF, 0xE2, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)});
        const char tag[] = "ICC_PROFILE";
        out.insert(out.end(), tag, tag + sizeof tag);
        out.push_back(static_cast<std::uint8_t>(i + 1));
        out.push_back(static_cast<std::uint8_t>(count));
        out.insert(out.end(), profile.begin() + static_cast<std::ptrdiff_t>(i * kChunk),
                   profile.begin() + static_cast<std::ptrdiff_t>(i * kChunk + size));
    }
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

std::vector<std::uint8_t> WithPngProfile(const std::vector<std::uint8_t>& png,
                                         const std::vector<std::uint8_t>& profile) {
    uLongf packedSize = compressBound(static_cast<uLong>(profile.size()));
    std::vector<std::uint8_t> packed(packedSize);
    compress(packed.data(), &packedSize, profile.data(), static_cast<uLong>(profile.size()));
    std::vector<std::uint8_t> chunk = {'i', 'C', 'C', 'P', 'i', 'c', 'c', 0, 0};
    chunk.insert(chunk.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packedSize));
    // After the signature and the IHDR chunk.
    constexpr std::ptrdiff_t kAfterHeader = 8 + 8 + 13 + 4;
    std::vector<std::uint8_t> out(png.begin(), png.begin() + kAfterHeader);
    PutBigEndian32(out, static_cast<std::uint32_t>(chunk.size() - 4));
    out.insert(out.end(), chunk.begin(), chunk.end());
    PutBigEndian32(out, static_cast<std::uint32_t>(crc32(0, chunk.data(), static_cast<uInt>(chunk.size()))));
    out.insert(out.end(), png.begin() + kAfterHeader, png.end());
    return out;
}

std::vector<std::uint8_t> WithWebPProfile(const std::vector<std::uint8_t>& webp,
                                          const std::vector<std::uint8_t>& profile) {
    const WebPData input{webp.data(), webp.size()};
    const std::unique_ptr<WebPMux, decltype(&WebPMuxDelete)> mux(WebPMuxCreate(&input, 1), WebPMuxDelete);
    const WebPData chunk{profile.data(), profile.size()};
    WebPData output{};
    if (!mux || WebPMuxSetChunk(mux.get(), "ICCP", &chunk, 1) != WEBP_MUX_OK ||
        WebPMuxAssemble(mux.get(), &output) != WEBP_MUX_OK)
        throw std::runtime_error("libwebpmux could not add the profile");
    std::vector<std::uint8_t> out(output.bytes, output.bytes + output.size);
    WebPDataClear(&output);
    return out;
}

}  // namespace testsupport
