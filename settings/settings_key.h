#pragma once

// Where the program's settings live in the registry store, and how list entries are
// named there.

#include <cstdint>
#include <string>
#include <string_view>

#include "settings/registry.h"

namespace ferry {

// The one key of the program's settings, under HKEY_CURRENT_USER, trailing backslash
// included: other machines and earlier versions know it by this exact text.
inline constexpr std::string_view SettingsKeyPath = "Software\\Zephyrant\\Ferryman\\";

// The settings key for reading; holds 0 when it does not exist yet or cannot be read.
ScopedKey openSettingsForRead();
// The settings key for writing, created when missing; holds 0 when that fails.
ScopedKey openSettingsForWrite();

// The name of entry `number` (counting from 1) of a list: "Project" and 10 give
// "Project10".
std::string numberedName(std::string_view word, std::int32_t number);

}  // namespace ferry
