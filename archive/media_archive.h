#pragma once

// The media archive: the one file in which the medium carries a project, in the folder
// "Ferry/" of the medium, named by mediaFileName with the extension ".move".
//
// Layout (integers little-endian; no magic, version, count or checksum):
//   header text  flag ("+" with subfolders, " " without), project path, ",", mask list, 0x00
//                (at most LongestArchiveText bytes before the 0x00)
//   write stamp  8 bytes: the writer's local DateTime as an IEEE-754 double
//   payload      to the end of the file: a compressed stream (compressed_stream.h, block
//                size ArchiveBlockSize, level ArchiveCompressionLevel) of the records:
//     name       project path + path relative to the project, 0x00; never empty, at most
//                LongestArchiveText bytes before the 0x00
//     time       8 bytes: the file's last-write FILETIME, low 32 bits first
//     size       4 bytes, unsigned
//     content    size bytes
//   and a single 0x00 (an empty name) after the last record.
// The archive file's own last-write time is the medium's time of last synchronization.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "compress/stream.h"
#include "platform/date_time.h"
#include "platform/file_time.h"

namespace ferry {

inline constexpr std::uint32_t ArchiveBlockSize = 524288;
inline constexpr std::int32_t ArchiveCompressionLevel = 7;
inline constexpr std::string_view MediaFolderName = "Ferry/";
inline constexpr std::string_view ArchiveExtension = ".move";

// The longest name or header text an archive may hold: longer than any path this program
// can open and so write (Linux PATH_MAX 4096, Windows ANSI MAX_PATH 260), with room to spare
// for a long mask list in a header text. A longer name is damage, so a small hostile payload
// cannot build a huge one.
inline constexpr std::size_t LongestArchiveText = 32768;

// Starts at 1 with subfolders, else 0; for each byte of the mask list, exactly as stored,
// rotates left by one bit within 16 bits and XORs the byte in.
std::uint16_t maskHash(std::string_view maskList, bool includeSubfolders);

// The archive's file name without folder and extension: the project path with every "\"
// and "/" made "%" and every ":" made "=", then maskHash as four upper-case hex digits.
// "/home/ann/proj/" with "*.pas" and no subfolders gives "%home%ann%proj%02A1".
std::string mediaFileName(std::string_view projectPath, std::string_view maskList,
                          bool includeSubfolders);

// mediumRoot (ending in "/") + "Ferry/" + stem + ".move".
std::string mediaArchivePath(std::string_view mediumRoot, std::string_view stem);

struct ArchiveHeader {
    bool includeSubfolders = false;
    std::string projectPath;
    std::string maskList;
};

// Flag + project path + "," + mask list. The project path cannot hold ",": readers split
// at the first one.
std::string buildHeaderText(const ArchiveHeader& header);
// Splits at the first ","; both parts trimmed of bytes up to 32. Without a comma all after
// the flag is the path and the mask list is empty. Nothing for an empty text or a text
// that is only the flag: that file is no project.
std::optional<ArchiveHeader> parseHeaderText(std::string_view text);

// Header text with its zero byte, then the stamp. True when every byte was written; false
// without writing for a text that holds a zero byte or is longer than LongestArchiveText,
// as no reader could get it back.
bool writeArchiveHead(Stream& archive, std::string_view headerText, DateTime stamp);
// Reads the header text and the stamp, in pieces, and leaves the stream just after the
// stamp, where the payload starts. False (the file is no project) when the file ends before
// the stamp is whole, the text runs past LongestArchiveText or the stamp is not a finite
// number; the stream's position is then undefined.
bool readArchiveHead(Stream& archive, std::string& headerText, DateTime& stamp);
// The project the head of the archive file at `path` names, and its write stamp; nothing
// for a file that cannot be read or names no project.
std::optional<ArchiveHeader> readProjectHead(Platform& system, const std::string& path,
                                             DateTime& stamp);

// The payload's compressing and decompressing streams over a memory stream that starts
// at position 0. Null only when libucl cannot be used. The writer's output is whole only
// when finishCompressing (compressed_stream.h) says so.
StreamPtr newPayloadWriter(Stream& payload);
StreamPtr newPayloadReader(Stream& payload);

struct RecordHead {
    std::string name;
    FileTime time;
    std::uint32_t size = 0;
};

// The bytes the head takes in the payload: name, its zero byte, time and size.
inline std::uint64_t recordHeadSize(const RecordHead& head) {
    return head.name.size() + 1 + 12;
}

// Name, time and size alone, for a caller that sends the content itself (in pieces,
// reporting progress). False when the name is empty (it would end the sequence), holds a
// zero byte or is longer than LongestArchiveText (nothing is written then: the reader
// could not get it back), or when not every byte went out.
bool writeRecordHead(Stream& payload, const RecordHead& head);
// The head, then `head.size` bytes copied from `content`. False as writeRecordHead, or
// when fewer content bytes went out than the record holds.
bool writeRecord(Stream& payload, const RecordHead& head, Stream& content);
// The empty name that ends the sequence; false when it was not written.
bool writeRecordSequenceEnd(Stream& payload);

enum class RecordRead {
    Record,  // a whole record head, or a record's whole content, was read
    End,     // the terminator, or an empty payload (no block at all): no records follow
    Cut,     // the data ended before the terminator or inside a record (a cut archive)
    Damage,  // the payload failed to decompress, or a name is longer than LongestArchiveText
    Refused  // readRecordContent's destination did not take every byte
};
// The next record's name, time and size. Record, End, Cut or Damage.
RecordRead readRecordHead(Stream& payload, RecordHead& head);
// Appends the record's `size` content bytes to `content`. Record, Cut, Damage or Refused.
// Memory grows with what arrives, so a damaged size field costs no more than the payload
// holds.
RecordRead readRecordContent(Stream& payload, std::uint32_t size, Stream& content);

}  // namespace ferry
