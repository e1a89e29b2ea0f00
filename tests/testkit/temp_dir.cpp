#include "tests/testkit/temp_dir.h"

#include <filesystem>
#include <random>
#include <stdexcept>

namespace ferry::testkit {

TempDir::TempDir() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path folder = base / ("ferry-test-" + std::to_string(random()));
        // Creating it is what claims the name; a folder already there is someone else's.
        if (std::filesystem::create_directory(folder)) {
            path_ = folder.generic_string() + "/";
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be made");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace ferry::testkit
