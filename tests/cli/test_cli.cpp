// ferryman-cli as users run it: two machines, each with its own settings store and home,
// carrying projects through one medium folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <random>
#include <sstream>
#include <utility>

#include "archive/media_archive.h"
#include "platform/platform.h"
#include "settings/registry.h"
#include "settings/settings_key.h"
#include "support/little_endian.h"
#include "sync/run_lock.h"
#include "sync/sync_messages.h"
#include "tests/cli/cli_runner.h"
#include "tests/testkit/config_home.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/store_sql.h"

namespace ferry {
namespace {

using testkit::CliRun;
using testkit::Machine;
using testkit::readDiskFile;
using testkit::runCli;
using testkit::writeDiskFile;

constexpr std::int64_t RegDword = 4;

// The report as the command line prints it.
std::string report(const std::string& medium, std::uint32_t replacedOnMedia,
                   std::uint32_t replacedInProjects, std::uint32_t addedToProjects,
                   std::uint32_t addedNewFiles, std::uint32_t removedFromMedia) {
    return "Done (Media: " + medium + ")\n" + std::to_string(replacedOnMedia) +
           " - Replaced on Media\n" + std::to_string(replacedInProjects) +
           " - Replaced in projects\n" + std::to_string(addedToProjects) +
           " - Added to projects\n" + std::to_string(addedNewFiles) +
           " - Added new files to prjects\n" + std::to_string(removedFromMedia) +
           " - Removed from Media\n";
}

// A file written now with a last-write time `seconds` from now, so that which side is
// newer never hangs on how fast the test runs.
void edit(const std::string& path, const std::string& content, int seconds) {
    writeDiskFile(path, content);
    const FileTime now = systemPlatform().currentTime();
    testkit::setDiskFileTime(
        path, FileTime{now.ticks + static_cast<std::uint64_t>(seconds) * FileTicksPerSecond});
}

std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

testkit::StoreSql storeOf(const Machine& machine) {
    return testkit::StoreSql(machine.storePath(), std::string(SettingsKeyPath));
}

// Everything of a machine's settings store that holds a value: its database file, byte
// for byte and with its time, and every stored row. (SQLite's journal files beside it come
// and go with every reader.)
std::string storeState(const Machine& machine) {
    const std::string rows = storeOf(machine).scalar(
        "SELECT group_concat(path || '|' || name || '|' || type || '|' || hex(data), '\n') "
        "FROM (SELECT * FROM registry_values ORDER BY path, name)");
    return rows + "\nfile time " +
           std::to_string(testkit::diskFileTime(machine.storePath()).ticks) + " bytes " +
           readDiskFile(machine.storePath());
}

// The lines of one snapshot that the other lacks, each cut short: what changed.
std::string changedLines(const std::string& before, const std::string& after) {
    const auto lines = [](const std::string& text) {
        std::vector<std::string> all;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) all.push_back(line);
        std::sort(all.begin(), all.end());
        return all;
    };
    const std::vector<std::string> was = lines(before);
    const std::vector<std::string> is = lines(after);
    std::vector<std::string> changed;
    std::set_symmetric_difference(was.begin(), was.end(), is.begin(), is.end(),
                                  std::back_inserter(changed));
    std::string text;
    for (const std::string& line : changed) text += line.substr(0, 160) + "\n";
    return text;
}

// The machine's time of last synchronization of the project a day earlier: the medium
// then counts as written by another machine since, and a disk copy newer than its record
// raises the conflict question.
void backDateLastSync(const Machine& machine, const std::string& key) {
    auto sql = storeOf(machine);
    for (int n = 1;; ++n) {
        const auto project = sql.row("Project" + std::to_string(n));
        ASSERT_TRUE(project && project->data != testkit::sz("")) << key << " is not stored";
        if (project->data != testkit::sz(key)) continue;
        const std::string name = "LastSyncDate" + std::to_string(n);
        const std::string days = sql.row(name)->data;
        const auto value = static_cast<std::uint32_t>(
            loadLittleEndian(reinterpret_cast<const std::byte*>(days.data()), 4));
        ASSERT_TRUE(sql.put(name, RegDword, testkit::dword(value - 1)));
        return;
    }
}

// An archive header whose write stamp is `days` from now.
std::string archiveHead(const std::string& projectPath, double days) {
    std::string bytes = "+" + projectPath + ",*" + '\0';
    std::byte stamp[8];
    storeLittleEndian(stamp, std::bit_cast<std::uint64_t>(now(systemPlatform()) + days), 8);
    bytes.append(reinterpret_cast<const char*>(stamp), 8);
    return bytes;
}

class CommandLine : public ::testing::Test {
  protected:
    CommandLine() { std::filesystem::create_directories(medium); }

    std::string keyOf(const std::string& projectPath, const std::string& mask,
                      bool includeSubfolders) const {
        return mediaArchivePath(medium, mediaFileName(projectPath, mask, includeSubfolders));
    }

    testkit::TempDir root;
    const std::string medium = root / "stick/";
    const std::string ann = root / "ann/";
    const std::string bob = root / "bob/";
    Machine annsMachine;
    Machine bobsMachine;
};

TEST_F(CommandLine, TwoMachinesCarryThreeProjectsThroughOneMedium) {
    writeDiskFile(ann + "notes/a.txt", "alpha");
    writeDiskFile(ann + "notes/b.md", "beta");
    writeDiskFile(ann + "notes/c.bin", "not carried");
    writeDiskFile(ann + "code/main.c", "int main() { return 0; }");
    writeDiskFile(ann + "code/lib/util.h", "#pragma once");
    const std::string notesTxt = keyOf(ann + "notes/", "*.txt", false);
    const std::string notesMd = keyOf(ann + "notes/", "*.md", false);
    const std::string code = keyOf(ann + "code/", "", true);

    // Ann adds three projects, two of them over one folder; paths relative to where she is.
    CliRun run = runCli(annsMachine, {"add", "stick", "ann/notes", "--mask", "*.txt"}, root.path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, report(medium, 0, 0, 0, 1, 0));
    EXPECT_EQ(run.err, "");
    run = runCli(annsMachine, {"add", medium, ann + "notes", "--mask=*.md"});
    EXPECT_EQ(run.out, report(medium, 0, 0, 0, 1, 0));
    run = runCli(annsMachine, {"add", "--subfolders", medium, "ann/code"}, root.path());
    EXPECT_EQ(run.out, report(medium, 0, 0, 0, 2, 0));
    ASSERT_EQ(run.status, 0) << run.err;

    // Added again, the project is the one on the medium: nothing is added or rewritten.
    const std::string archive = readDiskFile(notesTxt);
    run = runCli(annsMachine, {"add", medium, ann + "notes/", "--mask", "*.txt"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, report(medium, 0, 0, 0, 0, 0));
    EXPECT_NE(run.err.find("on the medium already: " + notesTxt), std::string::npos) << run.err;
    EXPECT_EQ(readDiskFile(notesTxt), archive);

    // The masks Ann typed are her history; the medium settings are the window's alone.
    {
        const auto sql = storeOf(annsMachine);
        EXPECT_EQ(sql.row("Mask1")->data, testkit::sz("*.txt"));
        EXPECT_EQ(sql.row("Mask2")->data, testkit::sz("*.md"));
        EXPECT_FALSE(sql.row("Mask3"));
        EXPECT_FALSE(sql.row("Kind"));
        EXPECT_FALSE(sql.row("Removable"));
        EXPECT_FALSE(sql.row("Directory"));
    }

    // Bob lists the medium: three projects he never had.
    run = runCli(bobsMachine, {"list", medium});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(sortedLines(run.out),
              sortedLines(ann + "code/\t\tYes\t" + code + "\t\t\n" + ann + "notes/\t*.md\t\t" +
                          notesMd + "\t\t\n" + ann + "notes/\t*.txt\t\t" + notesTxt + "\t\t\n"));

    // He gives each a folder of his: the notes' path names two projects, so by key.
    std::filesystem::create_directories(bob + "notes");
    std::filesystem::create_directories(bob + "code");
    run = runCli(bobsMachine, {"workdir", medium, ann + "notes/", bob + "notes"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(notesTxt), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(notesMd), std::string::npos) << run.err;
    EXPECT_EQ(runCli(bobsMachine, {"workdir", medium, notesTxt, "bob/notes"}, root.path()).status,
              0);
    EXPECT_EQ(runCli(bobsMachine, {"workdir", medium, notesMd, bob + "notes"}).status, 0);
    EXPECT_EQ(runCli(bobsMachine, {"workdir", medium, ann + "code", bob + "code"}).status, 0);
    run = runCli(bobsMachine, {"list", medium});
    EXPECT_NE(run.out.find(notesTxt + "\t" + bob + "notes\t\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(code + "\t" + bob + "code\t\n"), std::string::npos) << run.out;

    run = runCli(bobsMachine, {"sync", medium});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, report(medium, 0, 0, 4, 0, 0));
    EXPECT_EQ(readDiskFile(bob + "notes/a.txt"), "alpha");
    EXPECT_EQ(readDiskFile(bob + "notes/b.md"), "beta");
    EXPECT_FALSE(std::filesystem::exists(bob + "notes/c.bin"));
    EXPECT_EQ(readDiskFile(bob + "code/lib/util.h"), "#pragma once");
    EXPECT_FALSE(std::filesystem::exists(ann + "notes/a.txt.old"));
    run = runCli(bobsMachine, {"list", medium});
    EXPECT_EQ(run.out.find("\t\n"), std::string::npos) << "every project has a time: " << run.out;

    // Each edits in turn and synchronizes; the other's next run takes the edit. (A copy
    // edited while the other machine wrote the medium would raise the question.)
    edit(bob + "code/main.c", "int main() { return 1; }", 60);
    run = runCli(bobsMachine, {"sync", medium});
    EXPECT_EQ(run.out, report(medium, 1, 0, 0, 0, 0)) << run.err;
    run = runCli(annsMachine, {"sync", medium});
    EXPECT_EQ(run.out, report(medium, 0, 1, 0, 0, 0)) << run.err;
    EXPECT_EQ(readDiskFile(ann + "code/main.c"), "int main() { return 1; }");
    EXPECT_EQ(readDiskFile(ann + "code/main.c.old"), "int main() { return 0; }");
    edit(ann + "notes/a.txt", "alpha 2", 60);
    writeDiskFile(ann + "notes/d.txt", "delta");
    // The code project takes every file: main.c.old travels too.
    run = runCli(annsMachine, {"sync", medium});
    EXPECT_EQ(run.out, report(medium, 1, 0, 0, 2, 0)) << run.err;
    run = runCli(bobsMachine, {"sync", medium});
    EXPECT_EQ(run.out, report(medium, 0, 1, 2, 0, 0)) << run.err;
    EXPECT_EQ(readDiskFile(bob + "notes/a.txt"), "alpha 2");
    EXPECT_EQ(readDiskFile(bob + "notes/a.txt.old"), "alpha");
    EXPECT_EQ(readDiskFile(bob + "notes/d.txt"), "delta");
    EXPECT_EQ(readDiskFile(bob + "code/main.c.old"), "int main() { return 0; }");
}

// A disk copy newer than its record, on a medium written since this machine's last run:
// the question is answered from --answer, and left undecided without a terminal.
TEST_F(CommandLine, ConflictIsAnsweredFromTheCommandLineOrLeftUndecided) {
    writeDiskFile(ann + "notes/a.txt", "alpha");
    const std::string key = keyOf(ann + "notes/", "*.txt", false);
    ASSERT_EQ(runCli(annsMachine, {"add", medium, ann + "notes", "--mask", "*.txt"}).status, 0);
    std::filesystem::create_directories(bob + "notes");
    ASSERT_EQ(runCli(bobsMachine, {"workdir", medium, key, bob + "notes"}).status, 0);
    ASSERT_EQ(runCli(bobsMachine, {"sync", medium}).status, 0);
    const std::string bobsCopy = bob + "notes/a.txt";

    // Ann takes what is on the medium, edits and carries her edit; Bob edits his copy too,
    // and his last run is made to lie before Ann's.
    const auto conflict = [&](const std::string& annsText, const std::string& bobsText, int at) {
        ASSERT_EQ(runCli(annsMachine, {"sync", medium}).status, 0);
        edit(ann + "notes/a.txt", annsText, at);
        ASSERT_EQ(runCli(annsMachine, {"sync", medium}).out, report(medium, 1, 0, 0, 0, 0));
        edit(bobsCopy, bobsText, at + 30);
        backDateLastSync(bobsMachine, key);
    };

    // Nobody to ask: the run stops there and nothing changes.
    conflict("alpha 2", "bob's alpha", 60);
    const std::string archive = readDiskFile(key);
    CliRun run = runCli(bobsMachine, {"sync", medium});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "conflict left undecided: " + bobsCopy + "\n");
    EXPECT_EQ(readDiskFile(bobsCopy), "bob's alpha");
    EXPECT_EQ(readDiskFile(key), archive);

    // No: the disk copy stays, and the next run carries it to the medium without asking.
    run = runCli(bobsMachine, {"sync", medium, "--answer", "no"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, report(medium, 0, 0, 0, 0, 0));
    EXPECT_EQ(readDiskFile(bobsCopy), "bob's alpha");
    run = runCli(bobsMachine, {"sync", medium});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, report(medium, 1, 0, 0, 0, 0));

    // Yes: the medium's copy replaces the disk copy, which is kept as .old.
    conflict("alpha 3", "bob's alpha 2", 120);
    run = runCli(bobsMachine, {"sync", medium, "--answer=yes"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, report(medium, 0, 1, 0, 0, 0));
    EXPECT_EQ(readDiskFile(bobsCopy), "alpha 3");
    EXPECT_EQ(readDiskFile(bobsCopy + ".old"), "bob's alpha 2");
}

// On a terminal the question is asked there (an answer it does not know is asked again),
// a bar shows how far the run is, and Ctrl-C stops the run with nothing of the project
// written to the medium.
TEST_F(CommandLine, OnATerminalItAsksShowsProgressAndStopsAtCtrlC) {
    writeDiskFile(ann + "notes/a.txt", "alpha");
    const std::string key = keyOf(ann + "notes/", "", false);
    ASSERT_EQ(runCli(annsMachine, {"add", medium, ann + "notes"}).status, 0);
    std::filesystem::create_directories(bob + "notes");
    ASSERT_EQ(runCli(bobsMachine, {"workdir", medium, key, bob + "notes"}).status, 0);
    ASSERT_EQ(runCli(bobsMachine, {"sync", medium}).status, 0);
    ASSERT_EQ(runCli(annsMachine, {"sync", medium}).status, 0);
    edit(ann + "notes/a.txt", "alpha 2", 60);
    ASSERT_EQ(runCli(annsMachine, {"sync", medium}).out, report(medium, 1, 0, 0, 0, 0));
    const std::string bobsCopy = bob + "notes/a.txt";
    edit(bobsCopy, "bob's alpha", 90);
    backDateLastSync(bobsMachine, key);

    const std::string offer = "1 Yes, 2 Yes to all, 3 No, 4 No to all, 5 Cancel? ";
    std::size_t asked = 0;
    const CliRun answered =
        runCliOnTerminal(bobsMachine, {"sync", medium}, [&](const std::string& shown) {
            std::size_t count = 0;
            for (auto at = shown.find(offer); at != std::string::npos;
                 at = shown.find(offer, at + 1)) {
                ++count;
            }
            if (count == asked) return std::string();
            asked = count;
            return std::string(count == 1 ? "perhaps\n" : "1\n");
        });
    EXPECT_EQ(answered.status, 0) << answered.out;
    EXPECT_EQ(asked, 2u) << answered.out;
    EXPECT_NE(answered.out.find(conflictQuestion(bobsCopy) + "\r\nOn disk: "), std::string::npos)
        << answered.out;
    std::string terminalReport = report(medium, 0, 1, 0, 0, 0);
    for (auto at = terminalReport.find('\n'); at != std::string::npos;
         at = terminalReport.find('\n', at + 2)) {
        terminalReport.insert(at, "\r");
    }
    EXPECT_TRUE(answered.out.ends_with(terminalReport)) << answered.out;
    EXPECT_EQ(readDiskFile(bobsCopy), "alpha 2");
    EXPECT_EQ(readDiskFile(bobsCopy + ".old"), "bob's alpha");

    // A big new file, and Ctrl-C as soon as the bar shows.
    std::mt19937 noise(7);
    std::string big(8 << 20, '\0');
    for (char& byte : big) byte = static_cast<char>(noise());
    writeDiskFile(bob + "notes/big.bin", big);
    const std::string archive = readDiskFile(key);
    bool pressed = false;
    const CliRun stopped =
        runCliOnTerminal(bobsMachine, {"sync", medium}, [&](const std::string& shown) {
            if (pressed || shown.find("% ") == std::string::npos) return std::string();
            pressed = true;
            return std::string("\x03");
        });
    EXPECT_EQ(stopped.status, 1) << stopped.out;
    EXPECT_NE(stopped.out.find("] "), std::string::npos) << "a bar was drawn";
    EXPECT_NE(stopped.out.find("ferryman-cli: stopped\r\n"), std::string::npos) << stopped.out;
    EXPECT_EQ(readDiskFile(key), archive);
}

// A dry run tells file by file what the run would do and changes nothing anywhere: not a
// byte, not a time, not a stored value. The run then does just that.
TEST_F(CommandLine, DryRunChangesNothingAndForetellsTheRun) {
    writeDiskFile(ann + "code/main.c", "int main() { return 0; }");
    writeDiskFile(ann + "code/util.c", "util");
    const std::string key = keyOf(ann + "code/", "*.c", false);
    ASSERT_EQ(runCli(annsMachine, {"add", medium, ann + "code", "--mask", "*.c"}).status, 0);
    std::filesystem::create_directories(bob + "code");
    ASSERT_EQ(runCli(bobsMachine, {"workdir", medium, key, bob + "code"}).status, 0);
    ASSERT_EQ(runCli(bobsMachine, {"sync", medium}).status, 0);

    ASSERT_EQ(runCli(annsMachine, {"sync", medium}).status, 0);
    edit(ann + "code/util.c", "util 2", 60);
    writeDiskFile(ann + "code/new.c", "new");
    ASSERT_EQ(runCli(annsMachine, {"sync", medium}).out, report(medium, 1, 0, 0, 1, 0));
    edit(bob + "code/main.c", "int main() { return 2; }", 90);
    writeDiskFile(bob + "code/bob.c", "bob's");
    backDateLastSync(bobsMachine, key);

    const auto snapshot = [&] {
        return std::vector<std::string>{testkit::diskTreeSnapshot(bob),
                                        testkit::diskTreeSnapshot(medium), storeState(bobsMachine)};
    };
    const auto before = snapshot();
    const CliRun dry = runCli(bobsMachine, {"sync", medium, "--dry-run", "--answer", "yes"});
    const auto after = snapshot();
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(changedLines(before[i], after[i]), "") << "disk, medium and store as they were";
    }
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(dry.err, "ferryman-cli: dry run: nothing was changed\n");
    const std::string counts = report(medium, 0, 2, 1, 1, 0);
    EXPECT_EQ(
        sortedLines(dry.out),
        sortedLines("question, answer yes\t" + bob + "code/main.c\n" +
                    "replace in project, keep .old\t" + bob + "code/util.c\n" + "add to project\t" +
                    bob + "code/new.c\n" + "add to medium\t" + bob + "code/bob.c\n" + counts));
    EXPECT_TRUE(dry.out.ends_with(counts)) << "the counts come last";

    const CliRun real = runCli(bobsMachine, {"sync", medium, "--answer", "yes"});
    EXPECT_EQ(real.out, counts) << real.err;
    EXPECT_EQ(readDiskFile(bob + "code/util.c"), "util 2");
    EXPECT_EQ(readDiskFile(bob + "code/main.c.old"), "int main() { return 2; }");
}

// Tabs, line breaks and backslashes in paths, masks and file names are printed escaped,
// so every line still splits at its tabs; a project is named back either way.
TEST_F(CommandLine, OutputEscapesTabsLineBreaksAndBackslashes) {
    const std::string project = ann + "back\\slash/";
    const std::string mask = "*.txt;\t*.md\x01;*.c";
    writeDiskFile(project + "tab\there.txt", "a");
    writeDiskFile(project + "line\nbreak.txt", "b");
    ASSERT_EQ(runCli(annsMachine, {"add", medium, project, "--mask", mask}).status, 0);
    const std::string key = keyOf(project, mask, false);
    const std::string listed = ann + "back\\\\slash/";
    EXPECT_EQ(runCli(bobsMachine, {"list", medium}).out,
              listed + "\t*.txt;\\t*.md\\x01;*.c\t\t" + key + "\t\t\n");

    std::filesystem::create_directories(bob + "w");
    EXPECT_EQ(runCli(bobsMachine, {"workdir", medium, listed, bob + "w"}).status, 0);
    EXPECT_EQ(runCli(bobsMachine, {"workdir", medium, project, bob + "w"}).status, 0);
    const CliRun dry = runCli(bobsMachine, {"sync", medium, "--dry-run"});
    EXPECT_EQ(sortedLines(dry.out),
              sortedLines("add to project\t" + bob + "w/tab\\there.txt\n" + "add to project\t" +
                          bob + "w/line\\nbreak.txt\n" + report(medium, 0, 0, 2, 0, 0)));
}

TEST_F(CommandLine, ExitStatusTellsHowTheCommandEnded) {
    const auto status = [&](const std::vector<std::string>& arguments) {
        return runCli(annsMachine, arguments).status;
    };
    // Help and version.
    const CliRun help = runCli(annsMachine, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage:\n  ferryman-cli list MEDIUM\n")) << help.out;
    EXPECT_EQ(runCli(annsMachine, {"sync", medium, "--version"}).out, "ferryman-cli 0.1\n");

    // Usage errors and a missing medium or folder: 2.
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {},
             {"carry", medium},
             {"sync"},
             {"sync", medium, "extra"},
             {"sync", medium, "--answer", "maybe"},
             {"sync", medium, "--mask", "*"},
             {"list", medium, "--dry-run"},
             {"sync", root / "nowhere"},
             {"add", medium, root / "nowhere"},
             {"workdir", medium, "p", root / "nowhere"},
         }) {
        const CliRun run = runCli(annsMachine, arguments);
        EXPECT_EQ(run.status, 2) << ::testing::PrintToString(arguments);
        EXPECT_TRUE(run.err.starts_with("ferryman-cli: ")) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_FALSE(std::filesystem::exists(annsMachine.storePath())) << "nothing was stored";

    // Another run holds the lock of this medium: 1, with the engine's message.
    writeDiskFile(ann + "p/a.txt", "a");
    {
        const testkit::TempConfigHome anotherUser;
        const RunLock held = acquireRunLock({systemPlatform(), settingsFolder()}, medium);
        ASSERT_TRUE(held.held());
        const CliRun busy = runCli(annsMachine, {"add", medium, ann + "p"});
        EXPECT_EQ(busy.status, 1);
        EXPECT_EQ(busy.err, runInProgressMessage() + "\n");
        EXPECT_EQ(busy.out, "");
    }
    EXPECT_EQ(status({"add", medium, ann + "p"}), 0) << "the lock went with its holder";

    // A folder whose path the archive header cannot hold is refused: 1.
    std::filesystem::create_directories(ann + "a,b");
    const CliRun comma = runCli(annsMachine, {"add", medium, ann + "a,b"});
    EXPECT_EQ(comma.status, 1);
    EXPECT_EQ(comma.err, projectPathCommaMessage(ann + "a,b/") + "\n");
    // So is a mask list it cannot hold with the path, before anything is written.
    const std::string longMask = std::string(32767 - ann.size(), 'm') + "\xc3\xa9";
    const std::string before = storeState(annsMachine);
    const CliRun masked = runCli(annsMachine, {"add", medium, ann + "p", "--mask", longMask});
    EXPECT_EQ(masked.status, 1);
    EXPECT_EQ(masked.err, "The mask list " + std::string(60, 'm') + "... (" +
                              std::to_string(longMask.size()) +
                              " bytes) is too long: an archive's header holds at most 32768 "
                              "bytes of project path and mask list\n");
    EXPECT_FALSE(std::filesystem::exists(keyOf(ann + "p/", longMask, false)));
    EXPECT_EQ(storeState(annsMachine), before) << "not even the mask history";

    // A project new to this machine waits, untouched, until accepted: 1 with its message.
    writeDiskFile(medium + "Ferry/damaged.move",
                  archiveHead(ann + "q/", -1) + "no compressed payload at all");
    const CliRun waiting = runCli(annsMachine, {"sync", medium});
    EXPECT_EQ(waiting.status, 1);
    EXPECT_EQ(waiting.err, newProjectWaitingMessage(ann + "q/") + "\n");
    EXPECT_FALSE(std::filesystem::exists(ann + "q"));
    EXPECT_EQ(status({"accept", medium, ann + "q/"}), 0);

    // A damaged archive is refused, the run goes on and reports: 1.
    const CliRun refused = runCli(annsMachine, {"sync", medium});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, report(medium, 0, 0, 0, 0, 0));
    EXPECT_NE(refused.err.find(medium + "Ferry/damaged.move"), std::string::npos) << refused.err;
    std::filesystem::remove(medium + "Ferry/damaged.move");

    // A medium last written an hour ahead of this machine's UTC clock: 3, and nothing is
    // listed.
    writeDiskFile(medium + "Ferry/written.utc",
                  std::to_string(toUnixTime(systemPlatform().currentTime()).seconds + 3600));
    for (const char* command : {"list", "sync"}) {
        const CliRun clock = runCli(annsMachine, {command, medium});
        EXPECT_EQ(clock.status, 3) << command;
        EXPECT_TRUE(clock.err.starts_with("Time is not good synchronized with source machine \n"))
            << clock.err;
        EXPECT_EQ(clock.out, "");
    }
}

// The output of a command run in `folder` (ending in "/"); its status in `status`.
std::string shell(const std::string& folder, const std::string& command, int& status) {
    const std::string output = folder.substr(0, folder.size() - 1) + ".out";
    status = std::system(("cd '" + folder + "' && " + command + " >'" + output + "' 2>&1").c_str());
    return readDiskFile(output);
}

// Machines in zones 17 hours apart carry a git working copy through one medium, in both
// orders: the clock check compares UTC, so neither is refused nor asked; the repository
// arrives whole (names differing only in case, a script and a program still executable)
// and its history travels back.
TEST(TimeZones, GitWorkingCopyTravelsBetweenDistantZones) {
    const std::string git = "git -c user.name=Ann -c user.email=ann@example.org ";
    for (const auto& [here, there] : {std::pair{"Asia/Tokyo", "America/Los_Angeles"},
                                      std::pair{"America/Los_Angeles", "Asia/Tokyo"}}) {
        SCOPED_TRACE(here);
        const testkit::TempDir root;
        const std::string medium = root / "stick/";
        const std::string ann = root / "ann/repo/";
        const std::string bob = root / "bob/repo/";
        std::filesystem::create_directories(medium);
        std::filesystem::create_directories(bob);
        const Machine annsMachine(here);
        const Machine bobsMachine(there);
        writeDiskFile(ann + "src/main.c", "int main() { return 0; }\n");
        writeDiskFile(ann + "README", "notes\n");
        writeDiskFile(ann + "include/xt_CONNMARK.h", "upper\n");
        writeDiskFile(ann + "include/xt_connmark.h", "lower\n");
        writeDiskFile(ann + "configure", "#!/bin/sh\nexit 0\n");
        writeDiskFile(ann + "bin/tool", std::string("\x7f"
                                                    "ELF\x02\x01\x01",
                                                    7));
        int status = 0;
        const std::string made = shell(ann,
                                       "chmod 755 configure bin/tool && git init -q && " + git +
                                           "add -A && " + git + "commit -qm first",
                                       status);
        ASSERT_EQ(status, 0) << made;

        CliRun run = runCli(annsMachine, {"add", medium, ann, "--subfolders"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(runCli(bobsMachine, {"workdir", medium, ann, bob}).status, 0);
        run = runCli(bobsMachine, {"sync", medium});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(shell(bob, "git fsck --strict", status), "");
        EXPECT_EQ(status, 0);
        EXPECT_EQ(shell(bob, "git status --porcelain", status), "");

        edit(bob + "src/main.c", "int main() { return 1; }\n", 0);
        ASSERT_EQ(shell(bob, git + "commit -qam second", status), "");
        run = runCli(bobsMachine, {"sync", medium});
        EXPECT_EQ(run.status, 0) << run.err;
        run = runCli(annsMachine, {"sync", medium});
        EXPECT_EQ(run.status, 0) << run.err;
        // Git touches an object it would write again, so it comes back as replaced: its
        // kept copy is the one thing fsck remarks on.
        const std::string checked = shell(ann, "git fsck --strict", status);
        EXPECT_EQ(status, 0) << checked;
        std::istringstream remarks(checked);
        for (std::string line; std::getline(remarks, line);)
            EXPECT_TRUE(line.starts_with("bad sha1 file: .git/objects/") && line.ends_with(".old"))
                << line;
        EXPECT_EQ(shell(ann, "git log --format=%s", status), "second\nfirst\n");
        EXPECT_EQ(shell(ann, "git status --porcelain", status), "?? src/main.c.old\n")
            << "only the kept copy of the replaced file";
    }
}

}  // namespace
}  // namespace ferry
