#pragma once

// Record names and local paths. A record is named by the project path followed by the
// file's path inside the project, written with the separator that ends the project path
// ("\" for a project that lives on Windows, "/" for one on Linux), so an archive keeps the
// separators it came with wherever it travels. On this machine a file lies under the
// local directory (ending in "/") with "/" between its folders.

#include <optional>
#include <string>
#include <string_view>

namespace ferry {

// How names in the work directory match: exactly, or regardless of letter case (a
// project from Windows, or a work directory on a file system that folds case).
enum class LetterCase { Exact, Folded };

class RecordNames {
  public:
    RecordNames(std::string_view projectPath, std::string_view localDir, LetterCase letterCase);

    // The local path of a record, or nothing when the name is not the project path
    // followed by a safe relative path: one that is not empty, not absolute, and has no
    // empty, "." or ".." component between the project's separators ("/" and "\" alike
    // in a project from Windows, "/" alone in one from Linux, where "\" is a character
    // like any other). Such a name is never written to disk.
    std::optional<std::string> localPathOf(std::string_view recordName) const;

    // The record name of a local file below the local directory, or nothing when the
    // reader would not take that name back to this file (a "\" in a project whose
    // separator is "\"): the writer holds to the reader's rule.
    std::optional<std::string> recordNameOf(std::string_view localPath) const;

    // What two names must share to stand for one file in the work directory: the name
    // itself, or its case-folded form.
    std::string matchKey(std::string_view name) const;

    // The path below the local directory, with "/" separators.
    std::string_view relativeOf(std::string_view localPath) const;

  private:
    std::string projectPath_;
    std::string localDir_;
    char separator_;
    LetterCase letterCase_;
};

// The name with a-z folded to upper case: two names the archive must not both hold
// (and a disk lookup must not tell apart) fold alike.
std::string foldedName(std::string_view name);

}  // namespace ferry
