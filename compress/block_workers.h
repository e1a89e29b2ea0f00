#pragma once

// Compresses a compressing stream's full blocks on worker threads and writes them to the
// destination strictly in the order they were handed over, from the caller's thread only,
// so that the bytes written equal those of compressing one block after another.

#include <cstdint>
#include <memory>

#include "compress/block_stream.h"

namespace ferry {

class BlockWorkers {
  public:
    // `workers` threads (2 or more) and two block buffers each. Null when no thread can
    // be started or memory runs out; the caller then compresses on its own thread.
    static std::unique_ptr<BlockWorkers> start(unsigned workers, std::uint32_t blockSize,
                                               std::int32_t level, Stream& destination);
    // Stops the threads; blocks not yet written are dropped.
    ~BlockWorkers();
    BlockWorkers(const BlockWorkers&) = delete;
    BlockWorkers& operator=(const BlockWorkers&) = delete;

    // Takes the first `length` bytes of `filled`'s input area for compression and gives
    // `filled` a free buffer in exchange. Waits, writing finished blocks, while every
    // buffer is busy. False once a block failed: the compressor failed or the destination
    // took less than the whole block; nothing is taken or written after that.
    bool hand(BlockBuffer& filled, std::uint32_t length);
    // Waits for every block handed over and writes it; false as for hand.
    bool drain();

  private:
    struct Shared;
    explicit BlockWorkers(std::unique_ptr<Shared> shared);
    std::unique_ptr<Shared> shared_;
};

}  // namespace ferry
