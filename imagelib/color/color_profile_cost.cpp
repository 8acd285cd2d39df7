#include "imagelib/color/color_profile_cost.h"

#include "imagelib/byte_order.h"
#include "imagelib/limits/checked_arithmetic.h"

#include <algorithm>
#include <array>
#include <map>

namespace {

// The profile header and tag table (ICC.1, 7.2 and 7.3), big-endian.
constexpr std::size_t kHeaderBytes = 128;
constexpr std::size_t kTagEntryBytes = 12;  // signature, offset, size
// lcms2 refuses a table of more tags itself.
constexpr std::uint32_t kMaxTags = 100;

constexpr std::uint32_t Signature(const char (&text)[5]) {
    return std::uint32_t{static_cast<std::uint8_t>(text[0])} << 24 |
           std::uint32_t{static_cast<std::uint8_t>(text[1])} << 16 |
           std::uint32_t{static_cast<std::uint8_t>(text[2])} << 8 |
           std::uint32_t{static_cast<std::uint8_t>(text[3])};
}

// Tag types that hold a pipeline, and the elements of a multiProcessElements
// tag.
constexpr std::uint32_t kLut8Type = Signature("mft1");
constexpr std::uint32_t kLut16Type = Signature("mft2");
constexpr std::uint32_t kLutAtoBType = Signature("mAB ");
constexpr std::uint32_t kLutBtoAType = Signature("mBA ");
constexpr std::uint32_t kMultiProcessType = Signature("mpet");
constexpr std::uint32_t kCurveSetElement = Signature("cvst");
constexpr std::uint32_t kMatrixElement = Signature("matf");
constexpr std::uint32_t kClutElement = Signature("clut");
constexpr std::uint32_t kSegmentedCurve = Signature("curf");
constexpr std::uint32_t kFormulaSegment = Signature("parf");
constexpr std::uint32_t kSampledSegment = Signature("samf");

// The tags lcms2 reads a pipeline from: device to connection space, whose
// tables take the picture's channels, and the way back (and the gamut and
// preview tags), whose tables take the connection space's three. Tags of
// other signatures are never parsed.
constexpr std::array kDeviceSideTags = {Signature("A2B0"), Signature("A2B1"), Signature("A2B2"),
                                        Signature("D2B0"), Signature("D2B1"), Signature("D2B2"),
                                        Signature("D2B3")};
constexpr std::array kConnectionSideTags = {Signature("B2A0"), Signature("B2A1"), Signature("B2A2"),
                                            Signature("B2D0"), Signature("B2D1"), Signature("B2D2"),
                                            Signature("B2D3"), Signature("gamt"), Signature("pre0"),
                                            Signature("pre1"), Signature("pre2")};
constexpr int kConnectionChannels = 3;
// The most channels any stage has in lcms2.
constexpr int kMaxStageChannels = 15;
// Camera and editor profiles chain at most the five stages of a lutAtoB tag
// (curves, table, curves, matrix, curves); a multiProcessElements tag a few
// more.
constexpr std::uint32_t kMaxStages = 16;
// lcms2 evaluates a segmented curve by walking its segments from the last
// until one holds the value: a file chooses the breakpoints so that every
// walk goes through all of them. A step is a load and a comparison, which
// a curve too large for the cache makes as slow as a multiply-add or two.
constexpr std::uint64_t kUnitsPerSegmentStep = 2;
// lcms2 tabulates every segmented curve at this many points when it reads it.
constexpr std::uint64_t kCurveTablePoints = 4096;
// lcms2 keeps the points of a sampled segment with every curve that points
// at it, in each of the copies of the pipeline a conversion makes (three):
// a few megabytes of points that many curves share would hold gigabytes.
// Profiles hold a few thousand points a curve.
constexpr std::uint64_t kMaxHeldSamplePoints = std::uint64_t{8} << 20;

constexpr const char* kUnreadable = "it could not be read";
constexpr const char* kTooManyInputs = "its tables have more inputs than its colour space has channels";
constexpr const char* kTooManyStages = "its conversion has too many steps";
constexpr const char* kTooCostly = "its conversion would take too long";
constexpr const char* kTooLarge = "its curves would take too much memory";

// Where lcms2 samples a pipeline to build a transform from 8-bit pixels: a
// grid of 33 points a channel for three channels, 17 for four, and every
// level of one.
std::uint64_t SamplesPerGrid(int channels) {
    switch (channels) {
        case 1:
            return 256;
        case 3:
            return 33 * 33 * 33;
        case 4:
            return 17 * 17 * 17 * 17;
        default:
            break;
    }
    std::uint64_t samples = 1;
    for (int i = 0; i < channels; ++i) samples *= 7;
    return samples;
}

// How often a conversion evaluates the pipeline, as counted in lcms2 2.14:
// each transform samples its grid twice, and a conversion builds one
// transform into code values and, in fine quality, one into light; an RGB
// profile also converts a probe in floating point and samples the grey axis
// (not quite one grid more). A grey profile costs far less than its two
// grids of levels.
std::uint64_t EvaluationsPerConversion(int channels) {
    return SamplesPerGrid(channels) * (channels == 3 ? 5 : 4);
}

// A bounded view of one tag or element, with reads that fail rather than
// leave it.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::size_t Size() const { return m_size; }
    bool Has(std::size_t offset, std::size_t bytes) const {
        return offset <= m_size && bytes <= m_size - offset;
    }
    std::optional<std::uint32_t> U32(std::size_t offset) const {
        return Has(offset, 4) ? std::optional<std::uint32_t>(ReadBE32(m_data + offset)) : std::nullopt;
    }
    std::optional<std::uint16_t> U16(std::size_t offset) const {
        return Has(offset, 2) ? std::optional<std::uint16_t>(ReadBE16(m_data + offset)) : std::nullopt;
    }
    std::optional<std::uint8_t> U8(std::size_t offset) const {
        return Has(offset, 1) ? std::optional<std::uint8_t>(m_data[offset]) : std::nullopt;
    }
    std::optional<Bytes> Part(std::size_t offset, std::size_t bytes) const {
        return Has(offset, bytes) ? std::optional<Bytes>(Bytes(m_data + offset, bytes)) : std::nullopt;
    }
    std::optional<Bytes> From(std::size_t offset) const {
        return offset <= m_size ? Part(offset, m_size - offset) : std::nullopt;
    }
    const std::uint8_t* Data() const { return m_data; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

// What the profile's curves cost over all its pipelines: what reading them
// costs lcms2 beyond their bytes (refused once over `readingAllowance`), and
// the points of sampled segments it keeps, once for each curve that points
// at them. Those of each segmented curve are counted once here, by where
// it starts, however many curves point at it.
struct CurveTally {
    std::uint64_t readingAllowance = 0;
    std::uint64_t reading = 0;
    std::uint64_t heldSamplePoints = 0;
    std::map<const std::uint8_t*, std::uint64_t> samplePointsOf;
};

// What evaluating a pipeline once costs (units of about a multiply-add); or
// why it is refused.
struct PipelineCost {
    explicit PipelineCost(CurveTally& tally) : curves(tally) {}
    std::uint64_t perSample = 0;
    CurveTally& curves;
    const char* refusal = nullptr;

    void Add(std::uint64_t units) { perSample = CheckedAdd(perSample, units).value_or(UINT64_MAX); }
    void Refuse(const char* why) {
        if (refusal == nullptr) refusal = why;
    }
};

// A table of `inputs` x `outputs` channels whose grid points are read by
// `pointsAt`; its data, `bytesPerValue` each, must lie within `available`.
template <typename PointsAt>
void AddTable(PipelineCost& cost, int inputs, int outputs, int maxInputs, PointsAt pointsAt,
              std::uint64_t bytesPerValue, std::uint64_t available) {
    if (inputs > maxInputs) return cost.Refuse(kTooManyInputs);
    if (inputs < 1 || outputs < 1 || outputs > kMaxStageChannels) return cost.Refuse(kUnreadable);
    std::uint64_t values = static_cast<std::uint64_t>(outputs) * bytesPerValue;
    for (int i = 0; i < inputs; ++i) {
        const std::optional<std::uint8_t> points = pointsAt(i);
        if (!points || *points < 2) return cost.Refuse(kUnreadable);
        values = CheckedMultiply(values, *points).value_or(UINT64_MAX);
    }
    // lcms2 allocates the whole table before it reads it.
    if (values > available) return cost.Refuse(kUnreadable);
    // Interpolation reads a corner of the cell for each output: four for
    // three inputs (tetrahedra), twice the cost for each input beyond.
    cost.Add(static_cast<std::uint64_t>(outputs) << std::max(inputs, 2));
}

void AddLut(PipelineCost& cost, Bytes tag, std::uint32_t type, int maxInputs) {
    const auto inputs = tag.U8(8);
    const auto outputs = tag.U8(9);
    const auto points = tag.U8(10);
    if (!inputs || !outputs || !points) return cost.Refuse(kUnreadable);
    constexpr std::size_t kLutHeaderBytes = 48;  // up to the matrix's end
    std::uint64_t inEntries = 256;
    std::uint64_t outEntries = 256;
    std::uint64_t bytesPerValue = 1;
    std::size_t tables = kLutHeaderBytes;
    if (type == kLut16Type) {
        const auto in = tag.U16(48);
        const auto out = tag.U16(50);
        if (!in || !out) return cost.Refuse(kUnreadable);
        inEntries = *in;
        outEntries = *out;
        bytesPerValue = 2;
        tables += 4;
    }
    const std::uint64_t curveBytes = (*inputs * inEntries + *outputs * outEntries) * bytesPerValue;
    if (!tag.Has(tables, 0) || curveBytes > tag.Size() - tables) return cost.Refuse(kUnreadable);
    AddTable(
        cost, *inputs, *outputs, maxInputs, [&](int) { return points; }, bytesPerValue,
        tag.Size() - tables - curveBytes);
    cost.Add(std::uint64_t{*inputs} + 9 + *outputs);
}

void AddLutAtoB(PipelineCost& cost, Bytes tag, int maxInputs) {
    const auto inputs = tag.U8(8);
    const auto outputs = tag.U8(9);
    const auto tableOffset = tag.U32(24);
    if (!inputs || !outputs || !tableOffset) return cost.Refuse(kUnreadable);
    // Three sets of curves and a matrix around the table.
    cost.Add(2 * std::uint64_t{*inputs} + 2 * std::uint64_t{*outputs} + 12);
    if (*tableOffset == 0) return;
    const std::optional<Bytes> table = tag.From(*tableOffset);
    constexpr std::size_t kTableHeaderBytes = 20;  // 16 grid points, precision, padding
    const auto precision = table ? table->U8(16) : std::nullopt;
    if (!precision || (*precision != 1 && *precision != 2) || !table->Has(kTableHeaderBytes, 0))
        return cost.Refuse(kUnreadable);
    // lutBtoA tags hold the table's inputs and outputs the same way round.
    AddTable(
        cost, *inputs, *outputs, maxInputs, [&](int i) { return table->U8(static_cast<std::size_t>(i)); },
        *precision, table->Size() - kTableHeaderBytes);
}

// The points of the sampled segments of a segmented curve of `segments`
// segments, as far as its bytes go (lcms2 fails where they end).
std::uint64_t SamplePointsOf(Bytes curve, std::uint16_t segments) {
    constexpr std::size_t kSegmentHeaderBytes = 12;
    constexpr std::uint32_t kParametersByFormula[] = {4, 5, 5};
    std::uint64_t points = 0;
    std::uint64_t at = kSegmentHeaderBytes + 4 * std::uint64_t{segments - 1u};  // after the breakpoints
    for (std::uint16_t i = 0; i < segments && at <= curve.Size(); ++i) {
        const auto kind = curve.U32(static_cast<std::size_t>(at));
        const auto value = curve.U32(static_cast<std::size_t>(at) + 8);
        if (!kind || !value) break;
        if (*kind == kSampledSegment) {
            points += *value;
            at += kSegmentHeaderBytes + 4 * std::uint64_t{*value};
        } else if (*kind == kFormulaSegment && (*value >> 16) < std::size(kParametersByFormula)) {
            at += kSegmentHeaderBytes + 4 * std::uint64_t{kParametersByFormula[*value >> 16]};
        } else {
            break;
        }
    }
    return points;
}

// A curve of a curve set element: lcms2 tabulates it when it reads it and
// looks its segment up at every evaluation, each time through all its
// segments at worst. Each curve that points at a segmented curve is read
// on its own, however many point at the same one.
void AddSegmentedCurve(PipelineCost& cost, std::optional<Bytes> curve) {
    const auto type = curve ? curve->U32(0) : std::nullopt;
    const auto segments = curve ? curve->U16(8) : std::nullopt;
    if (!type || *type != kSegmentedCurve || !segments || *segments == 0) return cost.Refuse(kUnreadable);
    const std::uint64_t walk = *segments * kUnitsPerSegmentStep;
    cost.Add(1 + walk);
    CurveTally& tally = cost.curves;
    tally.reading += kCurveTablePoints * walk;
    if (tally.reading > tally.readingAllowance) return cost.Refuse(kTooCostly);
    auto [known, added] = tally.samplePointsOf.try_emplace(curve->Data(), 0);
    if (added) known->second = SamplePointsOf(*curve, *segments);
    tally.heldSamplePoints += known->second;
    if (tally.heldSamplePoints > kMaxHeldSamplePoints) cost.Refuse(kTooLarge);
}

void AddMultiProcess(PipelineCost& cost, Bytes tag, int maxInputs) {
    const auto count = tag.U32(12);
    if (!count) return cost.Refuse(kUnreadable);
    if (*count > kMaxStages) return cost.Refuse(kTooManyStages);
    constexpr std::size_t kPositionsAt = 16;
    for (std::uint32_t i = 0; i < *count && cost.refusal == nullptr; ++i) {
        const auto offset = tag.U32(kPositionsAt + 8 * i);
        const auto size = tag.U32(kPositionsAt + 8 * i + 4);
        // lcms2 reads an element from where it starts, whatever its size says.
        const std::optional<Bytes> element = offset && size ? tag.From(*offset) : std::nullopt;
        const auto type = element ? element->U32(0) : std::nullopt;
        const auto inputs = element ? element->U16(8) : std::nullopt;
        const auto outputs = element ? element->U16(10) : std::nullopt;
        if (!type || !inputs || !outputs || *inputs > kMaxStageChannels || *outputs > kMaxStageChannels)
            return cost.Refuse(kUnreadable);
        if (*type == kClutElement) {
            constexpr std::size_t kClutDataAt = 28;  // after 16 grid points
            if (!element->Has(kClutDataAt, 0)) return cost.Refuse(kUnreadable);
            // A table never takes more channels than the picture has, however
            // many the stages before it make.
            AddTable(
                cost, *inputs, *outputs, maxInputs,
                [&](int c) { return element->U8(12 + static_cast<std::size_t>(c)); }, 4,
                element->Size() - kClutDataAt);
        } else if (*type == kMatrixElement) {
            cost.Add(std::uint64_t{*inputs} * *outputs + *outputs);
        } else if (*type == kCurveSetElement) {
            for (std::size_t c = 0; c < *inputs; ++c) {
                const auto curveOffset = element->U32(12 + 8 * c);
                const auto curveSize = element->U32(16 + 8 * c);
                AddSegmentedCurve(cost,
                                  curveOffset && curveSize ? element->From(*curveOffset) : std::nullopt);
            }
        }
        // Other elements are placeholders lcms2 skips.
    }
}

PipelineCost CostOf(Bytes tag, int maxInputs, CurveTally& curves) {
    PipelineCost cost(curves);
    const auto type = tag.U32(0);
    if (!type) {
        cost.Refuse(kUnreadable);
    } else if (*type == kLut8Type || *type == kLut16Type) {
        AddLut(cost, tag, *type, maxInputs);
    } else if (*type == kLutAtoBType || *type == kLutBtoAType) {
        AddLutAtoB(cost, tag, maxInputs);
    } else if (*type == kMultiProcessType) {
        AddMultiProcess(cost, tag, maxInputs);
    }
    return cost;
}

bool Contains(const auto& signatures, std::uint32_t signature) {
    return std::find(signatures.begin(), signatures.end(), signature) != signatures.end();
}

}  // namespace

std::optional<std::string> CheckColorProfileCost(std::span<const std::uint8_t> profile, int channels,
                                                 WorkBudget& budget) {
    const Bytes bytes(profile.data(), profile.size());
    const auto tagCount = bytes.U32(kHeaderBytes);
    if (!tagCount || *tagCount > kMaxTags || !bytes.Has(kHeaderBytes + 4, *tagCount * kTagEntryBytes))
        return kUnreadable;
    // A transform evaluates one pipeline from the device side, chosen by the
    // intent; the others are read, and checked, but not run.
    std::uint64_t costliest = 0;
    CurveTally curves;
    curves.readingAllowance = budget.Remaining();
    for (std::uint32_t i = 0; i < *tagCount; ++i) {
        const std::size_t entry = kHeaderBytes + 4 + i * kTagEntryBytes;
        const std::uint32_t signature = *bytes.U32(entry);
        const bool deviceSide = Contains(kDeviceSideTags, signature);
        if (!deviceSide && !Contains(kConnectionSideTags, signature)) continue;
        // lcms2 skips a tag that lies outside the profile, and reads one
        // from where it starts to wherever its contents say.
        const std::uint32_t offset = *bytes.U32(entry + 4);
        if (!bytes.Has(offset, *bytes.U32(entry + 8))) continue;
        const std::optional<Bytes> tag = bytes.From(offset);
        const PipelineCost cost = CostOf(*tag, deviceSide ? channels : kConnectionChannels, curves);
        if (cost.refusal != nullptr) return cost.refusal;
        if (deviceSide) costliest = std::max(costliest, cost.perSample);
    }
    const std::uint64_t sampling =
        CheckedMultiply(costliest, EvaluationsPerConversion(channels)).value_or(UINT64_MAX);
    if (!budget.Spend(CheckedAdd(sampling, curves.reading).value_or(UINT64_MAX))) return kTooCostly;
    return std::nullopt;
}
