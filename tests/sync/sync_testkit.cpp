#include "tests/sync/sync_testkit.h"

#include <bit>
#include <filesystem>

#include "archive/media_archive.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/plain_ucl.h"

namespace ferry::testkit {

void ScriptedPrompt::showMessage(const std::string& text) {
    messages.push_back(text);
    if (afterMessage) afterMessage();
}

std::int32_t ScriptedPrompt::askChoice(const std::string& text, const std::string&) {
    questions.push_back(text);
    return answered_ < answers.size() ? answers[answered_++] : -1;
}

void ScriptedPrompt::clear() {
    answers.clear();
    answered_ = 0;
    stopAtReport = 0;
    messages.clear();
    questions.clear();
    reports.clear();
    decisions.clear();
}

std::string recordBytes(const ArchiveRecord& record) {
    return record.name + '\0' + littleEndian(record.ticks, 8) +
           littleEndian(record.content.size(), 4) + record.content;
}

std::string archiveBytesOf(std::string_view headerText, std::string_view sequence, double stamp) {
    return std::string(headerText) + '\0' + littleEndian(std::bit_cast<std::uint64_t>(stamp), 8) +
           plainPayload(sequence, ArchiveBlockSize);
}

std::string archiveBytes(std::string_view headerText, const std::vector<ArchiveRecord>& records,
                         double stamp) {
    std::string sequence;
    for (const ArchiveRecord& record : records) sequence += recordBytes(record);
    sequence += '\0';
    return archiveBytesOf(headerText, sequence, stamp);
}

namespace {

std::uint64_t field(std::string_view bytes, std::size_t at, int width) {
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

}  // namespace

std::optional<ArchiveContent> readArchiveFile(const std::string& path) {
    const std::string bytes = readDiskFile(path);
    const std::size_t headerEnd = bytes.find('\0');
    if (headerEnd == std::string::npos || bytes.size() < headerEnd + 9) return std::nullopt;
    ArchiveContent archive;
    archive.headerText = bytes.substr(0, headerEnd);
    const auto sequence =
        plainDecodePayload(std::string_view(bytes).substr(headerEnd + 9), ArchiveBlockSize);
    if (!sequence) return std::nullopt;
    std::size_t at = 0;
    for (;;) {
        const std::size_t nameEnd = sequence->find('\0', at);
        if (nameEnd == std::string::npos) return std::nullopt;
        if (nameEnd == at) return archive;
        ArchiveRecord record;
        record.name = sequence->substr(at, nameEnd - at);
        at = nameEnd + 1;
        if (sequence->size() < at + 12) return std::nullopt;
        record.ticks = field(*sequence, at, 8);
        const std::size_t size = field(*sequence, at + 8, 4);
        at += 12;
        if (sequence->size() < at + size) return std::nullopt;
        record.content = sequence->substr(at, size);
        at += size;
        archive.records.push_back(std::move(record));
    }
}

void forgetSynchronizedArchives(const Machine& machine) {
    std::error_code ignored;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(machine.settings.path(), ignored)) {
        if (entry.path().extension() == ".synchronized") std::filesystem::remove(entry, ignored);
    }
}

std::string archivePathOf(const std::string& mediumRoot, const ProjectSpec& project) {
    return mediaArchivePath(mediumRoot,
                            mediaFileName(project.path, project.mask, project.includeSubfolders));
}

ProjectResult synchronizeOn(Machine& machine, const std::string& mediumRoot,
                            const ProjectSpec& project, const std::string& localDir,
                            const SyncOptions& options) {
    std::filesystem::create_directories(mediumRoot + std::string(MediaFolderName));
    ProjectInputs inputs;
    inputs.mediumRoot = mediumRoot;
    inputs.projectPath = project.path;
    inputs.mask = project.mask;
    inputs.includeSubfolders = project.includeSubfolders;
    inputs.existingArchivePath = archivePathOf(mediumRoot, project);
    inputs.localDir = localDir;
    return synchronizeProject(machine.context(), inputs, machine.lastSync, machine.counters,
                              machine.prompt, options);
}

std::string linesOfText(std::size_t size, char tag) {
    std::string bytes;
    for (int line = 0; bytes.size() < size; ++line)
        bytes += "line " + std::to_string(line * 7 % 1000) + " of " + tag + ": some words\n";
    bytes.resize(size);
    return bytes;
}

DateTime localDateTime(FileTime time) {
    DateTime value = 0;
    fileTimeToDateTime(systemPlatform(), time, value);
    return value;
}

}  // namespace ferry::testkit
