#pragma once

#include <string>

namespace ferry::testkit {

// A fresh folder under the system's temporary folder, removed with everything in it
// when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, ending in "/".
    const std::string& path() const { return path_; }
    // path() + relative.
    std::string operator/(const std::string& relative) const { return path_ + relative; }

  private:
    std::string path_;
};

}  // namespace ferry::testkit
