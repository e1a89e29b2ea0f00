#include "cli/sync_commands.h"

#include "cli/command_support.h"
#include "cli/output_texts.h"
#include "platform/files.h"
#include "platform/local_paths.h"
#include "platform/terminal.h"
#include "settings/mask_history.h"
#include "settings/registry.h"
#include "settings/settings_store.h"
#include "sync/new_project.h"
#include "sync/sync_messages.h"

namespace ferry::cli {

namespace {

// Runs the engine over `projects` and prints its report; the exit status.
int runAndReport(std::string_view medium, std::vector<ListedProject>& projects,
                 TerminalPrompt& prompt, bool preview, NewProjects newProjects) {
    LoadedSettings settings = loadSettings();
    SyncOptions options;
    options.preview = preview;
    options.newProjects = newProjects;
    options.previewAnswer = prompt.previewAnswer();
    const RunContext context{systemPlatform(), settingsFolder()};
    const RunResult result =
        runSynchronization(context, medium, projects, settings.catalogue, prompt, options);
    prompt.endProgress();
    if (result.end != RunEnd::Completed) {
        if (interruptRequested()) printError("stopped");
        return ExitStopped;
    }
    printOutput(withUnixLineEnds(syncReportText(medium, result.counters)) + "\n");
    const bool allCarried =
        result.refusedProjects + result.waitingProjects == 0 && result.counters.uncarriedFiles == 0;
    return allCarried ? ExitDone : ExitStopped;
}

}  // namespace

int synchronizeMedium(const Arguments& arguments, TerminalPrompt& prompt) {
    const std::string medium = mediumFolderFor(arguments.medium);
    if (medium.empty()) return ExitUsage;
    auto scan = projectsOnMedium(medium, prompt);
    if (!scan) return ExitClockRefused;
    // Nobody is asked here: a project new to this machine waits for "accept".
    const int status =
        runAndReport(medium, scan->projects, prompt, arguments.dryRun, NewProjects::Skip);
    if (arguments.dryRun) printError("dry run: nothing was changed");
    return statusAfter(*scan, status);
}

int addProject(const Arguments& arguments, TerminalPrompt& prompt) {
    const std::string medium = mediumFolderFor(arguments.medium);
    if (medium.empty()) return ExitUsage;
    const std::string folder = absolutePathOf(arguments.project);
    if (!folderExists(systemPlatform(), folder)) {
        printError("no folder " + arguments.project);
        return ExitUsage;
    }
    const ListedProject project{asLocalFolder(folder), arguments.mask, arguments.includeSubfolders,
                                ""};
    if (const std::string problem =
            newProjectProblem(project.path, project.mask, project.includeSubfolders);
        !problem.empty()) {
        prompt.showMessage(problem);
        return ExitStopped;
    }
    saveMaskHistory(rememberMask(loadMaskHistory(), project.mask));
    auto scan = projectsOnMedium(medium, prompt);
    if (!scan) return ExitClockRefused;
    std::vector<ListedProject>* projects = &scan->projects;
    const std::size_t listedBefore = projects->size();
    // A project whose archive is on the medium already is that project, as listed.
    std::vector<ListedProject> added{(*projects)[addListedProject(*projects, medium, project)]};
    if (projects->size() == listedBefore) {
        printError(projectOnMediumMessage(added.front().key));
    }
    // Naming the project accepts it where the medium carries it already.
    const int status = runAndReport(medium, added, prompt, false, NewProjects::Accept);
    if (status == ExitDone && !fileExists(systemPlatform(), added.front().key)) {
        printError("no file of " + project.path + " is in the project: nothing was carried");
    }
    return status;
}

}  // namespace ferry::cli
