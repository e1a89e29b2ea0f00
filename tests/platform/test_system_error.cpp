#include "platform/system_error.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace ferry {
namespace {

TEST(SystemErrorText, KnownCodesGiveTheSystemText) {
    // The tests never switch locale, so the C library speaks English.
    EXPECT_EQ(systemErrorText(ENOENT), "No such file or directory");
    EXPECT_EQ(systemErrorText(ENOSPC), "No space left on device");
}

TEST(SystemErrorText, NoTrailingBlanksOrLineBreaks) {
    for (std::uint32_t code = 0; code < 140; ++code) {
        const std::string text = systemErrorText(code);
        if (text.empty()) continue;
        EXPECT_GE(static_cast<unsigned char>(text.back()), 33) << "code " << code;
    }
}

TEST(SystemErrorText, UnknownCodesGiveEmptyText) {
    EXPECT_EQ(systemErrorText(99999), "");
    EXPECT_EQ(systemErrorText(0xFFFFFFFFu), "") << "above the signed range";
}

}  // namespace
}  // namespace ferry
