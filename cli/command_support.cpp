#include "cli/command_support.h"

#include <cstdio>
#include <filesystem>

#include "platform/local_paths.h"
#include "settings/registry.h"

namespace ferry::cli {

void printError(std::string_view text) {
    const std::string line = "ferryman-cli: " + std::string(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void printOutput(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

std::string absolutePathOf(std::string_view path) {
    if (path.empty() || isAbsoluteLocalPath(path)) return std::string(path);
    std::error_code failure;
    const std::filesystem::path current = std::filesystem::current_path(failure);
    if (failure) return std::string(path);
    return (current / std::filesystem::path(path)).lexically_normal().string();
}

std::string mediumFolderFor(std::string_view medium) {
    std::string folder = mediumFolderOf(systemPlatform(), absolutePathOf(medium));
    if (folder.empty()) printError("no medium folder " + std::string(medium));
    return folder;
}

std::optional<MediumScan> projectsOnMedium(std::string_view mediumFolder, UserPrompt& prompt) {
    // An archive whose writing was cut off is put back before the medium is read.
    putBackCutArchives({systemPlatform(), settingsFolder()}, mediumFolder, prompt);
    MediumScan scan = scanMedium(systemPlatform(), mediumFolder, prompt);
    if (scan.clockRefused) return std::nullopt;
    return scan;
}

int statusAfter(const MediumScan& scan, int status) {
    return status == ExitDone && scan.unreadable > 0 ? ExitStopped : status;
}

}  // namespace ferry::cli
