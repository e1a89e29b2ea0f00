#include "archive/record_names.h"

#include <algorithm>

#include "support/paths.h"

namespace ferry {
namespace {

constexpr char WindowsSeparator = '\\';

// Windows takes "/" for a separator too, so a project from there splits at both.
bool isSeparator(char c, char projectSeparator) {
    return c == PathSeparator || c == projectSeparator;
}

// Every component between the project's separators is a plain name.
bool isSafeRelative(std::string_view relative, char projectSeparator) {
    if (relative.empty()) return false;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = start;
        while (end < relative.size() && !isSeparator(relative[end], projectSeparator)) ++end;
        const std::string_view component = relative.substr(start, end - start);
        if (component.empty() || component == "." || component == "..") return false;
        if (end == relative.size()) return true;
        start = end + 1;
    }
}

}  // namespace

RecordNames::RecordNames(std::string_view projectPath, std::string_view localDir,
                         LetterCase letterCase)
    : projectPath_(projectPath),
      localDir_(localDir),
      separator_(!projectPath.empty() && projectPath.back() == WindowsSeparator ? WindowsSeparator
                                                                                : PathSeparator),
      letterCase_(separator_ == WindowsSeparator ? LetterCase::Folded : letterCase) {}

std::optional<std::string> RecordNames::localPathOf(std::string_view recordName) const {
    if (!recordName.starts_with(projectPath_)) return std::nullopt;
    std::string relative(recordName.substr(projectPath_.size()));
    if (!isSafeRelative(relative, separator_)) return std::nullopt;
    if (separator_ == WindowsSeparator) {
        std::replace(relative.begin(), relative.end(), WindowsSeparator, PathSeparator);
    }
    return localDir_ + relative;
}

std::optional<std::string> RecordNames::recordNameOf(std::string_view localPath) const {
    std::string relative(relativeOf(localPath));
    if (separator_ == WindowsSeparator)
        std::replace(relative.begin(), relative.end(), PathSeparator, WindowsSeparator);
    std::string name = projectPath_ + relative;
    if (localPathOf(name) != localPath) return std::nullopt;
    return name;
}

std::string RecordNames::matchKey(std::string_view name) const {
    return letterCase_ == LetterCase::Folded ? foldedName(name) : std::string(name);
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
