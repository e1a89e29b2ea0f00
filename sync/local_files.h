#pragma once

// The project's files on this machine, listed once at the start of a synchronization:
// which ones a record has been matched to, and which files a record may stand for.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/outcome.h"
#include "archive/record_names.h"
#include "support/string_list.h"
#include "sync/synchronize_project.h"

namespace ferry {

class LocalFiles {
  public:
    LocalFiles(const ProjectInputs& inputs, const RecordNames& names);

    // A file the records cannot carry: a name the reader would refuse, or one that differs
    // from a listed file's (`twin`) only in letter case where the work directory folds
    // case.
    struct Uncarried {
        std::string path;
        std::string twin;  // "" for a refused name
    };

    // Lists the files under the local directory. Fails for a folder that could not be read
    // whole (a system failure). Files the records cannot carry are left out, each named in
    // `uncarried`.
    Outcome list(Platform& system);
    const std::vector<Uncarried>& uncarried() const { return uncarried_; }

    std::int32_t count() const { return files_.count(); }
    const std::string& path(std::int32_t index) const { return files_.item(index); }
    bool marked(std::int32_t index) const { return files_.data(index) != 0; }
    void mark(std::int32_t index) { files_.setData(index, 1); }

    // The listed file whose path matches `localPath` (exactly, or with a-z folded where the
    // work directory folds case), unless a record was matched to it already; -1 when there
    // is none.
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
    std::unordered_map<std::string, std::int32_t> byMatchKey_;
    std::vector<Uncarried> uncarried_;
};

}  // namespace ferry
