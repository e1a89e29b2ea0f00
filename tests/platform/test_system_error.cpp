#include "platform/system_error.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace ferry {
namespace {

TEST(SystemErrorText, KnownCodesGiveTheSystemText) {
    // The tests never switch locale, so the C library speaks English.
    EXPECT_EQ(systemErrorText({ENOENT}), "No such file or directory");
    EXPECT_EQ(systemErrorText({ENOSPC}), "No space left on device");
}

TEST(SystemErrorText, NoTrailingBlanksOrLineBreaks) {
    for (int code = 0; code < 140; ++code) {
        const std::string text = systemErrorText({code});
        if (text.empty()) continue;
        EXPECT_GE(static_cast<unsigned char>(text.back()), 33) << "code " << code;
    }
}

TEST(SystemErrorText, UnknownCodesGiveEmptyText) {
    EXPECT_EQ(systemErrorText({99999}), "");
    EXPECT_EQ(systemErrorText({-1}), "");
    EXPECT_EQ(systemErrorText({}), "") << "no error";
}

// The engine decides by these kinds whether to fall back, skip or stop.
TEST(ErrorKind, TheSystemCodesTheEngineActsOn) {
    const struct {
        int code;
        ErrorKind kind;
    } cases[] = {{0, ErrorKind::None},
                 {ENOENT, ErrorKind::NotFound},
                 {EEXIST, ErrorKind::Exists},
                 {ENOSPC, ErrorKind::LackOfRoom},
                 {EDQUOT, ErrorKind::LackOfRoom},
                 {EFBIG, ErrorKind::LackOfRoom},
                 {EIO, ErrorKind::DeviceGone},
                 {ENODEV, ErrorKind::DeviceGone},
                 {ENOTSUP, ErrorKind::NotSupported},
                 {EINVAL, ErrorKind::NotSupported},
                 {EACCES, ErrorKind::AccessDenied},
                 {EROFS, ErrorKind::ReadOnly},
                 {EBUSY, ErrorKind::Other}};
    for (const auto& c : cases) EXPECT_EQ(errorKind({c.code}), c.kind) << "code " << c.code;
}

}  // namespace
}  // namespace ferry
