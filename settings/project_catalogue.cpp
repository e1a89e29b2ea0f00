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
    for (std::int32_t i = 0; i < count(); ++i) {
        if (keys_.item(i) == key) return *record(i);
    }
    return add(key);
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
