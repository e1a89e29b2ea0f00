#pragma once

// What the synchronization tests share: a prompt with scripted answers that records what
// the user would see, archives built and read byte by byte without the code under test,
// and machines that share one medium folder.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "sync/synchronize_project.h"
#include "sync/user_prompt.h"
#include "tests/testkit/temp_dir.h"

namespace ferry::testkit {

class ScriptedPrompt final : public UserPrompt {
  public:
    // Answers to askChoice, in order; a question past the script is answered -1 (Esc).
    std::vector<std::int32_t> answers;
    // stopRequested() turns true at this report (counted from 1); 0 never.
    std::size_t stopAtReport = 0;

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::vector<SyncProgress> reports;
    std::vector<FileDecisionNote> decisions;
    // Runs after each message is recorded, while the engine waits for the user: what
    // happens meanwhile (a medium pulled) happens between two steps of a run.
    std::function<void()> afterMessage;

    void showMessage(const std::string& text) override;
    std::int32_t askChoice(const std::string& text, const std::string& buttons) override;
    void showProgress(const SyncProgress& progress) override { reports.push_back(progress); }
    bool stopRequested() override { return stopAtReport != 0 && reports.size() >= stopAtReport; }
    void noteDecision(const FileDecisionNote& note) override { decisions.push_back(note); }

    void clear();

  private:
    std::size_t answered_ = 0;
};

struct ArchiveRecord {
    std::string name;
    std::uint64_t ticks = 0;
    std::string content;
    friend bool operator==(const ArchiveRecord&, const ArchiveRecord&) = default;
};

// An archive file exactly as the layout gives it: header text, 0x00, the stamp, and the
// records with their terminator compressed in blocks of 524288 with plain libucl calls.
std::string archiveBytes(std::string_view headerText, const std::vector<ArchiveRecord>& records,
                         double stamp = 739000.5);
// The same with the record sequence given as raw bytes (no terminator added).
std::string archiveBytesOf(std::string_view headerText, std::string_view sequence,
                           double stamp = 739000.5);
std::string recordBytes(const ArchiveRecord& record);

struct ArchiveContent {
    std::string headerText;
    std::vector<ArchiveRecord> records;
};
// Reads an archive file with plain libucl calls; nothing when it is not whole (no
// terminator, damage, a cut record).
std::optional<ArchiveContent> readArchiveFile(const std::string& path);

// One machine: its own folder, its own settings folder and its own memory of the project.
struct Machine {
    TempDir folder;
    TempDir settings;  // its config home: the state folder is settings/ferryman/
    DateTime lastSync = 0;
    SyncCounters counters;
    ScriptedPrompt prompt;
    Platform* platform = &systemPlatform();  // a test may put a failing one here

    RunContext context() const { return {*platform, settings / "ferryman/"}; }
};

struct ProjectSpec {
    std::string path;  // ending in its separator
    std::string mask;
    bool includeSubfolders = false;
};

// Forgets which archives the machine last synchronized with, so that whether the medium
// was written since is told by the clocks, as for a medium only other programs wrote.
void forgetSynchronizedArchives(const Machine& machine);

// The archive path of a project on a medium.
std::string archivePathOf(const std::string& mediumRoot, const ProjectSpec& project);

// Synchronizes the project on `machine` from `localDir`, with the archive found under
// the project's own name on the medium and the machine's own settings folder.
ProjectResult synchronizeOn(Machine& machine, const std::string& mediumRoot,
                            const ProjectSpec& project, const std::string& localDir,
                            const SyncOptions& options = {});

// `size` bytes of numbered lines marked with `tag`: text that compresses as source does.
std::string linesOfText(std::size_t size, char tag);

// A DateTime from a file time, for lastSync values.
DateTime localDateTime(FileTime time);

}  // namespace ferry::testkit
