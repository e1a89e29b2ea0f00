#include "settings/mask_history.h"

#include "settings/settings_key.h"

namespace ferry {

StringList loadMaskHistory() {
    StringList masks = newStringList();
    const ScopedKey key = openSettingsForRead();
    for (std::int32_t n = 1; n <= MaskHistoryLimit; ++n) {
        const std::string mask = readString(key.get(), numberedName("Mask", n));
        if (mask.empty()) break;
        masks.add(mask);
    }
    return masks;
}

void saveMaskHistory(const StringList& masks) {
    const ScopedKey key = openSettingsForWrite();
    for (std::int32_t i = 0; i < masks.count(); ++i) {
        writeString(key.get(), numberedName("Mask", i + 1), masks.item(i));
    }
}

}  // namespace ferry
