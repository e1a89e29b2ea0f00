#include "support/string_list.h"

#include "support/text.h"

namespace ferry {

StringList::StringList(bool withData) {
    if (withData) data_.emplace();
}

StringList newStringList() {
    return StringList(false);
}
StringList newStringListWithData() {
    return StringList(true);
}

std::int32_t StringList::add(std::string_view text) {
    items_.emplace_back(text);
    return count() - 1;
}

std::int32_t StringList::addWithData(std::string_view text, ItemData value) {
    const std::int32_t index = add(text);
    setData(index, value);
    return index;
}

const std::string& StringList::item(std::int32_t index) const {
    static const std::string empty;
    if (index < 0 || index >= count()) return empty;
    return items_[static_cast<std::size_t>(index)];
}

void StringList::setItem(std::int32_t index, std::string_view text) {
    if (index < 0 || index >= count()) return;
    items_[static_cast<std::size_t>(index)] = text;
}

std::int32_t StringList::indexOf(std::string_view text) const {
    for (std::int32_t i = 0; i < count(); ++i) {
        if (compareTextAscii(items_[static_cast<std::size_t>(i)], text) == 0) return i;
    }
    return -1;
}

void StringList::clear() {
    items_.clear();
    if (data_) data_->clear();
}

ItemData StringList::data(std::int32_t index) const {
    if (!data_ || index < 0 || static_cast<std::size_t>(index) >= data_->size()) return 0;
    return (*data_)[static_cast<std::size_t>(index)];
}

void StringList::setData(std::int32_t index, ItemData value) {
    if (!data_ || index < 0) return;
    const auto slot = static_cast<std::size_t>(index);
    if (data_->size() <= slot) data_->resize(slot + 1, 0);
    (*data_)[slot] = value;
}

}  // namespace ferry
