// System errors on Windows: the codes GetLastError gives.

#include <windows.h>

#include <string>

#include "platform/system_error.h"
#include "platform/windows_text.h"

namespace ferry {

ErrorKind errorKind(SystemError error) {
    switch (static_cast<DWORD>(error.code)) {
        case ERROR_SUCCESS: return ErrorKind::None;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return ErrorKind::NotFound;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return ErrorKind::Exists;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_FILE_TOO_LARGE: return ErrorKind::LackOfRoom;
        case ERROR_NOT_READY:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_REMOVED:
        case ERROR_IO_DEVICE:
        case ERROR_GEN_FAILURE: return ErrorKind::DeviceGone;
        case ERROR_WRITE_PROTECT: return ErrorKind::ReadOnly;
        case ERROR_ACCESS_DENIED: return ErrorKind::AccessDenied;
        case ERROR_INVALID_FUNCTION:
        case ERROR_INVALID_PARAMETER:
        case ERROR_NOT_SUPPORTED: return ErrorKind::NotSupported;
        default: return ErrorKind::Other;
    }
}

SystemError deviceFailure() {
    return SystemError{ERROR_IO_DEVICE};
}

SystemError outOfMemory() {
    return SystemError{ERROR_NOT_ENOUGH_MEMORY};
}

SystemError fileTooLarge() {
    return SystemError{ERROR_FILE_TOO_LARGE};
}

SystemError noRoom() {
    return SystemError{ERROR_DISK_FULL};
}

std::string systemErrorText(SystemError error) {
    if (error.code <= 0) return "";
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error.code), 0, reinterpret_cast<wchar_t*>(&buffer), 0,
        nullptr);
    if (length == 0 || buffer == nullptr) return "";
    std::string text = fromWide(std::wstring_view(buffer, length));
    LocalFree(buffer);
    while (!text.empty() && static_cast<unsigned char>(text.back()) < 33) text.pop_back();
    return text;
}

}  // namespace ferry
