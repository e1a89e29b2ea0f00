#include "settings/settings_store.h"

#include <optional>
#include <vector>

#include "settings/settings_key.h"
#include "settings/stored_catalogue.h"

namespace ferry {

namespace {

// Where entry `index` stands in the store as reloaded: the number it was last stored
// under while that still holds its key, else the first entry holding its key (as it is
// now, then as it was stored); 0 when the store has it nowhere.
std::int32_t storedNumberOf(const Catalogue& catalogue, std::int32_t index,
                            const std::vector<StoredValues>& store) {
    const StoredEntry& was = catalogue.stored(index);
    const std::string& key = catalogue.key(index);
    const auto count = static_cast<std::int32_t>(store.size());
    if (was.number > 0 && was.number <= count) {
        const std::string& there = store[static_cast<std::size_t>(was.number - 1)].key;
        if (there == was.key || there == key) return was.number;
    }
    for (const std::string* wanted : {&key, &was.key}) {
        for (std::int32_t n = 1; n <= count; ++n) {
            if (!wanted->empty() && store[static_cast<std::size_t>(n - 1)].key == *wanted) return n;
        }
    }
    return 0;
}

bool changedHere(const Catalogue& catalogue, std::int32_t index) {
    const StoredEntry& was = catalogue.stored(index);
    const ProjectRecord& now = *catalogue.record(index);
    return (was.number > 0 && catalogue.key(index) != was.key) ||
           now.workDir != was.values.workDir || now.lastSync != was.values.lastSync;
}

// Writes the values of entry `index` that this process changed into entry `number`, and
// takes the store's values for the others, so the entry agrees with the store afterwards.
void mergeEntry(RegistryKey key, Catalogue& catalogue, std::int32_t index, std::int32_t number,
                const StoredValues& there) {
    const StoredEntry was = catalogue.stored(index);
    ProjectRecord& now = *catalogue.record(index);
    // A key differs from the stored one only when this process refiled the entry.
    if (catalogue.key(index) != there.key) {
        writeString(key, numberedName("Project", number), catalogue.key(index));
    }
    if (now.workDir != was.values.workDir) {
        writeString(key, numberedName("WorkDir", number), now.workDir);
    } else {
        now.workDir = there.workDir;
    }
    if (now.lastSync != was.values.lastSync) {
        const StoredTime time = storedTimeOf(now.lastSync);
        writeDword(key, numberedName("LastSyncDate", number), time.days);
        writeDword(key, numberedName("LastSyncTime", number), time.seconds);
    } else if (there.lastSync != storedTimeOf(now.lastSync)) {
        now.lastSync = lastSyncOf(there.lastSync);
    }
    catalogue.markStored(index, number);
}

// Saves the record of an entry that is still where it was stored, when no entry before
// it waits to be stored: only its own values are read. False when the whole list must be.
bool saveStoredRecord(RegistryKey key, Catalogue& catalogue, const ProjectRecord* record) {
    const std::int32_t index = catalogue.indexOfRecord(record);
    const StoredEntry& was = catalogue.stored(index);
    if (index < 0 || was.number == 0) return false;
    for (std::int32_t i = 0; i < index; ++i) {
        if (catalogue.stored(i).number == 0) return false;
    }
    const std::optional<StoredValues> there = readStoredEntry(key, was.number);
    if (!there || (there->key != was.key && there->key != catalogue.key(index))) return false;
    mergeEntry(key, catalogue, index, was.number, *there);
    return true;
}

}  // namespace

LoadedSettings loadSettings() {
    LoadedSettings settings;
    const ScopedKey key = openSettingsForRead();
    const std::uint32_t kind = readDword(key.get(), "Kind");
    settings.kindIndex = kind == KindRemovable || kind == KindDirectory
                             ? static_cast<std::int32_t>(kind)
                             : NoKindSelected;
    settings.removableFolder = readString(key.get(), "Removable");
    settings.directoryFolder = readString(key.get(), "Directory");
    if (kind == KindDirectory) settings.mediumText = settings.directoryFolder;
    for (const StoredValues& entry : readStoredCatalogue(key.get())) {
        ProjectRecord& record = settings.catalogue.add(entry.key);
        record.workDir = entry.workDir;
        record.lastSync = lastSyncOf(entry.lastSync);
        const std::int32_t index = settings.catalogue.count() - 1;
        settings.catalogue.markStored(index, index + 1);
    }
    return settings;
}

SettingsSession::SettingsSession() : key_(openSettingsForWrite()) {}

void saveMediumSettings(std::int32_t kindIndex, std::string_view mediumFolder) {
    const ScopedKey key = openSettingsForWrite();
    writeDword(key.get(), "Kind", static_cast<std::uint32_t>(kindIndex));
    writeString(key.get(), kindIndex == KindRemovable ? "Removable" : "Directory", mediumFolder);
}

void saveProjects(Catalogue& catalogue, const ProjectRecord* onlyRecord,
                  const SettingsSession* session) {
    const ScopedKey ownKey(
        session != nullptr ? NoKey : openKeyForWrite(RegistryRoot::CurrentUser, SettingsKeyPath));
    const RegistryKey key = session != nullptr ? session->key() : ownKey.get();
    if (key == NoKey) return;
    const WriteBatch batch(key);
    if (onlyRecord != nullptr && saveStoredRecord(key, catalogue, onlyRecord)) return;
    std::vector<StoredValues> store = readStoredCatalogue(key);
    const std::int32_t only = onlyRecord == nullptr ? -1 : catalogue.indexOfRecord(onlyRecord);
    if (onlyRecord != nullptr && only < 0) return;
    const std::int32_t last = onlyRecord == nullptr ? catalogue.count() - 1 : only;
    bool appended = false;
    for (std::int32_t i = 0; i <= last; ++i) {
        const bool wanted = onlyRecord == nullptr || i == only;
        const std::int32_t number = storedNumberOf(catalogue, i, store);
        if (number > 0) {
            if (wanted) {
                mergeEntry(key, catalogue, i, number, store[static_cast<std::size_t>(number - 1)]);
            }
            continue;
        }
        // Not in the store. An entry never stored that comes before the wanted one is
        // written too, so the stored list has no gap; one that the store dropped meanwhile
        // comes back only with a change of this process.
        const bool neverStored = catalogue.stored(i).number == 0;
        if (!(neverStored || (wanted && changedHere(catalogue, i)))) continue;
        const ProjectRecord& record = *catalogue.record(i);
        store.push_back({catalogue.key(i), record.workDir, storedTimeOf(record.lastSync)});
        const auto appendedNumber = static_cast<std::int32_t>(store.size());
        writeStoredEntry(key, appendedNumber, store.back());
        catalogue.markStored(i, appendedNumber);
        appended = true;
    }
    // An end marker after the list: an entry appended where an earlier whole save had cut
    // the list must not bring back the old entries behind it.
    if (onlyRecord == nullptr || appended) {
        writeString(key, numberedName("Project", static_cast<std::int32_t>(store.size()) + 1), "");
    }
}

void refreshRecord(Catalogue& catalogue, std::string_view key, const SettingsSession& session) {
    const RegistryKey store = session.key();
    if (store == NoKey) return;
    std::int32_t index = catalogue.indexOf(key);
    std::int32_t number = catalogue.stored(index).number;
    std::optional<StoredValues> there;
    if (number > 0) there = readStoredEntry(store, number);
    if (!there || there->key != key) {
        number = storedNumberOfKey(store, key);
        if (number == 0) return;
        there = readStoredEntry(store, number);
        if (!there) return;
    }
    if (index < 0) {
        catalogue.add(key);
        index = catalogue.count() - 1;
    } else if (changedHere(catalogue, index)) {
        return;
    }
    ProjectRecord& record = *catalogue.record(index);
    record.workDir = there->workDir;
    // The store keeps whole seconds: a time it agrees with keeps its fraction.
    if (storedTimeOf(record.lastSync) != there->lastSync)
        record.lastSync = lastSyncOf(there->lastSync);
    catalogue.markStored(index, number);
}

}  // namespace ferry
