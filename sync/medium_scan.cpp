#include "sync/medium_scan.h"

#include <optional>
#include <string>

#include "archive/media_archive.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "support/paths.h"
#include "sync/sync_messages.h"

namespace ferry {

std::string mediumFolderOf(Platform& system, std::string_view text) {
    return !text.empty() && folderExists(system, text) ? withTrailingSeparator(text)
                                                       : std::string();
}

MediumScan scanMedium(Platform& system, std::string_view mediumFolder, UserPrompt& prompt) {
    MediumScan scan;
    // Without a medium there is nothing to list (the current folder is no medium).
    if (mediumFolder.empty()) return scan;
    const FolderListing listing = listFolderWithMask(
        system, withTrailingSeparator(mediumFolder) + std::string(MediaFolderName),
        std::string("*").append(ArchiveExtension), FileAttributeNormal | FileAttributeDirectory);
    for (std::int32_t i = 0; i < listing.count(); ++i) {
        if (listing.isFolder(i)) continue;
        const std::string key = listing.path() + listing.name(i);
        DateTime stamp = 0;
        const std::optional<ArchiveHeader> header = readProjectHead(system, key, stamp);
        if (!header) continue;
        // The archive must have been written before now by this machine's clock; a
        // machine whose clock lags would take its own older files for newer ones.
        const DateTime current = now(system);
        if (!(current > stamp)) {
            prompt.showMessage(clockWarning(stamp, current, header->projectPath));
            scan.clockRefused = true;
        }
        scan.projects.push_back(
            {header->projectPath, header->maskList, header->includeSubfolders, key});
    }
    return scan;
}

}  // namespace ferry
