#pragma once

// The payload of an archive that looks exactly as this machine left it, read from the
// medium only where a run uses it: a change near the end of a large archive then reads
// the last blocks, not all of them. Each block is read whole the first time any of its
// bytes is, and its bytes are given out only when they match the keyed digest this machine
// remembers for it; a block that differs fails every read of it, so bytes someone else
// put on the medium are never used as this machine's own.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_check.h"
#include "compress/stream.h"
#include "support/keyed_digest.h"

namespace ferry {

// A stream over the payload lying in the archive at `path` from `start` on, whose blocks
// are `blocks`, each with its digest under `key`. The archive is open only while blocks are
// read from it, so that it can be replaced, renamed over or changed in place meanwhile (a
// Windows file that is open cannot): a block read later must still be the remembered one.
//   read: the count asked for; fewer at the end; StreamFailure when a block could not be
//         read whole or is not the remembered one.
//   seek: from the beginning, the current position or the end, anywhere up to the end.
//   getSize: the last block's end. write gives 0, setSize does nothing.
// Nothing when a block has no digest.
StreamPtr newVerifiedPayload(Platform& system, std::string path, std::uint32_t start,
                             std::vector<BlockEnd> blocks, const DigestKey& key);

// Reads and checks the blocks from the one whose decoded bytes reach past `decodedAt` to
// the last, ahead of their use; false when one could not be read or is not the remembered
// one. `payload` is a stream made above.
bool verifyBlocksFrom(Stream& payload, std::uint64_t decodedAt);

}  // namespace ferry
