#include "sync/media_archive.h"

#include <algorithm>
#include <bit>

#include "compress/compressed_stream.h"
#include "support/little_endian.h"
#include "support/text.h"

namespace ferry {
namespace {

constexpr int StampWidth = 8;
constexpr int TimeWidth = 8;
constexpr int SizeWidth = 4;

// True when `count` bytes went out; a failure code is no count.
bool wroteAll(Stream& stream, const void* source, std::uint32_t count) {
    return write(stream, source, count) == count;
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
    if (writeZString(archive, headerText) != headerText.size() + 1) return false;
    std::byte field[StampWidth];
    storeLittleEndian(field, std::bit_cast<std::uint64_t>(stamp), StampWidth);
    return wroteAll(archive, field, StampWidth);
}

bool readArchiveHead(Stream& archive, std::string& headerText, DateTime& stamp) {
    headerText.clear();
    if (readZStringInto(archive, headerText) != ZStringEnd::Terminator) return false;
    std::byte field[StampWidth];
    if (read(archive, field, StampWidth) != StampWidth) return false;
    stamp = std::bit_cast<DateTime>(loadLittleEndian(field, StampWidth));
    return true;
}

StreamPtr newPayloadWriter(Stream& payload) {
    return newCompressingStream(ArchiveCompressionLevel, ArchiveBlockSize, payload);
}

StreamPtr newPayloadReader(Stream& payload) {
    return newDecompressingStream(ArchiveBlockSize, payload);
}

bool writeRecordHead(Stream& payload, const RecordHead& head) {
    if (head.name.empty()) return false;
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
    switch (readZStringInto(payload, head.name)) {
        case ZStringEnd::Terminator: break;
        case ZStringEnd::EndOfData: return RecordRead::End;
        case ZStringEnd::Failure: return RecordRead::Damage;
    }
    if (head.name.empty()) return RecordRead::End;
    std::byte fields[TimeWidth + SizeWidth];
    const std::uint32_t got = read(payload, fields, sizeof fields);
    if (got == StreamFailure) return RecordRead::Damage;
    if (got != sizeof fields) return RecordRead::End;
    head.time.ticks = loadLittleEndian(fields, TimeWidth);
    head.size = static_cast<std::uint32_t>(loadLittleEndian(fields + TimeWidth, SizeWidth));
    return RecordRead::Record;
}

RecordRead readRecordContent(Stream& payload, std::uint32_t size, Stream& content) {
    std::uint32_t remaining = size;
    while (remaining > 0) {
        // A block at a time, so memory follows the bytes that really arrive.
        const std::uint32_t chunk = std::min(remaining, ArchiveBlockSize);
        const std::uint32_t copied = copyStream(content, payload, chunk);
        if (copied == StreamFailure) return RecordRead::Damage;
        if (copied != chunk) return RecordRead::End;
        remaining -= chunk;
    }
    return RecordRead::Record;
}

}  // namespace ferry
