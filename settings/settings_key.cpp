#include "settings/settings_key.h"

#include "support/text.h"

namespace ferry {

ScopedKey openSettingsForRead() {
    return ScopedKey(openKeyForRead(RegistryRoot::CurrentUser, SettingsKeyPath));
}

ScopedKey openSettingsForWrite() {
    return ScopedKey(openKeyForWrite(RegistryRoot::CurrentUser, SettingsKeyPath));
}

std::string numberedName(std::string_view word, std::int32_t number) {
    return std::string(word) + intToDecimal(number);
}

}  // namespace ferry
