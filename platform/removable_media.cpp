#include "platform/removable_media.h"

#include <algorithm>
#include <cstdint>

#include "platform/platform.h"
#include "support/paths.h"
#include "support/text.h"

namespace ferry {
namespace {

// Files under /proc and /sys report no size; they are read until they end. Enough for
// any mount table a desktop has, and a bound for one that is not what it seems.
constexpr std::size_t LongestSystemFile = 4 * 1024 * 1024;

std::string readSystemFile(Platform& system, const std::string& path) {
    const SystemResult<FileHandle> opened =
        system.openFile(path, FileAccess::Read, FileCreation::OpenExisting);
    if (!opened) return {};
    const FileHandle handle = opened.value;
    std::string content;
    char buffer[4096];
    std::int64_t got = 0;
    while (content.size() < LongestSystemFile &&
           (got = system.readFile(handle, buffer, sizeof buffer).value) > 0) {
        content.append(buffer, static_cast<std::size_t>(got));
    }
    system.closeFile(handle);
    return content;
}

// The mount table writes a blank, tab, line feed and backslash in a path as "\" and
// three octal digits.
std::string unescapeMountPath(std::string_view field) {
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    std::string path;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
            isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            path += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                      (field[i + 3] - '0'));
            i += 3;
        } else {
            path += field[i];
        }
    }
    return path;
}

std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    while (!line.empty()) {
        const std::size_t start = line.find_first_not_of(' ');
        if (start == std::string_view::npos) break;
        line.remove_prefix(start);
        const std::size_t end = std::min(line.find(' '), line.size());
        fields.push_back(line.substr(0, end));
        line.remove_prefix(end);
    }
    return fields;
}

bool marksRemovable(Platform& system, const std::string& path) {
    return trimBlanks(readSystemFile(system, path)) == "1";
}

bool isRemovableDevice(Platform& system, std::string_view systemRoot, std::string_view device) {
    const std::string folder = std::string(systemRoot) + "sys/dev/block/" + std::string(device);
    // A partition has no mark of its own; its folder lies inside its disk's.
    return marksRemovable(system, folder + "/removable") ||
           marksRemovable(system, folder + "/../removable");
}

}  // namespace

std::vector<std::string> removableMountPoints(Platform& system, std::string_view systemRoot) {
    std::vector<std::string> mountPoints;
    const std::string table =
        readSystemFile(system, std::string(systemRoot) + "proc/self/mountinfo");
    std::string_view rest = table;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        // Fields: id, parent id, major:minor, root, mount point, ...
        const std::vector<std::string_view> fields = fieldsOf(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (fields.size() < 5 || fields[2].find(':') == std::string_view::npos) continue;
        const std::string mountPoint = withTrailingSeparator(unescapeMountPath(fields[4]));
        if (std::find(mountPoints.begin(), mountPoints.end(), mountPoint) != mountPoints.end()) {
            continue;
        }
        if (isRemovableDevice(system, systemRoot, fields[2])) mountPoints.push_back(mountPoint);
    }
    return mountPoints;
}

}  // namespace ferry
