#include "compress/file_stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/files.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/fault_platform.h"
#include "tests/testkit/stream_bytes.h"
#include "tests/testkit/temp_dir.h"

namespace ferry {
namespace {

using testkit::Call;
using testkit::FaultPlatform;
using testkit::readDiskFile;
using testkit::readToEnd;
using testkit::TempDir;
using testkit::writeDiskFile;
using testkit::writeText;

bool descriptorOpen(FileHandle handle) {
    return fcntl(handle, F_GETFD) != -1;
}

TEST(ReadFileStream, AMissingFileStillGivesAStream) {
    TempDir dir;
    StreamPtr stream = openReadFileStream(systemPlatform(), dir / "missing");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(getHandle(*stream), InvalidFileHandle);
    char byte = 0;
    EXPECT_EQ(read(*stream, &byte, 1), 0u);
    EXPECT_EQ(write(*stream, &byte, 1), 0u);
    EXPECT_EQ(getSize(*stream), 0u);
    EXPECT_EQ(seek(*stream, 0, SeekOrigin::fromBeginning), StreamFailure);
    EXPECT_FALSE(fileExists(systemPlatform(), dir / "missing")) << "reading never creates";
}

TEST(ReadFileStream, ReadsSeeksAndRefusesToChange) {
    TempDir dir;
    writeDiskFile(dir / "f", "0123456789");
    StreamPtr stream = openReadFileStream(systemPlatform(), dir / "f");
    ASSERT_NE(getHandle(*stream), InvalidFileHandle);
    EXPECT_EQ(getSize(*stream), 10u);
    EXPECT_EQ(seek(*stream, -3, SeekOrigin::fromEnd), 7u);
    EXPECT_EQ(readToEnd(*stream), "789");
    EXPECT_EQ(seek(*stream, 2, SeekOrigin::fromBeginning), 2u);
    EXPECT_EQ(seek(*stream, 3, SeekOrigin::fromCurrent), 5u);
    EXPECT_EQ(writeText(*stream, "xx"), 0u);
    setSize(*stream, 2);
    EXPECT_EQ(readDiskFile(dir / "f"), "0123456789");
}

TEST(FileStream, UnknownOriginsAndNegativeTargetsFail) {
    TempDir dir;
    writeDiskFile(dir / "f", "0123456789");
    StreamPtr stream = openReadFileStream(systemPlatform(), dir / "f");
    setPosition(*stream, 4);
    EXPECT_EQ(seek(*stream, 0, static_cast<SeekOrigin>(3)), StreamFailure);
    EXPECT_EQ(seek(*stream, -1, SeekOrigin::fromBeginning), StreamFailure);
    EXPECT_EQ(position(*stream), 4u);
}

TEST(WriteFileStream, EndsAtTheLastByteWritten) {
    TempDir dir;
    StreamPtr stream = createWriteFileStream(systemPlatform(), dir / "w");
    EXPECT_EQ(writeText(*stream, "0123456789"), 10u);
    EXPECT_EQ(setPosition(*stream, 4), 4u);
    EXPECT_EQ(writeText(*stream, "ab"), 2u);
    EXPECT_EQ(getSize(*stream), 6u);
    char byte = 0;
    EXPECT_EQ(read(*stream, &byte, 1), 0u) << "a write stream does not read";
    release(stream);
    EXPECT_EQ(readDiskFile(dir / "w"), "0123ab");
}

TEST(WriteFileStream, EmptiesAnExistingFile) {
    TempDir dir;
    writeDiskFile(dir / "w", "old content");
    StreamPtr stream = createWriteFileStream(systemPlatform(), dir / "w");
    EXPECT_EQ(getSize(*stream), 0u);
}

TEST(ReadWriteFileStream, KeepsTheBytesAfterAWrite) {
    TempDir dir;
    StreamPtr stream = openReadWriteFileStream(systemPlatform(), dir / "rw");
    ASSERT_NE(getHandle(*stream), InvalidFileHandle) << "a missing file is created";
    EXPECT_EQ(writeText(*stream, "0123456789"), 10u);
    setPosition(*stream, 4);
    EXPECT_EQ(writeText(*stream, "ab"), 2u);
    EXPECT_EQ(getSize(*stream), 10u);
    EXPECT_EQ(readToEnd(*stream), "6789");
    release(stream);
    EXPECT_EQ(readDiskFile(dir / "rw"), "0123ab6789");
    stream = openReadWriteFileStream(systemPlatform(), dir / "rw");
    EXPECT_EQ(readToEnd(*stream), "0123ab6789") << "an existing file is opened as it is";
}

TEST(FileSetSize, ShrinkingMovesThePositionGrowingKeepsIt) {
    TempDir dir;
    writeDiskFile(dir / "f", "0123456789");
    StreamPtr stream = openReadWriteFileStream(systemPlatform(), dir / "f");
    setPosition(*stream, 8);
    setSize(*stream, 5);
    EXPECT_EQ(getSize(*stream), 5u);
    EXPECT_EQ(position(*stream), 5u);
    setPosition(*stream, 2);
    setSize(*stream, 20);
    EXPECT_EQ(getSize(*stream), 20u);
    EXPECT_EQ(position(*stream), 2u);
}

TEST(FileStream, ReleaseClosesTheFile) {
    TempDir dir;
    writeDiskFile(dir / "f", "x");
    StreamPtr stream = openReadFileStream(systemPlatform(), dir / "f");
    const FileHandle handle = getHandle(*stream);
    ASSERT_TRUE(descriptorOpen(handle));
    release(stream);
    EXPECT_FALSE(descriptorOpen(handle));
}

TEST(FileStream, ARefusedOpenIsSeenOnlyThroughTheHandle) {
    TempDir dir;
    writeDiskFile(dir / "locked", "content");
    FaultPlatform faults;
    faults.failCall(Call::OpenFile, "locked");
    StreamPtr streams[] = {openReadFileStream(faults, dir / "locked"),
                           openReadWriteFileStream(faults, dir / "locked"),
                           createWriteFileStream(faults, dir / "locked")};
    for (StreamPtr& stream : streams) {
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(getHandle(*stream), InvalidFileHandle);
        EXPECT_EQ(writeText(*stream, "x"), 0u);
    }
    EXPECT_EQ(readDiskFile(dir / "locked"), "content");
}

TEST(FileStream, AFullMediumGivesAShortWrite) {
    TempDir dir;
    FaultPlatform faults;
    faults.failWritesAfter(6, "full");
    StreamPtr stream = createWriteFileStream(faults, dir / "full");
    EXPECT_EQ(writeText(*stream, "0123456789"), 6u);
    EXPECT_EQ(writeText(*stream, "more"), 0u);
    release(stream);
    EXPECT_EQ(readDiskFile(dir / "full"), "012345");
}

TEST(FileStream, SizesAndPositionsOf4GiBOrMoreFailInsteadOfWrapping) {
    TempDir dir;
    writeDiskFile(dir / "huge", "");
    constexpr off_t FourGiBAndTen = (off_t{1} << 32) + 10;
    ASSERT_EQ(truncate((dir / "huge").c_str(), FourGiBAndTen), 0) << "sparse: costs no disk";
    StreamPtr stream = openReadFileStream(systemPlatform(), dir / "huge");
    EXPECT_EQ(getSize(*stream), StreamFailure);
    EXPECT_EQ(seek(*stream, 0, SeekOrigin::fromEnd), StreamFailure);
    ASSERT_EQ(seek(*stream, 0x7FFFFFFF, SeekOrigin::fromBeginning), 0x7FFFFFFFu);
    EXPECT_EQ(seek(*stream, 0x7FFFFFFF, SeekOrigin::fromCurrent), 0xFFFFFFFEu);
    EXPECT_EQ(seek(*stream, 1, SeekOrigin::fromCurrent), StreamFailure);
    EXPECT_EQ(position(*stream), 0xFFFFFFFEu) << "a failed seek leaves the position";
}

TEST(FileStream, ReserveNeverChangesTheFile) {
    TempDir dir;
    const std::string content(5000, 'c');
    writeDiskFile(dir / "f", content);
    StreamPtr stream = openReadWriteFileStream(systemPlatform(), dir / "f");
    setPosition(*stream, 100);
    for (const std::uint32_t bytes : {0u, 2000u, 5000u, 9000u}) {
        reserve(*stream, bytes);
        EXPECT_EQ(getSize(*stream), 5000u) << bytes;
        EXPECT_EQ(position(*stream), 100u) << bytes;
    }
    release(stream);
    EXPECT_EQ(readDiskFile(dir / "f"), content);
}

TEST(ReadWriteFileStream, NeverEmptiesAFileThatAppearedAfterTheCheck) {
    TempDir dir;
    writeDiskFile(dir / "rw", "made meanwhile");
    FaultPlatform faults;
    faults.failCall(Call::PathInfo, "rw", testkit::NoSuchFile);  // any look beforehand sees no file
    StreamPtr stream = openReadWriteFileStream(faults, dir / "rw");
    ASSERT_NE(getHandle(*stream), InvalidFileHandle);
    release(stream);
    EXPECT_EQ(readDiskFile(dir / "rw"), "made meanwhile");
}

}  // namespace
}  // namespace ferry
