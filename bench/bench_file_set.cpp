// Gathers a generated project of 50,000 files in 1,000 folders and compares the time
// with `find DIR -type f` over the same tree, in the same run. Prints both medians and,
// last, "ratio <ours/find>".

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sync/project_file_set.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int TopFolders = 40;
constexpr int SubfoldersEach = 24;  // 40 + 40 * 24 = 1,000 folders
constexpr int FilesPerFolder = 50;  // 50,000 files
constexpr int Runs = 7;

void generateTree(const fs::path& root) {
    static const char* const endings[] = {".c", ".h", ".o", ".txt", ".c"};
    const auto fill = [](const fs::path& folder) {
        fs::create_directories(folder);
        for (int i = 0; i < FilesPerFolder; ++i) {
            std::ofstream(folder / ("file" + std::to_string(i) + endings[i % 5]));
        }
    };
    for (int top = 0; top < TopFolders; ++top) {
        const fs::path topFolder = root / ("dir" + std::to_string(top));
        fill(topFolder);
        for (int sub = 0; sub < SubfoldersEach; ++sub)
            fill(topFolder / ("sub" + std::to_string(sub)));
    }
}

double medianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main() {
    char pattern[] = "/tmp/ferry-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const fs::path root(pattern);
    generateTree(root);

    std::vector<double> ours;
    std::vector<double> find;
    std::int32_t listed = 0;
    const std::string findCommand = "find '" + root.string() + "' -type f > /dev/null";
    for (int run = 0; run < Runs; ++run) {
        auto start = Clock::now();
        ferry::StringList list = ferry::newStringListWithData();
        const ferry::ListingFailure failure = ferry::gatherProjectFiles(
            ferry::systemPlatform(), list, root.string(), "*.c;*.h;^*.o", true);
        ours.push_back(secondsSince(start));
        if (failure.error.failed()) return 1;
        listed = list.count();

        start = Clock::now();
        if (std::system(findCommand.c_str()) != 0) return 1;
        find.push_back(secondsSince(start));
    }
    fs::remove_all(root);

    const double oursMedian = medianOf(ours);
    const double findMedian = medianOf(find);
    std::printf("tree: %d folders, %d files; listed %d\n", TopFolders * (1 + SubfoldersEach),
                TopFolders * (1 + SubfoldersEach) * FilesPerFolder, listed);
    std::printf("gatherProjectFiles median of %d: %.2f ms\n", Runs, oursMedian * 1000);
    std::printf("find -type f median of %d: %.2f ms\n", Runs, findMedian * 1000);
    std::printf("ratio %.3f\n", oursMedian / findMedian);
    return 0;
}
