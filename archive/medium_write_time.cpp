#include "archive/medium_write_time.h"

#include <charconv>
#include <string>

#include "archive/media_archive.h"
#include "compress/file_stream.h"
#include "support/paths.h"

namespace ferry {

namespace {

std::string writeTimePath(std::string_view mediumFolder) {
    return withTrailingSeparator(mediumFolder) + std::string(MediaFolderName) +
           std::string(MediumWriteTimeFileName);
}

}  // namespace

void noteMediumWrite(Platform& system, std::string_view mediumFolder) {
    if (mediumFolder.empty()) return;
    const std::string text = std::to_string(toUnixTime(system.currentTime()).seconds) + "\n";
    StreamPtr file = createWriteFileStream(system, writeTimePath(mediumFolder));
    (void)write(*file, text.data(), static_cast<std::uint32_t>(text.size()));
    (void)closeFileStream(file);
}

std::optional<FileTime> mediumWriteTime(Platform& system, std::string_view mediumFolder) {
    if (mediumFolder.empty()) return std::nullopt;
    StreamPtr file = openReadFileStream(system, writeTimePath(mediumFolder));
    char text[32];
    const std::uint32_t length = read(*file, text, sizeof text);
    std::int64_t seconds = 0;
    const auto [end, error] = std::from_chars(text, text + length, seconds);
    if (error != std::errc() || end == text || seconds < 0) return std::nullopt;
    return fromUnixTime(seconds, 0);
}

}  // namespace ferry
