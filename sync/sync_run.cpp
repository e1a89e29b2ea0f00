#include "sync/sync_run.h"

#include <optional>

#include "archive/in_place_change.h"
#include "archive/media_archive.h"
#include "archive/safety_copy.h"
#include "platform/files.h"
#include "platform/withholding_platform.h"
#include "settings/settings_store.h"
#include "support/paths.h"
#include "sync/run_lock.h"
#include "sync/sync_messages.h"

namespace ferry {

namespace {

// The project path as the names of its records start: ending in its own separator, so
// that a path written on Windows keeps its "\".
std::string projectPathOf(std::string_view path) {
    if (path.ends_with('/') || path.ends_with('\\')) return std::string(path);
    return std::string(path) + PathSeparator;
}

// The medium was unplugged or unmounted: its folder, or the "Ferry/" folder that was
// there when the run started, is gone. Going on would write "Ferry/" elsewhere.
bool mediumGone(Platform& system, std::string_view mediumFolder, const std::string& ferryFolder,
                bool ferryMade) {
    if (mediumFolder.empty()) return false;
    return !folderExists(system, mediumFolder) || (ferryMade && !folderExists(system, ferryFolder));
}

class ProjectRun {
  public:
    ProjectRun(const RunContext& context, std::string_view mediumFolder, Catalogue& catalogue,
               UserPrompt& prompt, const SyncOptions& options, SyncCounters& counters,
               const SettingsSession* session)
        : context_(context),
          mediumFolder_(mediumFolder),
          catalogue_(catalogue),
          prompt_(prompt),
          options_(options),
          counters_(counters),
          session_(session) {}

    // Synchronizes the project with its record. A real run keeps in the record what the
    // synchronization left there, and saves it when the project was synchronized; a
    // preview works on a copy and changes nothing in the catalogue.
    // A project the medium carries that this machine has no record of, and that the user
    // does not accept now: an archive could name any folder (~/.ssh/) as its path.
    bool waitsForAcceptance(const ListedProject& project) {
        if (options_.newProjects == NewProjects::Accept ||
            catalogueEntryOf(context_.platform, catalogue_, mediumFolder_, project.key) >= 0 ||
            !fileExists(context_.platform, project.key))
            return false;
        const std::string path = projectPathOf(project.path);
        if (options_.newProjects == NewProjects::Ask && !options_.preview) {
            const std::int32_t answer =
                prompt_.askChoice(newProjectQuestion(path), std::string(NewProjectAnswers));
            if (answer == 1 || (answer == 2 && acceptedInChosenFolder(project, path))) return false;
        }
        prompt_.showMessage(newProjectWaitingMessage(path));
        return true;
    }

    // The user picks the project's work directory, which is filed as Set work dir files
    // it; false when no folder was picked.
    bool acceptedInChosenFolder(const ListedProject& project, const std::string& path) {
        const std::string folder = prompt_.chooseWorkDir(path);
        if (folder.empty()) return false;
        ProjectRecord& record = catalogue_.add(project.key);
        record.workDir = folder;
        saveProjects(catalogue_, &record, session_);
        return true;
    }

    ProjectEnd run(ListedProject& project) {
        std::int32_t entry =
            catalogueEntryOf(context_.platform, catalogue_, mediumFolder_, project.key);
        ProjectRecord previewRecord;
        ProjectRecord* record = &previewRecord;
        if (options_.preview) {
            if (entry >= 0) previewRecord = *catalogue_.record(entry);
        } else {
            if (entry < 0) {
                catalogue_.add(project.key);
                entry = catalogue_.count() - 1;
            }
            // A record of the medium mounted elsewhere is filed under today's key.
            entry = catalogue_.refile(entry, project.key);
            record = catalogue_.record(entry);
        }
        const ProjectInputs inputs = inputsOf(project, *record);
        const ProjectResult result =
            synchronizeProject(context_, inputs, record->lastSync, counters_, prompt_, options_);
        if (options_.preview) return result.end;
        // A new mask list or subfolder flag gave the archive a new name: the record
        // follows the archive that now carries the project, so the next scan still finds
        // the project's work directory and time.
        if (!result.archivePath.empty() && result.archivePath != project.key) {
            entry = catalogue_.refile(entry, result.archivePath);
            project.key = result.archivePath;
        }
        if (result.end == ProjectEnd::Synchronized) {
            saveProjects(catalogue_, catalogue_.record(entry), session_);
        }
        return result.end;
    }

  private:
    ProjectInputs inputsOf(const ListedProject& project, const ProjectRecord& record) const {
        ProjectInputs inputs;
        inputs.mediumRoot = mediumFolder_;
        inputs.projectPath = projectPathOf(project.path);
        inputs.mask = project.mask;
        inputs.includeSubfolders = project.includeSubfolders;
        inputs.existingArchivePath = project.key;
        inputs.localDir =
            record.workDir.empty() ? inputs.projectPath : withTrailingSeparator(record.workDir);
        return inputs;
    }

    const RunContext& context_;
    std::string mediumFolder_;
    Catalogue& catalogue_;
    UserPrompt& prompt_;
    const SyncOptions& options_;
    SyncCounters& counters_;
    const SettingsSession* session_;
};

}  // namespace

void putBackCutArchives(const RunContext& context, std::string_view mediumFolder,
                        UserPrompt& prompt) {
    for (const PutBack& result : putBackSafetyCopies(context, mediumFolder)) {
        prompt.showMessage(result.outcome.done()
                               ? archivePutBackMessage(result.archivePath)
                               : archiveNotPutBackMessage(result.archivePath,
                                                          systemErrorText(result.outcome.error)));
    }
}

std::int32_t catalogueEntryOf(Platform& system, const Catalogue& catalogue,
                              std::string_view mediumFolder, std::string_view key) {
    const std::int32_t entry = catalogue.indexOf(key);
    if (entry >= 0 || mediumFolder.empty()) return entry;
    const PathInfo archive = system.pathInfo(std::string(key));
    if (!archive.exists) return entry;
    // The same medium reached by another path (a link, a second mount): the same file.
    const std::string tail = PathSeparator + std::string(MediaFolderName) + fileNameOf(key);
    for (std::int32_t i = 0; i < catalogue.count(); ++i) {
        if (!catalogue.key(i).ends_with(tail)) continue;
        const PathInfo recorded = system.pathInfo(catalogue.key(i));
        if (recorded.exists && recorded.identity == archive.identity) return i;
    }
    const std::int32_t moved = catalogue.indexOfOnlyKeyEndingIn(tail);
    return moved >= 0 && !fileExists(system, catalogue.key(moved)) ? moved : -1;
}

RunResult runSynchronization(const RunContext& context, std::string_view mediumFolder,
                             std::vector<ListedProject>& projects, Catalogue& catalogue,
                             UserPrompt& prompt, const SyncOptions& options) {
    RunResult result;
    const RunLock lock = acquireRunLock(context, mediumFolder,
                                        options.preview ? RunLockUse::Preview : RunLockUse::Run);
    if (!lock.held()) {
        prompt.showMessage(runInProgressMessage());
        result.end = RunEnd::Busy;
        return result;
    }
    // A preview runs the same code over a layer that keeps every change in memory, so
    // that later steps and later projects see the earlier ones as the real run would.
    std::optional<WithholdingPlatform> withholding;
    if (options.preview) withholding.emplace(context.platform);
    const RunContext run{withholding ? *withholding : context.platform, context.stateFolder};
    Platform& system = run.platform;
    const std::string ferryFolder = mediumFolder.empty()
                                        ? std::string()
                                        : std::string(mediumFolder) + std::string(MediaFolderName);
    bool ferryMade = false;
    if (!mediumGone(system, mediumFolder, ferryFolder, false)) {
        (void)forceFolders(system, ferryFolder);
        ferryMade = folderExists(system, ferryFolder);
        finishCutChanges(system, mediumFolder);
        putBackCutArchives(run, mediumFolder, prompt);
    }
    const std::optional<SettingsSession> session =
        options.preview ? std::nullopt : std::make_optional<SettingsSession>();
    ProjectRun projectRun(run, mediumFolder, catalogue, prompt, options, result.counters,
                          session ? &*session : nullptr);
    const std::size_t count = projects.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (mediumGone(system, mediumFolder, ferryFolder, ferryMade)) {
            prompt.showMessage(mediumGoneMessage(mediumFolder));
            result.end = RunEnd::Stopped;
            return result;
        }
        // The front end may have loaded its catalogue long ago, and the command line may
        // have set a work directory or synchronized since. A preview, without a session,
        // leaves even the settings folder as it was.
        if (session) refreshRecord(catalogue, projects[i].key, *session);
        if (projectRun.waitsForAcceptance(projects[i])) {
            ++result.waitingProjects;
            continue;
        }
        const ProjectEnd end = projectRun.run(projects[i]);
        if (end == ProjectEnd::Stopped) {
            result.end = RunEnd::Stopped;
            return result;
        }
        if (end == ProjectEnd::Refused) ++result.refusedProjects;
    }
    return result;
}

}  // namespace ferry
