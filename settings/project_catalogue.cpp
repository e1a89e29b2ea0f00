#include "settings/project_catalogue.h"

namespace ferry {

ProjectRecord* Catalogue::record(std::int32_t index) const {
    return reinterpret_cast<ProjectRecord*>(keys_.data(index));
}

ProjectRecord& Catalogue::add(std::string_view key) {
    ProjectRecord& record = *owned_.emplace_back(std::make_unique<ProjectRecord>());
    keys_.addWithData(key, reinterpret_cast<ItemData>(&record));
    return record;
}

ProjectRecord& Catalogue::findOrCreateRecord(std::string_view key) {
    for (std::int32_t i = 0; i < count(); ++i) {
        if (keys_.item(i) == key) return *record(i);
    }
    return add(key);
}

}  // namespace ferry
