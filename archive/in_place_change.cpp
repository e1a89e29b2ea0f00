#include "archive/in_place_change.h"

#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <new>
#include <optional>

#include "archive/archive_replacement.h"
#include "archive/media_archive.h"
#include "compress/file_stream.h"
#include "platform/files.h"
#include "support/keyed_digest.h"
#include "support/little_endian.h"
#include "support/paths.h"

namespace ferry {
namespace {

constexpr std::string_view RedoEnding = ".redo";
constexpr std::string_view RedoMagic = "FerryRedo1";
// The redo file's digest tells a whole file from a cut one; nobody needs to be kept from
// making one (whoever can write the medium can write the archive itself).
constexpr DigestKey RedoKey{};

using StampBytes = std::array<std::byte, sizeof(DateTime)>;

// As the archive holds it.
StampBytes stampBytes(DateTime stamp) {
    StampBytes bytes;
    storeLittleEndian(bytes.data(), std::bit_cast<std::uint64_t>(stamp), sizeof(DateTime));
    return bytes;
}

// Redo file (integers little-endian): the magic, where the stamp lies, the old and the
// new stamp as the archive holds them, the length to cut at, the tail's length, the tail,
// and a digest of all that.
std::vector<std::byte> redoBytes(const InPlaceChange& change) {
    std::vector<std::byte> bytes;
    const auto number = [&](std::uint64_t value, int width) {
        bytes.resize(bytes.size() + static_cast<std::size_t>(width));
        storeLittleEndian(bytes.data() + bytes.size() - width, value, width);
    };
    const auto raw = [&](std::span<const std::byte> piece) {
        bytes.insert(bytes.end(), piece.begin(), piece.end());
    };
    raw(std::as_bytes(std::span(RedoMagic)));
    number(change.stampAt, 4);
    raw(stampBytes(change.oldStamp));
    raw(stampBytes(change.newStamp));
    number(change.cut, 4);
    number(change.tail.size(), 4);
    raw(change.tail);
    raw(keyedDigestOf(RedoKey, bytes));
    return bytes;
}

// The change a whole redo file describes; nothing for a cut or foreign one.
std::optional<InPlaceChange> parseRedo(std::span<const std::byte> bytes, std::string archivePath) {
    constexpr std::size_t fixed = RedoMagic.size() + 4 + 8 + 8 + 4 + 4;
    const std::size_t digestSize = Digest{}.size();
    if (bytes.size() < fixed + digestSize) return std::nullopt;
    const std::span<const std::byte> body = bytes.first(bytes.size() - digestSize);
    const Digest digest = keyedDigestOf(RedoKey, body);
    if (!std::equal(digest.begin(), digest.end(), bytes.last(digestSize).begin()) ||
        !std::equal(RedoMagic.begin(), RedoMagic.end(), body.begin(),
                    [](char a, std::byte b) { return static_cast<std::byte>(a) == b; }))
        return std::nullopt;
    std::size_t at = RedoMagic.size();
    const auto number = [&](int width) {
        const std::uint64_t value = loadLittleEndian(body.data() + at, width);
        at += static_cast<std::size_t>(width);
        return value;
    };
    const auto stamp = [&] { return std::bit_cast<DateTime>(number(sizeof(DateTime))); };
    InPlaceChange change;
    change.archivePath = std::move(archivePath);
    change.stampAt = static_cast<std::uint32_t>(number(4));
    change.oldStamp = stamp();
    change.newStamp = stamp();
    change.cut = static_cast<std::uint32_t>(number(4));
    if (number(4) != body.size() - fixed) return std::nullopt;
    change.tail.assign(body.begin() + static_cast<std::ptrdiff_t>(fixed), body.end());
    return change;
}

// Written whole and flushed with its folder, or removed.
Outcome writeRedo(Platform& system, const std::string& path, std::span<const std::byte> bytes) {
    StreamPtr file = createWriteFileStream(system, path);
    Outcome outcome = done();
    const auto size = static_cast<std::uint32_t>(bytes.size());
    if (getHandle(*file) == InvalidFileHandle) {
        outcome = systemFailure(path, streamError(*file));
    } else if (write(*file, bytes.data(), size) != size) {
        outcome = systemFailure(path, shortWriteCause(*file));
    }
    outcome = closeWrittenFile(system, file, path, outcome).outcome;
    if (outcome.done()) outcome = flushArchiveFolder(system, path);
    if (!outcome.done()) (void)system.removeFile(path);
    return outcome;
}

// The new stamp, the cut, then the tail.
bool writeChange(Stream& file, const InPlaceChange& change) {
    const StampBytes stamp = stampBytes(change.newStamp);
    const auto tailSize = static_cast<std::uint32_t>(change.tail.size());
    if (setPosition(file, change.stampAt) != change.stampAt ||
        write(file, stamp.data(), stamp.size()) != stamp.size())
        return false;
    setSize(file, change.cut);
    return getSize(file) == change.cut && setPosition(file, change.cut) == change.cut &&
           write(file, change.tail.data(), tailSize) == tailSize;
}

// The stamp, the cut and the tail, flushed. Damage when the archive carries neither the
// old nor the new stamp: it is not the archive the change was made for.
Made<FileTime> applyChange(Platform& system, const InPlaceChange& change) {
    const std::string& path = change.archivePath;
    if (!fileExists(system, path)) return {{}, failure(Fault::Damaged, path)};
    StreamPtr file = openReadWriteFileStream(system, path);
    if (getHandle(*file) == InvalidFileHandle) return {{}, systemFailure(path, streamError(*file))};
    Outcome outcome = done();
    StampBytes found{};
    const StampBytes oldStamp = stampBytes(change.oldStamp);
    const StampBytes newStamp = stampBytes(change.newStamp);
    if (setPosition(*file, change.stampAt) != change.stampAt ||
        read(*file, found.data(), found.size()) != found.size() ||
        (found != oldStamp && found != newStamp)) {
        outcome = failure(Fault::Damaged, path);
    } else if (!writeChange(*file, change)) {
        outcome = systemFailure(path, streamError(*file));
    }
    return closeWrittenFile(system, file, path, outcome);
}

// The redo file goes once the change is made; its folder is flushed so that it does not
// come back to be made again over a later change.
void removeRedo(Platform& system, const std::string& path) {
    if (system.removeFile(path)) (void)flushArchiveFolder(system, path);
}

}  // namespace

std::string redoPath(std::string_view archivePath) {
    return std::string(archivePath) + std::string(RedoEnding);
}

Made<FileTime> changeArchiveInPlace(Platform& system, const InPlaceChange& change) {
    const std::string redo = redoPath(change.archivePath);
    if (const Outcome written = writeRedo(system, redo, redoBytes(change)); !written.done())
        return {{}, written};
    Made<FileTime> changed = applyChange(system, change);
    if (changed.outcome.done()) removeRedo(system, redo);
    return changed;
}

void finishCutChanges(Platform& system, std::string_view mediumFolder) {
    if (mediumFolder.empty()) return;
    const std::string ferry = std::string(mediumFolder) + std::string(MediaFolderName);
    SystemResult<std::unique_ptr<FolderReader>> reader = system.openFolder(ferry);
    if (!reader || !reader.value) return;
    std::vector<std::string> redos;
    for (FolderEntry entry; reader.value->next(entry);) {
        if (entry.kind == EntryKind::File && entry.name.ends_with(RedoEnding))
            redos.push_back(ferry + entry.name);
    }
    reader.value.reset();
    for (const std::string& redo : redos) {
        StreamPtr file = openReadFileStream(system, redo);
        const std::uint32_t size = getSize(*file);
        std::vector<std::byte> bytes;
        try {
            bytes.resize(size);
        } catch (const std::bad_alloc&) {
            continue;  // a later run, with more memory, may finish it
        }
        // One the system could not read may be whole: it stays for a later run.
        if (getHandle(*file) == InvalidFileHandle || read(*file, bytes.data(), size) != size)
            continue;
        release(file);
        const std::optional<InPlaceChange> change =
            parseRedo(bytes, redo.substr(0, redo.size() - RedoEnding.size()));
        if (!change) {
            removeRedo(system, redo);
            continue;
        }
        const Made<FileTime> changed = applyChange(system, *change);
        if (changed.outcome.done() || changed.outcome.fault == Fault::Damaged)
            removeRedo(system, redo);
    }
}

}  // namespace ferry
