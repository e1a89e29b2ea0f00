#pragma once

// Generated text that compresses as program source does, for the benchmarks.

#include <cstddef>
#include <random>
#include <string>

namespace ferry::bench {

// `size` bytes of C++-like keywords, operators, indentation and numbered names.
std::string sourceLikeText(std::mt19937& random, std::size_t size);

}  // namespace ferry::bench
