#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

namespace ferry {
namespace {

// strerror_r has two shapes: the GNU one returns the text, the POSIX one fills the buffer
// and returns 0 or an error number. These overloads accept whichever the C library gives.
[[maybe_unused]] const char* messageFrom(const char* result, const char* /*buffer*/) {
    return result;
}
[[maybe_unused]] const char* messageFrom(int result, const char* buffer) {
    return result == 0 ? buffer : nullptr;
}

bool systemKnows(int code) {
#if defined(__GLIBC__)
    // glibc makes up "Unknown error N" for codes it has no text for; its name table tells.
    return strerrorname_np(code) != nullptr;
#else
    (void)code;
    return true;
#endif
}

}  // namespace

ErrorKind errorKind(SystemError error) {
    switch (error.code) {
        case 0: return ErrorKind::None;
        case ENOENT: return ErrorKind::NotFound;
        case EEXIST: return ErrorKind::Exists;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return ErrorKind::LackOfRoom;
        case EIO:
        case ENODEV:
        case ENXIO: return ErrorKind::DeviceGone;
        case EROFS: return ErrorKind::ReadOnly;
        case EACCES:
        case EPERM: return ErrorKind::AccessDenied;
        case EINVAL:
        case ENOTSUP: return ErrorKind::NotSupported;
        default: return ErrorKind::Other;
    }
}

SystemError deviceFailure() {
    return SystemError{EIO};
}

SystemError outOfMemory() {
    return SystemError{ENOMEM};
}

SystemError fileTooLarge() {
    return SystemError{EFBIG};
}

SystemError noRoom() {
    return SystemError{ENOSPC};
}

std::string systemErrorText(SystemError error) {
    const int number = error.code;
    if (number <= 0 || !systemKnows(number)) return "";
    char buffer[256] = {};
    const char* message = messageFrom(strerror_r(number, buffer, sizeof buffer), buffer);
    std::string text = message == nullptr ? "" : message;
    while (!text.empty() && static_cast<unsigned char>(text.back()) < 33) text.pop_back();
    return text;
}

}  // namespace ferry
