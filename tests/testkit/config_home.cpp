#include "tests/testkit/config_home.h"

#include <cstdlib>

namespace ferry::testkit {

TempConfigHome::TempConfigHome(const std::string& inside) {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) previous_ = old;
    const std::string home = dir_ / inside;
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    storePath_ = (home.back() == '/' ? home : home + "/") + "ferryman/registry.sqlite3";
}

TempConfigHome::~TempConfigHome() {
    if (previous_) {
        setenv("XDG_CONFIG_HOME", previous_->c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

}  // namespace ferry::testkit
