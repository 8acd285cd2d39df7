#include "engine/palm_database.h"

#include "engine/output_file.h"
#include "engine/palm_bitmap.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace {

constexpr std::array<char, 4> kDatabaseType = {'p', 'i', 'c', 't'};
constexpr std::array<char, 4> kCreator = {'V', 'x', 'm', 'r'};
constexpr std::uint16_t kResourceDatabaseAttribute = 0x0001;
constexpr bool kBigEndian = false;
constexpr bool kLittleEndian = true;

void RequireKnownChoice(int destinationOs) {
    if (destinationOs < kPalmOs3Or4 || destinationOs > kPalmOs3To5Combined)
        throw std::invalid_argument("unknown destination OS choice " + std::to_string(destinationOs));
}

void WriteFourCharacters(OutputFile& file, const std::array<char, 4>& text) {
    for (char c : text) file.writeByte(kBigEndian, static_cast<std::uint8_t>(c));
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

// The "PalmOS 3 or 4" resource: a 1-bit pre-image for monochrome devices
// unless the picture is 1-bit anyway, then the picture itself, big-endian.
bool WriteBigEndianFamily(OutputFile& file, const ConversionSettings& settings, BitmapLoader& loader) {
    if (settings.depth != 1) {
        PalmBitmapV2 preImage(1, settings.width, settings.height, kBigEndian);
        if (!loader.load(preImage)) return false;
        preImage.writeTo(file, true, settings.compression);
    }
    PalmBitmapV2 picture(settings.depth, settings.width, settings.height, kBigEndian);
    if (!loader.load(picture)) return false;
    picture.writeTo(file, false, settings.compression);
    return true;
}

bool WriteLittleEndianPicture(OutputFile& file, const ConversionSettings& settings, BitmapLoader& loader) {
    PalmBitmapV2 picture(settings.depth, settings.width, settings.height, kLittleEndian);
    if (!loader.load(picture)) return false;
    picture.writeTo(file, false, settings.compression);
    return true;
}

// The high-resolution choice: the picture does not fit one resource at double
// density, so each resource holds one half, at low and at double density.
bool WriteHalves(OutputFile& file, const ConversionSettings& settings, BitmapLoader& loader) {
    if (settings.width > 0x7FFF || settings.height > 0x7FFF)
        throw std::invalid_argument("the picture is too large for double density");
    const std::uint16_t width = settings.width;
    const std::uint16_t height = settings.height;
    const auto doubleWidth = static_cast<std::uint16_t>(2 * width);
    const auto doubleHeight = static_cast<std::uint16_t>(2 * height);
    const int depth = settings.depth;

    auto low = std::make_unique<PalmBitmapV2>(depth, width, height, kLittleEndian);
    if (!loader.load(*low)) return false;
    auto high =
        std::make_unique<PalmBitmapV3>(depth, doubleWidth, doubleHeight, PalmBitmapV3::kDoubleDensity);
    if (!loader.load(*high)) return false;

    const auto halfHeight = static_cast<std::uint16_t>(height / 2);
    PalmBitmapV2 lowTop(depth, width, halfHeight, kLittleEndian);
    PalmBitmapV2 lowBottom(depth, width, halfHeight, kLittleEndian);
    low->splitHalves(lowTop, lowBottom);
    low.reset();
    PalmBitmapV3 highTop(depth, doubleWidth, height, PalmBitmapV3::kDoubleDensity);
    PalmBitmapV3 highBottom(depth, doubleWidth, height, PalmBitmapV3::kDoubleDensity);
    high->splitHalves(highTop, highBottom);
    high.reset();

    lowTop.writeTo(file, true, settings.compression);
    highTop.writeTo(file, false, settings.compression);
    PalmDatabase::patchSecondOffset(file);
    lowBottom.writeTo(file, true, settings.compression);
    highBottom.writeTo(file, false, settings.compression);
    return true;
}

}  // namespace

int PalmDatabase::resourceCount(int destinationOs) {
    RequireKnownChoice(destinationOs);
    return destinationOs == kPalmOs3Or4 || destinationOs == kPalmOs5LowRes ? 1 : 2;
}

ResourceId PalmDatabase::resourceId(int destinationOs, int index) {
    if (index < 0 || index >= resourceCount(destinationOs))
        throw std::invalid_argument("the destination OS choice has no such resource");
    constexpr ResourceId kOldDevices = {{'T', 'b', 'm', 'p'}, 2400};
    constexpr ResourceId kNewDevices = {{'a', 'b', 'm', 'p'}, 2700};
    constexpr ResourceId kNewDevicesSecond = {{'a', 'b', 'm', 'p'}, 2701};
    switch (destinationOs) {
        case kPalmOs3Or4:
            return kOldDevices;
        case kPalmOs5LowRes:
            return kNewDevices;
        case kPalmOs5HighRes:
            return index == 0 ? kNewDevices : kNewDevicesSecond;
        default:
            return index == 0 ? kOldDevices : kNewDevices;
    }
}

std::uint32_t PalmDatabase::firstResourceOffset(int destinationOs) {
    const int count = resourceCount(destinationOs);
    return static_cast<std::uint32_t>(kHeaderSize + kResourceEntrySize * static_cast<std::size_t>(count) + 2);
}

void PalmDatabase::writeHeader(OutputFile& file, const std::string& imageName, int destinationOs,
                               std::uint32_t creationDate) {
    const int count = resourceCount(destinationOs);

    std::array<std::uint8_t, kNameFieldSize> name{};
    std::copy_n(imageName.begin(), std::min(imageName.size(), kMaxImageNameLength), name.begin());
    file.writeBytes(name);
    file.writeWord(kBigEndian, kResourceDatabaseAttribute);
    file.writeWord(kBigEndian, 0);  // version
    file.writeLong(kBigEndian, creationDate);
    file.writeLong(kBigEndian, creationDate);  // modification date
    file.writeLong(kBigEndian, 0);             // last backup date
    file.writeLong(kBigEndian, 0);             // modification number
    file.writeLong(kBigEndian, 0);             // application info offset
    file.writeLong(kBigEndian, 0);             // sort info offset
    WriteFourCharacters(file, kDatabaseType);
    WriteFourCharacters(file, kCreator);
    file.writeLong(kBigEndian, 0);  // unique ID seed
    file.writeLong(kBigEndian, 0);  // next record list ID
    file.writeWord(kBigEndian, static_cast<std::uint16_t>(count));

    for (int index = 0; index < count; ++index) {
        const ResourceId resource = resourceId(destinationOs, index);
        WriteFourCharacters(file, resource.type);
        file.writeWord(kBigEndian, resource.id);
        // The second resource starts where the first ends, known only later.
        file.writeLong(kBigEndian, index == 0 ? firstResourceOffset(destinationOs) : 0);
    }
    file.writeWord(kBigEndian, 0);  // gap
}

void PalmDatabase::patchSecondOffset(OutputFile& file) {
    const std::uint64_t position = file.position();
    if (position > 0xFFFFFFFFu)
        throw std::length_error("the first resource is too long for a database offset");
    file.seek(kSecondOffsetPosition);
    file.writeLong(kBigEndian, static_cast<std::uint32_t>(position));
    file.seekToEnd();
}

std::uint32_t PalmDatabase::creationDateAt(std::time_t now) {
    // The device keeps local wall-clock time, so the stored date is the local
    // time of day with the offset that is in force today (daylight saving
    // included), not the offset of some fixed reference date.
    std::tm local{};
    // The C library's time zone state is process-wide and tzset() rewrites
    // it: conversions running at once take turns here.
    static std::mutex zoneMutex;
    std::lock_guard lock(zoneMutex);
#ifdef _WIN32
    _tzset();
    const bool converted = localtime_s(&local, &now) == 0;
#else
    tzset();  // pick up a changed TZ; localtime_r need not do it itself
    const bool converted = localtime_r(&now, &local) != nullptr;
#endif
    std::int64_t localSeconds = static_cast<std::int64_t>(now);
    if (converted) {
        localSeconds =
            DaysFromCivil(static_cast<std::int64_t>(local.tm_year) + 1900,
                          static_cast<unsigned>(local.tm_mon + 1), static_cast<unsigned>(local.tm_mday)) *
                86400 +
            local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    }
    // The field is 32 bits wide and wraps in 2040, as it does on the device.
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(localSeconds + kPalmEpochOffset));
}

bool PalmDatabase::writeImages(OutputFile& file, const ConversionSettings& settings, BitmapLoader& loader) {
    switch (settings.destination) {
        case kPalmOs3Or4:
            return WriteBigEndianFamily(file, settings, loader);
        case kPalmOs5LowRes:
            return WriteLittleEndianPicture(file, settings, loader);
        case kPalmOs5HighRes:
            return WriteHalves(file, settings, loader);
        case kPalmOs3To5Combined:
            if (!WriteBigEndianFamily(file, settings, loader)) return false;
            patchSecondOffset(file);
            return WriteLittleEndianPicture(file, settings, loader);
        default:
            RequireKnownChoice(settings.destination);
            return false;
    }
}

std::vector<std::uint8_t> PalmDatabase::writeToMemory(const std::string& imageName,
                                                      const ConversionSettings& settings,
                                                      BitmapLoader& loader, std::uint32_t creationDate) {
    OutputFile memory;
    memory.openInMemory();
    writeHeader(memory, imageName, settings.destination, creationDate);
    if (!writeImages(memory, settings, loader)) return {};
    return memory.takeMemory();
}
