#pragma once

#include "engine/front_end.h"
#include "engine/palm_database.h"
#include "engine/picture_layout.h"
#include "imagelib/limits/decode_limits.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

class CDecodedRowListener;

// How a conversion holds the decoded picture. kStreamWherePossible lets the
// decoders that write their rows top to bottom (baseline JPEG, non-interlaced
// PNG, TIFF in several strips stored top row first, uncompressed BMP) keep
// only a window of rows that the resampler takes as they come, when the
// picture is neither turned nor cropped; its memory then does not grow with
// the picture. kWholePicture always decodes the whole picture first, as every
// other picture is. The databases are the same to the byte either way.
enum class PictureHolding { kStreamWherePossible, kWholePicture };

// kWholePicture when the environment sets KESTRIN_WHOLE_PICTURE to anything
// but "0" or nothing (for comparing the two ways), else kStreamWherePossible.
PictureHolding defaultPictureHolding();
class CColorConversion;
class CDIBBitmap;
class CMemoryBitmap;
class CTextException;

// The reason a file that is not a picture of a known kind is refused with.
inline constexpr const char* kNotAPictureReason = "not a picture Kestrin reads";

// Why a picture could not be decoded or scaled, said shortly for a line after
// its name: the system's reason when the file cannot be opened ("No such
// file or directory", "Is a directory", "Permission denied"),
// kNotAPictureReason when its kind is unknown, else the library's text
// without its wrapper.
std::string loadFailureReason(const CTextException& error, const std::string& inputPath);

// What a decode says besides its picture, for the progress log.
struct DecodeNotes {
    // What the picture's libraries said (giflib's failures, libjpeg's
    // warnings), one line per distinct text with how often it came.
    std::vector<std::string> libraryMessages;
    // What is wrong with the picture although it decoded ("the picture ends
    // early: rows 121 to 480 are missing"); empty when nothing is.
    std::string pictureWarning;
};

// Decodes a picture file into a 32-bit bitmap as stored, as every conversion
// does before it turns and frames it: converted to sRGB through the file's
// colour profile unless `colorManagement` is off. `colorNote`, when given,
// receives what became of the profile, for the progress log (empty when
// there was nothing to say). `keptColors`, when given, leaves the pixels in
// the file's colours and receives the conversion that makes them sRGB (null
// when they are): see DecodedSource. `notes`, when given, receives the rest
// the decode had to say; the libraries' messages never reach the standard
// error stream. Throws CTextException.
void decodeSourcePicture(const std::string& inputPath, CDIBBitmap& picture, const DecodeLimits& limits = {},
                         CDecodedRowListener* rowListener = nullptr, bool colorManagement = true,
                         std::string* colorNote = nullptr,
                         std::shared_ptr<const CColorConversion>* keptColors = nullptr,
                         DecodeNotes* notes = nullptr);

// A picture decoded once, as stored, to be converted many times (the
// window's preview): its pixels in the file's colours, and the conversion to
// sRGB that each scaling applies as it reads them, so that a scaling in
// linear light starts from the conversion's light as a conversion from the
// file does. `colours` is null when the pixels are sRGB.
struct DecodedSource {
    std::shared_ptr<const CDIBBitmap> pixels;
    std::shared_ptr<const CColorConversion> colors;
};

// Decodes a picture file into a 32-bit bitmap, turns and frames it as
// `layout` says and scales it to exactly width x height (by default: upright
// and stretched, the aspect ratio not kept). On failure the user is shown
// "Error %d decoding %s: %s" or "Error %d resizing %s: %s" and false is
// returned. The decode keeps to `limits`.
// With the fine quality the picture is scaled in linear light.
bool loadScaledPicture(const std::string& inputPath, int width, int height, CDIBBitmap& picture,
                       UserNotifier& notifier, const PictureLayout& layout = {},
                       const DecodeLimits& limits = {}, PictureQuality quality = PictureQuality::kClassic,
                       bool colorManagement = true);

// Fills each bitmap object of a run from the source file: every load decodes
// and scales the file again, then reduces the picture to the object's depth.
class SourceLoader : public BitmapLoader {
public:
    SourceLoader(std::string inputPath, int dither, UserNotifier& notifier, const PictureLayout& layout = {})
        : m_inputPath(std::move(inputPath)), m_dither(dither), m_notifier(notifier), m_layout(layout) {}

    bool load(PalmBitmap& bitmap) override;

    // How the picture is scaled and reduced; kClassic unless set.
    void setQuality(PictureQuality quality) { m_quality = quality; }

private:
    std::string m_inputPath;
    int m_dither;
    UserNotifier& m_notifier;
    PictureLayout m_layout;
    PictureQuality m_quality = PictureQuality::kClassic;
};

struct PictureSize {
    int width = 0;
    int height = 0;

    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// The scaled sizes the resource plan of `settings` loads bitmap objects at, in
// the order it first needs them: the low-density size, and for the
// high-resolution choice then the double-density size. Empty for an unknown
// choice.
std::vector<PictureSize> plannedPictureSizes(const ConversionSettings& settings);

// Fills the bitmap objects of a run from a single decode of the source file.
// The first load decodes the file, scales the picture to every planned size
// straight from the decoded picture, turned and framed as the layout says
// (largely while the decoder is still at work on the rows below, unless the
// picture is to be turned), and releases the decoded picture at once: a
// photo's full-size pixels are by far the largest thing a run holds, and only
// one copy of them is ever alive. Every load then reduces its own copy of the
// scaled picture, because dithering writes into the picture it reduces; a
// load of the same size and depth as the one before it takes that load's
// pixels, as the reduction would give them again (the combined destination
// writes its colour picture twice).
//
// The databases are the same to the byte as with SourceLoader, and so are
// the messages: a failed decode or resize is shown once, this load and every
// later one return false. A bitmap of a size that was not planned is loaded
// the object-by-object way, decoding the file again. Every decode keeps to
// `limits` (a thumbnailer may ask for tighter ones than the defaults).
class CachingSourceLoader : public BitmapLoader {
public:
    CachingSourceLoader(std::string inputPath, int dither, UserNotifier& notifier,
                        std::vector<PictureSize> plannedSizes, const PictureLayout& layout = {},
                        const DecodeLimits& limits = {});
    // Starts from a picture already decoded, as stored, from `inputPath` (32
    // bits per pixel), for a caller that converts the same file again with
    // other settings: only the file's orientation tag is read (when the layout
    // turns photos), and the picture is kept, not released. The databases are
    // the same to the byte as from the file.
    CachingSourceLoader(DecodedSource decodedPicture, std::string inputPath, int dither,
                        UserNotifier& notifier, std::vector<PictureSize> plannedSizes,
                        const PictureLayout& layout = {});
    ~CachingSourceLoader() override;

    bool load(PalmBitmap& bitmap) override;

    // How the first load holds the decoded picture; defaultPictureHolding()
    // unless set before it.
    void setPictureHolding(PictureHolding holding) { m_holding = holding; }

    // How the pictures are scaled and reduced; kClassic unless set before
    // the first load.
    void setQuality(PictureQuality quality) { m_quality = quality; }

    // How the first load held the picture: the rows of its window (0 when it
    // was held whole), how long the decoding thread waited for the
    // resampler's helpers to free slots, and how long it resampled rows
    // itself because they had fallen behind.
    struct WindowUse {
        int rows = 0;
        std::chrono::nanoseconds waited{};
        std::chrono::nanoseconds resampled{};
    };
    const WindowUse& windowUse() const { return m_windowUse; }

    // How often this loader has decoded the source file so far.
    int decodeCount() const { return m_decodeCount; }

    // Whether the decode converts through the file's colour profile; on
    // unless set before the first load.
    void setColorManagement(bool enabled) { m_colorManagement = enabled; }
    // What the first load's decode made of the file's colour profile, for
    // the progress log; empty when there was nothing to say.
    const std::string& colorNote() const { return m_colorNote; }
    // What else the first load's decode had to say.
    const DecodeNotes& decodeNotes() const { return m_decodeNotes; }
    // The part of the upright picture the first load kept, in its pixels;
    // empty before.
    const PixelRect& keptPart() const { return m_keptPart; }

protected:
    // Decodes the source file into a 32-bit picture, telling `rowListener`
    // of finished rows as the decoder goes; throws CTextException.
    virtual void decodeSource(const std::string& inputPath, CDIBBitmap& picture,
                              CDecodedRowListener& rowListener);
    const DecodeLimits& decodeLimits() const { return m_limits; }
    bool colorManagement() const { return m_colorManagement; }
    void setColorNote(std::string note) { m_colorNote = std::move(note); }

private:
    enum class State { NotDecoded, Ready, Failed };

    // Decodes, scales to every planned size and drops the decoded picture.
    bool prepareScaledPictures();
    const CMemoryBitmap* scaledPicture(int width, int height) const;

    std::string m_inputPath;
    int m_dither;
    UserNotifier& m_notifier;
    std::vector<PictureSize> m_plannedSizes;
    PictureLayout m_layout;
    DecodeLimits m_limits;
    DecodedSource m_decodedPicture;
    // The conversion a decode left to the scaling, until it is done.
    std::shared_ptr<const CColorConversion> m_sourceColors;
    // One per planned size, in the same order, once the source is decoded.
    std::vector<std::unique_ptr<CMemoryBitmap>> m_scaled;
    State m_state = State::NotDecoded;
    int m_decodeCount = 0;
    PictureHolding m_holding = defaultPictureHolding();
    PictureQuality m_quality = PictureQuality::kClassic;
    WindowUse m_windowUse;
    bool m_colorManagement = true;
    std::string m_colorNote;
    DecodeNotes m_decodeNotes;
    PixelRect m_keptPart;
    // The last load's reduction of a scaled picture.
    struct Reduced {
        int width = 0;
        int height = 0;
        int depth = 0;
        std::vector<std::uint8_t> pixels;
    };
    Reduced m_lastReduced;
};
