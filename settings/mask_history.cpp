#include "settings/mask_history.h"

#include "settings/settings_key.h"
#include "support/text.h"

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

StringList rememberMask(const StringList& history, std::string_view mask) {
    if (mask.empty()) return history;
    const std::string folded = lowerText(mask);
    std::int32_t found = -1;
    for (std::int32_t i = 0; i < history.count() && found < 0; ++i) {
        if (lowerText(history.item(i)) == folded) found = i;
    }
    if (found == 0) return history;
    StringList remembered = newStringList();
    remembered.add(mask);
    for (std::int32_t i = 0; i < history.count(); ++i) {
        if (i != found) remembered.add(history.item(i));
    }
    return remembered;
}

}  // namespace ferry
