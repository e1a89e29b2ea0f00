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

class RecordNames {
  public:
    RecordNames(std::string_view projectPath, std::string_view localDir);

    // The local path of a record, or nothing when the name is not the project path
    // followed by a safe relative path: one that is not empty, not absolute, and has no
    // empty, "." or ".." component under either separator. Such a name is never written
    // to disk.
    std::optional<std::string> localPathOf(std::string_view recordName) const;

    // The record name of a local file below the local directory, or nothing when its
    // relative part holds "\" in a project whose separator is "\" (it would come back as
    // a folder).
    std::optional<std::string> recordNameOf(std::string_view localPath) const;

    // The path below the local directory, with "/" separators.
    std::string_view relativeOf(std::string_view localPath) const;

  private:
    std::string projectPath_;
    std::string localDir_;
    char separator_;
};

// The name with a-z folded to upper case: two names the archive must not both hold
// (and a disk lookup must not tell apart) fold alike.
std::string foldedName(std::string_view name);

}  // namespace ferry
