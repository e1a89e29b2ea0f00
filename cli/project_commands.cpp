#include "cli/project_commands.h"

#include "cli/command_support.h"
#include "cli/output_texts.h"
#include "platform/files.h"
#include "platform/local_paths.h"
#include "settings/settings_store.h"

namespace ferry::cli {

namespace {

std::vector<const ListedProject*> projectsNamedExactly(const std::vector<ListedProject>& projects,
                                                       std::string_view named) {
    const std::string key = absolutePathOf(named);
    std::vector<const ListedProject*> found;
    for (const ListedProject& project : projects) {
        if (project.key == named || project.key == key) return {&project};
    }
    const std::string path = asLocalFolder(named);
    for (const ListedProject& project : projects) {
        if (project.path == named || project.path == path) found.push_back(&project);
    }
    return found;
}

// The listed projects PROJECT names: the one with that key, else those with that path;
// each as stored, or escaped as `list` prints it.
std::vector<const ListedProject*> projectsNamed(const std::vector<ListedProject>& projects,
                                                std::string_view named) {
    std::vector<const ListedProject*> found = projectsNamedExactly(projects, named);
    const std::string unescaped = unescapedField(named);
    if (found.empty() && unescaped != named) found = projectsNamedExactly(projects, unescaped);
    return found;
}

// Gives the named project a record on this machine, with `workDir` ("" to keep it at its
// own path, or to keep the one it has): the run then synchronizes it.
int fileRecord(const Arguments& arguments, UserPrompt& prompt, const std::string& workDir) {
    const std::string medium = mediumFolderFor(arguments.medium);
    if (medium.empty()) return ExitUsage;
    const auto scan = projectsOnMedium(medium, prompt);
    if (!scan) return ExitClockRefused;
    const std::vector<const ListedProject*> named =
        projectsNamed(scan->projects, arguments.project);
    if (named.empty()) {
        printError("no project " + arguments.project + " on the medium");
        return ExitUsage;
    }
    if (named.size() > 1) {
        std::string keys;
        for (const ListedProject* project : named)
            keys += (keys.empty() ? "" : ", ") + project->key;
        printError(arguments.project + " names more than one project: " + keys);
        return ExitUsage;
    }
    // The record the run would take, filed under the key the project has today.
    LoadedSettings settings = loadSettings();
    Catalogue& catalogue = settings.catalogue;
    const std::string& key = named.front()->key;
    std::int32_t entry = catalogueEntryOf(systemPlatform(), catalogue, medium, key);
    if (entry < 0) {
        catalogue.add(key);
        entry = catalogue.count() - 1;
    }
    entry = catalogue.refile(entry, key);
    if (!workDir.empty()) catalogue.record(entry)->workDir = workDir;
    saveProjects(catalogue, nullptr);
    return ExitDone;
}

}  // namespace

int listProjects(const Arguments& arguments, UserPrompt& prompt) {
    const std::string medium = mediumFolderFor(arguments.medium);
    if (medium.empty()) return ExitUsage;
    const auto scan = projectsOnMedium(medium, prompt);
    if (!scan) return ExitClockRefused;
    const LoadedSettings settings = loadSettings();
    std::string lines;
    for (const ListedProject& project : scan->projects) {
        const std::int32_t entry =
            catalogueEntryOf(systemPlatform(), settings.catalogue, medium, project.key);
        lines += listLine(project, settings.catalogue.record(entry)) + "\n";
    }
    printOutput(lines);
    return statusAfter(*scan, ExitDone);
}

int setWorkDir(const Arguments& arguments, UserPrompt& prompt) {
    const std::string workDir = absolutePathOf(arguments.workDir);
    if (!folderExists(systemPlatform(), workDir)) {
        printError("no folder " + arguments.workDir);
        return ExitUsage;
    }
    return fileRecord(arguments, prompt, workDir);
}

int acceptProject(const Arguments& arguments, UserPrompt& prompt) {
    return fileRecord(arguments, prompt, {});
}

}  // namespace ferry::cli
