#pragma once

// Reading the old payload, once checked, by its decoded positions. The check found where
// each block ends, so a seek costs nothing and a read decodes only the blocks it touches:
// a run that needs no record's content decodes nothing again.

#include <vector>

#include "archive/archive_check.h"
#include "compress/stream.h"

namespace ferry {

// A stream over the decoded bytes of `payload` (the compressed payload, which must stay
// unchanged while the stream lives; its position is left as found) whose blocks end at
// `blocks`, from position 0 to the last block's end.
//   read: the count asked for; fewer at the end; StreamFailure when a block does not decode
//         to the size the check found.
//   seek: from the beginning or the current position, anywhere up to the end; StreamFailure
//         past it or before 0.
//   write gives 0, getSize the decoded size, setSize does nothing.
// Never null; a read fails when libucl cannot be used or memory runs out.
StreamPtr newOldPayloadReader(Stream& payload, std::vector<BlockEnd> blocks);

}  // namespace ferry
