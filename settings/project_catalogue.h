#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/date_time.h"
#include "support/string_list.h"

namespace ferry {

// What this machine knows of one project.
struct ProjectRecord {
    std::string workDir;      // the project's folder here; "" when never set
    DateTime lastSync = 0.0;  // when this machine last finished synchronizing it; 0 never
};

// An entry as the settings store held it when this process last read or wrote it. A
// save compares the entry with it to find what this process changed, and writes only
// that: another process may have saved the same store meanwhile.
struct StoredEntry {
    std::int32_t number = 0;  // its number in the store ("Project"+number); 0: not stored
    std::string key;
    ProjectRecord values;
};

// The project catalogue: project keys, each with its record, in the order they became
// known. It owns its records and never removes or reorders an entry, so a record's
// address and index stay valid as long as the catalogue does.
class Catalogue {
  public:
    Catalogue() = default;

    std::int32_t count() const { return keys_.count(); }
    // The key of entry `index`; "" when out of range.
    const std::string& key(std::int32_t index) const { return keys_.item(index); }
    // The record of entry `index`; null when out of range.
    ProjectRecord* record(std::int32_t index) const;
    // The index of the entry whose record this is; -1 for none.
    std::int32_t indexOfRecord(const ProjectRecord* record) const;

    // Appends a new, empty record under `key`, even when the key is there already.
    ProjectRecord& add(std::string_view key);
    // The record of the first entry whose key equals `key` byte for byte (letter case
    // counts); when there is none, a new empty record appended under `key`.
    ProjectRecord& findOrCreateRecord(std::string_view key);

    // The index of the first entry whose key equals `key` byte for byte; -1 when none.
    std::int32_t indexOf(std::string_view key) const;
    // The index of the only entry whose key ends in `tail`; -1 when none or several do.
    std::int32_t indexOfOnlyKeyEndingIn(std::string_view tail) const;

    // Files the record of entry `index` under `newKey` (its archive moved); the entry
    // keeps its number. When an entry has `newKey` already, that entry takes over the
    // record's values instead, so that one key never names two entries. The index of the
    // entry now filed under `newKey`; -1 when `index` is out of range.
    std::int32_t refile(std::int32_t index, std::string_view newKey);

    // What the store held of entry `index` when last read or written; number 0 for an
    // entry never stored (and for an index out of range).
    const StoredEntry& stored(std::int32_t index) const;
    // Entry `index`, key and record as they are now, is what the store holds under
    // `number`.
    void markStored(std::int32_t index, std::int32_t number);

  private:
    StringList keys_ = newStringListWithData();  // data: the entry's record
    std::vector<std::unique_ptr<ProjectRecord>> owned_;
    std::vector<StoredEntry> stored_;  // by entry index
};

}  // namespace ferry
