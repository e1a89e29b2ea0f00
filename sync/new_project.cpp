#include "sync/new_project.h"

#include <algorithm>

#include "archive/media_archive.h"
#include "platform/files.h"
#include "sync/sync_messages.h"

namespace ferry {
namespace {

constexpr std::size_t LongestMediumFileName = 255;

bool unfitForMediumName(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 32 || std::string_view(R"(*?<>|")").find(c) != std::string_view::npos;
}

}  // namespace

std::string newProjectProblem(std::string_view projectPath, std::string_view mask,
                              bool includeSubfolders) {
    if (projectPath.find(',') != std::string_view::npos)
        return projectPathCommaMessage(projectPath);
    if (std::string problem = maskListProblem(projectPath, mask, includeSubfolders);
        !problem.empty())
        return problem;
    const std::string fileName =
        mediaFileName(projectPath, mask, includeSubfolders) + std::string(ArchiveExtension);
    if (std::any_of(fileName.begin(), fileName.end(), unfitForMediumName) ||
        fileName.size() > LongestMediumFileName)
        return projectPathUnfitMessage(projectPath);
    return {};
}

std::string maskListProblem(std::string_view projectPath, std::string_view mask,
                            bool includeSubfolders) {
    const std::string header =
        buildHeaderText({includeSubfolders, std::string(projectPath), std::string(mask)});
    return header.size() > LongestArchiveText ? maskListTooLongMessage(mask) : std::string();
}

std::string archiveTakenByAnother(Platform& system, const std::vector<ListedProject>& projects,
                                  std::string_view mediumFolder, const ListedProject& project,
                                  std::string_view mask, bool includeSubfolders) {
    const auto archiveOf = [&](std::string_view path, std::string_view listMask, bool subfolders) {
        return mediaArchivePath(mediumFolder, mediaFileName(path, listMask, subfolders));
    };
    const std::string key = archiveOf(project.path, mask, includeSubfolders);
    // Its own archive, under any of its names, is its own.
    if (key == project.key ||
        key == archiveOf(project.path, project.mask, project.includeSubfolders))
        return {};
    for (const ListedProject& other : projects) {
        if (&other == &project) continue;
        if (other.key == key || archiveOf(other.path, other.mask, other.includeSubfolders) == key)
            return key;
    }
    return fileExists(system, key) ? key : std::string();
}

std::size_t addListedProject(std::vector<ListedProject>& projects, std::string_view mediumFolder,
                             const ListedProject& project) {
    const std::string key = mediaArchivePath(
        mediumFolder, mediaFileName(project.path, project.mask, project.includeSubfolders));
    const auto listed = std::find_if(projects.begin(), projects.end(),
                                     [&](const ListedProject& p) { return p.key == key; });
    if (listed != projects.end()) return static_cast<std::size_t>(listed - projects.begin());
    projects.push_back(project);
    projects.back().key = key;
    return projects.size() - 1;
}

}  // namespace ferry
