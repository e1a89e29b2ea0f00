// Arbitrary bytes as the archive of a project whose work directory holds links that lead
// outside it: a folder link, a file link and a link at a temporary name. One whole
// synchronization runs over it, with the answers to its questions and the moment a stop
// is asked for taken from the input too. Checks that nothing outside the work directory
// changed (the tree the links lead to, to the byte and the nanosecond, and the folder
// around the work directory) and that the project ended in one of the three known ways.
//
// The first byte picks the machine's time of its last run of the project (never, long
// ago, just now), the next four are the answers to questions, the next one the progress
// report at which a stop is asked for (0: none); the rest is the archive file. Missing
// bytes count as zeros.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "archive/media_archive.h"
#include "platform/date_time.h"
#include "sync/synchronize_project.h"
#include "tests/testkit/disk_files.h"

namespace {

using namespace ferry;
namespace fs = std::filesystem;

void require(bool holds) {
    if (!holds) std::abort();
}

// The project as its archives name it; the work directory on this machine is elsewhere.
const std::string ProjectPath = "/ferry-fuzz/project/";
constexpr const char* Mask = "*";

class InputPrompt final : public UserPrompt {
  public:
    InputPrompt(const std::uint8_t* answers, std::size_t stopAt) : stopAt_(stopAt) {
        std::copy(answers, answers + 4, answers_);
    }

    void showMessage(const std::string&) override {}
    std::int32_t askChoice(const std::string&, const std::string&) override {
        return answers_[asked_++ % 4] % 7 - 1;  // -1 (closed) to 5
    }
    void showProgress(const SyncProgress&) override { ++reports_; }
    bool stopRequested() override { return stopAt_ != 0 && reports_ >= stopAt_; }

  private:
    std::uint8_t answers_[4];
    std::size_t stopAt_;
    std::size_t asked_ = 0;
    std::size_t reports_ = 0;
};

// One folder for the whole process, made afresh for every input: work/, outside/ (where
// the links lead), medium/Ferry/ and state/ (this machine's memory of archives).
struct Scene {
    std::string root;
    std::string work, outside, medium, state, archive;

    Scene() {
        std::string pattern = (fs::temp_directory_path() / "ferry-fuzz-XXXXXX").string();
        require(mkdtemp(pattern.data()) != nullptr);
        root = pattern + "/";
        work = root + "work/";
        outside = root + "outside/";
        medium = root + "medium/";
        state = root + "state/";
        archive = mediaArchivePath(medium, mediaFileName(ProjectPath, Mask, true));
    }
    ~Scene() { fs::remove_all(root); }

    void reset(const std::string& archiveBytes) {
        for (const std::string& folder : {work, outside, medium, state}) fs::remove_all(folder);
        const FileTime old = testkit::utcFileTime(2024, 1, 3, 12);
        for (const char* name : {"target.txt", "f.txt", "inner/g.txt"}) {
            testkit::writeDiskFile(outside + name, std::string("outside ") + name);
            testkit::setDiskFileTime(outside + name, old);
        }
        for (const char* name : {"a.txt", "dir/b.txt"}) {
            testkit::writeDiskFile(work + name, std::string("work ") + name);
            testkit::setDiskFileTime(work + name, old);
        }
        fs::create_directory_symlink(outside, work + "sub");
        fs::create_symlink(outside + "target.txt", work + "link.txt");
        fs::create_symlink(outside + "f.txt", work + "f.txt.ferry-new");
        fs::create_directories(state);
        testkit::writeDiskFile(archive, archiveBytes);
    }

    std::string outsideSnapshot() const {
        std::set<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(root))
            names.insert(entry.path().filename().string());
        std::string snapshot;
        for (const std::string& name : names) snapshot += name + "\n";
        return snapshot + testkit::diskTreeSnapshot(outside);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Scene scene;
    constexpr std::size_t Controls = 6;
    std::uint8_t controls[Controls] = {};
    std::copy(data, data + std::min(size, Controls), controls);
    scene.reset(size > Controls
                    ? std::string(reinterpret_cast<const char*>(data) + Controls, size - Controls)
                    : std::string());
    Platform& system = systemPlatform();
    const int lastRun = controls[0] % 3;
    DateTime lastSync = lastRun == 0 ? 0 : lastRun == 1 ? 44000.5 : now(system);

    const std::string before = scene.outsideSnapshot();
    ProjectInputs inputs;
    inputs.mediumRoot = scene.medium;
    inputs.projectPath = ProjectPath;
    inputs.mask = Mask;
    inputs.includeSubfolders = true;
    inputs.existingArchivePath = scene.archive;
    inputs.localDir = scene.work;
    SyncCounters counters;
    InputPrompt prompt(controls + 1, controls[5]);
    const ProjectResult result =
        synchronizeProject({system, scene.state}, inputs, lastSync, counters, prompt, {});

    require(result.end == ProjectEnd::Synchronized || result.end == ProjectEnd::Stopped ||
            result.end == ProjectEnd::Refused);
    require(scene.outsideSnapshot() == before);
    return 0;
}
