#pragma once

// Streams over files, opened through the platform they are given, which every later call
// on the stream goes to. Opening never fails visibly: a file that cannot be opened still
// gives a stream, whose getHandle is InvalidFileHandle (streamError tells why) and on
// which read, write and getSize give 0 and seek gives StreamFailure. A caller that must
// know tests getHandle after opening.
//
// Sizes and positions are 32-bit: getSize of a file of 4 GiB or more, and a seek whose
// target lies at 4 GiB - 1 or beyond, give StreamFailure, so that such a file is refused
// rather than carried in part. A failed seek leaves the position where it was. reserve
// never changes a file.

#include <string_view>

#include "compress/stream.h"

namespace ferry {

// An existing file, for reading; write gives 0, setSize does nothing.
StreamPtr openReadFileStream(Platform& system, std::string_view fileName);
// A new or emptied file, for writing; read gives 0. After every write the file ends at
// the last byte written.
StreamPtr createWriteFileStream(Platform& system, std::string_view fileName);
// The same for a name that must be free: nothing is there, not even a link.
StreamPtr createNewFileStream(Platform& system, std::string_view fileName);
// The file for reading and writing, created empty when missing; an existing file is
// never emptied. Writes leave the bytes after them in place. The third file kind, for
// callers that change a file in place; a synchronization never does (it replaces files
// whole, so that a read-only file is no reason to stop).
StreamPtr openReadWriteFileStream(Platform& system, std::string_view fileName);

// For a file whose last write came up short without a failure: writes once more to learn
// the system's reason (a full medium, say), which may add a byte to a file that is to be
// discarded anyway. A device failure when the system tells none.
SystemError shortWriteCause(Stream& file);

// Closes the file now and releases the stream. Fails when the file was not open or the
// system reported a failure on closing (some file systems report late write errors
// only then).
SystemResult<> closeFileStream(StreamPtr& stream);

}  // namespace ferry
