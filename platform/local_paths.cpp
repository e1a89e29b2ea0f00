#include "platform/local_paths.h"

#include "support/paths.h"

namespace ferry {

bool isAbsoluteLocalPath(std::string_view path) {
    return path.starts_with('/');
}

std::string asLocalFolder(std::string_view path) {
    return withTrailingSeparator(path);
}

}  // namespace ferry
