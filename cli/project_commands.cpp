#include "cli/project_commands.h"

#include "cli/command_support.h"
#include "cli/output_texts.h"
#include "settings/settings_store.h"
#include "support/files.h"
#include "support/paths.h"

namespace ferry::cli {

namespace {

const ProjectRecord* recordOf(const Catalogue& catalogue, std::string_view key) {
    for (std::int32_t i = 0; i < catalogue.count(); ++i) {
        if (catalogue.key(i) == key) return catalogue.record(i);
    }
    return nullptr;
}

// The listed projects PROJECT names: the one with that key, else those with that path.
std::vector<const ListedProject*> projectsNamed(const std::vector<ListedProject>& projects,
                                                std::string_view named) {
    const std::string key = absolutePathOf(named);
    std::vector<const ListedProject*> found;
    for (const ListedProject& project : projects) {
        if (project.key == named || project.key == key) return {&project};
    }
    const std::string path = withTrailingSeparator(named);
    for (const ListedProject& project : projects) {
        if (project.path == named || project.path == path) found.push_back(&project);
    }
    return found;
}

}  // namespace

int listProjects(const Arguments& arguments, UserPrompt& prompt) {
    const std::string medium = mediumFolderFor(arguments.medium);
    if (medium.empty()) return ExitUsage;
    const auto projects = projectsOnMedium(medium, prompt);
    if (!projects) return ExitClockRefused;
    const LoadedSettings settings = loadSettings();
    std::string lines;
    for (const ListedProject& project : *projects) {
        lines += listLine(project, recordOf(settings.catalogue, project.key)) + "\n";
    }
    printOutput(lines);
    return ExitDone;
}

int setWorkDir(const Arguments& arguments, UserPrompt& prompt) {
    const std::string medium = mediumFolderFor(arguments.medium);
    if (medium.empty()) return ExitUsage;
    const std::string workDir = absolutePathOf(arguments.workDir);
    if (!folderExists(workDir)) {
        printError("no folder " + arguments.workDir);
        return ExitUsage;
    }
    const auto projects = projectsOnMedium(medium, prompt);
    if (!projects) return ExitClockRefused;
    const std::vector<const ListedProject*> named = projectsNamed(*projects, arguments.project);
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
    LoadedSettings settings = loadSettings();
    settings.catalogue.findOrCreateRecord(named.front()->key).workDir = workDir;
    saveProjects(settings.catalogue, nullptr);
    return ExitDone;
}

}  // namespace ferry::cli
