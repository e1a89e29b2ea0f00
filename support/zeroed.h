#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ferry {

// A block of `size` zero bytes, released with its owner; a size of 0 or less gives none.
inline std::unique_ptr<std::byte[]> allocZeroed(std::int32_t size) {
    if (size <= 0) return nullptr;
    return std::make_unique<std::byte[]>(static_cast<std::size_t>(size));
}

}  // namespace ferry
