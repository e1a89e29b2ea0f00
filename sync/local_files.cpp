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
        if (!names_.recordNameOf(path)) return ferry::failure(Fault::Uncarriable, path);
        const std::int32_t index = files_.addWithData(path, 0);
        if (!byFoldedPath_.emplace(foldedName(path), index).second)
            return ferry::failure(Fault::Uncarriable, path);
    }
    return done();
}

std::string LocalFiles::caseTwinOf(std::string_view path) const {
    const auto found = byFoldedPath_.find(foldedName(path));
    if (found == byFoldedPath_.end() || files_.item(found->second) == path) return {};
    return files_.item(found->second);
}

std::int32_t LocalFiles::find(std::string_view localPath) const {
    const auto found = byFoldedPath_.find(foldedName(localPath));
    if (found == byFoldedPath_.end() || marked(found->second)) return -1;
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
