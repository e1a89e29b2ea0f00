#include "platform/folder_listing.h"

#include "support/mask.h"
#include "support/paths.h"
#include "support/text.h"

namespace ferry {

namespace {

bool isDotName(std::string_view name) {
    return name == "." || name == "..";
}

// The first mask that matches decides; undecided names pass only when no mask includes.
bool acceptedByMasks(std::string_view name, const std::vector<std::string>& masks) {
    bool anyInclusion = false;
    for (const std::string& mask : masks) {
        if (mask.front() == '^') {
            if (matchesMask(name, std::string_view(mask).substr(1))) return false;
        } else {
            anyInclusion = true;
            if (matchesMask(name, mask)) return true;
        }
    }
    return !anyInclusion;
}

bool accepted(const FolderEntry& entry, const std::vector<std::string>& masks,
              std::uint32_t filter) {
    if (entry.kind == EntryKind::Other || entry.name.empty() || isDotName(entry.name)) return false;
    const bool isFolder = entry.kind == EntryKind::Folder;
    if ((filter & FileAttributeNormal) == 0) {
        // Without "normal" an entry must carry every requested attribute; folders are the
        // only attribute this platform reports.
        const std::uint32_t attributes = isFolder ? FileAttributeDirectory : FileAttributeNormal;
        if ((attributes & filter) != filter) return false;
    } else if (isFolder && (filter & FileAttributeDirectory) != 0) {
        return true;
    }
    return acceptedByMasks(entry.name, masks);
}

}  // namespace

const std::string& FolderListing::name(std::int32_t index) const {
    static const std::string empty;
    if (index < 0 || index >= count()) return empty;
    return entries_[static_cast<std::size_t>(index)].name;
}

bool FolderListing::isFolder(std::int32_t index) const {
    return index >= 0 && index < count() && entries_[static_cast<std::size_t>(index)].isFolder;
}

FolderListing scanFolder(Platform& system, std::string_view path,
                         const std::vector<std::string>& masks, std::uint32_t filter) {
    FolderListing listing;
    if (path.empty()) return listing;
    listing.path_ = withTrailingSeparator(path);
    const SystemResult<std::unique_ptr<FolderReader>> opened = system.openFolder(listing.path_);
    if (!opened) {
        if (errorKind(opened.error) != ErrorKind::NotFound) {
            listing.failure_ = {listing.path_, opened.error};
        }
        return listing;
    }
    FolderReader* reader = opened.value.get();
    listing.identity_ = reader->identity();
    FolderEntry entry;
    while (reader->next(entry)) {
        if (accepted(entry, masks, filter)) {
            listing.entries_.push_back({entry.name, entry.kind == EntryKind::Folder});
        }
    }
    if (reader->error().failed()) listing.failure_ = {listing.path_, reader->error()};
    return listing;
}

namespace {

std::vector<std::string> maskPieces(std::string_view masks) {
    std::vector<std::string> pieces;
    std::string rest(masks);
    while (!rest.empty()) {
        std::string piece = trimBlanks(takeToken(rest, ";"));
        if (!piece.empty()) pieces.push_back(std::move(piece));
    }
    return pieces;
}

}  // namespace

FolderListing listFolder(Platform& system, std::string_view path, std::string_view masks,
                         std::uint32_t attributeFilter) {
    return scanFolder(system, path, maskPieces(masks), attributeFilter);
}

bool maskListAccepts(std::string_view name, std::string_view masks) {
    return !name.empty() && !isDotName(name) && acceptedByMasks(name, maskPieces(masks));
}

FolderListing listFolderWithMask(Platform& system, std::string_view path, std::string_view mask,
                                 std::uint32_t attributeFilter) {
    std::vector<std::string> pieces;
    if (mask == "*.*") {
        pieces.emplace_back("*");
    } else if (!mask.empty()) {
        pieces.emplace_back(mask);
    }
    return scanFolder(system, path, pieces, attributeFilter);
}

}  // namespace ferry
