#include "sync/new_project.h"

#include <algorithm>

#include "archive/media_archive.h"
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
    const std::string fileName =
        mediaFileName(projectPath, mask, includeSubfolders) + std::string(ArchiveExtension);
    if (std::any_of(fileName.begin(), fileName.end(), unfitForMediumName) ||
        fileName.size() > LongestMediumFileName)
        return projectPathUnfitMessage(projectPath);
    return {};
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
