#include "sync/project_file_set.h"

#include <algorithm>
#include <string>
#include <vector>

#include "support/mask.h"
#include "support/text.h"

namespace ferry {

namespace {

ListingFailure gatherInto(Platform& system, StringList& list, std::string_view folder,
                          std::string_view maskList, bool includeSubfolders,
                          std::vector<FileIdentity>& walkPath) {
    const FolderListing scan =
        listFolder(system, folder, maskList, FileAttributeNormal | FileAttributeDirectory);
    if (scan.failure().error.failed()) return scan.failure();
    // A link back to a folder above us would otherwise be walked forever.
    if (std::find(walkPath.begin(), walkPath.end(), scan.identity()) != walkPath.end()) return {};
    walkPath.push_back(scan.identity());
    std::string entryPath = scan.path();
    for (std::int32_t i = 0; i < scan.count(); ++i) {
        entryPath.resize(scan.path().size());
        entryPath += scan.name(i);
        if (!scan.isFolder(i)) {
            list.add(entryPath);
        } else if (includeSubfolders) {
            ListingFailure failure = gatherInto(system, list, entryPath, maskList, true, walkPath);
            if (failure.error.failed()) return failure;
        }
    }
    walkPath.pop_back();
    return {};
}

}  // namespace

ListingFailure gatherProjectFiles(Platform& system, StringList& list, std::string_view folder,
                                  std::string_view maskList, bool includeSubfolders) {
    std::vector<FileIdentity> walkPath;
    return gatherInto(system, list, folder, maskList, includeSubfolders, walkPath);
}

bool matchesMaskList(std::string_view fileName, std::string_view maskList) {
    std::string rest(maskList);
    while (!rest.empty()) {
        if (matchesMask(fileName, trimBlanks(takeToken(rest, ";")))) return true;
    }
    return false;
}

}  // namespace ferry
