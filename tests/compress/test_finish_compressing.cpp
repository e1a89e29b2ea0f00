#include <gtest/gtest.h>

#include "compress/compressed_stream.h"
#include "compress/file_stream.h"
#include "compress/memory_stream.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/fault_platform.h"
#include "tests/testkit/plain_ucl.h"
#include "tests/testkit/stream_bytes.h"
#include "tests/testkit/temp_dir.h"

namespace ferry {
namespace {

using testkit::FaultPlatform;
using testkit::plainPayload;
using testkit::readDiskFile;
using testkit::sourceLikeText;
using testkit::TempDir;
using testkit::writeText;

constexpr std::uint32_t Small = 1024;

TEST(FinishCompressing, CompletesThePayloadOnceAndRefusesLaterWrites) {
    const std::string data = sourceLikeText(3 * Small + 1);
    StreamPtr sink = newMemoryStream();
    StreamPtr writer = newCompressingStream(7, Small, *sink);
    EXPECT_EQ(writeText(*writer, data), data.size());
    EXPECT_TRUE(finishCompressing(*writer));
    EXPECT_EQ(testkit::memoryBytes(*sink), plainPayload(data, Small)) << "complete before release";
    EXPECT_TRUE(finishCompressing(*writer)) << "twice is harmless";
    EXPECT_EQ(writeText(*writer, "late"), StreamFailure) << "the payload is closed";
    release(writer);
    EXPECT_EQ(testkit::memoryBytes(*sink), plainPayload(data, Small)) << "release adds nothing";
    EXPECT_FALSE(finishCompressing(*sink)) << "only a compressing stream can be finished";
}

// The destination is a file on a medium that fills up after `room` bytes (none: full from
// the start, like /dev/full). Whichever block meets the full medium, the failure is told:
// by the write that sent the block, else by finishing; after it every write fails. One
// worker, so that the write that sends a block learns its fate at once.
TEST(FinishCompressing, TellsThatTheMediumFilledUp) {
    const std::string data = sourceLikeText(3 * Small + 1);
    const std::string whole = plainPayload(data, Small);
    const std::size_t fullBlocks = whole.size() - (4 + testkit::plainCompress("x").size());
    struct Case {
        const char* what;
        std::size_t room;
        std::uint32_t written;
    };
    const Case cases[] = {
        {"full from the start", 0, StreamFailure},
        {"full inside the second block", whole.size() / 3 + 10, StreamFailure},
        {"the last block's length field cut", fullBlocks + 2, 3 * Small + 1},
        {"the last byte missing", whole.size() - 1, 3 * Small + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        FaultPlatform faults;
        faults.failWritesAfter(static_cast<std::int64_t>(c.room), "payload");
        StreamPtr file = createWriteFileStream(faults, dir / "payload");
        StreamPtr writer = newCompressingStream(7, Small, *file, {}, 1);
        EXPECT_EQ(writeText(*writer, data), c.written);
        EXPECT_FALSE(finishCompressing(*writer));
        EXPECT_FALSE(finishCompressing(*writer));
        faults.heal();
        EXPECT_EQ(writeText(*writer, "x"), StreamFailure) << "also once there is room again";
        release(writer);
        release(file);
        EXPECT_EQ(readDiskFile(dir / "payload"), whole.substr(0, c.room));
    }
}

TEST(FinishCompressing, AFailingCompressorFailsTheFinish) {
    StreamPtr sink = newMemoryStream();
    StreamPtr writer = newCompressingStream(11, Small, *sink);  // no such level
    EXPECT_EQ(writeText(*writer, "abc"), 3u);
    EXPECT_FALSE(finishCompressing(*writer));
    EXPECT_EQ(testkit::memoryBytes(*sink), "");
}

}  // namespace
}  // namespace ferry
