// A whole synchronization of a generated project (about 5,000 files, 100 MB of
// source-like text and some binary files) onto a medium folder on the same disk, each
// scenario in a child process of its own (this program run again with a scenario
// argument) so that its peak memory is its own, timed whole with a warm cache, median of
// several runs: the first synchronization, one with nothing changed (also with the archive
// not remembered, and after another machine's run added a file), one with a single
// changed file, one with a single new file (and that once more with the switch that
// compresses the whole payload). In the same run, for comparison: plain libucl compressing
// the project's bytes in the archive's blocks and level on one thread, and `rsync -a` of the
// same tree to a folder, the first time, again with nothing changed, and with
// `rsync -a --fsync` for the new file (the archive is flushed, so the copy is too).
// Then the first carry of the project to a second machine (into an empty work directory),
// as it is and with every flush of the platform made a no-op.
// The benchmark keeps itself and its children to the first two cores; the synchronization
// takes as many worker threads as it may use cores, and that count is printed.
//
//     bench_sync [--tree DIR] [--medium DIR] [--cold] [folder]
//         folder    the work folder is made inside it; default: the system's temporary
//                   folder; it must be on the disk to measure
//         --tree    the project is a copy of DIR instead of the generated one
//         --medium  the media (and rsync's copies) go into a folder made inside DIR, as
//                   on a USB stick mounted there (bench/throttled_stick.sh)
//         --cold    the page cache is dropped before every run (root only), as when the
//                   stick was just plugged in
//
// Each figure comes with its processor time as well, and "first_vs_compressor_cpu" is
// the ratio of processor times: on a shared machine wall times vary more. The last five
// lines are the figures the targets are set on:
//     first_vs_compressor <first synchronization MB/s / single-thread libucl MB/s>
//     nochange_vs_rsync <no-change synchronization time / no-change rsync time>
//     onenew_vs_rsync <one-new-file synchronization time / rsync time for the same change>
//     peak_rss_mb <peak resident memory of the synchronization closest to its bound>
//     peak_bound_mb <its old + new compressed payload + largest file + 32 + one block
//                    buffer set per worker, in MB>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <ucl/ucl.h>

#include "archive/media_archive.h"
#include "bench/medium_counter.h"
#include "bench/source_text.h"
#include "platform/cpu.h"
#include "settings/registry.h"
#include "settings/settings_store.h"
#include "sync/new_project.h"
#include "sync/sync_run.h"
#include "tests/testkit/pass_through_platform.h"

namespace {

using namespace ferry;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

bool coldRuns = false;  // --cold

constexpr int Folders = 50;
constexpr int FilesPerFolder = 100;  // 5,000 files
constexpr int BinaryEvery = 100;     // one file in a hundred is binary: about a quarter
                                     // of the bytes
constexpr int SlowRuns = 3;          // runs that compress the whole project
constexpr int FastRuns = 5;
constexpr double MiB = 1024.0 * 1024.0;
constexpr unsigned MeasuredCores = 2;
// What each worker may hold at a time: two blocks of the new payload being compressed and
// two of the old one decoded ahead, each in a buffer of B + B/8 + 256 bytes.
constexpr double BlockBufferSetMb = 4.0 * (ArchiveBlockSize + ArchiveBlockSize / 8 + 256) / MiB;

// --- the generated project --------------------------------------------------------------

struct Project {
    std::vector<fs::path> files;
    std::uint64_t bytes = 0;
    std::uint64_t largest = 0;
};

// Half noise, half records with a few varying fields, as images and object files are.
std::string binaryBytes(std::mt19937& random, std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t at = 0; at < size; ++at) {
        const bool noise = (at / 65536) % 2 == 0;
        bytes[at] = static_cast<char>(noise ? random() : (at % 16 < 4 ? random() % 8 : at % 16));
    }
    return bytes;
}

Project generateProject(const fs::path& root) {
    std::mt19937 random(20261207);
    Project project;
    for (int folder = 0; folder < Folders; ++folder) {
        const fs::path where =
            root / ("module" + std::to_string(folder / 10)) / ("part" + std::to_string(folder));
        fs::create_directories(where);
        for (int file = 0; file < FilesPerFolder; ++file) {
            const bool binary = (folder * FilesPerFolder + file) % BinaryEvery == 7;
            const std::size_t size = binary ? 100000 + random() % 800000 : 2000 + random() % 26000;
            const fs::path path =
                where / ("file" + std::to_string(file) + (binary ? ".bin" : ".cpp"));
            const std::string content =
                binary ? binaryBytes(random, size) : bench::sourceLikeText(random, size);
            std::ofstream(path, std::ios::binary) << content;
            project.files.push_back(path);
            project.bytes += size;
            project.largest = std::max<std::uint64_t>(project.largest, size);
        }
    }
    return project;
}

// A copy of a real tree instead: its regular files and folders (links are left out, as
// they would point into the original).
Project copyTree(const fs::path& tree, const fs::path& root) {
    Project project;
    for (auto entry = fs::recursive_directory_iterator(tree); entry != fs::end(entry); ++entry) {
        const fs::path target = root / fs::relative(entry->path(), tree);
        if (entry->is_symlink()) {
            if (entry->is_directory()) entry.disable_recursion_pending();
        } else if (entry->is_directory()) {
            fs::create_directories(target);
        } else if (entry->is_regular_file()) {
            fs::copy_file(entry->path(), target);
            project.files.push_back(target);
            project.bytes += entry->file_size();
            project.largest = std::max<std::uint64_t>(project.largest, entry->file_size());
        }
    }
    return project;
}

std::string readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// --- clocks ------------------------------------------------------------------------------

double secondsOf(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of this process, user and system.
double cpuSecondsUsed() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
}

// --- a scenario, in the child -----------------------------------------------------------

class SilentPrompt final : public UserPrompt {
  public:
    void showMessage(const std::string& text) override { lastMessage = text; }
    std::int32_t askChoice(const std::string&, const std::string&) override { return -1; }
    std::string lastMessage;
};

bool countsAsExpected(const std::string& scenario, const SyncCounters& c, std::uint32_t files) {
    const std::uint32_t others = c.replacedInProjects + c.addedToProjects + c.removedFromMedia;
    // A real tree may hold a name the medium cannot carry.
    if (scenario == "first")
        return c.addedNewFiles + c.uncarriedFiles == files && c.replacedOnMedia == 0 && !others;
    if (scenario == "nochange") return c.addedNewFiles == 0 && c.replacedOnMedia == 0 && !others;
    if (scenario.starts_with("onenew"))
        return c.addedNewFiles == 1 && c.replacedOnMedia == 0 && !others;
    return c.addedNewFiles == 0 && c.replacedOnMedia == 1 && !others;  // "onechange"
}

// As a user's run: the settings loaded, the medium scanned, the project added when the
// medium does not carry it yet, every listed project synchronized. A scenario named
// "...-whole" compresses the whole payload, as the program did before it learned to reuse
// the old one.
int runScenario(const std::string& scenario, const fs::path& work, std::uint32_t files) {
    SilentPrompt prompt;
    LoadedSettings settings = loadSettings();
    bench::MediumCounter counter((work / "medium").string());
    const RunContext context{counter, settingsFolder()};
    const std::string medium = mediumFolderOf(context.platform, (work / "medium").string());
    MediumScan scan = scanMedium(context.platform, medium, prompt);
    if (scan.clockRefused) return 2;
    if (scan.projects.empty()) {
        addListedProject(scan.projects, medium,
                         ListedProject{(work / "project").string() + "/", "*", true, ""});
    }
    SyncOptions options;
    options.wholeRecompression = scenario.ends_with("-whole");
    // The other machine takes the project as its user would.
    options.newProjects = NewProjects::Accept;
    const RunResult result =
        runSynchronization(context, medium, scan.projects, settings.catalogue, prompt, options);
    if (result.end != RunEnd::Completed) {
        std::fprintf(stderr, "%s: the run did not complete: %s\n", scenario.c_str(),
                     prompt.lastMessage.c_str());
        return 2;
    }
    if (!countsAsExpected(scenario, result.counters, files)) {
        std::fprintf(stderr, "%s: unexpected counts\n", scenario.c_str());
        return 3;
    }
    std::ofstream(work / "medium-io.txt") << counter.bytesRead << ' ' << counter.bytesWritten;
    return 0;
}

// Every folder in `work`/many a project of its own on one medium, all synchronized in one
// run, as a user with many small projects has them.
int runManyProjects(const fs::path& work) {
    SilentPrompt prompt;
    LoadedSettings settings = loadSettings();
    const RunContext context{systemPlatform(), settingsFolder()};
    const std::string medium = mediumFolderOf(context.platform, (work / "many-medium").string());
    MediumScan scan = scanMedium(context.platform, medium, prompt);
    if (scan.projects.empty()) {
        for (const auto& folder : fs::directory_iterator(work / "many"))
            addListedProject(scan.projects, medium,
                             ListedProject{folder.path().string() + "/", "*", true, ""});
    }
    const RunResult result =
        runSynchronization(context, medium, scan.projects, settings.catalogue, prompt, {});
    return result.end == RunEnd::Completed && result.refusedProjects == 0 ? 0 : 2;
}

// libucl alone on the project's bytes, read first: the archive's block size and level,
// one thread. Writes "<seconds> <cpu seconds> <compressed bytes>" to `result`.
int runCompressor(const fs::path& project, const fs::path& result) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(project)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::uintmax_t total = 0;
    for (const fs::path& file : files) total += fs::file_size(file);
    std::string bytes;
    bytes.reserve(total);
    for (const fs::path& file : files) bytes += readWhole(file);
    if (ucl_init() != UCL_E_OK) return 1;
    std::vector<unsigned char> block(ArchiveBlockSize + ArchiveBlockSize / 8 + 256);
    std::uint64_t compressed = 0;
    const auto start = Clock::now();
    const double cpuStart = cpuSecondsUsed();
    for (std::size_t at = 0; at < bytes.size(); at += ArchiveBlockSize) {
        const auto length =
            static_cast<ucl_uint>(std::min<std::size_t>(ArchiveBlockSize, bytes.size() - at));
        ucl_uint out = static_cast<ucl_uint>(block.size());
        if (ucl_nrv2e_99_compress(reinterpret_cast<const unsigned char*>(bytes.data()) + at, length,
                                  block.data(), &out, nullptr, ArchiveCompressionLevel, nullptr,
                                  nullptr) != UCL_E_OK) {
            return 1;
        }
        compressed += 4 + out;
    }
    const double cpu = cpuSecondsUsed() - cpuStart;
    const double seconds = secondsSince(start);
    std::ofstream(result) << seconds << ' ' << cpu << ' ' << compressed << '\n';
    return 0;
}

// --- timing from the parent -------------------------------------------------------------

struct ChildRun {
    double seconds = 0;
    double cpuSeconds = 0;
    double peakMb = 0;
};

// Runs `program` with `arguments` and waits for it; ends the benchmark when it fails.
// The child is started with fork and exec, so its peak memory starts from this process's
// present size, never from its peak: this process keeps small.
ChildRun runChild(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::fflush(stdout);
    if (coldRuns) {
        sync();
        if (!(std::ofstream("/proc/sys/vm/drop_caches") << "3\n")) {
            std::fprintf(stderr, "cannot drop the page cache (not root?)\n");
            std::exit(1);
        }
    }
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s %s failed\n", program.c_str(), arguments.front().c_str());
        std::exit(1);
    }
    return ChildRun{secondsSince(start), secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime),
                    static_cast<double>(usage.ru_maxrss) / 1024.0};
}

double medianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Scenario {
    double seconds = 0;     // the median
    double cpuSeconds = 0;  // the median
    double peakMb = 0;      // the highest of all runs
};

// `runs` children of `program`, each after `prepare(run)`.
template <typename Prepare>
Scenario timeRuns(int runs, const std::string& program, const std::vector<std::string>& arguments,
                  Prepare prepare) {
    std::vector<double> times;
    std::vector<double> cpuTimes;
    Scenario scenario;
    for (int run = 0; run < runs; ++run) {
        prepare(run);
        const ChildRun child = runChild(program, arguments);
        times.push_back(child.seconds);
        cpuTimes.push_back(child.cpuSeconds);
        scenario.peakMb = std::max(scenario.peakMb, child.peakMb);
    }
    scenario.seconds = medianOf(times);
    scenario.cpuSeconds = medianOf(cpuTimes);
    return scenario;
}

std::uint64_t archiveBytes(const fs::path& medium) {
    std::uint64_t total = 0;
    for (const auto& entry : fs::directory_iterator(medium / "Ferry")) {
        if (entry.path().extension() == ".move") total += entry.file_size();
    }
    return total;
}

void report(const char* what, const Scenario& scenario, std::uint64_t bytes) {
    std::printf("%-42s %8.3f s  %8.2f MB/s  cpu %8.3f s  peak %7.1f MB\n", what, scenario.seconds,
                static_cast<double>(bytes) / 1e6 / scenario.seconds, scenario.cpuSeconds,
                scenario.peakMb);
}

// The compressor's own timing, read back from each child; the peak is the child's.
Scenario timeCompressor(const std::string& self, const fs::path& project, const fs::path& result,
                        std::uint64_t& compressed) {
    std::vector<double> times;
    std::vector<double> cpuTimes;
    Scenario scenario;
    for (int run = 0; run < SlowRuns; ++run) {
        const ChildRun child = runChild(self, {"--compressor", project.string(), result.string()});
        double seconds = 0;
        double cpu = 0;
        std::ifstream(result) >> seconds >> cpu >> compressed;
        times.push_back(seconds);
        cpuTimes.push_back(cpu);
        scenario.peakMb = std::max(scenario.peakMb, child.peakMb);
    }
    scenario.seconds = medianOf(times);
    scenario.cpuSeconds = medianOf(cpuTimes);
    return scenario;
}

// A change per run, made by `change(run)` and carried by rsync (`rsyncArguments`) to its
// copy and by a synchronization (`scenario`) to the medium: both see the same change.
struct Paired {
    Scenario rsync;
    Scenario synchronization;
    double ratio() const { return synchronization.seconds / rsync.seconds; }
};

template <typename Change>
Paired timeAgainstRsync(int runs, const std::string& self,
                        const std::vector<std::string>& rsyncArguments,
                        const std::vector<std::string>& scenario, Change change) {
    std::vector<double> rsyncTimes, rsyncCpu, syncTimes, syncCpu;
    Paired result;
    for (int run = 0; run < runs; ++run) {
        change(run);
        const ChildRun copied = runChild("rsync", rsyncArguments);
        const ChildRun synchronized = runChild(self, scenario);
        rsyncTimes.push_back(copied.seconds);
        rsyncCpu.push_back(copied.cpuSeconds);
        syncTimes.push_back(synchronized.seconds);
        syncCpu.push_back(synchronized.cpuSeconds);
        result.rsync.peakMb = std::max(result.rsync.peakMb, copied.peakMb);
        result.synchronization.peakMb =
            std::max(result.synchronization.peakMb, synchronized.peakMb);
    }
    result.rsync.seconds = medianOf(rsyncTimes);
    result.rsync.cpuSeconds = medianOf(rsyncCpu);
    result.synchronization.seconds = medianOf(syncTimes);
    result.synchronization.cpuSeconds = medianOf(syncCpu);
    return result;
}

// Bytes the last run of a scenario read from and wrote to the medium, in MB.
struct MediumIo {
    double readMb = 0;
    double writtenMb = 0;
};

MediumIo lastMediumIo(const fs::path& work) {
    std::uint64_t read = 0;
    std::uint64_t written = 0;
    std::ifstream(work / "medium-io.txt") >> read >> written;
    return {static_cast<double>(read) / 1e6, static_cast<double>(written) / 1e6};
}

// 500 projects of 20 small files each, synchronized once, then timed with nothing
// changed; with settings of their own.
double timeManyProjects(const std::string& self, const fs::path& work) {
    for (int project = 0; project < 500; ++project) {
        const fs::path folder = work / "many" / ("p" + std::to_string(project));
        fs::create_directories(folder);
        for (int file = 0; file < 20; ++file)
            std::ofstream(folder / ("f" + std::to_string(file) + ".txt"))
                << "project " << project << " file " << file << '\n';
    }
    fs::create_directories(work / "many-medium");
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string settings = config == nullptr ? "" : config;
    setenv("XDG_CONFIG_HOME", (work / "many-config").c_str(), 1);
    runChild(self, {"--many", work.string()});
    const Scenario noChange = timeRuns(FastRuns, self, {"--many", work.string()}, [](int) {});
    setenv("XDG_CONFIG_HOME", settings.c_str(), 1);
    return noChange.seconds;
}

// A scenario's peak memory against what it may take.
struct MemoryFigure {
    double peakMb = 0;
    double boundMb = 0;
};

// --- a first carry to a second machine ---------------------------------------------------

// What the carry would cost if nothing were flushed: every flush a no-op.
class UnflushedPlatform final : public testkit::PassThroughPlatform {
  public:
    SystemResult<> flushFile(FileHandle) override { return succeeded(); }
    SystemResult<> startFlushing(FileHandle) override { return succeeded(); }
    SystemResult<> flushFolder(const std::string&) override { return succeeded(); }
};

// A machine that has the project's work directory set to the empty folder `target` takes
// every file from the medium: "carry", or "carry-unflushed".
int runCarry(const std::string& scenario, const fs::path& work, const fs::path& target) {
    SilentPrompt prompt;
    UnflushedPlatform unflushed;
    const RunContext context{
        scenario == "carry-unflushed" ? static_cast<Platform&>(unflushed) : systemPlatform(),
        settingsFolder()};
    const std::string medium = mediumFolderOf(context.platform, (work / "medium").string());
    MediumScan scan = scanMedium(context.platform, medium, prompt);
    LoadedSettings settings = loadSettings();
    for (const ListedProject& project : scan.projects)
        settings.catalogue.findOrCreateRecord(project.key).workDir = target.string();
    saveProjects(settings.catalogue, nullptr);
    const RunResult result = runSynchronization(context, medium, scan.projects, settings.catalogue,
                                                prompt, SyncOptions{});
    // Whatever the medium carries by now (later scenarios added files) comes to disk.
    if (result.end != RunEnd::Completed || result.refusedProjects != 0 ||
        result.waitingProjects != 0 || result.counters.addedToProjects == 0) {
        std::fprintf(stderr, "%s: the carry did not complete: %s\n", scenario.c_str(),
                     prompt.lastMessage.c_str());
        return 2;
    }
    return 0;
}

// Each run as a machine of its own (settings and work directory made afresh), with the
// medium that the first synchronization wrote.
void reportFirstCarry(const std::string& self, const fs::path& work, std::uint64_t bytes) {
    const fs::path config = work / "carry-config";
    const fs::path target = work / "carried";
    const char* previousHome = std::getenv("XDG_CONFIG_HOME");
    const std::string home = previousHome != nullptr ? previousHome : "";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    std::vector<Scenario> carries;
    for (const char* name : {"carry", "carry-unflushed"}) {
        carries.push_back(
            timeRuns(SlowRuns, self, {"--carry", name, work.string(), target.string()}, [&](int) {
                fs::remove_all(config);
                fs::remove_all(target);
                fs::create_directories(target);
                sync();  // the previous run's files are not written back during this one
            }));
    }
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    fs::remove_all(target);
    report("first carry to a second machine", carries[0], bytes);
    report("the same, nothing flushed", carries[1], bytes);
    std::printf("carry_flushed_vs_unflushed %.3f\n", carries[0].seconds / carries[1].seconds);
}

// The benchmark's own options (see the top of this file).
struct Options {
    std::string tree;
    std::string medium;
    std::string folder;
};

std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if ((argument == "--tree" || argument == "--medium") && i + 1 < argc) {
            (argument == "--tree" ? options.tree : options.medium) = argv[++i];
        } else if (argument == "--cold") {
            coldRuns = true;
        } else if (!argument.starts_with("--") && options.folder.empty()) {
            options.folder = argument;
        } else {
            return std::nullopt;
        }
    }
    return options;
}

// A folder made inside `parent` from `pattern`; ends the benchmark when it cannot be.
fs::path madeFolder(const fs::path& parent, const char* pattern) {
    std::string path = (parent / pattern).string();
    if (mkdtemp(path.data()) == nullptr) {
        std::fprintf(stderr, "cannot make a folder in %s\n", parent.c_str());
        std::exit(1);
    }
    return fs::absolute(path);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (argc == 5 && mode == "--scenario") {
        return runScenario(argv[2], argv[3], static_cast<std::uint32_t>(std::atoi(argv[4])));
    }
    if (argc == 4 && mode == "--compressor") return runCompressor(argv[2], argv[3]);
    if (argc == 3 && mode == "--many") return runManyProjects(argv[2]);
    if (argc == 5 && mode == "--carry") return runCarry(argv[2], argv[3], argv[4]);
    const std::optional<Options> options = parseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: bench_sync [--tree DIR] [--medium DIR] [--cold] [folder]\n");
        return 2;
    }

    // Children inherit the cores, so every figure is taken on the same two.
    if (!keepToFirstCores(MeasuredCores))
        std::fprintf(stderr, "cannot keep to the first %u cores; measuring on all\n",
                     MeasuredCores);
    const unsigned workers = usableCores();
    std::printf("worker threads: %u (the cores this process may use)\n", workers);

    const fs::path work =
        madeFolder(options->folder.empty() ? fs::temp_directory_path() : fs::path(options->folder),
                   "ferry-bench-sync-XXXXXX");
    const fs::path project = work / "project";
    const fs::path medium = work / "medium";
    const fs::path config = work / "config";
    // The scenarios find the media in the work folder: there they lead to the stick.
    const fs::path media =
        options->medium.empty() ? work : madeFolder(options->medium, "ferry-bench-media-XXXXXX");
    const fs::path copy = media / "rsync-copy";
    if (media != work) {
        fs::create_directory(media / "medium");
        fs::create_directory(media / "many-medium");
        fs::create_directory_symlink(media / "medium", medium);
        fs::create_directory_symlink(media / "many-medium", work / "many-medium");
    }
    fs::create_directories(medium);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const std::string self = fs::read_symlink("/proc/self/exe").string();

    const Project generated =
        options->tree.empty() ? generateProject(project) : copyTree(options->tree, project);
    const auto files = static_cast<std::uint32_t>(generated.files.size());
    const auto bytes = generated.bytes;
    std::printf("project: %u files, %.1f MB, largest file %.2f MB, in %s\n", files,
                static_cast<double>(bytes) / 1e6, static_cast<double>(generated.largest) / 1e6,
                work.c_str());

    // rsync first: its first copy also brings the whole tree into the cache.
    const std::string source = project.string() + "/";
    const std::string target = copy.string() + "/";
    const Scenario rsyncFirst =
        timeRuns(SlowRuns, "rsync", {"-a", source, target}, [&](int) { fs::remove_all(copy); });
    const Scenario rsyncNoChange = timeRuns(FastRuns, "rsync", {"-a", source, target}, [](int) {});
    report("rsync -a, first copy", rsyncFirst, bytes);
    report("rsync -a, nothing changed", rsyncNoChange, bytes);

    std::uint64_t compressed = 0;
    const Scenario compressor = timeCompressor(self, project, work / "compressor.txt", compressed);
    report("libucl alone, one thread", compressor, bytes);
    std::printf("libucl payload: %.1f MB\n", static_cast<double>(compressed) / 1e6);

    const auto scenario = [&](const char* name) {
        return std::vector<std::string>{"--scenario", name, work.string(), std::to_string(files)};
    };
    const auto startAfresh = [&](int) {
        fs::remove_all(medium / "Ferry");
        fs::remove_all(config);
    };
    const Scenario first = timeRuns(SlowRuns, self, scenario("first"), startAfresh);
    const std::uint64_t archive = archiveBytes(medium);
    const Scenario noChange = timeRuns(FastRuns, self, scenario("nochange"), [](int) {});
    const MediumIo noChangeIo = lastMediumIo(work);
    // As after another machine's run: the archive is not one this machine remembers.
    const Scenario noChangeUnknown = timeRuns(FastRuns, self, scenario("nochange"), [&](int) {
        fs::remove_all(config / "ferryman" / "checked");
    });
    // After another machine's run that added a file (its own settings, the same folder):
    // this machine knows all but the archive's last blocks.
    const fs::path otherConfig = work / "other-config";
    const fs::path otherFolder = generated.files.back().parent_path();
    // The other machine has carried the project before.
    setenv("XDG_CONFIG_HOME", otherConfig.c_str(), 1);
    runChild(self, scenario("nochange"));
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const Scenario afterOther = timeRuns(FastRuns, self, scenario("nochange"), [&](int run) {
        std::ofstream(otherFolder / ("other-" + std::to_string(run) + ".cpp"), std::ios::binary)
            << "// written on the other machine\n";
        setenv("XDG_CONFIG_HOME", otherConfig.c_str(), 1);
        runChild(self, scenario("onenew"));
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    });
    const fs::path changed = generated.files[generated.files.size() / 2];
    const Scenario oneChange = timeRuns(FastRuns, self, scenario("onechange"), [&](int run) {
        std::ofstream(changed, std::ios::app) << "// changed " << run << "\n";
    });
    // The copy takes the changes made since, untimed, so that each timed rsync sees only
    // the new file.
    runChild("rsync", {"-a", source, target});
    const std::vector<std::string> rsyncFsync{"-a", "--fsync", source, target};
    const fs::path newFolder = generated.files.front().parent_path();
    std::mt19937 random(7);
    const auto newFile = [&](const std::string& tag) {
        return [&, tag](int run) {
            std::ofstream(newFolder / ("new-" + tag + std::to_string(run) + ".cpp"),
                          std::ios::binary)
                << bench::sourceLikeText(random, 15000);
        };
    };
    const Paired oneNew =
        timeAgainstRsync(FastRuns, self, rsyncFsync, scenario("onenew"), newFile("fast"));
    const MediumIo oneNewIo = lastMediumIo(work);
    const Paired oneNewWhole =
        timeAgainstRsync(SlowRuns, self, rsyncFsync, scenario("onenew-whole"), newFile("whole"));
    // One file given new bytes of the same size, as a touched or patched file.
    const fs::path touched = generated.files[generated.files.size() / 3];
    const Paired sameSize =
        timeAgainstRsync(FastRuns, self, rsyncFsync, scenario("onechange"), [&](int run) {
            std::string content = readWhole(touched);
            if (!content.empty()) content[content.size() / 2] = static_cast<char>('a' + run);
            std::ofstream(touched, std::ios::binary) << content;
        });
    // The same file changed again (its size too) right after a run that sent it.
    const fs::path hot = generated.files[generated.files.size() / 4];
    const auto appendTo = [&](int run) {
        std::ofstream(hot, std::ios::app) << "// edited again " << run << "\n";
    };
    appendTo(-1);
    runChild("rsync", rsyncFsync);
    runChild(self, scenario("onechange"));
    const Paired hotEdit =
        timeAgainstRsync(FastRuns, self, rsyncFsync, scenario("onechange"), appendTo);
    const double manyProjects = timeManyProjects(self, work);
    const std::uint64_t laterArchive = archiveBytes(medium);
    report("first synchronization", first, bytes);
    report("synchronization, nothing changed", noChange, bytes);
    report("the same, archive not remembered", noChangeUnknown, bytes);
    report("the same, after another machine's new file", afterOther, bytes);
    report("synchronization, one file changed", oneChange, bytes);
    report("rsync -a --fsync, one new file", oneNew.rsync, bytes);
    report("synchronization, one new file", oneNew.synchronization, bytes);
    report("the same, everything compressed", oneNewWhole.synchronization, bytes);
    report("rsync -a --fsync, one file, same size", sameSize.rsync, bytes);
    report("synchronization, one file, same size", sameSize.synchronization, bytes);
    report("rsync -a --fsync, a file changed again", hotEdit.rsync, bytes);
    report("synchronization, a file changed again", hotEdit.synchronization, bytes);
    std::printf("archive on the medium: %.1f MB\n", static_cast<double>(archive) / 1e6);
    std::printf("medium read, nothing changed: %.3f MB; written, one new file: %.3f MB\n",
                noChangeIo.readMb, oneNewIo.writtenMb);
    reportFirstCarry(self, work, bytes);
    fs::remove_all(work);
    fs::remove_all(media);

    // The first synchronization has no old payload; the later ones have one as large as
    // the new. The figure shown is the scenario closest to its bound.
    const double fixedMb =
        static_cast<double>(generated.largest) / MiB + 32 + workers * BlockBufferSetMb;
    const double firstBound = static_cast<double>(archive) / MiB + fixedMb;
    const double laterBound = 2 * static_cast<double>(laterArchive) / MiB + fixedMb;
    MemoryFigure memory{first.peakMb, firstBound};
    for (const double peak :
         {noChange.peakMb, noChangeUnknown.peakMb, afterOther.peakMb, oneChange.peakMb,
          oneNew.synchronization.peakMb, oneNewWhole.synchronization.peakMb}) {
        if (laterBound - peak < memory.boundMb - memory.peakMb) memory = {peak, laterBound};
    }

    // Processor times too, as the machine may be shared: wall times then vary more.
    std::printf("first_vs_compressor_cpu %.3f\n", compressor.cpuSeconds / first.cpuSeconds);
    std::printf("first_vs_compressor %.3f\n", compressor.seconds / first.seconds);
    std::printf("nochange_vs_rsync %.3f\n", noChange.seconds / rsyncNoChange.seconds);
    std::printf("onenew_vs_rsync %.3f\n", oneNew.ratio());
    std::printf("onechg_vs_rsync %.3f\n", sameSize.ratio());
    std::printf("hotedit_vs_rsync %.3f\n", hotEdit.ratio());
    std::printf("nochange_medium_read_mb %.3f\n", noChangeIo.readMb);
    std::printf("onenew_medium_write_mb %.3f\n", oneNewIo.writtenMb);
    std::printf("nochange_peak_rss_mb %.1f\n", noChange.peakMb);
    std::printf("nochange_500_projects_s %.3f\n", manyProjects);
    std::printf("peak_rss_mb %.1f\n", memory.peakMb);
    std::printf("peak_bound_mb %.1f\n", memory.boundMb);
    return 0;
}
