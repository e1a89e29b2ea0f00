#include "archive/record_names.h"

#include <algorithm>

#include "support/paths.h"

namespace ferry {
namespace {

constexpr char WindowsSeparator = '\\';

bool isSeparator(char c) {
    return c == PathSeparator || c == WindowsSeparator;
}

// Every component between separators of either kind is a plain name.
bool isSafeRelative(std::string_view relative) {
    if (relative.empty()) return false;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = start;
        while (end < relative.size() && !isSeparator(relative[end])) ++end;
        const std::string_view component = relative.substr(start, end - start);
        if (component.empty() || component == "." || component == "..") return false;
        if (end == relative.size()) return true;
        start = end + 1;
    }
}

}  // namespace

RecordNames::RecordNames(std::string_view projectPath, std::string_view localDir)
    : projectPath_(projectPath),
      localDir_(localDir),
      separator_(!projectPath.empty() && projectPath.back() == WindowsSeparator ? WindowsSeparator
                                                                                : PathSeparator) {}

std::optional<std::string> RecordNames::localPathOf(std::string_view recordName) const {
    if (!recordName.starts_with(projectPath_)) return std::nullopt;
    std::string relative(recordName.substr(projectPath_.size()));
    if (!isSafeRelative(relative)) return std::nullopt;
    if (separator_ == WindowsSeparator) {
        std::replace(relative.begin(), relative.end(), WindowsSeparator, PathSeparator);
    }
    return localDir_ + relative;
}

std::optional<std::string> RecordNames::recordNameOf(std::string_view localPath) const {
    std::string relative(relativeOf(localPath));
    if (separator_ == WindowsSeparator) {
        if (relative.find(WindowsSeparator) != std::string::npos) return std::nullopt;
        std::replace(relative.begin(), relative.end(), PathSeparator, WindowsSeparator);
    }
    return projectPath_ + relative;
}

std::string_view RecordNames::relativeOf(std::string_view localPath) const {
    return localPath.starts_with(localDir_) ? localPath.substr(localDir_.size()) : localPath;
}

std::string foldedName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
}

}  // namespace ferry
