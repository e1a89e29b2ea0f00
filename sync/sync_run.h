#pragma once

// The synchronization run over every listed project, on plain values, so that the window
// and the command line drive it alike.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/run_context.h"
#include "settings/project_catalogue.h"
#include "sync/medium_scan.h"
#include "sync/synchronize_project.h"

namespace ferry {

// The catalogue entry of a listed project (its key: the archive's full path); -1 when it
// has none. When no entry has the key, the medium may be mounted elsewhere today: the
// only entry filed under the same archive name in a "Ferry/" folder is the project's, as
// long as that entry's archive is gone from where it was (else it is another medium's
// copy of the project). An entry whose archive is the very same file (the medium reached
// through a link, or mounted twice) is the project's too. The front ends look records up
// the way the run does.
std::int32_t catalogueEntryOf(Platform& system, const Catalogue& catalogue,
                              std::string_view mediumFolder, std::string_view key);

// Puts back the archives of `mediumFolder` whose writing over their only other copy was
// cut off, from the copies this machine kept, telling the user of each. A run does it
// first; a scan of the medium should too.
void putBackCutArchives(const RunContext& context, std::string_view mediumFolder,
                        UserPrompt& prompt);

enum class RunEnd {
    Completed,  // every project was taken; the report is to be shown
    Stopped,    // a project stopped (its message shown, if any); no report
    Busy        // another synchronization holds the lock; its message shown
};

struct RunResult {
    RunEnd end = RunEnd::Completed;
    SyncCounters counters;
    // Projects refused for a damaged archive (the run went on past them).
    std::int32_t refusedProjects = 0;
    // Projects new to this machine, not accepted: nothing of them was written.
    std::int32_t waitingProjects = 0;
};

// Synchronizes every project in list order with its catalogue record, saving each
// project's record after it (not in a preview); stops at the first project that stops.
// A project whose archive moved has its key and record refiled under the new path; a
// record filed under the same archive on a medium mounted elsewhere is found and
// refiled. A run first finishes the in-place changes of archives that were cut off.
// Only one run at a time per user and per medium: a run first takes both locks
// (else it shows runInProgressMessage and ends Busy). A medium folder that goes away
// during the run stops it with mediumGoneMessage. `mediumFolder` is mediumFolderOf's
// result ("" for none: nothing is made then). The report is the caller's to show
// (syncReportText) when the run Completed. `projects` must not change while the run goes
// on (the prompt's calls come from inside it).
RunResult runSynchronization(const RunContext& context, std::string_view mediumFolder,
                             std::vector<ListedProject>& projects, Catalogue& catalogue,
                             UserPrompt& prompt, const SyncOptions& options);

}  // namespace ferry
