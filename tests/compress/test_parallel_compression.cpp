#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

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

using testkit::memoryBytes;
using testkit::randomBytes;
using testkit::sourceLikeText;
using testkit::writeText;

// A small block size keeps many blocks cheap.
constexpr std::uint32_t B = 1024;
constexpr unsigned WorkerCounts[] = {2, 3, 8};

// Text and noise by turns, so that blocks compress to different lengths and take
// different times.
std::string payloadOf(std::size_t size) {
    std::string data;
    for (std::uint32_t part = 0; data.size() < size; ++part) {
        data += part % 3 == 2 ? randomBytes(B / 2, part) : sourceLikeText(B * (part % 4 + 1));
    }
    data.resize(size);
    return data;
}

// Writes `data` in pieces of random lengths (one piece when `pieces` is false).
std::string compressedBy(unsigned workers, std::string_view data, std::uint32_t blockSize,
                         bool pieces) {
    StreamPtr sink = newMemoryStream();
    StreamPtr writer = newCompressingStream(7, blockSize, *sink, {}, workers);
    std::mt19937 random(static_cast<std::uint32_t>(data.size()));
    std::size_t at = 0;
    while (at < data.size()) {
        const std::size_t piece =
            pieces ? std::min<std::size_t>(random() % (3 * blockSize) + 1, data.size() - at)
                   : data.size();
        EXPECT_EQ(writeText(*writer, data.substr(at, piece)), piece);
        at += piece;
    }
    release(writer);
    return memoryBytes(*sink);
}

TEST(ParallelCompression, WritesTheBytesOfOneWorker) {
    std::vector<std::size_t> sizes = {0, 1, B - 1, B, B + 1, 7 * B + 3};
    std::mt19937 random(12);
    for (int i = 0; i < 4; ++i) sizes.push_back(random() % (40 * B));
    for (const std::size_t size : sizes) {
        const std::string data = payloadOf(size);
        const std::string single = compressedBy(1, data, B, false);
        ASSERT_EQ(single, testkit::plainPayload(data, B)) << size;
        for (const unsigned workers : WorkerCounts) {
            for (const bool pieces : {false, true}) {
                EXPECT_EQ(compressedBy(workers, data, B, pieces), single)
                    << size << " bytes, " << workers << " workers, pieces " << pieces;
            }
        }
    }
}

TEST(ParallelCompression, WritesTheBytesOfOneWorkerAtTheArchiveBlockSize) {
    constexpr std::uint32_t ArchiveBlock = 524288;
    const std::string data = payloadOf(3 * ArchiveBlock + 5);
    EXPECT_EQ(compressedBy(2, data, ArchiveBlock, true),
              compressedBy(1, data, ArchiveBlock, false));
}

TEST(ParallelCompression, FinishingAndStartingAgainGiveTheBytesOfOneWorker) {
    const std::string first = payloadOf(9 * B + 7);
    const std::string second = payloadOf(3 * B + 1);
    const auto run = [&](unsigned workers) {
        StreamPtr sink = newMemoryStream();
        StreamPtr writer = newCompressingStream(7, B, *sink, {}, workers);
        writeText(*writer, first);
        EXPECT_EQ(position(*writer), first.size());
        EXPECT_EQ(setPosition(*writer, 0), 0u) << "starting again";
        writeText(*writer, second);
        EXPECT_TRUE(finishCompressing(*writer));
        const std::string finished = memoryBytes(*sink);
        release(writer);
        EXPECT_EQ(memoryBytes(*sink), finished) << "release adds nothing";
        return finished;
    };
    const std::string single = run(1);
    for (const unsigned workers : WorkerCounts) EXPECT_EQ(run(workers), single) << workers;
}

// Whatever fails, a worker's compressor or the destination, finishing tells it at the
// latest, every later write fails, and the destination holds what one worker would
// have left there.
TEST(ParallelCompression, FailuresSurfaceAsWithOneWorker) {
    const std::string data = payloadOf(12 * B + 5);
    const std::string whole = testkit::plainPayload(data, B);
    struct Case {
        const char* what;
        std::int32_t level;
        std::size_t room;  // bytes the medium takes
    };
    const Case cases[] = {
        {"the compressor fails", 11, whole.size()},
        {"medium full from the start", 7, 0},
        {"medium full in the fifth block", 7, whole.size() * 4 / 12 + 9},
        {"the last byte missing", 7, whole.size() - 1},
    };
    for (const Case& c : cases) {
        for (const unsigned workers : {1u, 2u, 3u, 8u}) {
            SCOPED_TRACE(testing::Message() << c.what << ", " << workers << " workers");
            testkit::TempDir dir;
            testkit::FaultPlatform faults;
            faults.failWritesAfter(static_cast<std::int64_t>(c.room), "payload");
            StreamPtr file = createWriteFileStream(faults, dir / "payload");
            StreamPtr writer = newCompressingStream(c.level, B, *file, {}, workers);
            const std::uint32_t written = writeText(*writer, data);
            EXPECT_TRUE(written == data.size() || written == StreamFailure) << written;
            EXPECT_FALSE(finishCompressing(*writer));
            EXPECT_EQ(writeText(*writer, "x"), StreamFailure);
            EXPECT_FALSE(finishCompressing(*writer));
            release(writer);
            release(file);
            const std::size_t kept = c.level == 7 ? c.room : 0;
            EXPECT_EQ(testkit::readDiskFile(dir / "payload"), whole.substr(0, kept));
        }
    }
}

// Where each block's length field starts.
std::vector<std::size_t> blockStarts(std::string_view payload) {
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at + 4 <= payload.size();) {
        starts.push_back(at);
        at += 4 + static_cast<unsigned char>(payload[at]) +
              (static_cast<std::size_t>(static_cast<unsigned char>(payload[at + 1])) << 8);
    }
    return starts;
}

// Reads and seeks through `payload` at random, the same way for every worker count, and
// writes down every result and every byte delivered. (Progress reports may differ: with
// workers no block goes straight into the reader's target, so a seek back into it needs
// no second reading.)
std::string readingLog(std::string_view payload, unsigned workers) {
    StreamPtr source = testkit::memoryStreamWith(payload);
    std::string log;
    StreamPtr reader = newDecompressingStream(B, *source, {}, workers);
    std::mt19937 random(static_cast<std::uint32_t>(payload.size()));
    const auto note = [&log](std::uint32_t result) { log += " " + std::to_string(result) + ":"; };
    for (int step = 0; step < 80; ++step) {
        const auto offset =
            static_cast<std::int32_t>(random() % (4 * B)) - static_cast<std::int32_t>(B);
        switch (random() % 8) {
            case 5: note(seek(*reader, std::abs(offset), SeekOrigin::fromBeginning)); break;
            case 6: note(seek(*reader, offset, SeekOrigin::fromCurrent)); break;
            case 7: note(seek(*reader, -std::abs(offset) / 4, SeekOrigin::fromEnd)); break;
            default: {
                std::string bytes(random() % (3 * B) + 1, '\0');
                const std::uint32_t count = static_cast<std::uint32_t>(bytes.size());
                const std::uint32_t got = read(*reader, bytes.data(), count);
                note(got);
                if (got <= count) log.append(bytes, 0, got);
            }
        }
    }
    return log;
}

TEST(ParallelDecompression, DeliversWhatOneWorkerDelivers) {
    const std::string whole = testkit::plainPayload(payloadOf(7 * B + 3), B);
    const std::vector<std::size_t> starts = blockStarts(whole);
    ASSERT_EQ(starts.size(), 8u);
    std::string damaged = whole;
    damaged[starts[4] + 9] = static_cast<char>(damaged[starts[4] + 9] ^ 0x5A);
    std::string zeroLength = whole;
    zeroLength.replace(starts[3], 4, std::string(4, '\0'));
    const struct {
        const char* what;
        std::string payload;
    } cases[] = {
        {"nothing", ""},
        {"one block", testkit::plainPayload(payloadOf(B - 1), B)},
        {"eight blocks", whole},
        {"two stray bytes after them", whole + "ab"},
        {"a damaged fifth block", damaged},
        {"a fourth block of length 0", zeroLength},
        {"cut inside the sixth block", whole.substr(0, starts[5] + 20)},
    };
    for (const auto& c : cases) {
        const std::string single = readingLog(c.payload, 1);
        for (const unsigned workers : WorkerCounts) {
            EXPECT_EQ(readingLog(c.payload, workers), single) << c.what << ", " << workers;
        }
    }
}

TEST(ParallelDecompression, ASourceThatCannotStartAgainNeverSkipsBlocks) {
    const std::string data = payloadOf(6 * B);
    for (const unsigned workers : {1u, 2u}) {
        StreamPtr source = testkit::memoryStreamWith(testkit::plainPayload(data, B));
        source->ops.seek = [](Stream&, std::int32_t, SeekOrigin) { return StreamFailure; };
        StreamPtr reader = newDecompressingStream(B, *source, {}, workers);
        std::string bytes(2 * B + 10, '\0');
        ASSERT_EQ(read(*reader, bytes.data(), 2 * B + 10), 2 * B + 10);
        EXPECT_EQ(setPosition(*reader, 0), StreamFailure) << workers;
        const std::uint32_t got = read(*reader, bytes.data(), B);
        if (got != StreamFailure) {
            EXPECT_EQ(bytes.substr(0, got), data.substr(2 * B + 10, B)) << workers;
        }
    }
}

}  // namespace
}  // namespace ferry
