#include "settings/registry.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include "platform/files.h"
#include "support/little_endian.h"
#include "support/paths.h"

namespace ferry {

namespace {

// How long one statement waits for another process to release the store. After one
// wait in vain the key stops waiting, so a long list written to a locked store costs
// one wait, not one per value.
constexpr std::chrono::milliseconds LockWait(1000);
// How often a waiting statement looks again. Looking often catches the short gaps
// between another process's writes, which SQLite's own naps, growing to 100 ms, can miss
// for the whole wait while the other process writes without pause.
constexpr std::chrono::milliseconds LockPoll(1);

constexpr const char* Schema = R"(
CREATE TABLE IF NOT EXISTS registry_keys (
    root TEXT NOT NULL,
    path TEXT NOT NULL COLLATE NOCASE,
    PRIMARY KEY (root, path)
);
CREATE TABLE IF NOT EXISTS registry_values (
    root TEXT NOT NULL,
    path TEXT NOT NULL COLLATE NOCASE,
    name TEXT NOT NULL COLLATE NOCASE,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    PRIMARY KEY (root, path, name)
);)";

struct CloseConnection {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, CloseConnection>;

struct FinalizeStatement {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

// SQLite's busy handler: true to look again. `count` is 0 when a wait begins.
int waitForLock(void*, int count) {
    thread_local std::chrono::steady_clock::time_point started;
    const auto now = std::chrono::steady_clock::now();
    if (count == 0) started = now;
    if (now - started >= LockWait) return 0;
    std::this_thread::sleep_for(LockPoll);
    return 1;
}

// Passes a result on; a lock that was waited for in vain turns the waiting off.
int afterLockWait(sqlite3* db, int result) {
    if (result == SQLITE_BUSY) sqlite3_busy_handler(db, nullptr, nullptr);
    return result;
}

bool execute(sqlite3* db, const char* sql) {
    return afterLockWait(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr)) == SQLITE_OK;
}

// One statement with its parameters bound in order. A statement that could not be
// prepared, or a parameter that could not be bound, makes step() fail.
class Query {
  public:
    Query(sqlite3* db, const char* sql) : db_(db) {
        sqlite3_stmt* raw = nullptr;
        ok_ = afterLockWait(db, sqlite3_prepare_v2(db, sql, -1, &raw, nullptr)) == SQLITE_OK;
        statement_.reset(raw);
    }

    Query& text(std::string_view value) {
        return bind([&](sqlite3_stmt* statement, int index) {
            return sqlite3_bind_text64(statement, index, value.data(), value.size(),
                                       SQLITE_TRANSIENT, SQLITE_UTF8);
        });
    }
    Query& blob(std::string_view bytes) {
        return bind([&](sqlite3_stmt* statement, int index) {
            return sqlite3_bind_blob64(statement, index, bytes.data(), bytes.size(),
                                       SQLITE_TRANSIENT);
        });
    }
    Query& integer(std::int64_t value) {
        return bind([&](sqlite3_stmt* statement, int index) {
            return sqlite3_bind_int64(statement, index, value);
        });
    }

    // SQLITE_ROW, SQLITE_DONE, or an error.
    int step() { return ok_ ? afterLockWait(db_, sqlite3_step(statement_.get())) : SQLITE_ERROR; }
    sqlite3_stmt* get() const { return statement_.get(); }

  private:
    // Binds the next parameter, unless an earlier step failed.
    template <typename Binder>
    Query& bind(const Binder& binder) {
        ok_ = ok_ && binder(statement_.get(), next_) == SQLITE_OK;
        ++next_;
        return *this;
    }

    sqlite3* db_;
    Statement statement_;
    bool ok_ = false;
    int next_ = 1;
};

struct OpenKey {
    Connection db;
    std::string root;
    std::string path;
    bool writable = false;
};

// The keys now open, by handle. Handles count up from 1 and are never reused, so a
// stale handle finds nothing instead of someone else's key.
class OpenKeys {
  public:
    RegistryKey add(OpenKey key) {
        const RegistryKey handle = ++last_;
        keys_.emplace(handle, std::move(key));
        return handle;
    }
    OpenKey* find(RegistryKey handle) {
        const auto found = keys_.find(handle);
        return found == keys_.end() ? nullptr : &found->second;
    }
    void remove(RegistryKey handle) { keys_.erase(handle); }

  private:
    std::map<RegistryKey, OpenKey> keys_;
    RegistryKey last_ = NoKey;
};

OpenKeys& openKeys() {
    static OpenKeys keys;
    return keys;
}

std::string rootName(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::CurrentUser: return "HKEY_CURRENT_USER";
    }
    return "";
}

bool isAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

// Makes an opened store ready to take writes. FULL makes each commit reach the disk
// before it returns; the write-ahead log makes that one flush per write instead of
// three. Switching to the log is refused at once while another process is creating the
// store, which then switches it itself: that refusal is no failure.
bool prepareForWrites(sqlite3* db) {
    if (!execute(db, "PRAGMA synchronous=FULL") || !execute(db, Schema)) return false;
    sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    return true;
}

// The store, read-only or writable; null when it cannot be opened. SQLite reaches the
// file itself; the folder is made through the platform layer.
Connection openStore(bool forWrite) {
    const std::string path = registryStorePath();
    if (path.empty()) return nullptr;
    if (forWrite && !forceFolders(systemPlatform(), folderOf(path))) return nullptr;
    // Readers open the file for writing too where they may: the write-ahead log's side
    // files, which even a read makes, are then removed when the last connection closes,
    // so reading the settings leaves nothing behind. Whether a key takes writes is
    // decided by the key, not by this.
    const int flags = forWrite ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READWRITE;
    sqlite3* raw = nullptr;
    int result = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    if (result != SQLITE_OK && !forWrite) {
        sqlite3_close(raw);
        raw = nullptr;
        result = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    }
    Connection db(raw);
    if (result != SQLITE_OK) return nullptr;
    sqlite3_busy_handler(db.get(), waitForLock, nullptr);
    if (forWrite && !prepareForWrites(db.get())) return nullptr;
    return db;
}

bool keyExists(sqlite3* db, const std::string& root, std::string_view path) {
    Query query(db, "SELECT 1 FROM registry_keys WHERE root = ?1 AND path = ?2");
    return query.text(root).text(path).step() == SQLITE_ROW;
}

bool createKey(sqlite3* db, const std::string& root, std::string_view path) {
    Query query(db, "INSERT OR IGNORE INTO registry_keys (root, path) VALUES (?1, ?2)");
    return query.text(root).text(path).step() == SQLITE_DONE;
}

struct StoredValue {
    std::uint32_t type = 0;
    std::string data;
};

std::optional<StoredValue> readValue(RegistryKey key, std::string_view name) {
    OpenKey* open = openKeys().find(key);
    if (open == nullptr) return std::nullopt;
    Query query(open->db.get(),
                "SELECT type, data FROM registry_values WHERE root = ?1 AND path = ?2 AND "
                "name = ?3");
    if (query.text(open->root).text(open->path).text(name).step() != SQLITE_ROW) {
        return std::nullopt;
    }
    StoredValue value;
    value.type = static_cast<std::uint32_t>(sqlite3_column_int64(query.get(), 0));
    const void* bytes = sqlite3_column_blob(query.get(), 1);
    const int size = sqlite3_column_bytes(query.get(), 1);
    if (bytes != nullptr) {
        value.data.assign(static_cast<const char*>(bytes), static_cast<std::size_t>(size));
    }
    return value;
}

// Inserts or replaces the value; a name that differs only in case replaces the value
// and keeps the name as first written, as the registry does.
bool writeValue(RegistryKey key, std::string_view name, RegistryType type, std::string_view data) {
    OpenKey* open = openKeys().find(key);
    if (open == nullptr || !open->writable) return false;
    Query query(open->db.get(),
                "INSERT INTO registry_values (root, path, name, type, data) "
                "VALUES (?1, ?2, ?3, ?4, ?5) ON CONFLICT (root, path, name) "
                "DO UPDATE SET type = excluded.type, data = excluded.data");
    return query.text(open->root)
               .text(open->path)
               .text(name)
               .integer(static_cast<std::int64_t>(type))
               .blob(data)
               .step() == SQLITE_DONE;
}

}  // namespace

std::string settingsFolder() {
    const std::string store = registryStorePath();
    return store.empty() ? std::string() : withTrailingSeparator(folderOf(store));
}

std::string registryStorePath() {
    // Only an absolute XDG_CONFIG_HOME counts, as the XDG rules say.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (isAbsolute(config)) {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (!isAbsolute(home)) return "";
        base = withTrailingSeparator(home) + ".config";
    }
    return withTrailingSeparator(base) + "ferryman/registry.sqlite3";
}

RegistryKey openKeyForRead(RegistryRoot root, std::string_view path) {
    Connection db = openStore(false);
    const std::string name = rootName(root);
    if (db == nullptr || !keyExists(db.get(), name, path)) return NoKey;
    return openKeys().add(OpenKey{std::move(db), name, std::string(path), false});
}

RegistryKey openKeyForWrite(RegistryRoot root, std::string_view path) {
    Connection db = openStore(true);
    const std::string name = rootName(root);
    if (db == nullptr) return NoKey;
    if (!keyExists(db.get(), name, path) && !createKey(db.get(), name, path)) return NoKey;
    return openKeys().add(OpenKey{std::move(db), name, std::string(path), true});
}

std::uint32_t readDword(RegistryKey key, std::string_view name) {
    const std::optional<StoredValue> value = readValue(key, name);
    if (!value || value->type != static_cast<std::uint32_t>(RegistryType::Dword) ||
        value->data.size() != 4) {
        return 0;
    }
    return static_cast<std::uint32_t>(
        loadLittleEndian(reinterpret_cast<const std::byte*>(value->data.data()), 4));
}

std::string readString(RegistryKey key, std::string_view name) {
    const std::optional<StoredValue> value = readValue(key, name);
    if (!value || value->type != static_cast<std::uint32_t>(RegistryType::String)) return "";
    // A value written without its NUL by someone else ends where its data ends.
    return value->data.substr(0, value->data.find('\0'));
}

bool writeDword(RegistryKey key, std::string_view name, std::uint32_t value) {
    std::byte bytes[4];
    storeLittleEndian(bytes, value, 4);
    return writeValue(key, name, RegistryType::Dword,
                      std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes));
}

bool writeString(RegistryKey key, std::string_view name, std::string_view value) {
    std::string bytes(value);
    bytes.push_back('\0');
    return writeValue(key, name, RegistryType::String, bytes);
}

WriteBatch::WriteBatch(RegistryKey key) : key_(key) {
    const OpenKey* open = openKeys().find(key);
    // Taken for writing at once: a batch that could not write what it read would fail late.
    begun_ = open != nullptr && open->writable && execute(open->db.get(), "BEGIN IMMEDIATE");
}

WriteBatch::~WriteBatch() {
    const OpenKey* open = openKeys().find(key_);
    if (!begun_ || open == nullptr) return;
    if (!execute(open->db.get(), "COMMIT")) execute(open->db.get(), "ROLLBACK");
}

void closeKey(RegistryKey key) {
    openKeys().remove(key);
}

}  // namespace ferry
