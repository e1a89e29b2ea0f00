#include "platform/local_paths.h"

#include "platform/windows_text.h"

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

bool localPathFits(std::string_view path) {
    constexpr std::size_t LongestName = 255;
    constexpr std::size_t LongestPath = 32767;
    const std::wstring wide = toWide(path);
    if (wide.size() >= LongestPath) return false;
    std::size_t length = 0;
    for (const wchar_t c : wide) {
        length = c == L'/' || c == L'\\' ? 0 : length + 1;
        if (length > LongestName) return false;
    }
    return true;
}

std::string asLocalFolder(std::string_view path) {
    std::string folder(path);
    if (folder.empty() || !isSeparator(folder.back())) folder += '\\';
    return folder;
}

}  // namespace ferry
