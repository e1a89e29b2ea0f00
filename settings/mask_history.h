#pragma once

// The history of masks typed into the Add Project dialog, most recent first, stored as
// "Mask"+n (REG_SZ, n from 1) under the settings key.

#include <cstdint>

#include "support/string_list.h"

namespace ferry {

// At most this many masks come back from the store.
inline constexpr std::int32_t MaskHistoryLimit = 100;

// "Mask1", "Mask2", ... up to the first empty or missing one, at most MaskHistoryLimit.
StringList loadMaskHistory();
// Writes every item as "Mask"+(index+1), however many; no end marker. Skipped quietly
// when the store refuses.
void saveMaskHistory(const StringList& masks);

}  // namespace ferry
