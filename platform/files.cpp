#include "platform/files.h"

#include "support/paths.h"

namespace ferry {

bool fileExists(Platform& system, std::string_view name) {
    const PathInfo info = system.pathInfo(std::string(name));
    return info.exists && !info.isFolder;
}

bool folderExists(Platform& system, std::string_view name) {
    const PathInfo info = system.pathInfo(std::string(name));
    return info.exists && info.isFolder;
}

SystemResult<> forceFolders(Platform& system, std::string_view path) {
    if (path.empty()) return failedWith(system.pathInfo({}).error);
    const std::string folder = withoutTrailingSeparator(path);
    if (folder.empty() || folderExists(system, folder)) return succeeded();
    const std::string parent = folderOf(folder);
    if (!parent.empty() && parent != folder) {
        if (const SystemResult<> made = forceFolders(system, parent); !made) return made;
    }
    const SystemResult<> made = system.makeFolder(folder);
    // Someone else making the folder meanwhile is no failure: it is there.
    return made || folderExists(system, folder) ? succeeded() : made;
}

std::string linkOnTheWay(Platform& system, std::string_view folder, std::string_view path) {
    if (!path.starts_with(folder)) return {};
    for (std::size_t end = path.find(PathSeparator, folder.size()); end != std::string_view::npos;
         end = path.find(PathSeparator, end + 1)) {
        const std::string name(path.substr(0, end));
        const PathInfo info = system.linkInfo(name);
        if (info.isLink) return name;
        // What is not there yet is made as a plain folder.
        if (!info.exists) break;
    }
    return {};
}

SystemResult<> setFileTime(Platform& system, const std::string& path, FileTime time) {
    const SystemResult<FileHandle> opened =
        system.openFile(path, FileAccess::ReadWrite, FileCreation::OpenExisting);
    if (!opened) return failedWith(opened.error);
    const SystemResult<> set = system.setLastWriteTime(opened.value, time);
    const SystemResult<> closed = system.closeFile(opened.value);
    return set ? closed : set;
}

std::int32_t compareFileTimes(FileTime a, FileTime b) {
    constexpr std::uint64_t TicksPerMillisecond = 10000;
    const std::uint64_t ma = a.ticks / TicksPerMillisecond;
    const std::uint64_t mb = b.ticks / TicksPerMillisecond;
    return ma < mb ? -1 : (ma > mb ? 1 : 0);
}

}  // namespace ferry
