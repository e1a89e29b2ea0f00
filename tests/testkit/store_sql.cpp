#include "tests/testkit/store_sql.h"

#include <sqlite3.h>

#include <utility>

namespace ferry::testkit {

namespace {

struct Statement {
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &raw, nullptr); }
    ~Statement() { sqlite3_finalize(raw); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    void bind(int index, std::string_view text) const {
        sqlite3_bind_text(raw, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    sqlite3_stmt* raw = nullptr;
};

}  // namespace

StoreSql::StoreSql(const std::string& storePath, std::string keyPath)
    : keyPath_(std::move(keyPath)) {
    sqlite3_open_v2(storePath.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(db_, 5000);
}

StoreSql::~StoreSql() {
    sqlite3_close_v2(db_);
}

std::optional<StoredRow> StoreSql::row(std::string_view name) const {
    const Statement query(db_,
                          "SELECT type, data FROM registry_values WHERE root = "
                          "'HKEY_CURRENT_USER' AND path = ?1 COLLATE BINARY AND name = ?2 "
                          "COLLATE BINARY");
    query.bind(1, keyPath_);
    query.bind(2, name);
    if (sqlite3_step(query.raw) != SQLITE_ROW) return std::nullopt;
    StoredRow found;
    found.type = sqlite3_column_int64(query.raw, 0);
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(query.raw, 1));
    if (bytes != nullptr) {
        found.data.assign(bytes, static_cast<std::size_t>(sqlite3_column_bytes(query.raw, 1)));
    }
    return found;
}

bool StoreSql::put(std::string_view name, std::int64_t type, std::string_view data) {
    const Statement insert(db_,
                           "INSERT OR REPLACE INTO registry_values (root, path, name, type, "
                           "data) VALUES ('HKEY_CURRENT_USER', ?1, ?2, ?3, ?4)");
    insert.bind(1, keyPath_);
    insert.bind(2, name);
    sqlite3_bind_int64(insert.raw, 3, type);
    sqlite3_bind_blob(insert.raw, 4, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
    return sqlite3_step(insert.raw) == SQLITE_DONE;
}

bool StoreSql::execute(const std::string& sql) {
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::string StoreSql::scalar(const std::string& sql) const {
    const Statement query(db_, sql.c_str());
    if (sqlite3_step(query.raw) != SQLITE_ROW) return "";
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(query.raw, 0));
    return text == nullptr ? "" : text;
}

std::string sz(std::string_view text) {
    return std::string(text) + '\0';
}

std::string dword(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
    return bytes;
}

}  // namespace ferry::testkit
