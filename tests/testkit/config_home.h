#pragma once

#include <optional>
#include <string>

#include "tests/testkit/temp_dir.h"

namespace ferry::testkit {

// Points XDG_CONFIG_HOME at `home` for its lifetime; the previous value comes back
// afterwards.
class ScopedConfigHome {
  public:
    explicit ScopedConfigHome(const std::string& home);
    ~ScopedConfigHome();
    ScopedConfigHome(const ScopedConfigHome&) = delete;
    ScopedConfigHome& operator=(const ScopedConfigHome&) = delete;

  private:
    std::optional<std::string> previous_;
};

// A config home in which no folder can be made, not even by root (the kernel's process
// file system takes no new folders).
inline constexpr const char* UnwritableConfigHome = "/proc/ferryman-no-config";

// Points XDG_CONFIG_HOME at a fresh temporary folder (or a path inside it) for its
// lifetime, so the registry store a test writes lives there and goes with it.
class TempConfigHome {
  public:
    // `inside` is appended to the temporary folder; "" uses the folder itself.
    explicit TempConfigHome(const std::string& inside = "");
    TempConfigHome(const TempConfigHome&) = delete;
    TempConfigHome& operator=(const TempConfigHome&) = delete;

    // The temporary folder, ending in "/".
    const TempDir& dir() const { return dir_; }
    // Where the store is expected: <config home>/ferryman/registry.sqlite3.
    const std::string& storePath() const { return storePath_; }

  private:
    TempDir dir_;
    std::string storePath_;
    ScopedConfigHome scoped_;
};

}  // namespace ferry::testkit
