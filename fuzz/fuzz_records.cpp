// Arbitrary bytes as a record sequence, read either straight from memory or after a round
// trip through the compressing stream. Checks that the round trip gives back the bytes,
// both through our decompressing stream and through plain libucl calls, and that the
// records read, written out again, are exactly the bytes they were read from.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <ucl/ucl.h>

#include "archive/media_archive.h"
#include "compress/compressed_stream.h"
#include "compress/memory_stream.h"

namespace {

using namespace ferry;

void require(bool holds) {
    if (!holds) std::abort();
}

std::string bytesOf(const Stream& stream) {
    if (!stream.memory) return {};
    return std::string(reinterpret_cast<const char*>(stream.memory.get()), stream.size);
}

StreamPtr memoryWith(const std::string& bytes) {
    StreamPtr stream = newMemoryStream();
    write(*stream, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    setPosition(*stream, 0);
    return stream;
}

// The payload decoded by the layout alone: length, NRV2E stream, and again.
std::string plainDecode(const std::string& payload, std::uint32_t blockSize) {
    std::string decoded;
    std::size_t at = 0;
    while (at < payload.size()) {
        require(payload.size() - at >= 4);
        std::uint32_t length = 0;
        for (int i = 3; i >= 0; --i)
            length = (length << 8) | static_cast<unsigned char>(payload[at + i]);
        at += 4;
        require(length > 0 && length <= payload.size() - at);
        std::string input = payload.substr(at, length) + std::string(16, '\0');
        std::string output(blockSize, '\0');
        ucl_uint outLength = blockSize;
        require(ucl_nrv2e_decompress_safe_8(reinterpret_cast<const unsigned char*>(input.data()),
                                            length, reinterpret_cast<unsigned char*>(output.data()),
                                            &outLength, nullptr) == UCL_E_OK);
        require(outLength >= 1 && outLength <= blockSize);
        decoded.append(output, 0, outLength);
        at += length;
    }
    return decoded;
}

// True when `rest` starts a record that it does not hold whole: the name, its fields or
// its content run past the end.
bool startsACutRecord(std::string_view rest) {
    const std::size_t zero = rest.find('\0');
    if (zero == 0) return false;
    if (zero == std::string_view::npos) return rest.size() <= LongestArchiveText;
    if (rest.size() < zero + 13) return true;
    std::uint64_t size = 0;
    for (std::size_t i = zero + 12; i > zero + 8; --i)
        size = (size << 8) | static_cast<unsigned char>(rest[i]);
    return rest.size() < zero + 13 + size;
}

// Reads every record and writes it out again; the result must be a prefix of `sequence`.
// How the reading stops must agree with the bytes after that prefix: End at the terminator
// or when there are no bytes at all, Cut inside a record, Damage only for an overlong name
// (the payload itself is whole), Refused never (memory takes every byte).
void checkRecords(Stream& payload, const std::string& sequence) {
    StreamPtr rewritten = newMemoryStream();
    RecordHead head;
    RecordRead result = RecordRead::Record;
    while ((result = readRecordHead(payload, head)) == RecordRead::Record) {
        StreamPtr content = newMemoryStream();
        result = readRecordContent(payload, head.size, *content);
        if (result != RecordRead::Record) break;
        setPosition(*content, 0);
        require(writeRecord(*rewritten, head, *content));
    }
    const std::string again = bytesOf(*rewritten);
    require(sequence.compare(0, again.size(), again) == 0);
    const std::string_view rest = std::string_view(sequence).substr(again.size());
    switch (result) {
        case RecordRead::End: require(rest.empty() ? sequence.empty() : rest[0] == '\0'); break;
        case RecordRead::Cut: require(startsACutRecord(rest)); break;
        case RecordRead::Damage:
            require(rest.size() > LongestArchiveText &&
                    rest.substr(0, LongestArchiveText + 1).find('\0') == std::string_view::npos);
            break;
        case RecordRead::Record:
        case RecordRead::Refused: std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool compressed = input.ConsumeBool();
    static constexpr std::uint32_t BlockSizes[] = {16, 256, 4096, ArchiveBlockSize};
    const std::uint32_t blockSize = input.PickValueInArray(BlockSizes);
    const std::string sequence = input.ConsumeRemainingBytesAsString();

    if (!compressed) {
        StreamPtr payload = memoryWith(sequence);
        checkRecords(*payload, sequence);
        return 0;
    }
    StreamPtr payload = newMemoryStream();
    StreamPtr writer = newCompressingStream(ArchiveCompressionLevel, blockSize, *payload);
    require(write(*writer, sequence.data(), static_cast<std::uint32_t>(sequence.size())) ==
            sequence.size());
    require(finishCompressing(*writer));
    require(plainDecode(bytesOf(*payload), blockSize) == sequence);

    setPosition(*payload, 0);
    StreamPtr reader = newDecompressingStream(blockSize, *payload);
    std::string decoded(sequence.size() + 1, '\0');
    require(read(*reader, decoded.data(), static_cast<std::uint32_t>(decoded.size())) ==
            sequence.size());
    decoded.pop_back();
    require(decoded == sequence);

    require(seek(*reader, 0, SeekOrigin::fromBeginning) == 0 || sequence.empty());
    checkRecords(*reader, sequence);
    return 0;
}
