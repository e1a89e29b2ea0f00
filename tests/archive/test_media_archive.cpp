#include "archive/media_archive.h"

#include <gtest/gtest.h>

#include <bit>
#include <ostream>
#include <vector>

#include "compress/compressed_stream.h"
#include "compress/file_stream.h"
#include "compress/memory_stream.h"
#include "platform/files.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/fault_platform.h"
#include "tests/testkit/plain_ucl.h"
#include "tests/testkit/stream_bytes.h"
#include "tests/testkit/temp_dir.h"

namespace ferry {

// Results by name in failure messages.
void PrintTo(RecordRead result, std::ostream* out) {
    static constexpr const char* Names[] = {"Record", "End", "Cut", "Damage", "Refused"};
    *out << Names[static_cast<int>(result)];
}

namespace {

using testkit::littleEndian;
using testkit::memoryBytes;
using testkit::memoryStreamWith;
using testkit::TempDir;

constexpr std::uint64_t SomeTicks = 0x01DA'2B3C'4D5E'6F70;  // a FILETIME in 2023

// One record exactly as the layout gives it, built without the code under test.
std::string recordBytes(std::string_view name, std::uint64_t ticks, std::string_view content) {
    return std::string(name) + '\0' + littleEndian(ticks, 8) + littleEndian(content.size(), 4) +
           std::string(content);
}

TEST(MaskHash, KnownValues) {
    EXPECT_EQ(maskHash("*.pas", false), 0x02A1);
    EXPECT_EQ(maskHash("*.pas", true), 0x0281);
    EXPECT_EQ(maskHash("*.*", false), 0x00DE);
    EXPECT_EQ(maskHash("", false), 0x0000);
    EXPECT_EQ(maskHash("", true), 0x0001);
}

TEST(MaskHash, RotatesWithinSixteenBits) {
    // Seventeen 0x80 bytes carry bits past the top; a wider rotation would differ.
    EXPECT_EQ(maskHash(std::string(17, '\x80'), false), 0xFF7F);
}

TEST(MediaFileName, EncodesSeparatorsAndColons) {
    EXPECT_EQ(mediaFileName("C:\\Work\\Proj\\", "*.pas", false), "C=%Work%Proj%02A1");
    EXPECT_EQ(mediaFileName("/home/ann/proj/", "*.pas", false), "%home%ann%proj%02A1");
    EXPECT_EQ(mediaFileName("/a b/é,x/", "", true), "%a b%é,x%0001") << "nothing else changes";
}

TEST(MediaFileName, MaskCaseAndSubfoldersGiveFourNames) {
    const std::string names[] = {
        mediaFileName("/p/", "*.pas", false), mediaFileName("/p/", "*.PAS", false),
        mediaFileName("/p/", "*.pas", true), mediaFileName("/p/", "*.PAS", true)};
    for (int i = 0; i < 4; ++i) {
        for (int j = i + 1; j < 4; ++j) EXPECT_NE(names[i], names[j]);
    }
}

TEST(MediaArchivePath, LiesInTheFerryFolder) {
    EXPECT_EQ(mediaArchivePath("/media/stick/", "%p%02A1"), "/media/stick/Ferry/%p%02A1.move");
}

TEST(HeaderText, FlagPathCommaMask) {
    EXPECT_EQ(buildHeaderText({false, "C:\\Work\\Proj\\", "*.pas"}), " C:\\Work\\Proj\\,*.pas");
    EXPECT_EQ(buildHeaderText({true, "/p/", "*.c;*.h"}), "+/p/,*.c;*.h");
}

TEST(HeaderText, ParsesAtTheFirstCommaAndTrims) {
    const auto header = parseHeaderText("+ /p/ ,  *.c, *.h ");
    ASSERT_TRUE(header);
    EXPECT_TRUE(header->includeSubfolders);
    EXPECT_EQ(header->projectPath, "/p/");
    EXPECT_EQ(header->maskList, "*.c, *.h") << "the mask list may hold commas";
    const auto plain = parseHeaderText("x/p/");
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->includeSubfolders) << "only + means subfolders";
    EXPECT_EQ(plain->projectPath, "/p/") << "without a comma all is the path";
    EXPECT_EQ(plain->maskList, "");
}

TEST(HeaderText, EmptyOrOnlyTheFlagIsNoProject) {
    EXPECT_FALSE(parseHeaderText(""));
    EXPECT_FALSE(parseHeaderText("+"));
    EXPECT_FALSE(parseHeaderText(" "));
}

TEST(ArchiveHead, HeaderTextZeroAndEightStampBytes) {
    StreamPtr file = newMemoryStream();
    const DateTime stamp = 738000.5;
    ASSERT_TRUE(writeArchiveHead(*file, " /p/,*.c", stamp));
    EXPECT_EQ(memoryBytes(*file),
              std::string(" /p/,*.c\0", 9) + littleEndian(std::bit_cast<std::uint64_t>(stamp), 8));
    setPosition(*file, 0);
    std::string text;
    DateTime read = 0;
    ASSERT_TRUE(readArchiveHead(*file, text, read));
    EXPECT_EQ(text, " /p/,*.c");
    EXPECT_EQ(read, stamp);
}

TEST(ArchiveHead, JunkIsNoProjectAndAWholeHeadLeavesThePayloadNext) {
    const std::string zero(1, '\0');
    const std::string stamp = littleEndian(std::bit_cast<std::uint64_t>(738000.5), 8);
    const std::string longest(LongestArchiveText, 'p');
    const std::string pieceLong(4095, 'p');  // the zero byte ends a 4 KiB piece
    struct Case {
        std::string bytes;
        bool project;
        std::string text;
    };
    const Case cases[] = {
        {" /p/,*.c" + zero + stamp + "PAYLOAD", true, " /p/,*.c"},
        {pieceLong + zero + stamp + "PAYLOAD", true, pieceLong},
        {longest + zero + stamp + "PAYLOAD", true, longest},
        {longest + "p" + zero + stamp + "PAYLOAD", false, ""},
        {std::string(1 << 20, 'j') + zero + stamp, false, ""},
        {" /p/,*.c", false, ""},
        {" /p/,*.c" + zero + "1234567", false, ""},
        {" /p/,*.c" + zero + littleEndian(0x7FF8'0000'0000'0000, 8) + "PAYLOAD", false, ""},
        {" /p/,*.c" + zero + littleEndian(0xFFF0'0000'0000'0000, 8) + "PAYLOAD", false, ""},
    };
    TempDir dir;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        testkit::writeDiskFile(dir / "a.move", c.bytes);
        StreamPtr file = openReadFileStream(systemPlatform(), dir / "a.move");
        std::string text;
        DateTime read = 0;
        ASSERT_EQ(readArchiveHead(*file, text, read), c.project) << i;
        if (!c.project) continue;
        EXPECT_EQ(text, c.text) << i;
        EXPECT_EQ(read, 738000.5) << i;
        EXPECT_EQ(testkit::readToEnd(*file), "PAYLOAD") << i;
    }
}

TEST(ArchiveHead, AShortWriteIsReported) {
    TempDir dir;
    testkit::FaultPlatform faults;
    faults.failWritesAfter(5, ".move");
    StreamPtr file = createWriteFileStream(faults, dir / "a.move");
    EXPECT_FALSE(writeArchiveHead(*file, " /p/,*.c", 1.0));
}

TEST(Records, FieldsInOrderTimeLowWordFirst) {
    StreamPtr payload = newMemoryStream();
    StreamPtr content = memoryStreamWith("body");
    ASSERT_TRUE(writeRecord(*payload, {"/p/a.c", FileTime{SomeTicks}, 4}, *content));
    StreamPtr empty = newMemoryStream();
    ASSERT_TRUE(writeRecord(*payload, {"/p/empty", FileTime{SomeTicks}, 0}, *empty));
    ASSERT_TRUE(writeRecordSequenceEnd(*payload));
    const std::string expected = recordBytes("/p/a.c", SomeTicks, "body") +
                                 recordBytes("/p/empty", SomeTicks, "") + std::string(1, '\0');
    EXPECT_EQ(memoryBytes(*payload), expected);
    EXPECT_EQ(memoryBytes(*payload).substr(7, 4), "\x70\x6F\x5E\x4D");
}

TEST(Records, TextsNoReaderCouldGetBackAreNotWritten) {
    const std::string longest(LongestArchiveText, 'n');
    struct Case {
        bool header;
        std::string text;
        bool written;
    };
    const Case cases[] = {
        {false, "", false},  // it would end the sequence
        {false, std::string("/p/a\0b", 6), false},
        {false, longest + "n", false},
        {false, longest, true},
        {true, std::string(" /p/\0,*.c", 9), false},
        {true, longest + "h", false},
        {true, longest, true},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        StreamPtr stream = newMemoryStream();
        StreamPtr content = memoryStreamWith("abc");
        const bool written = c.header ? writeArchiveHead(*stream, c.text, 1.0)
                                      : writeRecord(*stream, {c.text, FileTime{1}, 3}, *content);
        ASSERT_EQ(written, c.written) << i;
        if (!written) {
            EXPECT_EQ(getSize(*stream), 0u) << i;
            continue;
        }
        setPosition(*stream, 0);
        std::string text;
        DateTime stamp = 0;
        RecordHead head;
        if (c.header) {
            ASSERT_TRUE(readArchiveHead(*stream, text, stamp)) << i;
        } else {
            ASSERT_EQ(readRecordHead(*stream, head), RecordRead::Record) << i;
            text = head.name;
        }
        EXPECT_EQ(text, c.text) << i;
    }
}

TEST(Records, MissingContentIsReported) {
    StreamPtr payload = newMemoryStream();
    StreamPtr content = memoryStreamWith("abc");
    EXPECT_FALSE(writeRecord(*payload, {"/p/a", FileTime{1}, 4}, *content));
}

TEST(Records, ReadBackHeadsAndContent) {
    StreamPtr payload =
        memoryStreamWith(recordBytes("/p/a.c", SomeTicks, "body") + recordBytes("/p/zero", 1, "") +
                         std::string(1, '\0') + "ignored");
    RecordHead head;
    ASSERT_EQ(readRecordHead(*payload, head), RecordRead::Record);
    EXPECT_EQ(head.name, "/p/a.c");
    EXPECT_EQ(head.time.ticks, SomeTicks);
    EXPECT_EQ(head.size, 4u);
    StreamPtr content = newMemoryStream();
    ASSERT_EQ(readRecordContent(*payload, head.size, *content), RecordRead::Record);
    EXPECT_EQ(memoryBytes(*content), "body");
    ASSERT_EQ(readRecordHead(*payload, head), RecordRead::Record);
    EXPECT_EQ(head.size, 0u);
    StreamPtr none = newMemoryStream();
    EXPECT_EQ(readRecordContent(*payload, 0, *none), RecordRead::Record);
    EXPECT_EQ(readRecordHead(*payload, head), RecordRead::End);
}

TEST(Records, ALyingSizeFieldCostsOnlyWhatArrives) {
    StreamPtr payload = memoryStreamWith(std::string("/p/a\0", 5) + littleEndian(1, 8) +
                                         littleEndian(0xFFFFFFF0, 4) + "tiny");
    RecordHead head;
    ASSERT_EQ(readRecordHead(*payload, head), RecordRead::Record);
    StreamPtr content = newMemoryStream();
    EXPECT_EQ(readRecordContent(*payload, head.size, *content), RecordRead::Cut);
    EXPECT_LE(content->capacity, 2 * ArchiveBlockSize);
}

TEST(Records, ADestinationRefusingBytesIsToldApart) {
    TempDir dir;
    testkit::FaultPlatform faults;
    faults.failWritesAfter(2, "out");
    StreamPtr payload = memoryStreamWith(recordBytes("/p/a.c", SomeTicks, "body") + '\0');
    RecordHead head;
    ASSERT_EQ(readRecordHead(*payload, head), RecordRead::Record);
    StreamPtr out = createWriteFileStream(faults, dir / "out");
    EXPECT_EQ(readRecordContent(*payload, head.size, *out), RecordRead::Refused);
}

struct Record {
    std::string name;
    std::uint64_t ticks;
    std::string content;
    friend bool operator==(const Record&, const Record&) = default;
};

std::vector<Record> sampleRecords() {
    // More than one block in all, a file that does not compress, an empty file.
    return {{"/home/ann/proj/src/a.c", SomeTicks, testkit::sourceLikeText(400000)},
            {"/home/ann/proj/empty", SomeTicks + 1, ""},
            {"/home/ann/proj/data.bin", 1, testkit::randomBytes(300000)},
            {"C:\\Work\\Proj\\b.pas", 0xFFFFFFFFFFFFFFFF, "written on Windows"}};
}

std::string sequenceBytes(const std::vector<Record>& records) {
    std::string bytes;
    for (const Record& record : records)
        bytes += recordBytes(record.name, record.ticks, record.content);
    return bytes + std::string(1, '\0');
}

// Reads head, content, head, ... the way a synchronization does, until something other than
// a record comes; every result in order.
std::vector<RecordRead> readResults(Stream& reader) {
    std::vector<RecordRead> results;
    RecordHead head;
    for (;;) {
        results.push_back(readRecordHead(reader, head));
        if (results.back() != RecordRead::Record) return results;
        StreamPtr content = newMemoryStream();
        results.push_back(readRecordContent(reader, head.size, *content));
        if (results.back() != RecordRead::Record) return results;
    }
}

// The first block of a payload: the archive cut at a block boundary.
std::string firstBlock(const std::string& payload) {
    return payload.substr(0, 4 + testkit::plainBlocks(payload).value().front().size());
}

TEST(Records, EachWayTheSequenceStopsIsToldApart) {
    using enum RecordRead;
    const std::string whole = recordBytes("/p/a.c", SomeTicks, "body");
    const std::string longest(LongestArchiveText, 'n');
    const std::string samples =
        testkit::plainPayload(sequenceBytes(sampleRecords()), ArchiveBlockSize);
    auto payload = [](std::string_view sequence) {
        return testkit::plainPayload(sequence, ArchiveBlockSize);
    };
    struct Case {
        std::string payload;
        std::vector<RecordRead> results;
    };
    const Case cases[] = {
        {"", {End}},  // no block at all: an archive without records
        {payload(std::string(1, '\0')), {End}},
        {payload(whole.substr(0, 3)), {Cut}},
        {payload(whole.substr(0, 7)), {Cut}},
        {payload(whole.substr(0, 18)), {Cut}},
        {payload(whole.substr(0, whole.size() - 1)), {Record, Cut}},
        {payload(whole), {Record, Record, Cut}},
        {payload(whole + '\0'), {Record, Record, End}},
        {payload(recordBytes(longest, 1, "") + '\0'), {Record, Record, End}},
        {payload(longest + "n"), {Damage}},
        {payload(std::string(1 << 20, 'n')), {Damage}},  // a tiny payload, a huge name
        {firstBlock(samples), {Record, Record, Record, Record, Record, Cut}},
        {firstBlock(samples) + littleEndian(3, 4) + "bad",
         {Record, Record, Record, Record, Record, Damage}},
        {littleEndian(3, 4) + "bad", {Damage}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        StreamPtr source = memoryStreamWith(cases[i].payload);
        StreamPtr reader = newPayloadReader(*source);
        EXPECT_EQ(readResults(*reader), cases[i].results) << i;
    }
}

// The archive exactly as the layout describes it, made with plain library calls.
std::string plainArchive(std::string_view headerText, DateTime stamp, std::string_view sequence) {
    return std::string(headerText) + '\0' + littleEndian(std::bit_cast<std::uint64_t>(stamp), 8) +
           testkit::plainPayload(sequence, ArchiveBlockSize);
}

// Writes an archive file the way a synchronization does: payload in memory, then the file.
void writeArchiveFile(const std::string& path, const ArchiveHeader& header, DateTime stamp,
                      const std::vector<Record>& records) {
    StreamPtr payload = newMemoryStream();
    StreamPtr writer = newPayloadWriter(*payload);
    for (const Record& record : records) {
        StreamPtr content = memoryStreamWith(record.content);
        const auto size = static_cast<std::uint32_t>(record.content.size());
        ASSERT_TRUE(writeRecord(*writer, {record.name, FileTime{record.ticks}, size}, *content));
    }
    ASSERT_TRUE(writeRecordSequenceEnd(*writer));
    ASSERT_TRUE(finishCompressing(*writer));
    setPosition(*payload, 0);
    StreamPtr file = createWriteFileStream(systemPlatform(), path);
    ASSERT_TRUE(writeArchiveHead(*file, buildHeaderText(header), stamp));
    ASSERT_EQ(copyStream(*file, *payload, getSize(*payload)), getSize(*payload));
}

// Reads an archive file the way a synchronization does: head, payload into memory, records.
std::vector<Record> readArchiveFile(const std::string& path, ArchiveHeader& header,
                                    DateTime& stamp) {
    StreamPtr file = openReadFileStream(systemPlatform(), path);
    std::string text;
    EXPECT_TRUE(readArchiveHead(*file, text, stamp));
    header = parseHeaderText(text).value_or(ArchiveHeader{});
    StreamPtr payload = newMemoryStream();
    copyStream(*payload, *file, getSize(*file) - position(*file));
    setPosition(*payload, 0);
    StreamPtr reader = newPayloadReader(*payload);
    std::vector<Record> records;
    RecordHead head;
    while (readRecordHead(*reader, head) == RecordRead::Record) {
        StreamPtr content = newMemoryStream();
        EXPECT_EQ(readRecordContent(*reader, head.size, *content), RecordRead::Record);
        records.push_back({head.name, head.time.ticks, memoryBytes(*content)});
    }
    return records;
}

TEST(MediaArchiveInterop, OurArchiveDecodesWithPlainLibraryCalls) {
    TempDir medium;
    const ArchiveHeader header{true, "/home/ann/proj/", "*.c;*.bin"};
    const std::string path =
        mediaArchivePath(medium.path(), mediaFileName(header.projectPath, header.maskList, true));
    ASSERT_TRUE(forceFolders(systemPlatform(), medium / "Ferry/"));
    const std::vector<Record> records = sampleRecords();
    writeArchiveFile(path, header, 738000.25, records);
    EXPECT_EQ(path, medium / "Ferry/%home%ann%proj%2244.move");

    const std::string bytes = testkit::readDiskFile(path);
    const std::size_t zero = bytes.find('\0');
    ASSERT_NE(zero, std::string::npos);
    EXPECT_EQ(bytes.substr(0, zero), "+/home/ann/proj/,*.c;*.bin");
    EXPECT_EQ(bytes.substr(zero + 1, 8), littleEndian(std::bit_cast<std::uint64_t>(738000.25), 8));
    const std::string payload = bytes.substr(zero + 9);
    const auto blocks = testkit::plainBlocks(payload);
    ASSERT_TRUE(blocks);
    EXPECT_EQ(blocks->size(), 2u);
    EXPECT_EQ(testkit::plainDecodePayload(payload, ArchiveBlockSize), sequenceBytes(records));
}

TEST(MediaArchiveInterop, APlainlyMadeArchiveReadsThroughOurReader) {
    TempDir medium;
    const std::vector<Record> records = sampleRecords();
    const std::string path = medium / "Ferry/C=%Work%Proj%02A1.move";
    testkit::writeDiskFile(
        path, plainArchive(" C:\\Work\\Proj\\,*.pas", 739000.75, sequenceBytes(records)));
    ArchiveHeader header;
    DateTime stamp = 0;
    EXPECT_EQ(readArchiveFile(path, header, stamp), records);
    EXPECT_FALSE(header.includeSubfolders);
    EXPECT_EQ(header.projectPath, "C:\\Work\\Proj\\");
    EXPECT_EQ(header.maskList, "*.pas");
    EXPECT_EQ(stamp, 739000.75);
    EXPECT_EQ(mediaFileName(header.projectPath, header.maskList, false) + ".move",
              "C=%Work%Proj%02A1.move");
}

// A whole archive written out by hand: one record "/p/a.c" holding "hi".
const std::string GoldenArchive = std::string(" /p/,*.c\0", 9) +
                                  littleEndian(std::bit_cast<std::uint64_t>(738000.5), 8) +
                                  std::string(
                                      "\x1D\0\0\0"
                                      "\xFF\x2F\x70\x2F\x61\x2E\x63\x00\x70\xFF\x6F\x5E\x4D\x3C\x2B"
                                      "\xDA\x01\x02\x9B\x00\x68\x69\x84\x00\x92\x49\x24\x95\xFF",
                                      33);

TEST(MediaArchiveInterop, GoldenArchiveBothWays) {
    TempDir medium;
    const std::vector<Record> records = {{"/p/a.c", SomeTicks, "hi"}};
    testkit::writeDiskFile(medium / "golden.move", GoldenArchive);
    ArchiveHeader header;
    DateTime stamp = 0;
    EXPECT_EQ(readArchiveFile(medium / "golden.move", header, stamp), records);
    writeArchiveFile(medium / "ours.move", {false, "/p/", "*.c"}, 738000.5, records);
    EXPECT_EQ(testkit::readDiskFile(medium / "ours.move"), GoldenArchive);
}

}  // namespace
}  // namespace ferry
