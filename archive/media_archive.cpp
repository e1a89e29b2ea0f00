#include "archive/media_archive.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "compress/compressed_stream.h"
#include "compress/file_stream.h"
#include "support/little_endian.h"
#include "support/text.h"

namespace ferry {
namespace {

constexpr int StampWidth = 8;
constexpr int TimeWidth = 8;
constexpr int SizeWidth = 4;
// The header is read in pieces of this size: few system calls, and little to seek back over.
constexpr std::uint32_t HeadPiece = 4096;
// Record content passes through a buffer of this size, so a short read of the payload is
// told apart from a destination that refuses bytes.
constexpr std::uint32_t ContentPiece = 16384;

// True when `count` bytes went out; a failure code is no count.
bool wroteAll(Stream& stream, const void* source, std::uint32_t count) {
    return write(stream, source, count) == count;
}

// A text a reader gets back as it was written: no zero byte inside, not past the bound.
bool isArchiveText(std::string_view text) {
    return text.size() <= LongestArchiveText && text.find('\0') == std::string_view::npos;
}

// Reads a name up to its zero byte, one byte per read so that nothing past it is taken.
// Record when the zero byte came; Cut when the data ended first; Damage on a failed read
// or a name running past LongestArchiveText.
RecordRead readName(Stream& payload, std::string& name) {
    for (;;) {
        char byte = 0;
        const std::uint32_t got = read(payload, &byte, 1);
        if (got == 0) return RecordRead::Cut;
        if (got != 1) return RecordRead::Damage;
        if (byte == 0) return RecordRead::Record;
        if (name.size() == LongestArchiveText) return RecordRead::Damage;
        name.push_back(byte);
    }
}

}  // namespace

std::uint16_t maskHash(std::string_view maskList, bool includeSubfolders) {
    std::uint16_t hash = includeSubfolders ? 1 : 0;
    for (const char byte : maskList) {
        hash = static_cast<std::uint16_t>((hash << 1) | (hash >> 15));
        hash ^= static_cast<unsigned char>(byte);
    }
    return hash;
}

std::string mediaFileName(std::string_view projectPath, std::string_view maskList,
                          bool includeSubfolders) {
    std::string name(projectPath);
    for (char& c : name) {
        if (c == '\\' || c == '/') c = '%';
        if (c == ':') c = '=';
    }
    return name + intToHex(maskHash(maskList, includeSubfolders), 4);
}

std::string mediaArchivePath(std::string_view mediumRoot, std::string_view stem) {
    std::string path(mediumRoot);
    path += MediaFolderName;
    path += stem;
    path += ArchiveExtension;
    return path;
}

std::string buildHeaderText(const ArchiveHeader& header) {
    return (header.includeSubfolders ? "+" : " ") + header.projectPath + "," + header.maskList;
}

std::optional<ArchiveHeader> parseHeaderText(std::string_view text) {
    if (text.size() < 2) return std::nullopt;
    ArchiveHeader header;
    header.includeSubfolders = text.front() == '+';
    std::string rest(text.substr(1));
    header.projectPath = trimBlanks(takeToken(rest, ","));
    header.maskList = trimBlanks(rest);
    return header;
}

bool writeArchiveHead(Stream& archive, std::string_view headerText, DateTime stamp) {
    if (!isArchiveText(headerText)) return false;
    if (writeZString(archive, headerText) != headerText.size() + 1) return false;
    std::byte field[StampWidth];
    storeLittleEndian(field, std::bit_cast<std::uint64_t>(stamp), StampWidth);
    return wroteAll(archive, field, StampWidth);
}

bool readArchiveHead(Stream& archive, std::string& headerText, DateTime& stamp) {
    headerText.clear();
    char piece[HeadPiece];
    for (;;) {
        const std::uint32_t got = read(archive, piece, HeadPiece);
        if (got == 0 || got > HeadPiece) return false;
        const std::string_view bytes(piece, got);
        const std::size_t zero = bytes.find('\0');
        headerText += bytes.substr(0, zero);
        if (headerText.size() > LongestArchiveText) return false;
        if (zero == std::string_view::npos) continue;
        // Back over what the piece took past the zero byte: the stamp starts there.
        const auto beyond = static_cast<std::int32_t>(got - zero - 1);
        if (beyond > 0 && seek(archive, -beyond, SeekOrigin::fromCurrent) == StreamFailure)
            return false;
        break;
    }
    std::byte field[StampWidth];
    if (read(archive, field, StampWidth) != StampWidth) return false;
    stamp = std::bit_cast<DateTime>(loadLittleEndian(field, StampWidth));
    return std::isfinite(stamp);
}

std::optional<ArchiveHeader> readProjectHead(Platform& system, const std::string& path,
                                             DateTime& stamp) {
    const StreamPtr archive = openReadFileStream(system, path);
    std::string headerText;
    if (!readArchiveHead(*archive, headerText, stamp)) return std::nullopt;
    return parseHeaderText(headerText);
}

StreamPtr newPayloadWriter(Stream& payload) {
    return newCompressingStream(ArchiveCompressionLevel, ArchiveBlockSize, payload);
}

StreamPtr newPayloadReader(Stream& payload) {
    return newDecompressingStream(ArchiveBlockSize, payload);
}

bool writeRecordHead(Stream& payload, const RecordHead& head) {
    if (head.name.empty() || !isArchiveText(head.name)) return false;
    if (writeZString(payload, head.name) != head.name.size() + 1) return false;
    std::byte fields[TimeWidth + SizeWidth];
    storeLittleEndian(fields, head.time.ticks, TimeWidth);
    storeLittleEndian(fields + TimeWidth, head.size, SizeWidth);
    return wroteAll(payload, fields, sizeof fields);
}

bool writeRecord(Stream& payload, const RecordHead& head, Stream& content) {
    return writeRecordHead(payload, head) && copyStream(payload, content, head.size) == head.size;
}

bool writeRecordSequenceEnd(Stream& payload) {
    return writeZString(payload, "") == 1;
}

RecordRead readRecordHead(Stream& payload, RecordHead& head) {
    head.name.clear();
    const RecordRead name = readName(payload, head.name);
    // A payload without a single byte holds no records; it is not cut.
    if (name == RecordRead::Cut && head.name.empty() && position(payload) == 0)
        return RecordRead::End;
    if (name != RecordRead::Record) return name;
    if (head.name.empty()) return RecordRead::End;
    std::byte fields[TimeWidth + SizeWidth];
    const std::uint32_t got = read(payload, fields, sizeof fields);
    if (got > sizeof fields) return RecordRead::Damage;
    if (got != sizeof fields) return RecordRead::Cut;
    head.time.ticks = loadLittleEndian(fields, TimeWidth);
    head.size = static_cast<std::uint32_t>(loadLittleEndian(fields + TimeWidth, SizeWidth));
    return RecordRead::Record;
}

RecordRead readRecordContent(Stream& payload, std::uint32_t size, Stream& content) {
    // A piece at a time, so memory follows the bytes that really arrive.
    std::byte piece[ContentPiece];
    std::uint32_t remaining = size;
    while (remaining > 0) {
        const std::uint32_t asked = std::min(remaining, ContentPiece);
        const std::uint32_t got = read(payload, piece, asked);
        if (got > asked) return RecordRead::Damage;
        if (got > 0 && !wroteAll(content, piece, got)) return RecordRead::Refused;
        if (got != asked) return RecordRead::Cut;
        remaining -= got;
    }
    return RecordRead::Record;
}

}  // namespace ferry
