#include "compress/memory_stream.h"

#include <gtest/gtest.h>

#include "compress/file_stream.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/stream_bytes.h"
#include "tests/testkit/temp_dir.h"

namespace ferry {
namespace {

using testkit::memoryBytes;
using testkit::memoryStreamWith;
using testkit::writeText;

TEST(MemoryStream, StartsEmptyWithoutBuffer) {
    StreamPtr stream = newMemoryStream();
    EXPECT_EQ(getSize(*stream), 0u);
    EXPECT_EQ(position(*stream), 0u);
    EXPECT_EQ(stream->memory, nullptr);
    EXPECT_EQ(getHandle(*stream), InvalidFileHandle);
    char byte = 'x';
    EXPECT_EQ(read(*stream, &byte, 1), 0u);
}

TEST(MemoryStream, CapacityGrowsInWholeSteps) {
    StreamPtr stream = newMemoryStream();
    setSize(*stream, 1);
    EXPECT_EQ(stream->capacity, 16384u);
    setSize(*stream, 16384);
    EXPECT_EQ(stream->capacity, 16384u) << "grown only when the size passes the capacity";
    StreamPtr fresh = newMemoryStream();
    setSize(*fresh, 16384);
    EXPECT_EQ(fresh->capacity, 32768u) << "the smallest multiple above the size";
    setSize(*fresh, 100);
    EXPECT_EQ(fresh->capacity, 32768u) << "a smaller size never shrinks the buffer";
    EXPECT_EQ(getSize(*fresh), 100u);
    setSize(*stream, 0);
    EXPECT_EQ(stream->capacity, 0u);
    EXPECT_EQ(stream->memory, nullptr) << "size 0 releases the buffer";
}

TEST(MemoryStream, AppendingByteByByteReallocatesOncePerStep) {
    StreamPtr stream = newMemoryStream();
    int growths = 0;
    std::size_t capacity = 0;
    for (int i = 0; i < 3 * 16384 + 1; ++i) {
        const char byte = static_cast<char>(i);
        ASSERT_EQ(write(*stream, &byte, 1), 1u);
        if (stream->capacity != capacity) ++growths;
        capacity = stream->capacity;
    }
    EXPECT_EQ(growths, 4);
    EXPECT_EQ(capacity, 4u * 16384);
    EXPECT_EQ(memoryBytes(*stream)[16384], static_cast<char>(16384 & 0xFF));
}

TEST(MemoryStream, ShrinkingPullsThePositionBack) {
    StreamPtr stream = memoryStreamWith("0123456789");
    setPosition(*stream, 8);
    setSize(*stream, 4);
    EXPECT_EQ(position(*stream), 4u);
    setSize(*stream, 6);
    EXPECT_EQ(position(*stream), 4u) << "growing keeps the position";
}

TEST(MemoryStream, SeekPastTheEndGrowsTheStream) {
    StreamPtr stream = newMemoryStream();
    EXPECT_EQ(seek(*stream, 100, SeekOrigin::fromBeginning), 100u);
    EXPECT_EQ(getSize(*stream), 100u);
    EXPECT_EQ(seek(*stream, -10, SeekOrigin::fromEnd), 90u);
    EXPECT_EQ(seek(*stream, 20, SeekOrigin::fromCurrent), 110u);
    EXPECT_EQ(getSize(*stream), 110u);
}

TEST(MemoryStream, SeekBeforeTheStartFailsAndStays) {
    StreamPtr stream = memoryStreamWith("abcdef");
    setPosition(*stream, 3);
    EXPECT_EQ(seek(*stream, -1, SeekOrigin::fromBeginning), StreamFailure);
    EXPECT_EQ(seek(*stream, -4, SeekOrigin::fromCurrent), StreamFailure);
    EXPECT_EQ(seek(*stream, -7, SeekOrigin::fromEnd), StreamFailure);
    EXPECT_EQ(seek(*stream, 0, static_cast<SeekOrigin>(3)), StreamFailure);
    EXPECT_EQ(position(*stream), 3u);
    EXPECT_EQ(getSize(*stream), 6u);
    EXPECT_EQ(seek(*stream, -6, SeekOrigin::fromEnd), 0u);
}

TEST(MemoryStream, ReadStopsAtTheEndAndWriteOverwritesThenExtends) {
    StreamPtr stream = memoryStreamWith("abcdef");
    setPosition(*stream, 4);
    char buffer[8] = {};
    EXPECT_EQ(read(*stream, buffer, 8), 2u);
    EXPECT_EQ(std::string(buffer, 2), "ef");
    EXPECT_EQ(read(*stream, buffer, 8), 0u);
    setPosition(*stream, 2);
    EXPECT_EQ(writeText(*stream, "XYZWV"), 5u);
    EXPECT_EQ(memoryBytes(*stream), "abXYZWV");
    EXPECT_EQ(position(*stream), 7u);
    EXPECT_EQ(write(*stream, buffer, 0), 0u);
    EXPECT_EQ(getSize(*stream), 7u);
}

TEST(Reserve, KeepsTheDataAndRaisesTheCapacity) {
    StreamPtr stream = memoryStreamWith("data");
    setPosition(*stream, 2);
    reserve(*stream, 100000);
    EXPECT_EQ(getSize(*stream), 4u);
    EXPECT_EQ(memoryBytes(*stream), "data");
    EXPECT_EQ(stream->capacity, 114688u);
    EXPECT_EQ(position(*stream), 2u);
    reserve(*stream, 10);
    EXPECT_EQ(stream->capacity, 114688u) << "enough room already";
}

TEST(Reserve, OnAnEmptyStreamLeavesNoBuffer) {
    StreamPtr stream = newMemoryStream();
    reserve(*stream, 100000);
    EXPECT_EQ(getSize(*stream), 0u);
    EXPECT_EQ(stream->memory, nullptr) << "setting the size back to 0 releases it";
}

// 0xFFFFFFFF is StreamFailure, so no size may equal it, whichever way the bytes come.
TEST(MemoryStream, NeverReachesTheFailureSize) {
    testkit::TempDir dir;
    testkit::writeDiskFile(dir / "one", "x");
    StreamPtr file = openReadFileStream(systemPlatform(), dir / "one");
    StreamPtr stream = newMemoryStream();
    setSize(*stream, 0xFFFFFFFE);  // untouched pages: reserved, not used
    ASSERT_EQ(getSize(*stream), 0xFFFFFFFEu);
    ASSERT_EQ(seek(*stream, 0, SeekOrigin::fromEnd), 0xFFFFFFFEu);
    EXPECT_EQ(writeText(*stream, "x"), 0u);
    EXPECT_EQ(copyStream(*stream, *file, 1), 0u);
    EXPECT_EQ(getSize(*stream), 0xFFFFFFFEu);
    EXPECT_EQ(position(*file), 0u) << "nothing was taken from the source";
}

}  // namespace
}  // namespace ferry
