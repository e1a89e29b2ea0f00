#pragma once

// Counts the bytes a run reads from and writes to the medium, at the platform seam: what
// a USB stick would have to carry.

#include <cstdint>
#include <set>
#include <string>

#include "tests/testkit/pass_through_platform.h"

namespace ferry::bench {

class MediumCounter final : public testkit::PassThroughPlatform {
  public:
    explicit MediumCounter(std::string mediumFolder) : medium_(std::move(mediumFolder)) {}

    std::uint64_t bytesRead = 0;
    std::uint64_t bytesWritten = 0;

    SystemResult<FileHandle> openFile(const std::string& path, FileAccess access,
                                      FileCreation creation) override {
        const SystemResult<FileHandle> opened =
            PassThroughPlatform::openFile(path, access, creation);
        if (opened && path.starts_with(medium_)) onMedium_.insert(opened.value);
        return opened;
    }
    SystemResult<> closeFile(FileHandle handle) override {
        onMedium_.erase(handle);
        return PassThroughPlatform::closeFile(handle);
    }
    SystemResult<std::int64_t> readFile(FileHandle handle, void* target,
                                        std::size_t count) override {
        const SystemResult<std::int64_t> read =
            PassThroughPlatform::readFile(handle, target, count);
        if (read && read.value > 0 && onMedium_.contains(handle)) bytesRead += read.value;
        return read;
    }
    SystemResult<std::int64_t> writeFile(FileHandle handle, const void* source,
                                         std::size_t count) override {
        const SystemResult<std::int64_t> written =
            PassThroughPlatform::writeFile(handle, source, count);
        if (written && written.value > 0 && onMedium_.contains(handle))
            bytesWritten += written.value;
        return written;
    }

  private:
    std::string medium_;
    std::set<FileHandle> onMedium_;
};

}  // namespace ferry::bench
