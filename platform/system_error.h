#pragma once

// Failures as the system reports them, and the few kinds of them the engine tells apart.
// Only the platform knows the system's codes; everybody else asks for the kind.

#include <string>

namespace ferry {

// The system's own code of a failure (an errno value on POSIX); 0 for none.
struct SystemError {
    int code = 0;
    bool failed() const { return code != 0; }
    friend bool operator==(SystemError, SystemError) = default;
};

enum class ErrorKind {
    None,
    NotFound,      // the name does not exist
    Exists,        // the name exists already
    LackOfRoom,    // the device or the user's quota is full, or the file too large for it
    DeviceGone,    // the device failed or went away (a pulled stick)
    ReadOnly,      // the device or its file system takes no writes (a locked card)
    AccessDenied,  // this user may not do it there (permissions)
    NotSupported,  // the file system cannot do this (flushing a folder, say)
    Other
};

ErrorKind errorKind(SystemError error);

// The error to give when the system failed without saying why (a write that came up
// short, say): a failing device.
SystemError deviceFailure();
// The error to give when memory ran out.
SystemError outOfMemory();
// The error to give for a file larger than the program can handle.
SystemError fileTooLarge();
// The error to give for a device found too full for what is to be written.
SystemError noRoom();

// The system's own text for the error, with the line break and blanks it may end with
// removed. "" when the system has no text for it; never fails.
std::string systemErrorText(SystemError error);

// A call's result together with the error the system gave when it failed. True when the
// call succeeded; `value` is meaningful then (and holds the call's failure value else).
struct Nothing {};
template <typename T = Nothing>
struct SystemResult {
    T value{};
    SystemError error;
    explicit operator bool() const { return !error.failed(); }
};

inline SystemResult<> succeeded() {
    return {};
}
inline SystemResult<> failedWith(SystemError error) {
    return {Nothing{}, error};
}

}  // namespace ferry
