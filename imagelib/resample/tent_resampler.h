#pragma once

#include "imagelib/color/color_conversion.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/image_decoder.h"
#include "imagelib/orientation/attention_map.h"
#include "imagelib/orientation/picture_framing.h"

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

namespace resample {
class CoverCut;
class ResampleJob;

// How the passes weigh their sources, and what the intermediate rows hold.
enum class ResampleKernel {
    kTent,            // code values through the tent (TentContributions)
    kAreaInLight,     // linear light through the area average (AreaContributions)
    kLanczosInLight,  // linear light through boxes and Lanczos-3 (BoxedLanczosContributions)
};
}  // namespace resample

// One size to resample to, and the bitmap that receives it.
struct ResizeTarget {
    int width = 0;
    int height = 0;
    CImageBitmap* destination = nullptr;
};

// Resamples one source picture to several sizes, each destination exactly as
// CTentResizeFilter would make it. Set as a decoder's row listener, it
// resamples finished rows across on helper threads while the decoder is still
// working, so that most of the resizing costs no time at all; Finish does
// what is left. Without a decoder, Finish does all of it.
//
// With row windows allowed (SetRowWindows), a decoder that asks may keep
// only a window of rows instead of the whole picture (see
// CDecodedRowListener): each row is resampled across as soon as it is
// reported, and its slot is handed back once every target's intermediate
// row (target width x source height, kept whole for the pass down) has it.
// The window then belongs to this resampler's decode: Finish must be given
// that same bitmap, and the resampler must outlive neither it nor the decode.
// A window is offered only for a picture not turned, and either framed by a
// part known before the decode (whole, cropped at its sides or by rows, by
// gravity or a crop box) or cropped by what draws the eye (smart) from no
// crop box. Rows above and below a known part are dropped as they are
// reported, never resampled. A smart crop's attention is measured from the
// rows as they are reported, the whole picture resampled to a cover of each
// target (see resample::CoverCut), and the part cut from it once every row
// is in. A smart crop held whole is resampled the same way, so both give the
// same bytes.
class CTentResampler : public CDecodedRowListener {
public:
    // Threads to resample with: kAutomaticThreads uses one per core for large
    // pictures and one otherwise; 0 one per core.
    static constexpr int kAutomaticThreads = -1;
    explicit CTentResampler(std::vector<ResizeTarget> targets, int threads = kAutomaticThreads);
    // Stops the helpers; work not finished is dropped. Must go before the
    // bitmap whose rows it was told of.
    ~CTentResampler() override;
    CTentResampler(const CTentResampler&) = delete;
    CTentResampler& operator=(const CTentResampler&) = delete;

    // How the source is to be seen: an orientation tag's value (1-8, see
    // exif_orientation.h; others count as 1). Set before the decode starts:
    // the rows of a picture that is to be turned are not listened to, and
    // Finish resamples the turned picture.
    void SetOrientation(int orientation) {
        m_orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    }
    // How the picture seen fills each destination; the default stretches it.
    // A framing without a reference size takes the first target's. A framing
    // that turns the picture to fill (PictureFraming::rotateToFill) turns it
    // on top of the orientation.
    void SetFraming(const PictureFraming& framing) { m_framing = framing; }
    // The part of the upright picture the last Finish resampled, in its
    // pixels (before any turn to fill).
    const PixelRect& KeptPart() const { return m_kept; }

    // Lets a decoder hold its picture as a window of rows; off by default.
    // Either way the destinations receive the same bytes.
    void SetRowWindows(bool allowed) { m_rowWindows = allowed; }

    // Resamples in linear light instead of code values: each code value is
    // turned into light at 16 bits, pixel centres sit in the middle of the
    // area each pixel covers, a shrinking side averages each output pixel's
    // own area, and the results are turned back into code values. Off by
    // default; set before the decode starts.
    void SetLinearLight(bool linear) {
        m_kernel = linear ? resample::ResampleKernel::kAreaInLight : resample::ResampleKernel::kTent;
    }
    // Any kernel, as SetLinearLight does: kLanczosInLight is linear light
    // made sharper, each side shrunk by more than three times first averaged
    // in boxes to about three times its size, then Lanczos-3 with centres aligned,
    // the light held to its range after each pass.
    void SetKernel(resample::ResampleKernel kernel) { m_kernel = kernel; }
    // For a source that Finish is given whole with its rows still in the
    // file's colours (see CImageDecoder::SetDeferColorConversion): every
    // pixel is converted with `conversion` as it is read, the source left as
    // it is. Not owned; it must live until Finish returns. Null (the default)
    // for a source in sRGB.
    void SetSourceConversion(const CColorConversion* conversion) { m_sourceConversion = conversion; }

    int WindowRows(int width, int height, int batchRows) noexcept override;
    // With kLanczosInLight, which averages a side shrunk by more than three
    // times in boxes anyway: a reduced picture that keeps at least six of
    // its pixels for every pixel of every target, on each side of the part
    // of it that is seen. The other kernels take the picture as stored.
    bool TakesReducedSize(int width, int height, int reducedWidth, int reducedHeight) noexcept override;
    void RowsDecoded(const CImageBitmap& bitmap, int rowCount) noexcept override;
    // Rows resampled while the picture decodes are converted by the thread
    // that resamples them, off the decoding thread.
    bool TakeRowConversion(const CImageBitmap& bitmap, const CColorConversion& conversion, int firstRow,
                           int rowCount) noexcept override;
    void ReleaseRowConversion() noexcept override;

    // Resamples `source` into every destination. Rows reported of another
    // bitmap, or of one since re-created at another size, are not trusted:
    // everything is then resampled from `source`. Throws CTextException.
    void Finish(const CImageBitmap& source);

    // Of the last Finish whose source was a window: how long the decoding
    // thread waited for the helpers to free slots, and how long it resampled
    // rows itself because they had fallen behind. Zero otherwise.
    std::chrono::nanoseconds WindowWaitTime() const { return m_windowWait; }
    std::chrono::nanoseconds WindowHelpTime() const { return m_windowHelp; }

private:
    // Makes ready to resample `bitmap`'s rows as they are reported, unless it
    // is not to be streamed; true when its rows are listened to. `evenAlone`:
    // rows in the file's colours are offered, worth listening to without
    // helpers in linear light.
    bool Listens(const CImageBitmap& bitmap, bool evenAlone = false) noexcept;
    // A job for the rows of `bitmap`, whole, as they are reported, when it is
    // worth one; null otherwise.
    std::unique_ptr<resample::ResampleJob> StreamingJob(const CImageBitmap& bitmap, bool evenAlone) noexcept;
    // Adds the rows of a streamed smart crop up to rowCount to its attention.
    void MeasureRows(const CImageBitmap& bitmap, int rowCount) noexcept;
    // Drops the job, with the cover and attention it fills.
    void DropJob() noexcept;
    // Resamples a smart crop of a picture stored at that size through a
    // cover of each target; null for any other fit, or a cover unreasonable.
    std::unique_ptr<resample::CoverCut> CoverFor(int storedWidth, int storedHeight) const;
    // Drops the job that listened unless it listened to `source` as it is now
    // and has nothing else to read.
    void KeepJobOnlyFor(const CImageBitmap& source);
    // The framing with its reference size.
    PictureFraming Framing() const;
    // How a picture stored at that size is seen, and what of it is resampled.
    struct Seeing {
        int orientation;
        PixelRect part;  // of the picture seen
        PixelRect kept;  // the same, of the upright picture
    };
    // A smart crop measures `attention`; its part is not known before.
    Seeing SeeingFor(int storedWidth, int storedHeight, const AttentionMap* attention = nullptr) const;
    // True when a smart crop of a picture stored at that size has yet to be measured.
    bool MeasuresAttention(int storedWidth, int storedHeight) const;
    // Throws when `source` cannot be resampled.
    void CheckSource(const CImageBitmap& source) const;

    std::vector<ResizeTarget> m_targets;
    int m_threads;
    int m_orientation = 1;
    PictureFraming m_framing;
    bool m_streamingDeclined = false;
    bool m_rowWindows = false;
    resample::ResampleKernel m_kernel = resample::ResampleKernel::kTent;
    const CColorConversion* m_sourceConversion = nullptr;
    PixelRect m_kept;
    std::chrono::nanoseconds m_windowWait{};
    std::chrono::nanoseconds m_windowHelp{};
    std::unique_ptr<resample::ResampleJob> m_job;
    // Of a smart crop: the covers the job resamples to, and, while a window
    // of rows streams, the attention gathered from its rows.
    std::unique_ptr<resample::CoverCut> m_cover;
    struct StreamedAttention {
        AttentionSums sums;
        // Rows [convertFrom, convertTo), of the report offered last, still
        // hold the file's colours: each is measured through `conversion`,
        // copied into `row` first.
        const CColorConversion* conversion = nullptr;
        int convertFrom = 0;
        int convertTo = 0;
        std::vector<std::uint8_t> row;
    };
    std::optional<StreamedAttention> m_attention;
};
