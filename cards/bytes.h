#pragma once

// Multi-byte card fields, read byte by byte in the order the card stores
// them; never by casting pointers. Callers check the buffer length first.

#include <cstddef>
#include <cstdint>
#include <span>

namespace tovani::bytes {

// True when [offset, offset + width) lies inside buf.
inline bool fits(std::span<const uint8_t> buf, size_t offset, size_t width) {
    return offset <= buf.size() && width <= buf.size() - offset;
}

inline uint16_t be16(std::span<const uint8_t> b, size_t o) {
    return static_cast<uint16_t>((b[o] << 8) | b[o + 1]);
}

inline uint16_t le16(std::span<const uint8_t> b, size_t o) {
    return static_cast<uint16_t>(b[o] | (b[o + 1] << 8));
}

inline uint32_t be32(std::span<const uint8_t> b, size_t o) {
    return (uint32_t{b[o]} << 24) | (uint32_t{b[o + 1]} << 16) | (uint32_t{b[o + 2]} << 8) |
           uint32_t{b[o + 3]};
}

// Two's complement reinterpretation, well defined in C++20.
inline int32_t be32signed(std::span<const uint8_t> b, size_t o) {
    return static_cast<int32_t>(be32(b, o));
}

}  // namespace tovani::bytes
