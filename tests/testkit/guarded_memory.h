#pragma once

// Memory that ends at a page the process may not touch, so that reading or writing one
// byte past the end faults at once, also in code that no sanitizer watches (libucl).
// Header-only, for the tests and the fuzz targets alike.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>

namespace ferry::testkit {

class GuardedMemory {
  public:
    explicit GuardedMemory(std::size_t bytes) {
        page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        length_ = (bytes + page_ - 1) / page_ * page_;
        void* region = mmap(nullptr, length_ + page_, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (region == MAP_FAILED) std::abort();
        start_ = static_cast<unsigned char*>(region);
        if (mprotect(start_ + length_, page_, PROT_NONE) != 0) std::abort();
    }
    ~GuardedMemory() { munmap(start_, length_ + page_); }
    GuardedMemory(const GuardedMemory&) = delete;
    GuardedMemory& operator=(const GuardedMemory&) = delete;

    // The first byte that faults.
    unsigned char* end() const { return start_ + length_; }

  private:
    unsigned char* start_ = nullptr;
    std::size_t length_ = 0;
    std::size_t page_ = 0;
};

}  // namespace ferry::testkit
