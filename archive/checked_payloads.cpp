#include "archive/checked_payloads.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <exception>
#include <new>
#include <random>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "compress/file_stream.h"
#include "platform/cpu.h"
#include "platform/files.h"
#include "support/keyed_digest.h"
#include "support/little_endian.h"
#include "support/paths.h"

namespace ferry {
namespace {

constexpr std::string_view MemoryFolderName = "checked/";
constexpr std::string_view KeyFileName = "key";
constexpr std::string_view NewFileEnding = ".new";
constexpr std::string_view SynchronizedEnding = ".synchronized";
// The form of the ".synchronized" file: this byte, then the archive's digest.
constexpr std::uint8_t SynchronizedVersion = 2;
constexpr std::string_view LookEnding = ".look";
constexpr std::uint32_t EntryVersion = 1;
// Far more than the record heads of a real project take; a larger entry is not read,
// which costs only time.
constexpr std::uint32_t LargestEntry = 1u << 30;

// Entry (integers little-endian): version, the blocks (count, then the compressed and
// decoded end and the digest of each), the records (count, then name length, name, time,
// size of each), and last a digest of all that, so a damaged or foreign file is known as
// such.
class EntryWriter {
  public:
    void number(std::uint64_t value, int width) {
        const std::size_t at = bytes_.size();
        bytes_.resize(at + static_cast<std::size_t>(width));
        storeLittleEndian(bytes_.data() + at, value, width);
    }
    void raw(std::span<const std::byte> bytes) {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    }
    std::vector<std::byte>& bytes() { return bytes_; }

  private:
    std::vector<std::byte> bytes_;
};

class EntryReader {
  public:
    explicit EntryReader(std::span<const std::byte> bytes) : bytes_(bytes) {}
    std::uint64_t number(int width) {
        const std::span<const std::byte> field = take(static_cast<std::size_t>(width));
        return field.empty() ? 0 : loadLittleEndian(field.data(), width);
    }
    std::span<const std::byte> take(std::size_t count) {
        if (!whole_ || bytes_.size() - at_ < count) {
            whole_ = false;
            return {};
        }
        at_ += count;
        return bytes_.subspan(at_ - count, count);
    }
    // True when every field so far was there and nothing follows them.
    bool wholeAndDone() const { return whole_ && at_ == bytes_.size(); }
    bool whole() const { return whole_; }

  private:
    std::span<const std::byte> bytes_;
    std::size_t at_ = 0;
    bool whole_ = true;
};

std::string memoryFolder(const RunContext& context) {
    if (context.stateFolder.empty()) return {};
    return withTrailingSeparator(context.stateFolder) + std::string(MemoryFolderName);
}

std::optional<std::vector<std::byte>> readFileBytes(Platform& system, const std::string& path) {
    StreamPtr file = openReadFileStream(system, path);
    if (getHandle(*file) == InvalidFileHandle) return std::nullopt;
    const std::uint32_t size = getSize(*file);
    if (size > LargestEntry) return std::nullopt;
    std::vector<std::byte> bytes;
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (read(*file, bytes.data(), size) != size) return std::nullopt;
    return bytes;
}

// How a memory file replaces the one before it.
enum class Replacement {
    Whole,   // written beside its place and renamed over it: a reader finds the old file or
             // the new one whole
    InPlace  // overwritten, for a small sealed file that is rewritten at every run (a
             // rename costs a flush there): a cut one fails its seal and is not believed
};

bool writeFileBytes(Platform& system, const std::string& path, std::span<const std::byte> bytes,
                    Replacement replacement = Replacement::Whole) {
    const std::string target =
        replacement == Replacement::Whole ? path + std::string(NewFileEnding) : path;
    StreamPtr file = createWriteFileStream(system, target);
    const auto size = static_cast<std::uint32_t>(bytes.size());
    const bool written = getHandle(*file) != InvalidFileHandle && bytes.size() < StreamFailure &&
                         write(*file, bytes.data(), size) == size;
    release(file);
    if (written && (replacement == Replacement::InPlace || system.renameReplace(target, path)))
        return true;
    (void)system.removeFile(target);
    return false;
}

std::optional<DigestKey> keyIn(Platform& system, const std::string& folder) {
    const auto bytes = readFileBytes(system, folder + std::string(KeyFileName));
    if (!bytes || bytes->size() != DigestKey{}.size()) return std::nullopt;
    DigestKey key;
    std::copy(bytes->begin(), bytes->end(), key.begin());
    return key;
}

std::optional<DigestKey> makeKeyIn(Platform& system, const std::string& folder) {
    if (!forceFolders(system, folder) || !system.keepFolderPrivate(folder)) return std::nullopt;
    DigestKey key;
    try {
        std::random_device random;
        for (std::byte& b : key) b = static_cast<std::byte>(random());
    } catch (const std::exception&) {
        return std::nullopt;  // no source of randomness: nothing is remembered
    }
    if (!writeFileBytes(system, folder + std::string(KeyFileName), key)) return std::nullopt;
    return key;
}

std::string entryPath(const std::string& folder, const DigestKey& key,
                      const std::string& archivePath) {
    const Digest name = keyedDigestOf(key, std::as_bytes(std::span(archivePath)));
    return folder + hexText(std::span(name).first(8));
}

bool sameDigest(std::span<const std::byte> stored, const Digest& digest) {
    return std::equal(stored.begin(), stored.end(), digest.begin(), digest.end());
}

// The digests of the blocks that have none yet, a share of the blocks on each core: the
// payload may be large, and every run reads it whole. Blocks must lie inside the bytes.
void digestBlocks(const DigestKey& key, const PayloadBytes& payload,
                  std::vector<BlockEnd>& blocks) {
    const auto digestShare = [&](std::size_t first, std::size_t step) {
        for (std::size_t i = first; i < blocks.size(); i += step) {
            if (blocks[i].digest) continue;
            const std::uint32_t start = i == 0 ? 0 : blocks[i - 1].compressed;
            const std::span<const std::byte> bytes = payload.range(start, blocks[i].compressed);
            // A block out of memory keeps having none.
            if (bytes.size() == blocks[i].compressed - start)
                blocks[i].digest = keyedDigestOf(key, bytes);
        }
    };
    const std::size_t threads = std::min<std::size_t>(usableCores(), blocks.size());
    const std::size_t shares = std::max<std::size_t>(threads, 1);
    std::vector<std::jthread> helpers;
    for (std::size_t share = 1; share < shares; ++share) {
        try {
            helpers.emplace_back(digestShare, share, shares);
        } catch (const std::system_error&) {
            // A thread the system will not give: this one does that share too.
            digestShare(share, shares);
        }
    }
    digestShare(0, shares);
}

// Each block starts where the one before it ends, the last ends with the payload.
bool blocksCover(const std::vector<BlockEnd>& blocks, std::size_t payloadSize) {
    std::uint32_t end = 0;
    for (const BlockEnd& block : blocks) {
        if (block.compressed < end) return false;
        end = block.compressed;
    }
    return end == payloadSize;
}

std::optional<PayloadSurvey> parseEntry(EntryReader& entry) {
    if (entry.number(4) != EntryVersion) return std::nullopt;
    PayloadSurvey survey;
    survey.outcome = done();
    for (std::uint64_t blocks = entry.number(4); entry.whole() && blocks > 0; --blocks) {
        BlockEnd block;
        block.compressed = static_cast<std::uint32_t>(entry.number(4));
        block.decoded = static_cast<std::uint32_t>(entry.number(4));
        const std::span<const std::byte> digest = entry.take(Digest{}.size());
        block.digest.emplace();
        std::copy(digest.begin(), digest.end(), block.digest->begin());
        survey.blocks.push_back(block);
    }
    for (std::uint64_t records = entry.number(4); entry.whole() && records > 0; --records) {
        RecordHead head;
        const std::span<const std::byte> name = entry.take(entry.number(4));
        head.name.assign(reinterpret_cast<const char*>(name.data()), name.size());
        head.time.ticks = entry.number(8);
        head.size = static_cast<std::uint32_t>(entry.number(4));
        survey.contentBytes += head.size;
        survey.records.push_back(std::move(head));
    }
    if (!entry.wholeAndDone()) return std::nullopt;
    return survey;
}

// The memory folder and this machine's key, when there is a memory.
struct Memory {
    std::string folder;
    DigestKey key;
};

std::optional<Memory> memoryOf(const RunContext& context) {
    std::string folder = memoryFolder(context);
    if (folder.empty()) return std::nullopt;
    const std::optional<DigestKey> key = keyIn(context.platform, folder);
    if (!key) return std::nullopt;
    return Memory{std::move(folder), *key};
}

// The body of a file that ends in its keyed digest, when it does.
std::optional<std::vector<std::byte>> readSealedFile(Platform& system, const DigestKey& key,
                                                     const std::string& path, Digest* seal) {
    std::optional<std::vector<std::byte>> bytes = readFileBytes(system, path);
    if (!bytes || bytes->size() < Digest{}.size()) return std::nullopt;
    const std::size_t bodySize = bytes->size() - Digest{}.size();
    const Digest digest = keyedDigestOf(key, std::span(*bytes).first(bodySize));
    if (!sameDigest(std::span(*bytes).last(Digest{}.size()), digest)) return std::nullopt;
    if (seal != nullptr) *seal = digest;
    bytes->resize(bodySize);
    return bytes;
}

// Seals the body with its keyed digest and writes it; the seal when it was written.
std::optional<Digest> writeSealedFile(Platform& system, const DigestKey& key,
                                      const std::string& path, std::vector<std::byte>& body,
                                      Replacement replacement = Replacement::Whole) {
    const Digest seal = keyedDigestOf(key, body);
    body.insert(body.end(), seal.begin(), seal.end());
    if (!writeFileBytes(system, path, body, replacement)) return std::nullopt;
    return seal;
}

// The survey remembered for the archive, its seal in `rememberedAs`.
std::optional<PayloadSurvey> readSurvey(Platform& system, const Memory& memory,
                                        const std::string& archivePath) {
    Digest seal;
    const auto body = readSealedFile(system, memory.key,
                                     entryPath(memory.folder, memory.key, archivePath), &seal);
    if (!body) return std::nullopt;
    EntryReader entry(*body);
    std::optional<PayloadSurvey> survey = parseEntry(entry);
    if (survey) survey->rememberedAs = seal;
    return survey;
}

}  // namespace

std::span<const std::byte> PayloadBytes::range(std::size_t start, std::size_t end) const {
    if (end <= headSize)
        return head.size() == headSize ? head.subspan(start, end - start)
                                       : std::span<const std::byte>{};
    if (start >= headSize && end <= size()) return rest.subspan(start - headSize, end - start);
    return {};
}

std::optional<DigestKey> memoryKey(const RunContext& context) {
    const std::optional<Memory> memory = memoryOf(context);
    if (!memory) return std::nullopt;
    return memory->key;
}

std::optional<Recollection> recallCheckedPayload(const RunContext& context,
                                                 const std::string& archivePath,
                                                 std::span<const std::byte> payload) {
    const std::optional<Memory> memory = memoryOf(context);
    if (!memory) return std::nullopt;
    std::optional<PayloadSurvey> survey = readSurvey(context.platform, *memory, archivePath);
    if (!survey) return std::nullopt;
    // The remembered blocks that lie within these bytes, digested as they are now.
    std::vector<BlockEnd> found;
    for (const BlockEnd& block : survey->blocks) {
        const std::uint32_t start = found.empty() ? 0 : found.back().compressed;
        if (block.compressed < start || block.compressed > payload.size()) break;
        found.push_back({block.compressed, block.decoded, std::nullopt});
    }
    digestBlocks(memory->key, PayloadBytes(payload), found);
    Recollection recollection;
    while (recollection.matchingBlocks < found.size() &&
           found[recollection.matchingBlocks].digest ==
               survey->blocks[recollection.matchingBlocks].digest)
        ++recollection.matchingBlocks;
    recollection.whole = recollection.matchingBlocks == survey->blocks.size() &&
                         blocksCover(survey->blocks, payload.size());
    recollection.survey = std::move(*survey);
    return recollection;
}

std::optional<Digest> rememberCheckedPayload(const RunContext& context,
                                             const std::string& archivePath,
                                             const PayloadBytes& payload, PayloadSurvey& survey) {
    const std::string folder = memoryFolder(context);
    if (folder.empty() || !survey.outcome.done() || !blocksCover(survey.blocks, payload.size()))
        return std::nullopt;
    std::optional<DigestKey> key = keyIn(context.platform, folder);
    if (!key) key = makeKeyIn(context.platform, folder);
    if (!key) return std::nullopt;
    digestBlocks(*key, payload, survey.blocks);
    if (std::any_of(survey.blocks.begin(), survey.blocks.end(),
                    [](const BlockEnd& block) { return !block.digest; }))
        return std::nullopt;
    EntryWriter entry;
    entry.number(EntryVersion, 4);
    entry.number(survey.blocks.size(), 4);
    for (const BlockEnd& block : survey.blocks) {
        entry.number(block.compressed, 4);
        entry.number(block.decoded, 4);
        entry.raw(*block.digest);
    }
    entry.number(survey.records.size(), 4);
    for (const RecordHead& head : survey.records) {
        entry.number(head.name.size(), 4);
        entry.raw(std::as_bytes(std::span(head.name)));
        entry.number(head.time.ticks, 8);
        entry.number(head.size, 4);
    }
    return writeSealedFile(context.platform, *key, entryPath(folder, *key, archivePath),
                           entry.bytes());
}

std::optional<Digest> synchronizedDigestOf(const RunContext& context, std::string_view headerText,
                                           DateTime stamp, const std::vector<BlockEnd>& blocks,
                                           std::size_t payloadSize) {
    const std::optional<Memory> memory = memoryOf(context);
    if (!memory || !blocksCover(blocks, payloadSize)) return std::nullopt;
    KeyedDigest digest(memory->key);
    EntryWriter fields;
    fields.raw(std::as_bytes(std::span(headerText)));
    fields.number(std::bit_cast<std::uint64_t>(stamp), 8);
    fields.number(blocks.size(), 8);
    for (const BlockEnd& block : blocks) {
        if (!block.digest) return std::nullopt;
        fields.number(block.compressed, 4);
        fields.number(block.decoded, 4);
        fields.raw(*block.digest);
    }
    digest.add(fields.bytes());
    return digest.finish();
}

SynchronizedArchive recallSynchronizedArchive(const RunContext& context,
                                              const std::string& archivePath,
                                              const std::optional<Digest>& archive) {
    const std::optional<Memory> memory = memoryOf(context);
    if (!memory || !archive) return SynchronizedArchive::Unknown;
    const auto bytes =
        readFileBytes(context.platform, entryPath(memory->folder, memory->key, archivePath) +
                                            std::string(SynchronizedEnding));
    // One kept in an earlier form (a digest of all the payload's bytes) is not compared.
    if (!bytes || bytes->size() != 1 + Digest{}.size() ||
        (*bytes)[0] != std::byte{SynchronizedVersion})
        return SynchronizedArchive::Unknown;
    return sameDigest(std::span(*bytes).subspan(1), *archive) ? SynchronizedArchive::Same
                                                              : SynchronizedArchive::Other;
}

void rememberSynchronizedArchive(const RunContext& context, const std::string& archivePath,
                                 const std::optional<Digest>& archive) {
    // The digest was taken under this machine's key, so the memory is there already.
    const std::optional<Memory> memory = memoryOf(context);
    if (!memory || !archive) return;
    std::vector<std::byte> bytes{std::byte{SynchronizedVersion}};
    bytes.insert(bytes.end(), archive->begin(), archive->end());
    writeFileBytes(
        context.platform,
        entryPath(memory->folder, memory->key, archivePath) + std::string(SynchronizedEnding),
        bytes);
}

namespace {

// The look (integers little-endian): version, size, write time, change time, device, file
// number, the seal of the survey remembered with it; sealed itself.
void writeLook(EntryWriter& entry, const PathInfo& file) {
    entry.number(EntryVersion, 4);
    entry.number(file.size, 8);
    entry.number(file.lastWrite.ticks, 8);
    entry.number(file.lastChange.ticks, 8);
    entry.number(file.identity.device, 8);
    entry.number(file.identity.node, 8);
}

}  // namespace

std::optional<PayloadSurvey> recallUnchangedArchive(const RunContext& context,
                                                    const std::string& archivePath,
                                                    const PathInfo& file) {
    if (!file.exists) return std::nullopt;
    const std::optional<Memory> memory = memoryOf(context);
    if (!memory) return std::nullopt;
    const auto look = readSealedFile(
        context.platform, memory->key,
        entryPath(memory->folder, memory->key, archivePath) + std::string(LookEnding), nullptr);
    EntryWriter now;
    writeLook(now, file);
    if (!look || look->size() != now.bytes().size() + Digest{}.size() ||
        !std::equal(now.bytes().begin(), now.bytes().end(), look->begin()))
        return std::nullopt;
    std::optional<PayloadSurvey> survey = readSurvey(context.platform, *memory, archivePath);
    // The survey must be the very one remembered with the look.
    if (!survey || !sameDigest(std::span(*look).last(Digest{}.size()), *survey->rememberedAs))
        return std::nullopt;
    return survey;
}

void rememberArchiveLook(const RunContext& context, const std::string& archivePath,
                         const PathInfo& file, const std::optional<Digest>& survey) {
    const std::optional<Memory> memory = memoryOf(context);
    if (!memory) return;
    const std::string path =
        entryPath(memory->folder, memory->key, archivePath) + std::string(LookEnding);
    if (!file.exists || !survey) {
        // An old look must not vouch for a survey it was not taken with.
        (void)context.platform.removeFile(path);
        return;
    }
    EntryWriter entry;
    writeLook(entry, file);
    entry.raw(*survey);
    (void)writeSealedFile(context.platform, memory->key, path, entry.bytes(), Replacement::InPlace);
}

}  // namespace ferry
