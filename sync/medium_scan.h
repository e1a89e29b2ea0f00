#pragma once

// The media scan: the projects whose archives a medium's "Ferry/" folder holds.

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "sync/user_prompt.h"

namespace ferry {

// One project found on the medium (or added since the scan).
struct ListedProject {
    std::string path;  // the project path from the archive's header
    std::string mask;
    bool includeSubfolders = false;
    std::string key;  // the full path of its archive: medium folder + "Ferry/" + file name
};

struct MediumScan {
    std::vector<ListedProject> projects;
    // The clock check failed: its message was shown and the program must quit without
    // saving the medium settings.
    bool clockRefused = false;
    // The "Ferry/" folder or archives that could not be read, each named in a message:
    // projects the medium may carry but this run can not see.
    std::int32_t unreadable = 0;
};

// The medium folder for a text typed or chosen: the text ending in "/" when it names an
// existing folder, else "".
std::string mediumFolderOf(Platform& system, std::string_view text);

// Lists the "*.move" archives in mediumFolder + "Ferry/" whose headers name a project,
// in the folder's order, checking the clock against the medium's last write: the UTC
// time a run left beside the archives (two minutes of slack), else each archive's local
// write stamp (14 hours of slack, for the zones). An empty mediumFolder lists nothing.
MediumScan scanMedium(Platform& system, std::string_view mediumFolder, UserPrompt& prompt);

}  // namespace ferry
