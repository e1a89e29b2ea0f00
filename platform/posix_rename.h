#pragma once

// The rename that must not replace its target, on POSIX. Not every file system has an
// atomic form of it, so it falls back step by step; the system calls it is made of are
// apart so that tests can stage what such file systems do.

#include <string>

namespace ferry {

// Each call returns 0, or -1 with errno set, as the system call it stands for.
class RenameCalls {
  public:
    virtual ~RenameCalls() = default;
    // renameat2 with RENAME_NOREPLACE.
    virtual int renameNoReplace(const char* from, const char* to);
    virtual int link(const char* from, const char* to);
    virtual int unlink(const char* path);
    // lstat, for whether the name is taken.
    virtual int lstat(const char* path);
    virtual int rename(const char* from, const char* to);
};

// Moves `from` to `to` unless `to` exists. False with errno set on failure; the file then
// stays under `from` alone.
bool renameWithoutReplacing(const std::string& from, const std::string& to, RenameCalls& calls);

}  // namespace ferry
