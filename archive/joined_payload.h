#pragma once

// The payload an archive is written from when its leading blocks are the old payload's:
// those bytes are read where they lie instead of being copied next to the new ones.

#include <cstdint>

#include "compress/stream.h"

namespace ferry {

// A stream over the first `firstBytes` bytes of `first`, then all of `second`; both must
// outlive it and stay unchanged, and their positions are its own to move.
//   read: the count asked for; fewer at the end; StreamFailure when a part fails.
//   seek: from the beginning, the current position or the end, anywhere up to the end;
//         StreamFailure past it or before 0.
//   getSize: the joined size (first's share never more than it holds). write gives 0,
//   setSize does nothing.
StreamPtr newJoinedPayload(Stream& first, std::uint32_t firstBytes, Stream& second);

}  // namespace ferry
