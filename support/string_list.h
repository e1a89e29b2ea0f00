#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ferry {

// One value kept beside an item of a list with a data column (a mark, an index, an id).
using ItemData = std::uintptr_t;

// An ordered list of text copies, optionally with one data value per item. Never sorts
// or reorders; out-of-range indexes read as "" or 0.
class StringList {
  public:
    std::int32_t add(std::string_view text);
    std::int32_t addWithData(std::string_view text, ItemData value);
    std::int32_t count() const { return static_cast<std::int32_t>(items_.size()); }
    const std::string& item(std::int32_t index) const;
    // Replaces the text of item `index`, keeping its data; ignored out of range.
    void setItem(std::int32_t index, std::string_view text);
    // First item equal under compareTextAscii, or -1.
    std::int32_t indexOf(std::string_view text) const;
    void clear();

    bool hasDataColumn() const { return data_.has_value(); }
    ItemData data(std::int32_t index) const;
    // Grows the data column with zeros up to index + 1 when it is shorter. Ignored on a
    // list without a data column.
    void setData(std::int32_t index, ItemData value);

  private:
    friend StringList newStringList();
    friend StringList newStringListWithData();
    explicit StringList(bool withData);

    std::vector<std::string> items_;
    std::optional<std::vector<ItemData>> data_;
};

StringList newStringList();
StringList newStringListWithData();

}  // namespace ferry
