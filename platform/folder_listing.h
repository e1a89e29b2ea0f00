#pragma once

// Scanning one folder with a mask list. Entries keep the file system's enumeration
// order; "." and "..", devices, pipes and links that lead nowhere are never listed.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace ferry {

// Attribute filter bits. With Normal every entry passes the attribute test; with Normal
// and Directory together every folder is accepted without looking at the masks.
inline constexpr std::uint32_t FileAttributeDirectory = 0x10;
inline constexpr std::uint32_t FileAttributeNormal = 0x80;

// Why a listing may lack entries: the folder (ending in "/") that could not be read
// whole, and the system's error. No error: the listing is complete.
struct ListingFailure {
    std::string path;
    SystemError error;
};

class FolderListing {
  public:
    std::int32_t count() const { return static_cast<std::int32_t>(entries_.size()); }
    // The entry's name without its folder; "" out of range.
    const std::string& name(std::int32_t index) const;
    bool isFolder(std::int32_t index) const;
    // The scanned folder, ending in "/" ("" for an empty request).
    const std::string& path() const { return path_; }
    // Which folder was read; meaningful when the folder could be opened.
    FileIdentity identity() const { return identity_; }
    // No error when every entry was read. A folder that does not exist is no failure: it
    // holds nothing.
    const ListingFailure& failure() const { return failure_; }

  private:
    friend FolderListing scanFolder(Platform&, std::string_view, const std::vector<std::string>&,
                                    std::uint32_t);
    struct Entry {
        std::string name;
        bool isFolder = false;
    };
    std::string path_;
    FileIdentity identity_;
    std::vector<Entry> entries_;
    ListingFailure failure_;
};

// Scans with a ";"-separated mask list: pieces trimmed, empty ones dropped, a piece
// starting with "^" excludes. The first piece that matches decides; with no inclusion
// piece at all every name passes. A folder that cannot be read gives an empty listing;
// one that cannot be read whole keeps the entries read before the failure.
FolderListing listFolder(Platform& system, std::string_view path, std::string_view masks,
                         std::uint32_t attributeFilter);
// Whether a scan with this mask list accepts a file of this name (no folder part).
bool maskListAccepts(std::string_view name, std::string_view masks);
// Scans with one mask ("*.*" counts as "*").
FolderListing listFolderWithMask(Platform& system, std::string_view path, std::string_view mask,
                                 std::uint32_t attributeFilter);

}  // namespace ferry
