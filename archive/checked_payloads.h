#pragma once

// This machine remembers the payloads it has checked whole or written itself, so that
// the next run over the same archive need not decode all of it again to trust it. Each
// compressed block is known by a digest keyed with a secret of this machine's, which
// nobody who writes to a medium can make other bytes match; with the digests are kept the
// blocks' ends and the record heads the check found. The memory lives in the run's state
// folder (beside the settings), one file per archive path, in a folder only this user may
// enter. Losing it costs time
// only, and a damaged entry is not believed.

#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "archive/archive_check.h"
#include "archive/run_context.h"
#include "platform/date_time.h"

namespace ferry {

// A payload's bytes in up to two pieces that lie apart (the leading blocks of an older
// payload, then new ones); no block lies across both. The leading ones may be left on the
// medium, out of memory, when their blocks' digests are known already.
struct PayloadBytes {
    explicit PayloadBytes(std::span<const std::byte> whole) : head(whole), headSize(whole.size()) {}
    // `first` is empty when its `firstSize` bytes are not in memory.
    PayloadBytes(std::span<const std::byte> first, std::size_t firstSize,
                 std::span<const std::byte> second)
        : head(first), rest(second), headSize(firstSize) {}

    std::span<const std::byte> head;
    std::span<const std::byte> rest;
    std::size_t headSize = 0;

    std::size_t size() const { return headSize + rest.size(); }
    // The bytes from `start` to `end` of the payload; empty when they lie across both
    // pieces, past the end or out of memory.
    std::span<const std::byte> range(std::size_t start, std::size_t end) const;
};

// What is remembered of the archive at `archivePath`, held against these payload bytes.
struct Recollection {
    // As remembered; its blocks carry their digests. Its names are as they were read, not
    // yet checked against a project.
    PayloadSurvey survey;
    // The leading blocks whose bytes are exactly the remembered ones (another machine may
    // have rewritten the payload from a later block on).
    std::size_t matchingBlocks = 0;
    // Every block matches and the payload ends with the last: the survey holds for it.
    bool whole = false;
};

// This machine's key for the digests it keeps; nothing when it keeps no memory.
std::optional<DigestKey> memoryKey(const RunContext& context);

// Nothing when nothing is remembered of the archive at `archivePath`.
std::optional<Recollection> recallCheckedPayload(const RunContext& context,
                                                 const std::string& archivePath,
                                                 std::span<const std::byte> payload);

// Remembers a sound `survey` of these payload bytes for the archive at `archivePath`, in
// place of what was remembered for it before. Blocks that carry a digest keep it (it must
// be of these bytes); the others are digested now, in `survey` too. Nothing is said when
// that fails: the next run checks the payload whole. The seal of what was remembered;
// nothing when it could not be.
std::optional<Digest> rememberCheckedPayload(const RunContext& context,
                                             const std::string& archivePath,
                                             const PayloadBytes& payload, PayloadSurvey& survey);

// The archive this machine last finished synchronizing a project with, known by a keyed
// digest of its header, its stamp and its blocks (their ends and their digests, which are
// keyed digests of their bytes): whether the medium was written since can then be told
// exactly, whatever the clocks say. Nothing when a block has no digest, the blocks do not
// cover the payload, or this machine keeps no memory.
std::optional<Digest> synchronizedDigestOf(const RunContext& context, std::string_view headerText,
                                           DateTime stamp, const std::vector<BlockEnd>& blocks,
                                           std::size_t payloadSize);
enum class SynchronizedArchive {
    Unknown,  // nothing remembered for the path (or no digest of the archive)
    Same,     // these are the bytes this machine last synchronized with
    Other     // another run (another machine's, or one that did not finish) wrote them
};
SynchronizedArchive recallSynchronizedArchive(const RunContext& context,
                                              const std::string& archivePath,
                                              const std::optional<Digest>& archive);
// Nothing is said when it cannot be remembered: the next run goes by the clocks.
void rememberSynchronizedArchive(const RunContext& context, const std::string& archivePath,
                                 const std::optional<Digest>& archive);

// An archive file that still looks exactly as when this machine last finished a run with
// it (size, write and change times, identity: no program sets a change time back) is taken
// to be that archive without being read, as rsync and unison trust a file's size and time.
// The survey remembered with that look, its names not yet checked against a project;
// nothing when the look or the survey differ.
std::optional<PayloadSurvey> recallUnchangedArchive(const RunContext& context,
                                                    const std::string& archivePath,
                                                    const PathInfo& file);
// Remembers the archive's look with the seal of the survey remembered for it
// (`rememberedAs`); with no survey or no look, forgets the look.
void rememberArchiveLook(const RunContext& context, const std::string& archivePath,
                         const PathInfo& file, const std::optional<Digest>& survey);

}  // namespace ferry
