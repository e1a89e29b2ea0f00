#pragma once

// Which files on disk belong to a project, and in which order a synchronization meets
// them.

#include <string_view>

#include "platform/folder_listing.h"
#include "support/string_list.h"

namespace ferry {

// Appends to `list` the full path of every file in `folder` accepted by the mask list
// (exclusion pieces honoured), in enumeration order; with `includeSubfolders` each
// subfolder's files are inserted where the subfolder stands (depth first). Folders are
// entered whatever their names. A linked folder is followed unless it leads back to a
// folder the walk is already inside.
// Returns the first folder that could not be read whole, where the walk stopped (error 0:
// the list is complete). A folder that does not exist adds nothing and is no failure.
[[nodiscard]] ListingFailure gatherProjectFiles(Platform& system, StringList& list,
                                                std::string_view folder, std::string_view maskList,
                                                bool includeSubfolders);

// True when any ";"-piece of the mask list (trimmed, "^" and empty pieces taken as plain
// masks) matches the file name. False for every name under an empty list. Whether a
// record belongs to its project is decided as the listing decides (maskListAccepts), so
// that a record and its file never disagree; this older reading is kept for callers that
// ask about one name without exclusions.
bool matchesMaskList(std::string_view fileName, std::string_view maskList);

}  // namespace ferry
