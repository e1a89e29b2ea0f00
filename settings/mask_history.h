#pragma once

// The history of masks typed into the Add Project dialog, most recent first, stored as
// "Mask"+n (REG_SZ, n from 1) under the settings key.

#include <cstdint>
#include <string_view>

#include "support/string_list.h"

namespace ferry {

// At most this many masks come back from the store.
inline constexpr std::int32_t MaskHistoryLimit = 100;

// "Mask1", "Mask2", ... up to the first empty or missing one, at most MaskHistoryLimit.
StringList loadMaskHistory();
// Writes every item as "Mask"+(index+1), however many; no end marker. Skipped quietly
// when the store refuses.
void saveMaskHistory(const StringList& masks);

// The history after `mask` was used: a mask equal to it apart from letter case moves to
// the top with the letter case given now, unless it is at the top already; a new mask is
// put there. An empty mask is not remembered: as Mask1 it would end the history the next
// start reads.
StringList rememberMask(const StringList& history, std::string_view mask);

}  // namespace ferry
