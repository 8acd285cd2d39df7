#pragma once

#include <cstdint>

// Reading multi-byte values from raw file data, whatever the host's byte order.

inline std::uint16_t ReadLE16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t ReadLE32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint16_t ReadBE16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

inline std::uint32_t ReadBE32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

inline std::int16_t ReadLE16Signed(const std::uint8_t* p) {
    return static_cast<std::int16_t>(ReadLE16(p));
}
inline std::int32_t ReadLE32Signed(const std::uint8_t* p) {
    return static_cast<std::int32_t>(ReadLE32(p));
}
inline std::int16_t ReadBE16Signed(const std::uint8_t* p) {
    return static_cast<std::int16_t>(ReadBE16(p));
}
inline std::int32_t ReadBE32Signed(const std::uint8_t* p) {
    return static_cast<std::int32_t>(ReadBE32(p));
}
