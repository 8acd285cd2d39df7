#include "imagelib/resize_filter.h"

#include "imagelib/image_limits.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

namespace {

const char kOutOfMemory[] = "Out of memory creating bitmap.";

// Triangle of radius 1: full weight at the centre, none from one pixel away.
constexpr double kTentRadius = 1.0;

double Tent(double x) {
    const double distance = std::fabs(x);
    return distance < kTentRadius ? kTentRadius - distance : 0.0;
}

// For one pass: which source pixels make up each output pixel, and with what
// weights. Computed once per output index and reused across the other side.
class ContributionTable {
public:
    ContributionTable(int outSize, int inSize) {
        const double scale = static_cast<double>(outSize) / static_cast<double>(inSize);
        // Shrinking widens the kernel so that the output averages over every
        // source pixel it covers; enlarging interpolates between neighbours.
        double width = kTentRadius;
        double factor = 1.0;
        if (scale < 1.0) {
            width = kTentRadius / scale;
            factor = scale;
        }
        m_maxContributors = 2 * static_cast<int>(std::ceil(width)) + 1;
        m_left.resize(static_cast<std::size_t>(outSize));
        m_right.resize(static_cast<std::size_t>(outSize));
        m_weights.assign(static_cast<std::size_t>(outSize) * static_cast<std::size_t>(m_maxContributors),
                         0.0);

        for (int i = 0; i < outSize; ++i) {
            // No half-pixel offset: output pixel 0 sits on source pixel 0.
            const double centre = static_cast<double>(i) / scale;
            int left = static_cast<int>(std::floor(centre - width));
            int right = static_cast<int>(std::ceil(centre + width));
            if (left < 0) left = 0;
            if (right > inSize - 1) right = inSize - 1;
            // Both ends can land on a pixel of zero weight; dropping one keeps
            // the range within the table.
            if (right - left + 1 > m_maxContributors) {
                if (left < inSize)
                    ++left;
                else
                    --right;
            }
            double* weights = Weights(i);
            double sum = 0.0;
            for (int k = left; k <= right; ++k) {
                const double weight = factor * Tent((centre - static_cast<double>(k)) * factor);
                weights[k - left] = weight;
                sum += weight;
            }
            if (sum > 0.0)
                for (int k = left; k <= right; ++k) weights[k - left] /= sum;
            m_left[static_cast<std::size_t>(i)] = left;
            m_right[static_cast<std::size_t>(i)] = right;
        }
    }

    int Left(int i) const { return m_left[static_cast<std::size_t>(i)]; }
    int Right(int i) const { return m_right[static_cast<std::size_t>(i)]; }
    const double* Weights(int i) const {
        return m_weights.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(m_maxContributors);
    }

private:
    double* Weights(int i) {
        return m_weights.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(m_maxContributors);
    }

    int m_maxContributors = 0;
    std::vector<int> m_left;
    std::vector<int> m_right;
    std::vector<double> m_weights;
};

// The weighted sum is rounded by adding 0.5 and truncating. Weights are
// non-negative and sum to 1, so the result never leaves 0..255.
std::uint8_t RoundToByte(double value) {
    return static_cast<std::uint8_t>(value + 0.5);
}

}  // namespace

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
    if (source.GetDepth() != 32)
        throw CTextException(ERR_UNSUPPORTED_DATA, "Resize filter: Only 32-bit bitmaps can be resized.");

    const int sourceHeight = source.GetHeight();
    // The intermediate image is as wide as the result and as high as the
    // source; refuse it as an allocation failure when it would be absurd.
    if (!IsPlausibleImageSize(m_newWidth, m_newHeight)) throw CTextException(ERR_NO_MEMORY, kOutOfMemory);
    const auto intermediateBytes =
        CheckedMultiply(static_cast<std::uint64_t>(m_newWidth) * 4, static_cast<std::uint64_t>(sourceHeight));
    if (!intermediateBytes || *intermediateBytes > kMaxBitmapBytes)
        throw CTextException(ERR_NO_MEMORY, kOutOfMemory);

    destination.Create(m_newWidth, m_newHeight, 32, source.HasAlphaChannel());

    try {
        Resample(source, destination, static_cast<std::size_t>(*intermediateBytes));
    } catch (const std::bad_alloc&) {
        throw CTextException(ERR_NO_MEMORY, kOutOfMemory);
    }
}

void CTentResizeFilter::Resample(const CImageBitmap& source, CImageBitmap& destination,
                                 std::size_t intermediateBytes) const {
    const int sourceWidth = source.GetWidth();
    const int sourceHeight = source.GetHeight();
    std::vector<std::uint8_t> intermediate(intermediateBytes);
    const std::size_t intermediateStride = static_cast<std::size_t>(m_newWidth) * 4;

    // Horizontal pass: every source row to the new width. The four bytes of a
    // pixel are summed side by side, each over its sources left to right.
    {
        const ContributionTable table(m_newWidth, sourceWidth);
        for (int y = 0; y < sourceHeight; ++y) {
            const std::uint8_t* in = source.GetRows()[y];
            std::uint8_t* out = intermediate.data() + static_cast<std::size_t>(y) * intermediateStride;
            for (int x = 0; x < m_newWidth; ++x) {
                const int left = table.Left(x);
                const int right = table.Right(x);
                const double* weights = table.Weights(x);
                double value[4] = {0.0, 0.0, 0.0, 0.0};
                for (int k = left; k <= right; ++k) {
                    const double weight = weights[k - left];
                    const std::uint8_t* pixel = in + 4 * static_cast<std::size_t>(k);
                    for (int b = 0; b < 4; ++b) value[b] += weight * pixel[b];
                }
                for (int b = 0; b < 4; ++b) out[4 * x + b] = RoundToByte(value[b]);
            }
        }
    }

    // Vertical pass: every column of the intermediate image to the new height.
    // A whole output row is accumulated at once, source rows top to bottom, so
    // each byte is summed in the same order as column by column would.
    {
        const ContributionTable table(m_newHeight, sourceHeight);
        std::vector<double> values(intermediateStride);
        for (int y = 0; y < m_newHeight; ++y) {
            const int top = table.Left(y);
            const int bottom = table.Right(y);
            const double* weights = table.Weights(y);
            std::fill(values.begin(), values.end(), 0.0);
            for (int k = top; k <= bottom; ++k) {
                const double weight = weights[k - top];
                const std::uint8_t* in =
                    intermediate.data() + static_cast<std::size_t>(k) * intermediateStride;
                for (std::size_t i = 0; i < intermediateStride; ++i) values[i] += weight * in[i];
            }
            std::uint8_t* out = destination.GetRows()[y];
            for (std::size_t i = 0; i < intermediateStride; ++i) out[i] = RoundToByte(values[i]);
        }
    }
}
