#pragma once

// The UTC time of the medium's last write by a run, kept in a small file beside the
// archives ("Ferry/written.utc": seconds since 1970, UTC, in decimal). The archives'
// own stamps are local times, which differ between machines by their zones; this one
// lets the clock check compare like with like.

#include <optional>
#include <string_view>

#include "platform/platform.h"

namespace ferry {

// Its name ends in no archive extension, so no reader lists it as a project.
inline constexpr std::string_view MediumWriteTimeFileName = "written.utc";

// Records this machine's current UTC time as the medium's last write; a failure only
// leaves the time as it was (the clock check then relies on what is there).
void noteMediumWrite(Platform& system, std::string_view mediumFolder);

// The recorded time; none when the file is missing or holds no such time.
std::optional<FileTime> mediumWriteTime(Platform& system, std::string_view mediumFolder);

}  // namespace ferry
