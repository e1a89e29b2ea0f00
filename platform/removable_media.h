#pragma once

// Which mounted folders are removable media (USB sticks, memory cards): the mount
// points of block devices the system marks removable, or whose disk it marks so.

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace ferry {

// The mount points of removable devices, each ending in "/", in the order of
// `systemRoot` + "proc/self/mountinfo", each listed once. A device counts as removable
// when `systemRoot` + "sys/dev/block/<major>:<minor>/removable" reads "1", or, for a
// partition, the same file of its disk does. `systemRoot` ends in "/"; tests pass a
// folder laid out like the real one. Nothing when the mount table cannot be read.
std::vector<std::string> removableMountPoints(Platform& system, std::string_view systemRoot = "/");

}  // namespace ferry
