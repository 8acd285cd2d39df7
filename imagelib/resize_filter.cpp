#include "imagelib/resize_filter.h"

#include <vector>

void CBitmapFilter::ApplyInPlace(CImageBitmap& bitmap) {
    CMemoryBitmap result;
    Apply(bitmap, result);
    bitmap.CopyFrom(result, 0);
}

void CBitmapFilter::Apply(const CImageBitmap& source, CImageBitmap& destination) {
    if (&source != &destination) destination.CopyFrom(source, 0);
    ApplyInPlace(destination);
}

void CTentResizeFilter::Apply(const CImageBitmap& source, CImageBitmap& destination) {
    // Resampling into the bitmap being read would destroy it first.
    if (&source == &destination) {
        ApplyInPlace(destination);
        return;
    }
    CTentResampler resampler({{m_newWidth, m_newHeight, &destination}}, m_threads);
    resampler.SetLinearLight(m_linearLight);
    resampler.Finish(source);
}

void CTentResizeFilter::ApplyToSizes(const CImageBitmap& source, std::span<const ResizeTarget> targets,
                                     int threads) {
    CTentResampler resampler(std::vector<ResizeTarget>(targets.begin(), targets.end()), threads);
    resampler.Finish(source);
}
