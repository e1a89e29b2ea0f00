#pragma once

// Synchronizing one project: its files on disk and its archive on the medium are brought
// into agreement, the newer copy winning; replaced disk files are kept as name + ".old".

#include <cstdint>
#include <string>

#include "archive/run_context.h"
#include "platform/date_time.h"
#include "sync/user_prompt.h"

namespace ferry {

// The five counts a run reports. A synchronization only adds to them.
struct SyncCounters {
    std::uint32_t replacedOnMedia = 0;
    std::uint32_t replacedInProjects = 0;
    std::uint32_t addedToProjects = 0;
    std::uint32_t addedNewFiles = 0;
    std::uint32_t removedFromMedia = 0;
    // Files left where they were because the medium or the work directory can not hold
    // their names; each was named in a message.
    std::uint32_t uncarriedFiles = 0;
};

struct ProjectInputs {
    std::string mediumRoot;   // the medium folder ending in "/"; "" for none
    std::string projectPath;  // as listed, ending in its separator ("/" or "\")
    std::string mask;         // the mask list, exactly as listed
    bool includeSubfolders = false;
    std::string existingArchivePath;  // the project key: the archive's full path
    std::string localDir;             // work directory, else projectPath; ending in "/"
};

// How one project ended.
enum class ProjectEnd {
    Synchronized,  // the disk and the medium agree; lastSync equals the archive's time
    Stopped,       // cancelled, stopped by request, or a failure with its message shown:
                   // the run ends here
    Refused        // the archive on the medium is damaged or unsafe; message shown,
                   // nothing changed; the run goes on with the next project
};

struct ProjectResult {
    ProjectEnd end = ProjectEnd::Stopped;
    // The path of the archive that now carries the project (it changes when the mask
    // list or the subfolder flag did); "" when the project has none.
    std::string archivePath;
};

enum class NewProjects {
    Ask,    // the user is asked whether to create each at its path
    Skip,   // each is skipped with a message (nobody to ask)
    Accept  // the user named them (adding a project that the medium carries already)
};

struct SyncOptions {
    // Withhold every effect (disk, medium, settings) and report decisions instead.
    bool preview = false;
    // In a preview the conflict question is not shown; this answers it.
    ConflictAnswer previewAnswer = ConflictAnswer::No;
    // For tests and measurements: compress the whole new payload as its records come,
    // also in a run that then writes nothing, and copy none of the old payload's blocks.
    // The archive's bytes are the same either way.
    bool wholeRecompression = false;
    // A project on the medium that this machine has no record of (never synchronized,
    // added or given a work directory here) is written nowhere until accepted.
    NewProjects newProjects = NewProjects::Ask;
};

// Runs the synchronization of one project, every system call going to the context's
// platform. `lastSync` is this machine's time of last synchronization of the project,
// updated on success. Messages, questions, progress and decisions go through `prompt`.
ProjectResult synchronizeProject(const RunContext& context, const ProjectInputs& inputs,
                                 DateTime& lastSync, SyncCounters& counters, UserPrompt& prompt,
                                 const SyncOptions& options);

}  // namespace ferry
