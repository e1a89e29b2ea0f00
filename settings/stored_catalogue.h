#pragma once

// The catalogue entries in the form the settings store holds them: "Project"+n,
// "WorkDir"+n, "LastSyncDate"+n and "LastSyncTime"+n for n from 1 up to the first empty
// or missing "Project"+n.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/project_catalogue.h"
#include "settings/registry.h"

namespace ferry {

// A time of last synchronization as it is stored: whole days and seconds since midnight.
struct StoredTime {
    std::uint32_t days = 0;
    std::uint32_t seconds = 0;
    bool operator==(const StoredTime&) const = default;
};

StoredTime storedTimeOf(DateTime lastSync);
DateTime lastSyncOf(StoredTime time);

struct StoredValues {
    std::string key;
    std::string workDir;
    StoredTime lastSync;
};

// Entry n of the store is item n - 1.
std::vector<StoredValues> readStoredCatalogue(RegistryKey key);
// Entry `number` alone; nothing when its "Project"+number is empty or missing.
std::optional<StoredValues> readStoredEntry(RegistryKey key, std::int32_t number);
// The number of the first entry filed under `projectKey`, reading only the keys; 0 for
// none.
std::int32_t storedNumberOfKey(RegistryKey key, std::string_view projectKey);

// Writes entry `number` whole.
void writeStoredEntry(RegistryKey key, std::int32_t number, const StoredValues& values);

}  // namespace ferry
