#include "cli/sync_commands.h"

#include "cli/command_support.h"
#include "cli/output_texts.h"
#include "platform/files.h"
#include "platform/terminal.h"
#include "settings/mask_history.h"
#include "settings/registry.h"
#include "settings/settings_store.h"
#include "support/paths.h"
#include "sync/new_project.h"
#include "sync/sync_messages.h"

namespace ferry::cli {

namespace {

// Runs the engine over `projects` and prints its report; the exit status.
int runAndReport(std::string_view medium, std::vector<ListedProject>& projects,
                 TerminalPrompt& prompt, bool preview) {
    LoadedSettings settings = loadSettings();
    SyncOptions options;
    options.preview = preview;
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
    return result.refusedProjects > 0 || result.counters.uncarriedFiles > 0 ? ExitStopped
                                                                            : ExitDone;
}

}  // namespace

int synchronizeMedium(const Arguments& arguments, TerminalPrompt& prompt) {
    const std::string medium = mediumFolderFor(arguments.medium);
    if (medium.empty()) return ExitUsage;
    auto scan = projectsOnMedium(medium, prompt);
    if (!scan) return ExitClockRefused;
    const int status = runAndReport(medium, scan->projects, prompt, arguments.dryRun);
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
    const ListedProject project{withTrailingSeparator(folder), arguments.mask,
                                arguments.includeSubfolders, ""};
    saveMaskHistory(rememberMask(loadMaskHistory(), project.mask));
    if (const std::string problem =
            newProjectProblem(project.path, project.mask, project.includeSubfolders);
        !problem.empty()) {
        prompt.showMessage(problem);
        return ExitStopped;
    }
    auto scan = projectsOnMedium(medium, prompt);
    if (!scan) return ExitClockRefused;
    std::vector<ListedProject>* projects = &scan->projects;
    const std::size_t listedBefore = projects->size();
    // A project whose archive is on the medium already is that project, as listed.
    std::vector<ListedProject> added{(*projects)[addListedProject(*projects, medium, project)]};
    if (projects->size() == listedBefore) {
        printError(projectOnMediumMessage(added.front().key));
    }
    const int status = runAndReport(medium, added, prompt, false);
    if (status == ExitDone && !fileExists(systemPlatform(), added.front().key)) {
        printError("no file of " + project.path + " is in the project: nothing was carried");
    }
    return status;
}

}  // namespace ferry::cli
