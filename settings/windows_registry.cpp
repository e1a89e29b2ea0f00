// The registry store on Windows: the system's own registry, through its wide calls.
// Texts are stored as Windows programs store them, UTF-16 with one NUL character.

#include <windows.h>

#include <cstdlib>
#include <map>
#include <vector>

#include "platform/windows_text.h"
#include "settings/registry.h"
#include "support/little_endian.h"
#include "support/paths.h"

namespace ferry {

namespace {

// The keys now open, with whether they take writes. A key opened for reading refuses
// writes here, as the store on other systems does.
std::map<RegistryKey, bool>& openKeys() {
    static std::map<RegistryKey, bool> keys;
    return keys;
}

HKEY rootKey(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
    }
    return nullptr;
}

RegistryKey remember(HKEY key, bool writable) {
    const auto handle = reinterpret_cast<RegistryKey>(key);
    openKeys()[handle] = writable;
    return handle;
}

// The value's type and bytes; false when the key is not open or the value is missing.
bool readValue(RegistryKey key, std::string_view name, DWORD& type, std::vector<BYTE>& data) {
    if (openKeys().count(key) == 0) return false;
    const HKEY open = reinterpret_cast<HKEY>(key);
    const std::wstring wideName = toWide(name);
    for (;;) {
        DWORD size = static_cast<DWORD>(data.size());
        const LSTATUS status = RegQueryValueExW(open, wideName.c_str(), nullptr, &type,
                                                data.empty() ? nullptr : data.data(), &size);
        if (status == ERROR_SUCCESS && (!data.empty() || size == 0)) {
            data.resize(size);
            return true;
        }
        if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) return false;
        // The value grew meanwhile, or this was the call that asked for its size.
        data.resize(size + 2);
    }
}

bool writeValue(RegistryKey key, std::string_view name, DWORD type, const void* data, DWORD size) {
    const auto found = openKeys().find(key);
    if (found == openKeys().end() || !found->second) return false;
    const HKEY open = reinterpret_cast<HKEY>(key);
    return RegSetValueExW(open, toWide(name).c_str(), 0, type, static_cast<const BYTE*>(data),
                          size) == ERROR_SUCCESS &&
           RegFlushKey(open) == ERROR_SUCCESS;
}

}  // namespace

std::string registryStorePath() {
    return "HKEY_CURRENT_USER";
}

std::string settingsFolder() {
    // This machine's own files (the run lock, what it remembers of checked archives) live
    // in the user's local application data, beside what other programs keep there.
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    if (local == nullptr || *local == L'\0') return "";
    return withTrailingSeparator(fromWide(local)) + "ferryman/";
}

RegistryKey openKeyForRead(RegistryRoot root, std::string_view path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(rootKey(root), toWide(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return NoKey;
    }
    return remember(key, false);
}

RegistryKey openKeyForWrite(RegistryRoot root, std::string_view path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(rootKey(root), toWide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return NoKey;
    }
    return remember(key, true);
}

std::uint32_t readDword(RegistryKey key, std::string_view name) {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!readValue(key, name, type, data) || type != REG_DWORD || data.size() != 4) return 0;
    return static_cast<std::uint32_t>(
        loadLittleEndian(reinterpret_cast<const std::byte*>(data.data()), 4));
}

std::string readString(RegistryKey key, std::string_view name) {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!readValue(key, name, type, data) || type != REG_SZ) return "";
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    std::copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(text.size() * 2),
              reinterpret_cast<BYTE*>(text.data()));
    // A value written without its NUL by someone else ends where its data ends.
    return fromWide(text.substr(0, text.find(L'\0')));
}

bool writeDword(RegistryKey key, std::string_view name, std::uint32_t value) {
    std::byte bytes[4];
    storeLittleEndian(bytes, value, 4);
    return writeValue(key, name, REG_DWORD, bytes, sizeof bytes);
}

bool writeString(RegistryKey key, std::string_view name, std::string_view value) {
    const std::wstring text = toWide(value);
    return writeValue(key, name, REG_SZ, text.c_str(),
                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void closeKey(RegistryKey key) {
    if (openKeys().erase(key) > 0) RegCloseKey(reinterpret_cast<HKEY>(key));
}

// The registry keeps each value as it is written; there is no flush to save.
WriteBatch::WriteBatch(RegistryKey key) : key_(key) {}

WriteBatch::~WriteBatch() = default;

}  // namespace ferry
