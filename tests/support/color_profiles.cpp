#include "support/color_profiles.h"

#include "support/test_support.h"

#include <lcms2.h>
#include <webp/mux.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
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

std::vector<std::uint8_t> PlainInksProfile(int steps) {
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
    cmsStage* table = cmsStageAllocCLut16bit(nullptr, static_cast<cmsUInt32Number>(steps), 4, 3, nullptr);
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

namespace {

void PutBigEndian16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void PutFloat(std::vector<std::uint8_t>& out, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    PutBigEndian32(out, bits);
}

void PutText(std::vector<std::uint8_t>& out, const char* text) {
    out.insert(out.end(), text, text + std::strlen(text));
}

void PadToFour(std::vector<std::uint8_t>& out) {
    out.resize((out.size() + 3) / 4 * 4, 0);
}

void PutD50(std::vector<std::uint8_t>& out) {
    for (const double value : {0.9642, 1.0, 0.8249})
        PutBigEndian32(out, static_cast<std::uint32_t>(value * 65536));
}

// A multiProcessElements tag of `stages` curve sets sharing one segmented
// curve at its end, and a matrix to three channels for other than three.
std::vector<std::uint8_t> SharedCurvesPipeline(int channels, int segments, int stages,
                                               std::uint32_t sampledPoints) {
    const int elements = stages + (channels == 3 ? 0 : 1);
    const std::uint32_t curveSetBytes = 12 + 8 * static_cast<std::uint32_t>(channels);
    const std::uint32_t matrixBytes = 12 + 4 * (3 * static_cast<std::uint32_t>(channels) + 3);
    const std::uint32_t tableEnd = 16 + 8 * static_cast<std::uint32_t>(elements);
    const std::uint32_t curveAt =
        tableEnd + curveSetBytes * static_cast<std::uint32_t>(stages) + (channels == 3 ? 0 : matrixBytes);
    std::vector<std::uint8_t> tag;
    PutText(tag, "mpet");
    PutBigEndian32(tag, 0);
    PutBigEndian16(tag, static_cast<std::uint32_t>(channels));
    PutBigEndian16(tag, 3);
    PutBigEndian32(tag, static_cast<std::uint32_t>(elements));
    for (int i = 0; i < elements; ++i) {
        PutBigEndian32(tag, tableEnd + curveSetBytes * static_cast<std::uint32_t>(i));
        PutBigEndian32(tag, i < stages ? curveSetBytes : matrixBytes);
    }
    for (int stage = 0; stage < stages; ++stage) {
        const auto start = static_cast<std::uint32_t>(tag.size());
        PutText(tag, "cvst");
        PutBigEndian32(tag, 0);
        PutBigEndian16(tag, static_cast<std::uint32_t>(channels));
        PutBigEndian16(tag, static_cast<std::uint32_t>(channels));
        for (int c = 0; c < channels; ++c) {
            PutBigEndian32(tag, curveAt - start);
            PutBigEndian32(tag, 0xFFFF);
        }
    }
    if (channels != 3) {
        PutText(tag, "matf");
        PutBigEndian32(tag, 0);
        PutBigEndian16(tag, static_cast<std::uint32_t>(channels));
        PutBigEndian16(tag, 3);
        for (int i = 0; i < 3 * channels + 3; ++i) PutFloat(tag, i < 3 * channels ? 1.0f / channels : 0.0f);
    }
    // Every breakpoint beyond the inputs: values from 0 to 1 fall in the
    // first segment, which lcms2 looks at last.
    PutText(tag, "curf");
    PutBigEndian32(tag, 0);
    PutBigEndian16(tag, static_cast<std::uint32_t>(segments));
    PutBigEndian16(tag, 0);
    for (int i = 1; i < segments; ++i) PutFloat(tag, 2.0f);
    for (int i = 0; i < segments; ++i) {
        if (i == 0 && sampledPoints > 0) {
            PutText(tag, "samf");
            PutBigEndian32(tag, 0);
            PutBigEndian32(tag, sampledPoints);
            for (std::uint32_t point = 0; point < sampledPoints; ++point)
                PutFloat(tag, static_cast<float>(point) / static_cast<float>(sampledPoints));
        } else {
            PutText(tag, "parf");  // y = x
            PutBigEndian32(tag, 0);
            PutBigEndian32(tag, 0);
            for (const float parameter : {1.0f, 1.0f, 0.0f, 0.0f}) PutFloat(tag, parameter);
        }
    }
    return tag;
}

}  // namespace

std::vector<std::uint8_t> SegmentedCurvesProfile(int channels, int segments, int stages,
                                                 std::uint32_t sampledPoints, std::size_t size) {
    std::vector<std::uint8_t> white;
    PutText(white, "XYZ ");
    PutBigEndian32(white, 0);
    PutD50(white);
    std::vector<std::uint8_t> description;
    PutText(description, "mluc");
    PutBigEndian32(description, 0);
    PutBigEndian32(description, 1);
    PutBigEndian32(description, 12);
    PutText(description, "enUS");
    PutBigEndian32(description, 16);
    PutBigEndian32(description, 28);
    for (const char c : std::string("Segments")) PutBigEndian16(description, static_cast<unsigned char>(c));
    const std::vector<std::uint8_t> pipeline =
        SharedCurvesPipeline(channels, segments, stages, sampledPoints);
    // Both intents a profile without perceptual tables is converted with
    // read the one pipeline.
    const struct {
        const char* signature;
        const std::vector<std::uint8_t>* data;
    } tags[] = {{"desc", &description}, {"wtpt", &white}, {"D2B0", &pipeline}, {"D2B1", &pipeline}};
    std::vector<std::uint8_t> body;
    std::vector<std::uint8_t> table;
    PutBigEndian32(table, static_cast<std::uint32_t>(std::size(tags)));
    const std::uint32_t dataAt = 128 + 4 + 12 * static_cast<std::uint32_t>(std::size(tags));
    std::uint32_t pipelineAt = 0;
    for (const auto& tag : tags) {
        PutText(table, tag.signature);
        if (tag.data != &pipeline || pipelineAt == 0) {
            PadToFour(body);
            if (tag.data == &pipeline) pipelineAt = dataAt + static_cast<std::uint32_t>(body.size());
            PutBigEndian32(table, dataAt + static_cast<std::uint32_t>(body.size()));
            body.insert(body.end(), tag.data->begin(), tag.data->end());
        } else {
            PutBigEndian32(table, pipelineAt);
        }
        PutBigEndian32(table, static_cast<std::uint32_t>(tag.data->size()));
    }
    const std::size_t total = std::max<std::size_t>(size, dataAt + body.size());
    std::vector<std::uint8_t> profile;
    PutBigEndian32(profile, static_cast<std::uint32_t>(total));
    PutText(profile, "lcms");
    PutBigEndian32(profile, 0x04300000);
    PutText(profile, channels == 4 ? "prtr" : "mntr");
    PutText(profile, channels == 4 ? "CMYK" : channels == 1 ? "GRAY" : "RGB ");
    PutText(profile, "XYZ ");
    profile.resize(36, 0);  // the date
    PutText(profile, "acsp");
    profile.resize(68, 0);  // platform, flags, maker, model, attributes, intent
    PutD50(profile);
    profile.resize(128, 0);
    profile.insert(profile.end(), table.begin(), table.end());
    profile.insert(profile.end(), body.begin(), body.end());
    profile.resize(total, 0);
    return profile;
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
