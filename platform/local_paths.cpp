#include "platform/local_paths.h"

#include <climits>

#include "support/paths.h"

namespace ferry {

bool isAbsoluteLocalPath(std::string_view path) {
    return path.starts_with('/');
}

std::string asLocalFolder(std::string_view path) {
    return withTrailingSeparator(path);
}

bool localPathFits(std::string_view path) {
    // PATH_MAX counts the closing zero byte.
    if (path.size() >= PATH_MAX) return false;
    std::size_t length = 0;
    for (const char c : path) {
        length = c == '/' ? 0 : length + 1;
        if (length > NAME_MAX) return false;
    }
    return true;
}

}  // namespace ferry
