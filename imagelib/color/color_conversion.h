#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "imagelib/limits/decode_limits.h"

// What the samples a decoder writes into its 32-bit pixels (blue, green, red,
// alpha) stand for when a profile describes them. kGrey: one grey sample
// repeated in blue, green and red. kCmyk and kInvertedCmyk: the four inks in
// the four bytes, as stored (kInvertedCmyk: 255 is no ink, as Adobe's
// programs write them); the conversion makes them opaque pixels.
enum class ProfilePixels { kRgb, kGrey, kCmyk, kInvertedCmyk };

// A colour space given by its primaries and white point (CIE xy) and one tone
// curve per channel, as HEIF colour boxes and BMP headers describe it.
struct CalibratedRgbSpace {
    double redX = 0, redY = 0, greenX = 0, greenY = 0, blueX = 0, blueY = 0, whiteX = 0, whiteY = 0;
    // Gamma of red, green and blue; 0 stands for the sRGB curve.
    double gamma[3] = {0, 0, 0};
    // How the progress log names the space.
    std::string name;
};

// The conversion of one picture's pixels from the colour space its file
// declares to sRGB, built once per picture and run on its rows. A profile that
// cannot be read, does not fit the picture or describes sRGB itself (whatever
// its name) builds a conversion that converts nothing: the picture keeps its
// numbers, as if the file had no profile.
class CColorConversion {
public:
    CColorConversion();
    ~CColorConversion();
    CColorConversion(CColorConversion&&) noexcept;
    CColorConversion& operator=(CColorConversion&&) noexcept;

    // The work the profile may cost is bounded by `limits` (see
    // CheckColorProfileCost).
    static CColorConversion FromIccProfile(std::span<const std::uint8_t> profile, ProfilePixels pixels,
                                           const DecodeLimits& limits = DecodeLimits());
    static CColorConversion FromCalibratedRgb(const CalibratedRgbSpace& space);
    // Converts nothing, and says why in the note.
    static CColorConversion Ignored(const std::string& why);

    // True when pixels change.
    bool Converts() const {
        return m_transform != nullptr || m_matrixShaper != nullptr || m_greyTable != nullptr;
    }
    // True when pixels go through tables built from the profile rather
    // than through lcms2 pixel by pixel (see MatrixShaper).
    bool UsesTables() const { return m_matrixShaper != nullptr || m_greyTable != nullptr; }
    // For the progress log: "colour profile: <name> -> sRGB" when it
    // converts, "colour profile ignored: <why>" for a profile it could not
    // use, empty otherwise.
    const std::string& Note() const { return m_note; }

    // Converts `count` 32-bit pixels in place. Safe to call from several
    // threads at once on different pixels.
    void ConvertPixels(std::uint8_t* pixels, std::size_t count) const noexcept;

    // Writes the light of `count` 32-bit pixels, as linear sRGB at 16 bits
    // a channel (0 to 65535), to `light`: blue, green, red and alpha (0 to
    // 255 stretched to the same range) for each. For scaling in linear light,
    // whose sums would otherwise start from colours rounded to 8-bit code
    // values. Only for a conversion that Converts(); safe from several
    // threads at once.
    void ConvertToLinear(const std::uint8_t* pixels, std::size_t count, std::uint16_t* light) const noexcept;

private:
    struct TransformDeleter {
        void operator()(void* transform) const noexcept;
    };

    // The conversion of a matrix/tone-curve RGB profile, the common kind, as
    // three tables and a matrix: lcms2 takes several times as long for a
    // pixel as the decoder, and a large photo would convert in twice its
    // time. Built from the profile's own colorants and curves, and used only
    // when it agrees with lcms2's transform on a grid over the whole cube.
    struct MatrixShaper;
    struct MatrixShaperDeleter {
        void operator()(MatrixShaper* tables) const noexcept;
    };

    std::unique_ptr<void, TransformDeleter> m_transform;
    std::unique_ptr<MatrixShaper, MatrixShaperDeleter> m_matrixShaper;
    // For grey pictures: the sRGB blue, green and red of each grey level,
    // as code values and as linear light at 16 bits.
    std::unique_ptr<std::uint8_t[]> m_greyTable;
    std::unique_ptr<std::uint16_t[]> m_greyLight;
    // For pictures converted by lcms2 itself, the transform into linear
    // light, built when first asked for: most conversions never are.
    struct LinearTransform;
    struct LinearTransformDeleter {
        void operator()(LinearTransform* transform) const noexcept;
    };
    std::unique_ptr<LinearTransform, LinearTransformDeleter> m_linearTransform;
    bool m_opaqueResult = false;
    std::string m_note;

    friend class ColorConversionBuilder;
};
