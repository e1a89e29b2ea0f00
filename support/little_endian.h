#pragma once

// Fixed-width little-endian fields, byte by byte, whatever the machine's own order.

#include <cstddef>
#include <cstdint>

namespace ferry {

inline void storeLittleEndian(std::byte* target, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) target[i] = static_cast<std::byte>(value >> (8 * i));
}

inline std::uint64_t loadLittleEndian(const std::byte* source, int width) {
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | std::to_integer<std::uint64_t>(source[i]);
    return value;
}

}  // namespace ferry
