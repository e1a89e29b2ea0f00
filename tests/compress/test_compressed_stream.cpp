#include "compress/compressed_stream.h"

#include <gtest/gtest.h>

#include <vector>

#include "compress/file_stream.h"
#include "compress/memory_stream.h"
#include "tests/testkit/plain_ucl.h"
#include "tests/testkit/stream_bytes.h"
#include "tests/testkit/temp_dir.h"

namespace ferry {
namespace {

using testkit::littleEndian;
using testkit::memoryBytes;
using testkit::memoryStreamWith;
using testkit::plainBlocks;
using testkit::plainCompress;
using testkit::plainDecompress;
using testkit::plainPayload;
using testkit::randomBytes;
using testkit::readToEnd;
using testkit::sourceLikeText;
using testkit::writeText;

// The block size of media archives and its buffer: B + B/8 + 256.
constexpr std::uint32_t B = 524288;
constexpr std::uint32_t BufferSize = 590080;
// A small block size, so that tests can span several blocks cheaply.
constexpr std::uint32_t Small = 1024;
// One worker, so that a block sent is in the destination when the write returns, and a
// block read is decoded when the read asks for it.
constexpr unsigned OneWorker = 1;

std::string compressed(std::string_view data, std::uint32_t blockSize) {
    StreamPtr sink = newMemoryStream();
    StreamPtr writer = newCompressingStream(7, blockSize, *sink);
    EXPECT_EQ(writeText(*writer, data), data.size());
    release(writer);
    return memoryBytes(*sink);
}

// The decoded length of every block of a payload, decoded with plain library calls.
std::vector<std::size_t> decodedBlockSizes(std::string_view payload) {
    std::vector<std::size_t> sizes;
    const auto blocks = plainBlocks(payload);
    for (const std::string& block : blocks.value()) {
        sizes.push_back(plainDecompress(block, BufferSize).value().size());
    }
    return sizes;
}

struct Reader {
    explicit Reader(std::string_view payload, std::uint32_t blockSize = Small)
        : source(memoryStreamWith(payload)),
          stream(newDecompressingStream(
              blockSize, *source,
              [this](Stream& sender, std::uint32_t in, std::uint32_t out) {
                  EXPECT_EQ(&sender, stream.get());
                  reports.push_back({in, out});
              },
              OneWorker)) {}
    std::string read(std::uint32_t count) {
        std::string bytes(count, '\0');
        const std::uint32_t got = ferry::read(*stream, bytes.data(), count);
        bytes.resize(got > count ? 0 : got);
        return bytes;
    }
    StreamPtr source;
    StreamPtr stream;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> reports;
};

TEST(CompressedStream, NothingWrittenGivesAnEmptyPayload) {
    StreamPtr sink = newMemoryStream();
    StreamPtr writer = newCompressingStream(7, B, *sink);
    ASSERT_NE(writer, nullptr);
    release(writer);
    EXPECT_EQ(getSize(*sink), 0u);
    Reader reader("");
    char byte = 0;
    EXPECT_EQ(read(*reader.stream, &byte, 1), 0u);
}

TEST(CompressedStream, AFullBlockWaitsForOneMoreByteOrRelease) {
    const std::string data = sourceLikeText(2 * B + 1);
    StreamPtr sink = newMemoryStream();
    StreamPtr writer = newCompressingStream(7, B, *sink, {}, OneWorker);
    EXPECT_EQ(writeText(*writer, std::string_view(data).substr(0, B)), B);
    EXPECT_EQ(getSize(*sink), 0u) << "exactly B bytes stay pending";
    EXPECT_EQ(writeText(*writer, std::string_view(data).substr(B, 1)), 1u);
    EXPECT_EQ(decodedBlockSizes(memoryBytes(*sink)), std::vector<std::size_t>{B})
        << "byte B + 1 sends the first block";
    release(writer);
    EXPECT_EQ(decodedBlockSizes(memoryBytes(*sink)), (std::vector<std::size_t>{B, 1}));
}

TEST(CompressedStream, BlockCountsForBAnd2B) {
    const std::string data = sourceLikeText(2 * B);
    EXPECT_EQ(decodedBlockSizes(compressed(std::string_view(data).substr(0, B), B)),
              std::vector<std::size_t>{B});
    StreamPtr sink = newMemoryStream();
    StreamPtr writer = newCompressingStream(7, B, *sink, {}, OneWorker);
    writeText(*writer, data);
    EXPECT_EQ(decodedBlockSizes(memoryBytes(*sink)), std::vector<std::size_t>{B})
        << "the second block waits for release";
    release(writer);
    EXPECT_EQ(decodedBlockSizes(memoryBytes(*sink)), (std::vector<std::size_t>{B, B}));
}

TEST(CompressedStream, OutputMatchesPlainLibraryCallsByteForByte) {
    const std::string data = sourceLikeText(5 * Small + 17) + randomBytes(Small);
    EXPECT_EQ(compressed(data, Small), plainPayload(data, Small));
    EXPECT_EQ(compressed(data, B), plainPayload(data, B));
}

TEST(CompressedStream, ReadsPayloadsMadeWithPlainLibraryCalls) {
    const std::string data = sourceLikeText(3 * Small + 5);
    Reader reader(plainPayload(data, Small));
    EXPECT_EQ(readToEnd(*reader.stream, 1000), data);
}

TEST(CompressedStream, RandomBlockLongerThanBReadsBackUnchanged) {
    const std::string data = randomBytes(B);
    const std::string payload = compressed(data, B);
    const std::size_t length = plainBlocks(payload).value().at(0).size();
    EXPECT_GT(length, B);
    EXPECT_LE(length, BufferSize);
    Reader reader(payload, B);
    EXPECT_EQ(readToEnd(*reader.stream, 100000), data);
}

TEST(CompressedStream, FileAndMemorySourcesGiveTheSameBytes) {
    // A memory source lends its bytes to the decoder; a file's are read into the buffer.
    const std::string data = randomBytes(B + 1000) + sourceLikeText(B) + randomBytes(B);
    const std::string payload = compressed(data, B);
    testkit::TempDir dir;
    StreamPtr file = createWriteFileStream(systemPlatform(), dir / "payload");
    writeText(*file, payload);
    release(file);
    StreamPtr fileSource = openReadFileStream(systemPlatform(), dir / "payload");
    StreamPtr fromFile = newDecompressingStream(B, *fileSource);
    EXPECT_EQ(readToEnd(*fromFile, 70000), data);
    Reader fromMemory(payload, B);
    EXPECT_EQ(readToEnd(*fromMemory.stream, 70000), data);
    EXPECT_EQ(position(*fromMemory.source), payload.size());
}

TEST(CompressedStream, WholeBlocksGoStraightToTheReader) {
    const std::string data = sourceLikeText(3 * Small + 10);
    Reader reader(compressed(data, Small));
    EXPECT_EQ(reader.read(5), data.substr(0, 5));
    EXPECT_EQ(reader.read(2 * Small - 5), data.substr(5, 2 * Small - 5));
    ASSERT_EQ(reader.reports.size(), 2u);
    // The second block went to the reader, not the buffer: going back into it reads again.
    EXPECT_EQ(seek(*reader.stream, -10, SeekOrigin::fromCurrent), 2 * Small - 10);
    EXPECT_EQ(reader.reports.size(), 4u);
    EXPECT_EQ(reader.read(Small + 100), data.substr(2 * Small - 10));
}

TEST(CompressedStream, ABlockLargerThanTheReadStillArrivesWhole) {
    // Only a foreign writer makes a block that decodes to more than B bytes.
    const std::string data = sourceLikeText(Small + 100);
    Reader reader(plainPayload(data, data.size()));
    EXPECT_EQ(reader.read(Small + 50), data.substr(0, Small + 50));
    EXPECT_EQ(reader.read(Small), data.substr(Small + 50));
}

TEST(CompressedStream, ZeroCountsChangeNothing) {
    StreamPtr sink = newMemoryStream();
    StreamPtr writer = newCompressingStream(7, Small, *sink);
    writeText(*writer, "abc");
    EXPECT_EQ(write(*writer, "", 0), 0u);
    EXPECT_EQ(position(*writer), 3u);
    release(writer);
    Reader reader(memoryBytes(*sink));
    char bytes[3];
    EXPECT_EQ(read(*reader.stream, bytes, 0), 0u);
    EXPECT_EQ(position(*reader.stream), 0u);
    EXPECT_EQ(reader.read(3), "abc");
}

TEST(CompressedStream, AReadAcrossBlocksReturnsTheFullCount) {
    const std::string data = sourceLikeText(3 * Small);
    Reader reader(compressed(data, Small));
    EXPECT_EQ(reader.read(700), data.substr(0, 700));
    EXPECT_EQ(reader.read(2000), data.substr(700, 2000)) << "spans two block boundaries";
    EXPECT_EQ(reader.read(1000), data.substr(2700)) << "short at the end";
    EXPECT_EQ(reader.read(1), "");
}

TEST(CompressedStream, OneToThreeStrayBytesEndTheDataQuietly) {
    const std::string data = sourceLikeText(Small + 10);
    for (const std::string_view stray : {"\x01", "\x01\x02", "\x01\x02\x03"}) {
        Reader reader(compressed(data, Small) + std::string(stray));
        char buffer[4096];
        EXPECT_EQ(read(*reader.stream, buffer, sizeof buffer), data.size()) << stray.size();
        EXPECT_EQ(read(*reader.stream, buffer, sizeof buffer), 0u);
    }
}

TEST(CompressedStream, DamagedBlocksFail) {
    const std::string block = plainCompress(sourceLikeText(Small));
    const std::string good = littleEndian(block.size(), 4) + block;
    const std::string cases[] = {
        littleEndian(BufferSize + 1, 4) + randomBytes(BufferSize + 1),  // length above the buffer
        littleEndian(0, 4) + "rest",                                    // no data to decode
        good.substr(0, good.size() - 1),                                // body cut short
        littleEndian(block.size() + 1, 4) + block + "x",                // input not all used
        littleEndian(100, 4) + randomBytes(100),                        // not NRV2E at all
    };
    for (const std::string& payload : cases) {
        Reader reader(payload, B);
        char buffer[16];
        EXPECT_EQ(read(*reader.stream, buffer, sizeof buffer), StreamFailure);
    }
    Reader exact(littleEndian(BufferSize, 4) + randomBytes(BufferSize), B);
    char byte = 0;
    EXPECT_EQ(read(*exact.stream, &byte, 1), StreamFailure) << "accepted length, bad data";
}

TEST(CompressedStream, DamageAfterGoodBlocksKeepsFailingUntilRewound) {
    const std::string data = sourceLikeText(Small);
    Reader reader(compressed(data, Small) + littleEndian(7, 4) + "garbage");
    char buffer[2 * Small];
    EXPECT_EQ(read(*reader.stream, buffer, sizeof buffer), StreamFailure)
        << "the bytes of the good block are not counted";
    EXPECT_EQ(read(*reader.stream, buffer, 1), StreamFailure);
    const std::size_t loads = reader.reports.size();
    EXPECT_EQ(position(*reader.stream), Small) << "asking the position rewinds nothing";
    EXPECT_EQ(reader.reports.size(), loads);
    EXPECT_EQ(read(*reader.stream, buffer, 1), StreamFailure);
    EXPECT_EQ(seek(*reader.stream, Small - 1, SeekOrigin::fromBeginning), Small - 1)
        << "the damaged load overwrote the buffer: read again from the start";
    EXPECT_EQ(reader.read(1), data.substr(Small - 1));
    EXPECT_EQ(seek(*reader.stream, 10, SeekOrigin::fromBeginning), 10u);
    EXPECT_EQ(reader.read(20), data.substr(10, 20));
}

TEST(DecompressingSeek, BackToZeroAfterTheThirdBlockReadsTheSourceAgain) {
    const std::string data = sourceLikeText(3 * Small + 100);
    Reader reader(compressed(data, Small));
    EXPECT_EQ(reader.read(2 * Small + 50), data.substr(0, 2 * Small + 50));
    ASSERT_EQ(reader.reports.size(), 3u);
    EXPECT_EQ(seek(*reader.stream, 0, SeekOrigin::fromBeginning), 0u);
    ASSERT_EQ(reader.reports.size(), 4u) << "the first block is decoded again";
    EXPECT_EQ(reader.reports[3], reader.reports[0]);
    EXPECT_EQ(reader.read(100), data.substr(0, 100));
}

TEST(DecompressingSeek, InsideTheCurrentBlockNothingIsDecoded) {
    const std::string data = sourceLikeText(2 * Small);
    Reader reader(compressed(data, Small));
    reader.read(Small + 500);
    const std::size_t loads = reader.reports.size();
    EXPECT_EQ(seek(*reader.stream, -400, SeekOrigin::fromCurrent), Small + 100);
    EXPECT_EQ(seek(*reader.stream, Small, SeekOrigin::fromBeginning), Small);
    EXPECT_EQ(reader.reports.size(), loads);
    EXPECT_EQ(reader.read(10), data.substr(Small, 10));
}

TEST(DecompressingSeek, ForwardEndAndBeyond) {
    const std::string data = sourceLikeText(3 * Small + 100);
    Reader reader(compressed(data, Small));
    EXPECT_EQ(seek(*reader.stream, 2 * Small + 5, SeekOrigin::fromBeginning), 2 * Small + 5);
    EXPECT_EQ(reader.read(10), data.substr(2 * Small + 5, 10));
    EXPECT_EQ(seek(*reader.stream, -30, SeekOrigin::fromEnd), data.size() - 30);
    EXPECT_EQ(reader.read(100), data.substr(data.size() - 30));
    EXPECT_EQ(seek(*reader.stream, 0, SeekOrigin::fromEnd), data.size());
    EXPECT_EQ(seek(*reader.stream, -5000, SeekOrigin::fromCurrent), 0u) << "before 0 is 0";
    EXPECT_EQ(reader.read(5), data.substr(0, 5));
    EXPECT_EQ(seek(*reader.stream, 1, SeekOrigin::fromEnd), StreamFailure);
    EXPECT_EQ(seek(*reader.stream, 0, static_cast<SeekOrigin>(7)), StreamFailure);
}

TEST(DecompressingSeek, PastTheEndFails) {
    Reader reader(compressed(sourceLikeText(100), Small));
    EXPECT_EQ(seek(*reader.stream, 101, SeekOrigin::fromBeginning), StreamFailure);
    Reader damaged(littleEndian(0, 4));
    EXPECT_EQ(seek(*damaged.stream, 0, SeekOrigin::fromEnd), StreamFailure);
}

TEST(DecompressingStream, ReportsOncePerBlockWithBothTotals) {
    const std::string data = sourceLikeText(2 * Small + 300);
    const std::string payload = compressed(data, Small);
    const auto blocks = plainBlocks(payload).value();
    Reader reader(payload);
    readToEnd(*reader.stream, 100);
    const std::uint32_t in1 = 4 + static_cast<std::uint32_t>(blocks[0].size());
    const std::uint32_t in2 = in1 + 4 + static_cast<std::uint32_t>(blocks[1].size());
    using Report = std::pair<std::uint32_t, std::uint32_t>;
    EXPECT_EQ(reader.reports,
              (std::vector<Report>{{in1, Small}, {in2, 2 * Small}, {payload.size(), data.size()}}));
}

TEST(CompressingStream, ForwardsTheCompressorsProgress) {
    const std::string data = sourceLikeText(3 * B);
    StreamPtr sink = newMemoryStream();
    std::vector<std::pair<std::uint32_t, std::uint32_t>> reports;
    Stream* sender = nullptr;
    StreamPtr writer =
        newCompressingStream(7, B, *sink, [&](Stream& from, std::uint32_t in, std::uint32_t out) {
            sender = &from;
            reports.push_back({in, out});
        });
    writeText(*writer, data);
    release(writer);
    ASSERT_FALSE(reports.empty());
    EXPECT_NE(sender, nullptr);
    EXPECT_GT(reports.back().first, 2 * B) << "counts run on over the blocks";
    for (std::size_t i = 1; i < reports.size(); ++i) {
        EXPECT_GE(reports[i].first, reports[i - 1].first);
        EXPECT_GE(reports[i].second, reports[i - 1].second);
    }
    EXPECT_LE(reports.back().first, data.size());
    EXPECT_LE(reports.back().second, getSize(*sink));
}

TEST(CompressingSeek, ReportsOrStartsAgainAndNothingElse) {
    StreamPtr sink = newMemoryStream();
    StreamPtr writer = newCompressingStream(7, Small, *sink, {}, OneWorker);
    const std::string first = sourceLikeText(Small + 50);
    writeText(*writer, first);
    const auto accepted = static_cast<std::int32_t>(first.size());
    EXPECT_EQ(seek(*writer, 0, SeekOrigin::fromCurrent), first.size());
    EXPECT_EQ(seek(*writer, 0, SeekOrigin::fromEnd), first.size());
    EXPECT_EQ(seek(*writer, accepted, SeekOrigin::fromBeginning), first.size());
    EXPECT_EQ(seek(*writer, 5, SeekOrigin::fromBeginning), StreamFailure);
    EXPECT_EQ(seek(*writer, -1, SeekOrigin::fromCurrent), StreamFailure);
    const std::string sent = memoryBytes(*sink);
    EXPECT_EQ(seek(*writer, -accepted, SeekOrigin::fromCurrent), 0u);
    EXPECT_EQ(position(*sink), 0u);
    writeText(*writer, "again");
    release(writer);
    const std::string restarted = memoryBytes(*sink);
    const std::string block = plainCompress("again");
    EXPECT_EQ(restarted.substr(0, 4 + block.size()), littleEndian(block.size(), 4) + block);
    EXPECT_EQ(restarted.substr(4 + block.size()), sent.substr(4 + block.size()))
        << "the destination is overwritten, not cut";
}

TEST(CompressingStream, ABadLevelFailsTheWriteAndKeepsTheBlock) {
    StreamPtr sink = newMemoryStream();
    StreamPtr writer = newCompressingStream(11, Small, *sink, {}, OneWorker);
    ASSERT_NE(writer, nullptr);
    const std::string data = sourceLikeText(Small + 1);
    EXPECT_EQ(writeText(*writer, std::string_view(data).substr(0, Small)), Small);
    EXPECT_EQ(writeText(*writer, "x"), StreamFailure);
    EXPECT_EQ(position(*writer), Small) << "the full block stays pending";
    release(writer);
    EXPECT_EQ(getSize(*sink), 0u);
}

TEST(CompressedStream, ABlockSizeOfZeroIsRefused) {
    StreamPtr sink = newMemoryStream();
    EXPECT_EQ(newCompressingStream(7, 0, *sink), nullptr);
    EXPECT_EQ(newDecompressingStream(0, *sink), nullptr);
    EXPECT_EQ(newDecompressingStream(0xFFFFFFFF, *sink), nullptr);
}

TEST(CompressedStream, ReleaseLeavesTheUnderlyingStreamOpen) {
    testkit::TempDir dir;
    StreamPtr file = createWriteFileStream(systemPlatform(), dir / "payload");
    StreamPtr writer = newCompressingStream(7, Small, *file);
    writeText(*writer, "content");
    release(writer);
    EXPECT_EQ(writeText(*file, "tail"), 4u) << "still open";
    release(file);
    StreamPtr source = openReadFileStream(systemPlatform(), dir / "payload");
    StreamPtr reader = newDecompressingStream(Small, *source);
    char bytes[7];
    EXPECT_EQ(read(*reader, bytes, 7), 7u);
    release(reader);
    EXPECT_NE(getHandle(*source), InvalidFileHandle);
    EXPECT_EQ(getSize(*source), 4 + plainCompress("content").size() + 4);
}

TEST(CompressedStream, SizeAndTheOtherDirectionDoNothing) {
    StreamPtr sink = newMemoryStream();
    StreamPtr writer = newCompressingStream(7, Small, *sink);
    StreamPtr reader = newDecompressingStream(Small, *sink);
    char byte = 'x';
    EXPECT_EQ(read(*writer, &byte, 1), 0u);
    EXPECT_EQ(write(*reader, &byte, 1), 0u);
    writeText(*writer, "abc");
    setSize(*writer, 100);
    EXPECT_EQ(getSize(*writer), 0u);
    EXPECT_EQ(getSize(*reader), 0u);
    EXPECT_EQ(position(*writer), 3u);
}

}  // namespace
}  // namespace ferry
