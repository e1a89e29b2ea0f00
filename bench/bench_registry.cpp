// Measures the registry store: the cost of one durable write, of the settings saves the
// program makes, and how long a write waits on a store another process holds locked.
//
//   bench_registry [folder]   (default: the system's temporary folder)
//
// The store is made in a fresh folder inside `folder`, which should be on the disk
// whose flushes are to be measured, and removed afterwards.

#include <sqlite3.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "settings/mask_history.h"
#include "settings/registry.h"
#include "settings/settings_key.h"
#include "settings/settings_store.h"

namespace {

using namespace ferry;
using Clock = std::chrono::steady_clock;

double millisecondsFor(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void report(const char* what, double milliseconds, int count) {
    std::printf("%-44s %9.3f ms  (%d x, %.3f ms each)\n", what, milliseconds, count,
                milliseconds / count);
}

std::string freshFolder(const std::string& base) {
    std::string pattern = (std::filesystem::path(base) / "ferry-bench-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    return mkdtemp(buffer.data()) == nullptr ? "" : buffer.data();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string base = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
    const std::string folder = freshFolder(base);
    if (folder.empty()) {
        std::fprintf(stderr, "cannot make a folder in %s\n", base.c_str());
        return 1;
    }
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    std::printf("store %s\n", registryStorePath().c_str());

    constexpr int Writes = 500;
    {
        const ScopedKey key = openSettingsForWrite();
        report("durable writeDword on one open key", millisecondsFor([&] {
                   for (int i = 0; i < Writes; ++i) {
                       writeDword(key.get(), numberedName("Bench", i % 50),
                                  static_cast<std::uint32_t>(i));
                   }
               }),
               Writes);
    }
    report("open key, writeString, close key", millisecondsFor([&] {
               for (int i = 0; i < Writes; ++i) {
                   const ScopedKey key = openSettingsForWrite();
                   writeString(key.get(), "Removable", "/media/ann/STICK/");
               }
           }),
           Writes);

    Catalogue catalogue;
    for (int i = 0; i < 100; ++i) {
        ProjectRecord& record = catalogue.add("/media/stick/Ferry/%project" + std::to_string(i));
        record.workDir = "/home/ann/project" + std::to_string(i) + "/";
        record.lastSync = 739023.5;
    }
    report("saveProjects, 100 entries (401 values)",
           millisecondsFor([&] { saveProjects(catalogue, nullptr); }), 1);
    report("loadSettings, 100 entries", millisecondsFor([] { loadSettings(); }), 1);
    StringList masks = newStringList();
    for (int i = 0; i < 100; ++i) masks.add("*.m" + std::to_string(i));
    report("saveMaskHistory, 100 masks", millisecondsFor([&] { saveMaskHistory(masks); }), 1);

    // Another connection holds the write lock: the first write waits and gives up, the
    // rest of the key's writes give up at once.
    sqlite3* holder = nullptr;
    sqlite3_open(registryStorePath().c_str(), &holder);
    sqlite3_exec(holder, "BEGIN EXCLUSIVE; UPDATE registry_keys SET root = root;", nullptr, nullptr,
                 nullptr);
    {
        const ScopedKey key = openSettingsForWrite();
        bool written = true;
        report("first write to a locked store (refused)",
               millisecondsFor([&] { written = writeDword(key.get(), "Kind", 1); }), 1);
        report("next writes on the same key (refused)", millisecondsFor([&] {
                   for (int i = 0; i < 100; ++i)
                       written = writeDword(key.get(), "Kind", 1) || written;
               }),
               100);
        if (written) std::printf("unexpected: a write to the locked store succeeded\n");
    }
    report("saveProjects to a locked store, 100 entries",
           millisecondsFor([&] { saveProjects(catalogue, nullptr); }), 1);
    sqlite3_close_v2(holder);

    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
