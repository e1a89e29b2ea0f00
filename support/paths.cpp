#include "support/paths.h"

namespace ferry {

std::string fileNameOf(std::string_view path) {
    const auto cut = path.rfind(PathSeparator);
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string folderOf(std::string_view path) {
    const auto cut = path.rfind(PathSeparator);
    return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut + 1));
}

std::string withTrailingSeparator(std::string_view path) {
    std::string out(path);
    if (out.empty() || out.back() != PathSeparator) out += PathSeparator;
    return out;
}

std::string withoutTrailingSeparator(std::string_view path) {
    if (!path.empty() && path.back() == PathSeparator) path.remove_suffix(1);
    return std::string(path);
}

}  // namespace ferry
