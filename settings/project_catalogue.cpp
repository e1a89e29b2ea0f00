#include "settings/project_catalogue.h"

namespace ferry {

ProjectRecord* Catalogue::record(std::int32_t index) const {
    return reinterpret_cast<ProjectRecord*>(keys_.data(index));
}

std::int32_t Catalogue::indexOfRecord(const ProjectRecord* record) const {
    for (std::int32_t i = 0; i < count(); ++i) {
        if (this->record(i) == record) return i;
    }
    return -1;
}

ProjectRecord& Catalogue::add(std::string_view key) {
    ProjectRecord& record = *owned_.emplace_back(std::make_unique<ProjectRecord>());
    keys_.addWithData(key, reinterpret_cast<ItemData>(&record));
    stored_.emplace_back();
    return record;
}

ProjectRecord& Catalogue::findOrCreateRecord(std::string_view key) {
    const std::int32_t index = indexOf(key);
    return index >= 0 ? *record(index) : add(key);
}

std::int32_t Catalogue::indexOf(std::string_view key) const {
    for (std::int32_t i = 0; i < count(); ++i) {
        if (keys_.item(i) == key) return i;
    }
    return -1;
}

std::int32_t Catalogue::indexOfOnlyKeyEndingIn(std::string_view tail) const {
    std::int32_t found = -1;
    for (std::int32_t i = 0; i < count(); ++i) {
        if (!keys_.item(i).ends_with(tail)) continue;
        if (found >= 0) return -1;
        found = i;
    }
    return found;
}

std::int32_t Catalogue::refile(std::int32_t index, std::string_view newKey) {
    if (index < 0 || index >= count()) return -1;
    const std::int32_t holder = indexOf(newKey);
    if (holder == index) return index;
    if (holder >= 0) {
        *record(holder) = *record(index);
        return holder;
    }
    keys_.setItem(index, newKey);
    return index;
}

const StoredEntry& Catalogue::stored(std::int32_t index) const {
    static const StoredEntry none;
    if (index < 0 || index >= count()) return none;
    return stored_[static_cast<std::size_t>(index)];
}

void Catalogue::markStored(std::int32_t index, std::int32_t number) {
    if (index < 0 || index >= count()) return;
    stored_[static_cast<std::size_t>(index)] = {number, key(index), *record(index)};
}

}  // namespace ferry
