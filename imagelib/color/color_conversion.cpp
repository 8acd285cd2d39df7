#include "imagelib/color/color_conversion.h"

#include "imagelib/byte_order.h"
#include "imagelib/color/color_profile_cost.h"
#include "imagelib/color/linear_light.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

struct ProfileCloser {
    void operator()(void* profile) const noexcept { cmsCloseProfile(profile); }
};
using ProfilePointer = std::unique_ptr<void, ProfileCloser>;

struct ToneCurveFreer {
    void operator()(cmsToneCurve* curve) const noexcept { cmsFreeToneCurve(curve); }
};
using ToneCurvePointer = std::unique_ptr<cmsToneCurve, ToneCurveFreer>;

constexpr std::size_t kIccHeaderBytes = 128;  // the first field is the profile's size

// Names from a file end up in the progress log: printable ASCII only, and
// never more than a line's worth.
constexpr std::size_t kMaxNameLength = 64;

std::string PrintableName(const char* text) {
    std::string name;
    for (const char* c = text; *c != '\0' && name.size() < kMaxNameLength; ++c)
        name += *c >= 0x20 && *c < 0x7f ? *c : '?';
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

std::string ProfileName(cmsHPROFILE profile) {
    char text[kMaxNameLength + 1] = {};
    if (cmsGetProfileInfoASCII(profile, cmsInfoDescription, cmsNoLanguage, cmsNoCountry, text, sizeof text) ==
        0)
        return "embedded profile";
    const std::string name = PrintableName(text);
    return name.empty() ? "embedded profile" : name;
}

// Cameras, phones and editors write the sRGB space in many profiles of their
// own, each with slightly different numbers. A profile whose conversion moves
// no colour of the probe (below) by more than this (in 8-bit levels) is
// taken for sRGB itself: such pictures keep today's numbers exactly.
constexpr int kSrgbTolerance = 2;
constexpr int kGridStep = 15;  // 0, 15, ..., 255: 18 levels a channel
// How far (in 8-bit levels) the tables may stray from lcms2 on the probe.
constexpr int kTableTolerance = 1;
// How far lcms2's own 8-bit transform may stray from its float one: its
// quick integer path for matrix profiles wraps around for colorants far
// beyond any real space.
constexpr int kTransformTolerance = 2;

// Opaque 32-bit pixels of every colour on a grid over the cube, and of every
// level of each channel alone and of grey: a curve that agrees with another
// at the grid's levels only must not pass for it.
std::vector<std::uint8_t> ProbeColors() {
    std::vector<std::uint8_t> probe;
    const auto add = [&probe](int red, int green, int blue) {
        probe.insert(probe.end(), {static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green),
                                   static_cast<std::uint8_t>(red), 255});
    };
    for (int red = 0; red <= 255; red += kGridStep)
        for (int green = 0; green <= 255; green += kGridStep)
            for (int blue = 0; blue <= 255; blue += kGridStep) add(red, green, blue);
    for (int level = 0; level < 256; ++level) {
        add(level, 0, 0);
        add(0, level, 0);
        add(0, 0, level);
        add(level, level, level);
    }
    return probe;
}

bool WithinTolerance(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, int tolerance) {
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::abs(int{a[i]} - int{b[i]}) > tolerance) return false;
    return true;
}

// The probe through an 8-bit BGRA transform.
std::vector<std::uint8_t> Converted(cmsHTRANSFORM transform, const std::vector<std::uint8_t>& probe) {
    std::vector<std::uint8_t> converted(probe);
    cmsDoTransform(transform, probe.data(), converted.data(), static_cast<cmsUInt32Number>(probe.size() / 4));
    return converted;
}

// The probe through a float RGB transform, rounded to 8-bit BGRA: what an
// 8-bit transform ought to give.
std::vector<std::uint8_t> ConvertedExactly(cmsHTRANSFORM transform, const std::vector<std::uint8_t>& probe) {
    const std::size_t count = probe.size() / 4;
    std::vector<float> in(3 * count);
    for (std::size_t i = 0; i < count; ++i)
        for (int channel = 0; channel < 3; ++channel)
            in[3 * i + static_cast<std::size_t>(channel)] =
                probe[4 * i + 2 - static_cast<std::size_t>(channel)] / 255.0f;
    std::vector<float> out(3 * count);
    cmsDoTransform(transform, in.data(), out.data(), static_cast<cmsUInt32Number>(count));
    std::vector<std::uint8_t> converted(probe);
    for (std::size_t i = 0; i < count; ++i)
        for (int channel = 0; channel < 3; ++channel) {
            const float value = out[3 * i + static_cast<std::size_t>(channel)];
            converted[4 * i + 2 - static_cast<std::size_t>(channel)] = static_cast<std::uint8_t>(
                std::lround(std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) * 255.0f : 0.0f));
        }
    return converted;
}

cmsColorSpaceSignature SpaceOf(ProfilePixels pixels) {
    switch (pixels) {
        case ProfilePixels::kGrey:
            return cmsSigGrayData;
        case ProfilePixels::kCmyk:
        case ProfilePixels::kInvertedCmyk:
            return cmsSigCmykData;
        case ProfilePixels::kRgb:
            break;
    }
    return cmsSigRgbData;
}

cmsUInt32Number InputFormat(ProfilePixels pixels) {
    switch (pixels) {
        case ProfilePixels::kGrey:
            return TYPE_GRAY_8;
        case ProfilePixels::kCmyk:
            return TYPE_CMYK_8;
        case ProfilePixels::kInvertedCmyk:
            return TYPE_CMYK_8_REV;
        case ProfilePixels::kRgb:
            break;
    }
    return TYPE_BGRA_8;
}

// sRGB's primaries and white with a straight line for a tone curve: what
// lcms2 converts into when the light itself is wanted.
ProfilePointer LinearSrgbProfile() {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.6400, 0.3300, 1.0}, {0.3000, 0.6000, 1.0}, {0.1500, 0.0600, 1.0}};
    const ToneCurvePointer straight(cmsBuildGamma(nullptr, 1.0));
    if (!straight) return nullptr;
    cmsToneCurve* const curves[3] = {straight.get(), straight.get(), straight.get()};
    return ProfilePointer(cmsCreateRGBProfile(&white, &primaries, curves));
}

}  // namespace

struct CColorConversion::LinearTransform {
    // What the transform is built from: the picture's profile stays open
    // until then.
    ProfilePointer source;
    cmsUInt32Number inputFormat = 0;
    cmsUInt32Number intent = 0;
    cmsUInt32Number flags = 0;
    std::once_flag built;
    // Null when lcms2 could not build it: code values are then turned into
    // light instead.
    std::unique_ptr<void, TransformDeleter> transform;

    void* Get() {
        std::call_once(built, [this] {
            const ProfilePointer target = LinearSrgbProfile();
            if (target)
                transform.reset(
                    cmsCreateTransform(source.get(), inputFormat, target.get(), TYPE_BGRA_16, intent, flags));
            source.reset();
        });
        return transform.get();
    }
};

void CColorConversion::LinearTransformDeleter::operator()(LinearTransform* transform) const noexcept {
    delete transform;
}

// A pixel costs three lookups of what its red, green and blue levels add to
// sRGB's linear red, green and blue (the curves and the matrix worked out in
// advance), two additions and three lookups of the encoded values: integers
// throughout, at a fraction of the cost of evaluating either.
struct CColorConversion::MatrixShaper {
    static constexpr int kEncodeSteps = 1 << 14;  // linear light 0 to 1 in the encoding table
    static constexpr int kFractionBits = 4;       // of a step, in the sums
    // contribution[channel][level][out]: what the profile's red, green or
    // blue level adds to sRGB's linear red, green and blue, in 1 / 2^4 steps.
    alignas(16) std::int32_t contribution[3][256][4];
    // sRGB 8-bit value of linear light 0 to 1, in kEncodeSteps steps.
    std::uint8_t encode[kEncodeSteps + 1];
};

void CColorConversion::MatrixShaperDeleter::operator()(MatrixShaper* tables) const noexcept {
    delete tables;
}

namespace {

bool Invert3x3(const double m[9], double out[9]) {
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                       m[2] * (m[3] * m[7] - m[4] * m[6]);
    if (!std::isfinite(det) || std::abs(det) < 1e-9) return false;
    out[0] = (m[4] * m[8] - m[5] * m[7]) / det;
    out[1] = (m[2] * m[7] - m[1] * m[8]) / det;
    out[2] = (m[1] * m[5] - m[2] * m[4]) / det;
    out[3] = (m[5] * m[6] - m[3] * m[8]) / det;
    out[4] = (m[0] * m[8] - m[2] * m[6]) / det;
    out[5] = (m[2] * m[3] - m[0] * m[5]) / det;
    out[6] = (m[3] * m[7] - m[4] * m[6]) / det;
    out[7] = (m[1] * m[6] - m[0] * m[7]) / det;
    out[8] = (m[0] * m[4] - m[1] * m[3]) / det;
    return true;
}

// The colorants of a matrix/tone-curve profile as the columns of a matrix
// (XYZ under D50), and its three curves; false when a tag is missing.
bool ReadMatrixShaper(cmsHPROFILE profile, double colorants[9], cmsToneCurve* curves[3]) {
    const cmsTagSignature colorantTags[] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                            cmsSigBlueColorantTag};
    const cmsTagSignature curveTags[] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (int channel = 0; channel < 3; ++channel) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, colorantTags[channel]));
        curves[channel] = static_cast<cmsToneCurve*>(cmsReadTag(profile, curveTags[channel]));
        if (xyz == nullptr || curves[channel] == nullptr) return false;
        colorants[channel] = xyz->X;
        colorants[3 + channel] = xyz->Y;
        colorants[6 + channel] = xyz->Z;
    }
    return true;
}

}  // namespace

class ColorConversionBuilder {
public:
    static CColorConversion Build(ProfilePointer profile, ProfilePixels pixels, const std::string& name);

private:
    using Tables = std::unique_ptr<CColorConversion::MatrixShaper, CColorConversion::MatrixShaperDeleter>;
    static Tables BuildMatrixShaper(cmsHPROFILE source, cmsHPROFILE target,
                                    const std::vector<std::uint8_t>& probe,
                                    const std::vector<std::uint8_t>& reference);
};

ColorConversionBuilder::Tables ColorConversionBuilder::BuildMatrixShaper(
    cmsHPROFILE source, cmsHPROFILE target, const std::vector<std::uint8_t>& probe,
    const std::vector<std::uint8_t>& reference) {
    double sourceColorants[9];
    double targetColorants[9];
    cmsToneCurve* sourceCurves[3];
    cmsToneCurve* targetCurves[3];
    double toTarget[9];
    if (!cmsIsMatrixShaper(source) || !ReadMatrixShaper(source, sourceColorants, sourceCurves) ||
        !ReadMatrixShaper(target, targetColorants, targetCurves) || !Invert3x3(targetColorants, toTarget))
        return nullptr;
    const std::unique_ptr<cmsToneCurve, void (*)(cmsToneCurve*)> encodeCurve(
        cmsReverseToneCurve(targetCurves[0]), cmsFreeToneCurve);
    if (!encodeCurve) return nullptr;

    using Layout = CColorConversion::MatrixShaper;
    double matrix[9];
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            double sum = 0;
            for (int k = 0; k < 3; ++k) sum += toTarget[row * 3 + k] * sourceColorants[k * 3 + column];
            // Beyond this the sums would overflow; no real space comes near.
            if (!std::isfinite(sum) || std::abs(sum) > 1024.0) return nullptr;
            matrix[row * 3 + column] = sum;
        }
    Tables tables(new CColorConversion::MatrixShaper);
    constexpr double kScale = double{Layout::kEncodeSteps} * (1 << Layout::kFractionBits);
    for (int channel = 0; channel < 3; ++channel)
        for (int level = 0; level < 256; ++level) {
            const double linear = std::clamp<double>(
                cmsEvalToneCurveFloat(sourceCurves[channel], static_cast<cmsFloat32Number>(level / 255.0)),
                0.0, 1.0);
            for (int out = 0; out < 3; ++out)
                tables->contribution[channel][level][out] =
                    static_cast<std::int32_t>(std::lround(matrix[out * 3 + channel] * linear * kScale));
            tables->contribution[channel][level][3] = 0;
        }
    for (int step = 0; step <= CColorConversion::MatrixShaper::kEncodeSteps; ++step) {
        const float encoded =
            cmsEvalToneCurveFloat(encodeCurve.get(), static_cast<cmsFloat32Number>(step) /
                                                         CColorConversion::MatrixShaper::kEncodeSteps);
        tables->encode[step] =
            static_cast<std::uint8_t>(std::lround(std::clamp(encoded, 0.0f, 1.0f) * 255.0f));
    }

    // Tags can say more than the colorants and curves (a chromatic
    // adaptation of their own, odd curve types, tables that take precedence):
    // whatever lcms2 makes of the profile is the reference, and tables that
    // stray from it are not used.
    CColorConversion trial;
    trial.m_matrixShaper = std::move(tables);
    std::vector<std::uint8_t> converted(probe);
    trial.ConvertPixels(converted.data(), converted.size() / 4);
    if (!WithinTolerance(converted, reference, kTableTolerance)) return nullptr;
    return std::move(trial.m_matrixShaper);
}

CColorConversion ColorConversionBuilder::Build(ProfilePointer profile, ProfilePixels pixels,
                                               const std::string& name) {
    cmsHPROFILE const source = profile.get();
    if (cmsGetColorSpace(source) != SpaceOf(pixels))
        return CColorConversion::Ignored("it does not describe the picture's colour model");
    const cmsProfileClassSignature profileClass = cmsGetDeviceClass(source);
    if (profileClass != cmsSigInputClass && profileClass != cmsSigDisplayClass &&
        profileClass != cmsSigOutputClass && profileClass != cmsSigColorSpaceClass)
        return CColorConversion::Ignored("it is not a profile of pictures");
    const ProfilePointer target(cmsCreate_sRGBProfile());
    if (!target) return CColorConversion::Ignored("out of memory");

    // As the common viewers do: the profile's own perceptual rendering where
    // it has one, otherwise colorimetric with the black points matched.
    const bool perceptual = cmsIsCLUT(source, INTENT_PERCEPTUAL, LCMS_USED_AS_INPUT) != 0;
    const cmsUInt32Number intent = perceptual ? INTENT_PERCEPTUAL : INTENT_RELATIVE_COLORIMETRIC;
    cmsUInt32Number flags = perceptual ? 0 : cmsFLAGS_BLACKPOINTCOMPENSATION;
    const bool grey = pixels == ProfilePixels::kGrey;
    CColorConversion conversion;
    const std::vector<std::uint8_t> probe = grey ? std::vector<std::uint8_t>() : ProbeColors();
    // For RGB, what lcms2 makes of the profile in floating point: its 8-bit
    // transform takes shortcuts that the tables, and the transform itself,
    // are checked against. Converting in floating point costs no sampling.
    std::vector<std::uint8_t> reference;
    if (pixels == ProfilePixels::kRgb) {
        const std::unique_ptr<void, CColorConversion::TransformDeleter> exact(
            cmsCreateTransform(source, TYPE_RGB_FLT, target.get(), TYPE_RGB_FLT, intent, flags));
        if (!exact) return CColorConversion::Ignored("no conversion to sRGB could be built from it");
        reference = ConvertedExactly(exact.get(), probe);
        if (WithinTolerance(reference, probe, kSrgbTolerance)) return CColorConversion();
        if (!perceptual)
            conversion.m_matrixShaper = BuildMatrixShaper(source, target.get(), probe, reference);
        if (conversion.m_matrixShaper != nullptr) {
            conversion.m_note = "colour profile: " + name + " -> sRGB";
            return conversion;
        }
    }
    std::unique_ptr<void, CColorConversion::TransformDeleter> transform(cmsCreateTransform(
        source, InputFormat(pixels), target.get(), grey ? TYPE_BGR_8 : TYPE_BGRA_8, intent, flags));
    // lcms2's quick path for matrix profiles is what may wrap around.
    const bool matrixPipeline =
        cmsIsMatrixShaper(source) && !cmsIsTag(source, cmsSigAToB1Tag) && !cmsIsTag(source, cmsSigDToB1Tag);
    if (transform && !reference.empty() && !perceptual && matrixPipeline &&
        !WithinTolerance(Converted(transform.get(), probe), reference, kTransformTolerance)) {
        flags |= cmsFLAGS_NOOPTIMIZE;
        transform.reset(
            cmsCreateTransform(source, InputFormat(pixels), target.get(), TYPE_BGRA_8, intent, flags));
        if (transform && !WithinTolerance(Converted(transform.get(), probe), reference, kTransformTolerance))
            return CColorConversion::Ignored("no faithful conversion to sRGB could be built from it");
    }
    if (!transform) return CColorConversion::Ignored("no conversion to sRGB could be built from it");

    if (grey) {
        std::uint8_t levels[256];
        for (int i = 0; i < 256; ++i) levels[i] = static_cast<std::uint8_t>(i);
        conversion.m_greyTable = std::make_unique<std::uint8_t[]>(256 * 3);
        cmsDoTransform(transform.get(), levels, conversion.m_greyTable.get(), 256);
        bool keeps = true;
        for (int i = 0; i < 256 * 3; ++i)
            keeps = keeps && std::abs(i / 3 - int{conversion.m_greyTable[static_cast<std::size_t>(i)]}) <=
                                 kSrgbTolerance;
        if (keeps) return CColorConversion();
        const ProfilePointer linear = LinearSrgbProfile();
        const std::unique_ptr<void, CColorConversion::TransformDeleter> toLight(
            linear ? cmsCreateTransform(source, TYPE_GRAY_8, linear.get(), TYPE_BGR_16, intent, flags)
                   : nullptr);
        if (!toLight) return CColorConversion::Ignored("no conversion to sRGB could be built from it");
        conversion.m_greyLight = std::make_unique<std::uint16_t[]>(256 * 3);
        cmsDoTransform(toLight.get(), levels, conversion.m_greyLight.get(), 256);
    } else {
        conversion.m_transform = std::move(transform);
        conversion.m_opaqueResult = pixels != ProfilePixels::kRgb;
        // Kept for the transform into light, if it is ever asked for.
        conversion.m_linearTransform.reset(new CColorConversion::LinearTransform);
        conversion.m_linearTransform->source = std::move(profile);
        conversion.m_linearTransform->inputFormat = InputFormat(pixels);
        conversion.m_linearTransform->intent = intent;
        conversion.m_linearTransform->flags = flags;
    }
    conversion.m_note = "colour profile: " + name + " -> sRGB";
    return conversion;
}

// ---------------------------------------------------------------------------

CColorConversion::CColorConversion() = default;
CColorConversion::~CColorConversion() = default;
CColorConversion::CColorConversion(CColorConversion&&) noexcept = default;
CColorConversion& CColorConversion::operator=(CColorConversion&&) noexcept = default;

void CColorConversion::TransformDeleter::operator()(void* transform) const noexcept {
    cmsDeleteTransform(transform);
}

CColorConversion CColorConversion::Ignored(const std::string& why) {
    CColorConversion conversion;
    conversion.m_note = "colour profile ignored: " + why;
    return conversion;
}

CColorConversion CColorConversion::FromIccProfile(std::span<const std::uint8_t> profile, ProfilePixels pixels,
                                                  const DecodeLimits& limits) {
    // lcms2 reads tags only when they are asked for: a profile cut short
    // would open, and fail later with a less clear reason.
    if (profile.size() < kIccHeaderBytes || profile.size() > 0xFFFFFFFFu ||
        ReadBE32(profile.data()) > profile.size())
        return Ignored("it could not be read");
    ProfilePointer source(
        cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size())));
    if (!source) return Ignored("it could not be read");
    // lcms2 has read the header and the tag table, nothing that costs yet.
    if (cmsGetColorSpace(source.get()) != SpaceOf(pixels))
        return Ignored("it does not describe the picture's colour model");
    // A conversion may build two transforms from the profile (fine quality's
    // into light too), each sampling the profile over its grid: the floor
    // that lets every small honest file through is given to each, so that a
    // printer's table of a few kilobytes is still used.
    WorkBudget budget(
        CheckedAdd(WorkBudget::ForFile(profile.size(), 0, limits).Allowance(), limits.workUnitsFloor)
            .value_or(UINT64_MAX));
    if (const auto why =
            CheckColorProfileCost(profile, static_cast<int>(cmsChannelsOf(SpaceOf(pixels))), budget))
        return Ignored(*why);
    const std::string name = ProfileName(source.get());
    return ColorConversionBuilder::Build(std::move(source), pixels, name);
}

CColorConversion CColorConversion::FromCalibratedRgb(const CalibratedRgbSpace& space) {
    const double coordinates[] = {space.redX,  space.redY,  space.greenX, space.greenY,
                                  space.blueX, space.blueY, space.whiteX, space.whiteY};
    for (const double value : coordinates)
        if (!std::isfinite(value) || value <= 0.0 || value >= 1.0)
            return Ignored("its primaries are not colours");
    ToneCurvePointer curves[3];
    for (int channel = 0; channel < 3; ++channel) {
        const double gamma = space.gamma[channel];
        if (gamma == 0.0) {
            // The sRGB curve, in the parametric form of ICC type 4.
            const cmsFloat64Number parameters[] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
            curves[channel].reset(cmsBuildParametricToneCurve(nullptr, 4, parameters));
        } else {
            if (!std::isfinite(gamma) || gamma < 0.1 || gamma > 10.0)
                return Ignored("its gamma is out of range");
            curves[channel].reset(cmsBuildGamma(nullptr, gamma));
        }
        if (!curves[channel]) return Ignored("out of memory");
    }
    const cmsCIExyY white{space.whiteX, space.whiteY, 1.0};
    const cmsCIExyYTRIPLE primaries{
        {space.redX, space.redY, 1.0}, {space.greenX, space.greenY, 1.0}, {space.blueX, space.blueY, 1.0}};
    cmsToneCurve* const transfer[3] = {curves[0].get(), curves[1].get(), curves[2].get()};
    ProfilePointer source(cmsCreateRGBProfile(&white, &primaries, transfer));
    if (!source) return Ignored("its primaries describe no colour space");
    const std::string name = PrintableName(space.name.c_str());
    return ColorConversionBuilder::Build(std::move(source), ProfilePixels::kRgb,
                                         name.empty() ? "calibrated colour space" : name);
}

void CColorConversion::ConvertPixels(std::uint8_t* pixels, std::size_t count) const noexcept {
    if (m_greyTable != nullptr) {
        for (std::size_t i = 0; i < count; ++i, pixels += 4) {
            // Blue, green and red hold the same grey.
            const std::uint8_t* srgb = &m_greyTable[std::size_t{pixels[1]} * 3];
            pixels[0] = srgb[0];
            pixels[1] = srgb[1];
            pixels[2] = srgb[2];
        }
        return;
    }
    if (m_matrixShaper != nullptr) {
        const MatrixShaper& tables = *m_matrixShaper;
        constexpr int kShift = MatrixShaper::kFractionBits;
        const auto encode = [&tables](std::int32_t linear) {
            const std::int32_t step = (linear + (1 << (kShift - 1))) >> kShift;
            return tables.encode[std::clamp(step, 0, MatrixShaper::kEncodeSteps)];
        };
#if defined(__SSE2__)
        // Two pixels at a time: the three sums of each in one register, and
        // the clamping in 16 bits (saturation to 16 bits, then the range of
        // the table), which yields the scalar loop's steps exactly.
        const __m128i rounding = _mm_set1_epi32(1 << (kShift - 1));
        const __m128i zero = _mm_setzero_si128();
        const __m128i last = _mm_set1_epi16(MatrixShaper::kEncodeSteps);
        const auto sums = [&tables, rounding](const std::uint8_t* pixel) {
            const auto* red = reinterpret_cast<const __m128i*>(tables.contribution[0][pixel[2]]);
            const auto* green = reinterpret_cast<const __m128i*>(tables.contribution[1][pixel[1]]);
            const auto* blue = reinterpret_cast<const __m128i*>(tables.contribution[2][pixel[0]]);
            const __m128i sum = _mm_add_epi32(_mm_add_epi32(_mm_load_si128(red), _mm_load_si128(green)),
                                              _mm_add_epi32(_mm_load_si128(blue), rounding));
            return _mm_srai_epi32(sum, kShift);
        };
        for (; count >= 2; count -= 2, pixels += 8) {
            __m128i steps = _mm_packs_epi32(sums(pixels), sums(pixels + 4));
            steps = _mm_min_epi16(_mm_max_epi16(steps, zero), last);
            // Whole words: bytes stored one by one and read back as a word
            // would stall the store buffer.
            alignas(16) std::uint16_t step[8];
            _mm_store_si128(reinterpret_cast<__m128i*>(step), steps);
            std::uint32_t pair[2];
            std::memcpy(pair, pixels, 8);
            pair[0] = (pair[0] & 0xFF000000u) | std::uint32_t{tables.encode[step[0]]} << 16 |
                      std::uint32_t{tables.encode[step[1]]} << 8 | tables.encode[step[2]];
            pair[1] = (pair[1] & 0xFF000000u) | std::uint32_t{tables.encode[step[4]]} << 16 |
                      std::uint32_t{tables.encode[step[5]]} << 8 | tables.encode[step[6]];
            std::memcpy(pixels, pair, 8);
        }
#endif
        for (std::size_t i = 0; i < count; ++i, pixels += 4) {
            // Through a copy: a store through the row could alias the
            // tables, and the compiler would then keep every load in order.
            std::uint8_t pixel[4];
            std::memcpy(pixel, pixels, 4);
            const std::int32_t* red = tables.contribution[0][pixel[2]];
            const std::int32_t* green = tables.contribution[1][pixel[1]];
            const std::int32_t* blue = tables.contribution[2][pixel[0]];
            pixel[2] = encode(red[0] + green[0] + blue[0]);
            pixel[1] = encode(red[1] + green[1] + blue[1]);
            pixel[0] = encode(red[2] + green[2] + blue[2]);
            std::memcpy(pixels, pixel, 4);
        }
        return;
    }
    if (m_transform == nullptr) return;
    // Input and output pixels have the same size and lcms2 reads each pixel
    // before it writes it, so the conversion runs in place.
    constexpr std::size_t kChunk = 1 << 20;
    for (std::size_t done = 0; done < count; done += kChunk) {
        const std::size_t n = std::min(kChunk, count - done);
        cmsDoTransform(m_transform.get(), pixels + done * 4, pixels + done * 4,
                       static_cast<cmsUInt32Number>(n));
    }
    if (m_opaqueResult)
        for (std::size_t i = 0; i < count; ++i) pixels[i * 4 + 3] = 255;
}

void CColorConversion::ConvertToLinear(const std::uint8_t* pixels, std::size_t count,
                                       std::uint16_t* light) const noexcept {
    const auto stretch = [](std::uint8_t alpha) { return static_cast<std::uint16_t>(alpha * 257); };
    if (m_greyLight != nullptr) {
        for (std::size_t i = 0; i < count; ++i, pixels += 4, light += 4) {
            std::memcpy(light, &m_greyLight[std::size_t{pixels[1]} * 3], 3 * sizeof *light);
            light[3] = stretch(pixels[3]);
        }
        return;
    }
    if (m_matrixShaper != nullptr) {
        // The sums are the light itself, before the encoding table.
        const MatrixShaper& tables = *m_matrixShaper;
        constexpr int kBits = 14 + MatrixShaper::kFractionBits;
        static_assert(MatrixShaper::kEncodeSteps == 1 << 14);
        const auto toLight = [](std::int32_t sum) {
            const std::int64_t value =
                (std::int64_t{sum} * 65535 + (std::int64_t{1} << (kBits - 1))) >> kBits;
            return static_cast<std::uint16_t>(std::clamp<std::int64_t>(value, 0, 65535));
        };
        for (std::size_t i = 0; i < count; ++i, pixels += 4, light += 4) {
            const std::int32_t* red = tables.contribution[0][pixels[2]];
            const std::int32_t* green = tables.contribution[1][pixels[1]];
            const std::int32_t* blue = tables.contribution[2][pixels[0]];
            light[2] = toLight(red[0] + green[0] + blue[0]);
            light[1] = toLight(red[1] + green[1] + blue[1]);
            light[0] = toLight(red[2] + green[2] + blue[2]);
            light[3] = stretch(pixels[3]);
        }
        return;
    }
    void* const transform = m_linearTransform != nullptr ? m_linearTransform->Get() : nullptr;
    constexpr std::size_t kChunk = 256;
    for (std::size_t done = 0; done < count; done += kChunk) {
        const std::size_t n = std::min(kChunk, count - done);
        const std::uint8_t* in = pixels + 4 * done;
        std::uint16_t* out = light + 4 * done;
        if (transform != nullptr) {
            cmsDoTransform(transform, in, out, static_cast<cmsUInt32Number>(n));
            for (std::size_t i = 0; i < n; ++i)
                out[4 * i + 3] = m_opaqueResult ? 65535 : stretch(in[4 * i + 3]);
            continue;
        }
        // Without a transform into light, through code values.
        std::uint8_t coded[4 * kChunk];
        std::memcpy(coded, in, 4 * n);
        ConvertPixels(coded, n);
        for (std::size_t i = 0; i < 4 * n; ++i)
            out[i] = i % 4 == 3 ? stretch(coded[i]) : Linear16FromSrgb(coded[i]);
    }
}
