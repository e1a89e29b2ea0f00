#include "platform/files.h"

#include "support/paths.h"

namespace ferry {

bool fileExists(std::string_view name) {
    const PathInfo info = platform().pathInfo(std::string(name));
    return info.exists && !info.isFolder;
}

bool folderExists(std::string_view name) {
    const PathInfo info = platform().pathInfo(std::string(name));
    return info.exists && info.isFolder;
}

bool forceFolders(std::string_view path) {
    if (path.empty()) return false;
    const std::string folder = withoutTrailingSeparator(path);
    if (folder.empty() || folderExists(folder)) return true;
    const std::string parent = folderOf(folder);
    if (!parent.empty() && parent != folder && !forceFolders(parent)) return false;
    // Someone else making the folder meanwhile is no failure: it is there.
    return platform().makeFolder(folder) || folderExists(folder);
}

FileHandle openFileHandle(std::string_view name, std::uint32_t flags) {
    const bool read = (flags & OpenFlags::GenericRead) != 0;
    const bool write = (flags & OpenFlags::GenericWrite) != 0;
    const FileAccess access = read && write ? FileAccess::ReadWrite
                              : write       ? FileAccess::Write
                                            : FileAccess::Read;
    FileCreation creation{};
    switch (flags & 0xFF00u) {
        case OpenFlags::CreateNew: creation = FileCreation::CreateNew; break;
        case OpenFlags::CreateAlways: creation = FileCreation::CreateAlways; break;
        case OpenFlags::OpenExisting: creation = FileCreation::OpenExisting; break;
        case OpenFlags::OpenAlways: creation = FileCreation::OpenAlways; break;
        case OpenFlags::TruncateExisting: creation = FileCreation::TruncateExisting; break;
        default: return InvalidFileHandle;
    }
    return platform().openFile(std::string(name), access, creation);
}

bool closeFileHandle(FileHandle handle) {
    return handle != InvalidFileHandle && platform().closeFile(handle);
}

std::int32_t compareFileTimes(FileTime a, FileTime b) {
    constexpr std::uint64_t TicksPerMillisecond = 10000;
    const std::uint64_t ma = a.ticks / TicksPerMillisecond;
    const std::uint64_t mb = b.ticks / TicksPerMillisecond;
    return ma < mb ? -1 : (ma > mb ? 1 : 0);
}

}  // namespace ferry
