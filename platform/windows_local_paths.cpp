#include "platform/local_paths.h"

namespace ferry {

namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

bool isAbsoluteLocalPath(std::string_view path) {
    const bool drive =
        path.size() >= 3 && isLetter(path[0]) && path[1] == ':' && isSeparator(path[2]);
    const bool share = path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]);
    return drive || share;
}

std::string asLocalFolder(std::string_view path) {
    std::string folder(path);
    if (folder.empty() || !isSeparator(folder.back())) folder += '\\';
    return folder;
}

}  // namespace ferry
