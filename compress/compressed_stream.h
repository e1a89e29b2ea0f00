#pragma once

// Compressing and decompressing streams: the block format that carries every media
// archive's body.
//
// Format: blocks back to back from position 0 of the underlying stream to its end, each a
// 4-byte little-endian length L followed by L bytes of one NRV2E stream (libucl, 8-bit bit
// buffer, with its own end code). With block size B every block but the last decodes to
// exactly B bytes and the last to 1..B; an empty payload has no block at all. L never
// exceeds B + B/8 + 256. No header, count, stored form, checksum or trailer.
//
// A compressed stream sits on a stream it does not own: the caller keeps that stream
// alive while the compressed stream lives and releases it itself. Each compressed stream
// uses one buffer of about B + B/8 + 256 bytes and allocates nothing per read or write.

#include <cstdint>
#include <functional>

#include "compress/stream.h"

namespace ferry {

// For a compressing stream bytesIn counts uncompressed and bytesOut compressed bytes; for
// a decompressing stream the other way round.
using ProgressCallback =
    std::function<void(Stream& sender, std::uint32_t bytesIn, std::uint32_t bytesOut)>;

// `workers` for newCompressingStream: one worker thread per core this process may use.
inline constexpr unsigned EveryUsableCore = 0;

// Accepts bytes and writes them to `destination` as blocks of `blockSize`. A block goes
// out when it is full and a further byte arrives, or at finishCompressing, or when the
// stream is released: the output is complete only after one of the last two.
// With more than one worker (and no progress callback, whose reports must come from the
// caller's thread), full blocks are compressed on that many threads, at most two blocks
// a worker at a time, and written from the caller's thread strictly in order: the bytes
// are those of one worker, only a full block may reach the destination later (at the
// latest when finishing, seeking to 0 or releasing). With 1 worker everything happens
// on the caller's thread.
//   write: the count accepted, or StreamFailure when the compressor fails (a level outside
//          1..10; with one worker the full block then stays pending and the next write
//          tries again, with more the stream is broken), when a block did not reach the
//          destination whole (with workers: a block handed over before), or after the
//          stream was broken that way or finished.
//   seek:  reports the position (bytes accepted) by 0 from the current position or the
//          end, or to that position from the beginning; to 0 from the beginning (or back
//          by the position) starts again: the destination is set to 0 and later blocks
//          overwrite it. Anything else gives StreamFailure.
//   read gives 0, getSize 0, setSize does nothing. Release sends the pending block unless
//   the stream was finished or broken; when that fails nobody is told, so a caller that
//   must know finishes first.
// Null when libucl's start-up check fails, blockSize is 0 or too large, or memory runs
// out.
StreamPtr newCompressingStream(std::int32_t level, std::uint32_t blockSize, Stream& destination,
                               ProgressCallback progress = {}, unsigned workers = EveryUsableCore);

// Compresses and sends the pending block of a stream made by newCompressingStream. True
// when every block of the stream reached its destination whole; false when one did not
// (the stream is then broken: every later write fails), when the compressor fails (with
// one worker the block stays pending; with more the stream is broken), or for a stream of
// any other kind. Waits for the workers. Once finished, the stream
// accepts no more bytes until a seek starts it again; finishing again repeats the result.
bool finishCompressing(Stream& compressing);

// Reads blocks of `blockSize` from `source`, whose payload starts at its position 0, and
// delivers their bytes. A memory source is decoded where it lies. With more than one
// worker, from the second block on the source is read ahead and the next blocks (at most
// two a worker) are decoded on that many threads; the bytes delivered and the results
// stay those of one worker, only the source's position runs ahead (and a seek back into
// a block may need no second reading, so fewer progress reports). Damage ahead counts
// only when the reader reaches it. Safe on any input:
//   read: the count asked for; fewer at the end of the data (also when 1 to 3 stray bytes
//         follow the last block); StreamFailure on damage (a length of 0 or above
//         B + B/8 + 256, a block cut short, a decoder error), not counting bytes that call
//         had already copied. After damage every read fails until a seek back rewinds.
//   seek: forward by decoding, backward inside the current block in place, further back by
//         reading the source again from 0. StreamFailure when the target lies past the end
//         or damage is met on the way; a target before 0 counts as 0.
//   write gives 0, getSize 0, setSize does nothing.
// Progress is reported once per block read.
// Null when libucl's start-up check fails, blockSize is 0 or too large, or memory runs
// out.
StreamPtr newDecompressingStream(std::uint32_t blockSize, Stream& source,
                                 ProgressCallback progress = {},
                                 unsigned workers = EveryUsableCore);

}  // namespace ferry
