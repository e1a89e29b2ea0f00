#include "archive/safety_copy.h"

#include <optional>

#include "archive/archive_check.h"
#include "archive/archive_loading.h"
#include "archive/archive_replacement.h"
#include "archive/media_archive.h"
#include "archive/record_names.h"
#include "platform/files.h"
#include "support/paths.h"

namespace ferry {
namespace {

constexpr std::string_view SafetyFolderName = "safety/";
// A path becomes one file name: these characters are written as "%" and two hex digits.
constexpr std::string_view EscapedCharacters = "%/\\:";
constexpr std::string_view HexDigits = "0123456789ABCDEF";

std::string escapedPath(std::string_view path) {
    std::string name;
    for (const char c : path) {
        if (EscapedCharacters.find(c) == std::string_view::npos) {
            name += c;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        name += '%';
        name += HexDigits[byte >> 4];
        name += HexDigits[byte & 15];
    }
    return name;
}

std::string unescapedName(std::string_view name) {
    std::string path;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '%' && i + 2 < name.size()) {
            const std::size_t high = HexDigits.find(name[i + 1]);
            const std::size_t low = HexDigits.find(name[i + 2]);
            if (high != std::string_view::npos && low != std::string_view::npos) {
                path += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        path += name[i];
    }
    return path;
}

// The archive at `path` loaded whole, its every record readable and named in its project.
LoadedArchive wholeArchive(Platform& system, const std::string& path) {
    ProgressReceiver quiet;
    ProjectProgress unseen(quiet, {});
    LoadedArchive archive = loadArchive(system, path, unseen);
    if (!archive.outcome.done() || !archive.found) return archive;
    const std::optional<ArchiveHeader> header = parseHeaderText(archive.headerText);
    const bool whole =
        header &&
        checkArchivePayload(*archive.payload,
                            RecordNames(header->projectPath, "/", LetterCase::Exact), unseen)
            .outcome.done();
    if (!whole) archive.outcome = failure(Fault::Damaged, path);
    return archive;
}

// Nothing when the medium holds a whole archive: the copy is forgotten.
std::optional<PutBack> putBack(Platform& system, const std::string& copy,
                               const std::string& archivePath) {
    const LoadedArchive present = wholeArchive(system, archivePath);
    const LoadedArchive kept = wholeArchive(system, copy);
    // A header alone is the whole archive of an empty project, and also what a write cut
    // off right after the header leaves: only a copy of an empty project is no better.
    const bool presentIsWhole =
        present.outcome.done() && present.found &&
        (getSize(*present.payload) > 0 || !kept.found || getSize(*kept.payload) == 0);
    if (presentIsWhole) {
        (void)system.removeFile(copy);
        return std::nullopt;
    }
    if (!kept.outcome.done() || !kept.found)
        return PutBack{archivePath, kept.found ? kept.outcome : failure(Fault::Damaged, copy)};
    // The medium had room for one archive only: what is left of the cut one goes first.
    (void)system.removeFile(archivePath);
    const OldArchive old{archivePath,        kept.headerText, kept.stamp,
                         kept.payload.get(), kept.time,       copy};
    const Outcome written = writeArchiveAsItWas(system, archivePath, old);
    if (written.done()) (void)system.removeFile(copy);
    return PutBack{archivePath, written};
}

}  // namespace

std::string safetyCopyPath(std::string_view stateFolder, std::string_view archivePath) {
    if (stateFolder.empty()) return {};
    return withTrailingSeparator(stateFolder) + std::string(SafetyFolderName) +
           escapedPath(archivePath);
}

std::vector<PutBack> putBackSafetyCopies(const RunContext& context, std::string_view mediumFolder) {
    std::vector<PutBack> results;
    if (context.stateFolder.empty() || mediumFolder.empty()) return results;
    Platform& system = context.platform;
    const std::string folder =
        withTrailingSeparator(context.stateFolder) + std::string(SafetyFolderName);
    SystemResult<std::unique_ptr<FolderReader>> reader = system.openFolder(folder);
    if (!reader || !reader.value) return results;
    const std::string ferry = std::string(mediumFolder) + std::string(MediaFolderName);
    std::vector<std::string> names;
    for (FolderEntry entry; reader.value->next(entry);) {
        if (entry.kind == EntryKind::File) names.push_back(entry.name);
    }
    for (const std::string& name : names) {
        const std::string archivePath = unescapedName(name);
        if (!archivePath.starts_with(ferry) || !folderExists(system, ferry)) continue;
        if (std::optional<PutBack> result = putBack(system, folder + name, archivePath))
            results.push_back(std::move(*result));
    }
    return results;
}

}  // namespace ferry
