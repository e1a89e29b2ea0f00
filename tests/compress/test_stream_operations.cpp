#include "compress/stream.h"

#include <gtest/gtest.h>

#include "compress/compressed_stream.h"
#include "compress/file_stream.h"
#include "compress/memory_stream.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/plain_ucl.h"
#include "tests/testkit/stream_bytes.h"
#include "tests/testkit/temp_dir.h"

namespace ferry {
namespace {

using testkit::memoryBytes;
using testkit::memoryStreamWith;
using testkit::readDiskFile;
using testkit::TempDir;
using testkit::writeDiskFile;

TEST(StreamObject, ReleaseRunsCloseOnceAndIgnoresNull) {
    static int closes = 0;
    closes = 0;
    StreamOps ops{.seek = nullptr,
                  .getSize = sizeZero,
                  .setSize = keepSize,
                  .read = readNothing,
                  .write = writeNothing,
                  .close = [](Stream&) { ++closes; }};
    StreamPtr stream = newStreamWithOps(ops);
    ops.close = nullptr;
    EXPECT_NE(stream->ops.close, nullptr) << "the stream keeps its own copy of the table";
    release(stream);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(stream, nullptr);
    release(stream);
    EXPECT_EQ(closes, 1);
    {
        StreamPtr scoped = newStreamWithOps(StreamOps{.close = [](Stream&) { ++closes; }});
    }
    EXPECT_EQ(closes, 2) << "dropping the owner closes too";
}

TEST(ZString, WritesTextAndOneZeroByte) {
    StreamPtr stream = newMemoryStream();
    EXPECT_EQ(writeZString(*stream, ""), 1u);
    EXPECT_EQ(writeZString(*stream, "abc"), 4u);
    EXPECT_EQ(memoryBytes(*stream), std::string("\0abc\0", 5));
}

TEST(ZString, ReadsUpToTheZeroByteAndNoFurther) {
    StreamPtr stream = memoryStreamWith(std::string("name\0rest", 9));
    EXPECT_EQ(readZString(*stream), "name");
    EXPECT_EQ(position(*stream), 5u);
    EXPECT_EQ(readZString(*stream), "rest") << "without a zero byte: all that remains";
    EXPECT_EQ(readZString(*stream), "") << "at the end";
}

TEST(ZString, TellsHowItEnded) {
    StreamPtr stream = memoryStreamWith(std::string("a\0b", 3));
    std::string text;
    EXPECT_EQ(readZStringInto(*stream, text), ZStringEnd::Terminator);
    EXPECT_EQ(readZStringInto(*stream, text), ZStringEnd::EndOfData);
    EXPECT_EQ(text, "ab");
    StreamPtr damaged = memoryStreamWith(testkit::littleEndian(0, 4));
    StreamPtr reader = newDecompressingStream(1024, *damaged);
    EXPECT_EQ(readZStringInto(*reader, text), ZStringEnd::Failure);
}

TEST(CopyStream, FromMemoryTakesAtMostWhatRemains) {
    StreamPtr source = memoryStreamWith("0123456789");
    setPosition(*source, 6);
    StreamPtr target = newMemoryStream();
    EXPECT_EQ(copyStream(*target, *source, 100), 4u);
    EXPECT_EQ(memoryBytes(*target), "6789");
    EXPECT_EQ(position(*source), 10u);
    EXPECT_EQ(copyStream(*target, *source, 100), 0u);
}

TEST(CopyStream, IntoMemoryReadsStraightIntoItsBufferAndKeepsWhatArrived) {
    TempDir dir;
    writeDiskFile(dir / "f", "file bytes");
    StreamPtr file = openReadFileStream(systemPlatform(), dir / "f");
    StreamPtr target = memoryStreamWith("head:");
    setPosition(*target, 5);
    EXPECT_EQ(copyStream(*target, *file, 4), 4u);
    EXPECT_EQ(memoryBytes(*target), "head:file");
    EXPECT_EQ(position(*target), 9u);
    EXPECT_EQ(copyStream(*target, *file, 1000), 6u);
    EXPECT_EQ(memoryBytes(*target), "head:file bytes") << "no uninitialised tail";
    EXPECT_EQ(position(*target), 15u);
}

TEST(CopyStream, BetweenFilesThroughATemporaryBuffer) {
    TempDir dir;
    writeDiskFile(dir / "a", "abcdef");
    StreamPtr from = openReadFileStream(systemPlatform(), dir / "a");
    StreamPtr to = createWriteFileStream(systemPlatform(), dir / "b");
    EXPECT_EQ(copyStream(*to, *from, 4), 4u);
    release(to);
    EXPECT_EQ(readDiskFile(dir / "b"), "abcd");
}

TEST(CopyStream, OntoItselfCopiesNothing) {
    StreamPtr stream = memoryStreamWith("abc");
    EXPECT_EQ(copyStream(*stream, *stream, 3), 0u);
    EXPECT_EQ(memoryBytes(*stream), "abc");
}

TEST(CopyStream, ASourceFailureIsPassedOnAndMovesNothing) {
    StreamPtr damaged = memoryStreamWith(testkit::littleEndian(0, 4));
    StreamPtr reader = newDecompressingStream(1024, *damaged);
    StreamPtr target = memoryStreamWith("keep");
    setPosition(*target, 4);
    EXPECT_EQ(copyStream(*target, *reader, 64), StreamFailure);
    EXPECT_EQ(memoryBytes(*target), "keep");
    EXPECT_EQ(position(*target), 4u);
    StreamPtr other = newMemoryStream();
    EXPECT_EQ(copyStream(*other, *reader, 64), StreamFailure) << "through a temporary buffer";
    EXPECT_EQ(getSize(*other), 0u);
}

TEST(CopyStream, ADestinationFailureLeavesTheSourcePosition) {
    StreamPtr sink = newMemoryStream();
    StreamPtr writer = newCompressingStream(99, 4, *sink, {}, 1);  // no such level
    StreamPtr source = memoryStreamWith("0123456789");
    EXPECT_EQ(copyStream(*writer, *source, 10), StreamFailure);
    EXPECT_EQ(position(*source), 0u);
}

}  // namespace
}  // namespace ferry
