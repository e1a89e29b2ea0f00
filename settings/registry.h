#pragma once

// A small registry of named values, kept in one SQLite database per user:
// $XDG_CONFIG_HOME/ferryman/registry.sqlite3 (~/.config/ferryman/... when XDG_CONFIG_HOME
// is unset, empty or relative). Two tables hold it:
//
//   registry_keys   (root TEXT, path TEXT COLLATE NOCASE)        one row per created key
//   registry_values (root TEXT, path TEXT COLLATE NOCASE,
//                    name TEXT COLLATE NOCASE, type INTEGER, data BLOB)
//
// root is "HKEY_CURRENT_USER"; path is the key path exactly as the caller wrote it, and
// like value names it is matched without regard to the case of A-Z. type is 1 REG_SZ
// (text plus one NUL byte), 2 REG_EXPAND_SZ, 3 REG_BINARY or 4 REG_DWORD (4 bytes, least
// significant first).
//
// Nothing here fails loudly: a store that is missing, damaged, read-only or locked by
// another process for longer than a short wait gives key 0 or default values, and writes
// give false. Each write is on disk when it returns. Used from one thread.

#include <cstdint>
#include <string>
#include <string_view>

namespace ferry {

enum class RegistryRoot { CurrentUser };

enum class RegistryType : std::uint32_t {
    String = 1,        // REG_SZ
    ExpandString = 2,  // REG_EXPAND_SZ
    Binary = 3,        // REG_BINARY
    Dword = 4          // REG_DWORD
};

// An open key; 0 is no key, and every operation accepts it.
using RegistryKey = std::uintptr_t;
inline constexpr RegistryKey NoKey = 0;

// Where the store lives; "" when the environment names no home for it.
std::string registryStorePath();
// The folder of the store, ending in "/", where the engine keeps this machine's own
// files too (the run lock, what it remembers of checked archives); "" without a store.
std::string settingsFolder();

// The existing key, opened for reading only; 0 when the store or the key is missing or
// cannot be read.
RegistryKey openKeyForRead(RegistryRoot root, std::string_view path);
// The key, created (with the store and its folder) when missing; 0 when that fails.
RegistryKey openKeyForWrite(RegistryRoot root, std::string_view path);

// The value when it exists with type REG_DWORD and 4 bytes; 0 otherwise.
std::uint32_t readDword(RegistryKey key, std::string_view name);
// The value up to its first NUL when it exists with type REG_SZ; "" otherwise (a
// REG_EXPAND_SZ value included, unexpanded or not).
std::string readString(RegistryKey key, std::string_view name);

// Store a REG_DWORD / a REG_SZ with its terminating NUL (an empty text is one NUL byte).
// True once the value is durably stored; false on key 0, a key opened for reading, or
// a store that refuses the write.
bool writeDword(RegistryKey key, std::string_view name, std::uint32_t value);
bool writeString(RegistryKey key, std::string_view name, std::string_view value);

// Releases the key; 0, an unknown or an already closed key is ignored.
void closeKey(RegistryKey key);

// Closes its key when it goes, so every path out of an operation releases it.
class ScopedKey {
  public:
    explicit ScopedKey(RegistryKey key) : key_(key) {}
    ~ScopedKey() { closeKey(key_); }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

    RegistryKey get() const { return key_; }

  private:
    RegistryKey key_;
};

// The writes through `key` while it lives are one change of the store: on disk together
// when it goes (one flush instead of one per value), or none of them when the store
// refuses. Without it each write is a change of its own.
class WriteBatch {
  public:
    explicit WriteBatch(RegistryKey key);
    ~WriteBatch();
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

  private:
    RegistryKey key_;
    bool begun_ = false;
};

}  // namespace ferry
