#pragma once

// What a withholding platform keeps in memory instead of changing the disk: for each
// path it has touched, whether a file, a new folder or nothing is there now. Paths it has
// not touched are as the disk has them.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_time.h"
#include "platform/platform.h"

namespace ferry {

// One file as the withholding platform sees it. Like an inode it is shared by the path
// that names it and by every handle open on it, so a rename or a deletion leaves open
// handles working on the same bytes.
struct WithheldFile {
    // Where its bytes lie on disk while it is unchanged; "" for a file made in memory.
    std::string diskPath;
    // True once `bytes` holds the whole content (copied on the first change).
    bool copied = false;
    std::vector<char> bytes;
    // Set when the time was set or the content changed; else the disk file's time.
    std::optional<FileTime> time;
};

enum class WithheldKind { Gone, File, Folder };

struct WithheldNode {
    WithheldKind kind = WithheldKind::Gone;
    std::shared_ptr<WithheldFile> file;  // for File
    FileIdentity identity;               // for Folder: made up, never a disk folder's
};

class WithheldTree {
  public:
    // The key of a path: separators collapsed, "." parts and a trailing separator dropped
    // ("/" stays "/", a relative path that names the current folder becomes ".").
    static std::string keyOf(std::string_view path);
    // The folder holding `key` ("." for a single relative name).
    static std::string parentOf(const std::string& key);
    static std::string childOf(const std::string& folderKey, std::string_view name);

    // Null for a path the tree does not know (the disk decides).
    const WithheldNode* find(const std::string& key) const;
    void setGone(const std::string& key);
    void setFile(const std::string& key, std::shared_ptr<WithheldFile> file);
    // A new folder, with an identity no disk folder has.
    void setFolder(const std::string& key);
    // The names and kinds of the entries directly in `folderKey`, by name, gone ones left out.
    std::vector<std::pair<std::string, WithheldKind>> entriesIn(const std::string& folderKey) const;

  private:
    std::map<std::string, WithheldNode> nodes_;
    std::uint64_t foldersMade_ = 0;
};

}  // namespace ferry
