#include "platform/posix_rename.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace ferry {

namespace {

// Link errors that say the file system has no links (FAT and exFAT sticks give EPERM),
// or no room for another one, rather than that the move itself is impossible.
bool noLinksHere(int error) {
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK;
}

}  // namespace

int RenameCalls::renameNoReplace(const char* from, const char* to) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

int RenameCalls::link(const char* from, const char* to) {
    return ::link(from, to);
}

int RenameCalls::unlink(const char* path) {
    return ::unlink(path);
}

int RenameCalls::lstat(const char* path) {
    struct stat st {};
    return ::lstat(path, &st);
}

int RenameCalls::rename(const char* from, const char* to) {
    return ::rename(from, to);
}

bool renameWithoutReplacing(const std::string& from, const std::string& to, RenameCalls& calls) {
    if (calls.renameNoReplace(from.c_str(), to.c_str()) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // No atomic form here: a second name, then the first one goes. link refuses a taken
    // name as atomically as the rename would.
    if (calls.link(from.c_str(), to.c_str()) == 0) {
        if (calls.unlink(from.c_str()) == 0) return true;
        const int error = errno;
        // Someone removed the old name meanwhile: the file stands under the new one alone.
        if (error == ENOENT) return true;
        // Never leave the file under both names.
        calls.unlink(to.c_str());
        errno = error;
        return false;
    }
    if (!noLinksHere(errno)) return false;
    // The last resort, where neither form exists: a file that appears under `to` between
    // the check and the rename is replaced. Nothing better is left on such a file system.
    if (calls.lstat(to.c_str()) == 0) {
        errno = EEXIST;
        return false;
    }
    if (errno != ENOENT) return false;
    return calls.rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace ferry
