#pragma once

// The project's files on this machine, listed once at the start of a synchronization:
// which ones a record has been matched to, and which files a record may stand for.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "archive/outcome.h"
#include "archive/record_names.h"
#include "support/string_list.h"
#include "sync/synchronize_project.h"

namespace ferry {

class LocalFiles {
  public:
    LocalFiles(const ProjectInputs& inputs, const RecordNames& names);

    // Lists the files under the local directory. Fails for a folder that could not be read
    // whole (a system failure) and for a file the records cannot carry: a name they cannot
    // hold, or one that differs from another only in letter case (caseTwinOf tells).
    Outcome list(Platform& system);
    // The listed file whose name differs from `path`'s only in letter case; "" for none.
    std::string caseTwinOf(std::string_view path) const;

    std::int32_t count() const { return files_.count(); }
    const std::string& path(std::int32_t index) const { return files_.item(index); }
    bool marked(std::int32_t index) const { return files_.data(index) != 0; }
    void mark(std::int32_t index) { files_.setData(index, 1); }

    // The listed file whose path equals `localPath` with a-z folded, unless a record was
    // matched to it already; -1 when there is none.
    std::int32_t find(std::string_view localPath) const;

    // Whether the listing would take a file at `localPath` (the mask list with its
    // exclusions, the subfolder flag); never one inside the medium's archive folder.
    bool wouldList(std::string_view localPath) const;

  private:
    bool inArchiveFolder(std::string_view localPath) const;

    const ProjectInputs& inputs_;
    const RecordNames& names_;
    std::string archiveFolder_;
    StringList files_ = newStringListWithData();
    std::unordered_map<std::string, std::int32_t> byFoldedPath_;
};

}  // namespace ferry
