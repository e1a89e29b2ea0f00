#pragma once

// Plain SQL on a registry store file, independent of the code under test: tests read
// and stage the rows of the documented tables with it, hold locks, and check that the
// database is intact.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

namespace ferry::testkit {

struct StoredRow {
    std::int64_t type = 0;
    std::string data;
};

class StoreSql {
  public:
    // Opens the store (without creating it) for values under `keyPath` of
    // HKEY_CURRENT_USER.
    StoreSql(const std::string& storePath, std::string keyPath);
    ~StoreSql();
    StoreSql(const StoreSql&) = delete;
    StoreSql& operator=(const StoreSql&) = delete;

    // The row of value `name` compared byte for byte, or none.
    std::optional<StoredRow> row(std::string_view name) const;
    // Writes a row of any type, replacing one of the same name.
    bool put(std::string_view name, std::int64_t type, std::string_view data);
    // Runs statements; false on any error.
    bool execute(const std::string& sql);
    // The first column of the first row as text; "" when there is none or on error.
    std::string scalar(const std::string& sql) const;

  private:
    sqlite3* db_ = nullptr;
    std::string keyPath_;
};

// A string's stored bytes: the text and its NUL.
std::string sz(std::string_view text);
// A number's stored bytes: 4 bytes, least significant first.
std::string dword(std::uint32_t value);

}  // namespace ferry::testkit
