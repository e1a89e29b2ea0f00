#include "sync/local_files.h"

#include "archive/media_archive.h"
#include "platform/folder_listing.h"
#include "support/paths.h"
#include "sync/project_file_set.h"

namespace ferry {

LocalFiles::LocalFiles(const ProjectInputs& inputs, const RecordNames& names)
    : inputs_(inputs), names_(names) {
    if (!inputs.mediumRoot.empty())
        archiveFolder_ = inputs.mediumRoot + std::string(MediaFolderName);
}

Outcome LocalFiles::list(Platform& system) {
    StringList gathered = newStringList();
    const ListingFailure failure = gatherProjectFiles(system, gathered, inputs_.localDir,
                                                      inputs_.mask, inputs_.includeSubfolders);
    if (failure.error.failed()) return systemFailure(failure.path, failure.error);
    for (std::int32_t i = 0; i < gathered.count(); ++i) {
        const std::string& path = gathered.item(i);
        // An archive must not swallow itself.
        if (inArchiveFolder(path)) continue;
        if (!names_.recordNameOf(path)) {
            uncarried_.push_back({path, {}});
            continue;
        }
        const auto [twin, added] = byMatchKey_.emplace(names_.matchKey(path), files_.count());
        if (!added) {
            uncarried_.push_back({path, files_.item(twin->second)});
            continue;
        }
        files_.addWithData(path, 0);
    }
    return done();
}

std::int32_t LocalFiles::find(std::string_view localPath) const {
    const auto found = byMatchKey_.find(names_.matchKey(localPath));
    if (found == byMatchKey_.end() || marked(found->second)) return -1;
    return found->second;
}

bool LocalFiles::wouldList(std::string_view localPath) const {
    const std::string_view relative = names_.relativeOf(localPath);
    if (!inputs_.includeSubfolders && relative.find(PathSeparator) != std::string_view::npos)
        return false;
    return maskListAccepts(fileNameOf(relative), inputs_.mask) && !inArchiveFolder(localPath);
}

bool LocalFiles::inArchiveFolder(std::string_view localPath) const {
    return !archiveFolder_.empty() && localPath.starts_with(archiveFolder_);
}

}  // namespace ferry
