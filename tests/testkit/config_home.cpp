#include "tests/testkit/config_home.h"

#include <cstdlib>

namespace ferry::testkit {

ScopedConfigHome::ScopedConfigHome(const std::string& home) {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) previous_ = old;
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
}

ScopedConfigHome::~ScopedConfigHome() {
    if (previous_) {
        setenv("XDG_CONFIG_HOME", previous_->c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

TempConfigHome::TempConfigHome(const std::string& inside) : scoped_(dir_ / inside) {
    const std::string home = dir_ / inside;
    storePath_ = (home.back() == '/' ? home : home + "/") + "ferryman/registry.sqlite3";
}

}  // namespace ferry::testkit
