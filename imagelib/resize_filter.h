#pragma once

#include "imagelib/image_bitmap.h"
#include "imagelib/resample/tent_resampler.h"
#include "imagelib/ruvo_object.h"

#include <span>

// An operation on a whole bitmap. The two operations are defined in terms of
// each other; a concrete filter overrides at least one of them.
class CBitmapFilter : public CRuvoObject {
public:
    // Filters the bitmap through a temporary and takes the result over.
    virtual void ApplyInPlace(CImageBitmap& bitmap);
    // Copies the source into the destination and filters that in place. The
    // source is not changed.
    virtual void Apply(const CImageBitmap& source, CImageBitmap& destination);
};

// A filter that produces a bitmap of a fixed new size.
class CResizeFilter : public CBitmapFilter {
public:
    CResizeFilter(int newWidth, int newHeight) : m_newWidth(newWidth), m_newHeight(newHeight) {}

    int GetNewWidth() const { return m_newWidth; }
    int GetNewHeight() const { return m_newHeight; }

protected:
    int m_newWidth;
    int m_newHeight;
};

// Separable resampling with a tent (triangle) kernel: every row is resampled
// to the new width first, then every column to the new height. When a side
// shrinks, the kernel widens so that every source pixel contributes.
//
// Works on 32-bit bitmaps; all four bytes of a pixel, alpha included, are
// resampled alike. The result depends only on the arithmetic written here (no
// fused multiply-add, each byte summed over its sources in order), so it is
// the same to the byte on every machine and for any number of threads.
class CTentResizeFilter : public CResizeFilter {
public:
    CTentResizeFilter(int newWidth, int newHeight) : CResizeFilter(newWidth, newHeight) {}

    void Apply(const CImageBitmap& source, CImageBitmap& destination) override;

    // Resamples `source` to every target in a single pass over its rows; each
    // destination receives exactly what Apply would give it. A destination
    // must not be the source. Every size is checked before any destination
    // is touched.
    static void ApplyToSizes(const CImageBitmap& source, std::span<const ResizeTarget> targets,
                             int threads = kAutomaticThreads);

    // Threads to resample with: kAutomaticThreads uses one per core for large
    // pictures and one otherwise.
    static constexpr int kAutomaticThreads = CTentResampler::kAutomaticThreads;
    void SetThreadCount(int threads) { m_threads = threads; }

    // As for CTentResampler::SetLinearLight.
    void SetLinearLight(bool linear) { m_linearLight = linear; }

private:
    int m_threads = kAutomaticThreads;
    bool m_linearLight = false;
};
