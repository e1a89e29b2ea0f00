#pragma once

// The medium settings and the project catalogue in the registry store. The window reads
// and sets its controls; these take and give plain values.
//
// Values under the settings key: "Kind" (REG_DWORD), "Removable" and "Directory"
// (REG_SZ), and per catalogue entry n (from 1): "Project"+n (the key; "" or missing ends
// the list), "WorkDir"+n, "LastSyncDate"+n (whole days) and "LastSyncTime"+n (seconds
// since midnight). A value of another type reads as its default.

#include <cstdint>
#include <string>
#include <string_view>

#include "settings/project_catalogue.h"
#include "settings/registry.h"

namespace ferry {

// Indexes of the medium kinds, as the kind box lists them; -1 selects none.
inline constexpr std::int32_t KindRemovable = 0;
inline constexpr std::int32_t KindDirectory = 1;
inline constexpr std::int32_t NoKindSelected = -1;

struct LoadedSettings {
    // The kind to select: the stored "Kind" when it names a kind, else NoKindSelected.
    std::int32_t kindIndex = KindRemovable;
    std::string removableFolder;
    std::string directoryFolder;
    // What the medium box starts with: the directory folder when "Kind" is exactly
    // KindDirectory, else "".
    std::string mediumText;
    Catalogue catalogue;
};

// Everything but the mask history; defaults for whatever is missing or unreadable.
LoadedSettings loadSettings();

// Writes "Kind" = `kindIndex` (-1 as FFFFFFFF) and, for KindRemovable "Removable",
// otherwise "Directory" = `mediumFolder`. Skipped quietly when the store refuses.
void saveMediumSettings(std::int32_t kindIndex, std::string_view mediumFolder);

// Saves what this process changed in the catalogue: all entries and the end marker (an
// empty "Project"+(last+1)) when `onlyRecord` is null, else only the entry whose record
// it is. The store is read again first and each entry is matched there by its key, so a
// value another process saved meanwhile is never written back: an entry's "WorkDir" and
// its time are written only when this process changed them (its record then takes the
// stored values it did not change), a refiled entry gets its new key, and an entry the
// store lacks is appended, together with the entries never stored that come before it,
// so the numbered list has no gap. Skipped quietly when the store refuses.
// With a session, through its open store.
class SettingsSession;
void saveProjects(Catalogue& catalogue, const ProjectRecord* onlyRecord,
                  const SettingsSession* session = nullptr);

// Keeps the store open for writing while it lives, so that saves one after another (a
// run's, project by project) each cost one flush instead of the store's opening and
// closing work.
class SettingsSession {
  public:
    SettingsSession();
    RegistryKey key() const { return key_.get(); }

  private:
    ScopedKey key_;
};

// Brings the record filed under `key` up to what the store holds now: another program (the
// command line beside an open window) may have set its work directory or synchronized it
// since the catalogue was loaded. Reads only that entry's values while the number it was
// stored under still holds its key, else looks the key up among the stored keys; an entry
// the store has and the catalogue lacks is added. A record with a change this process has
// not saved yet is left as it is. Through the session's open store.
void refreshRecord(Catalogue& catalogue, std::string_view key, const SettingsSession& session);

}  // namespace ferry
