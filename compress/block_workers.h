#pragma once

// Worker threads that process a compressed stream's blocks while the stream's own thread
// goes on, handing the results back strictly in the order the blocks were handed over.
// Only the stream's thread touches the stream beneath; workers touch only the buffers of
// the blocks they were given.

#include <cstdint>
#include <functional>
#include <memory>

#include "compress/block_stream.h"

namespace ferry {

struct BlockJob {
    BlockBuffer buffer;
    // The bytes to work on: in the buffer (its input area, or its end) or lent by the
    // stream beneath, which must stay unchanged until the job is retired.
    const std::byte* input = nullptr;
    std::uint32_t length = 0;
    // Bytes the work left at the buffer's start, unless it failed.
    std::uint32_t output = 0;
    bool failed = false;
};

class BlockWorkers {
  public:
    // Fills job.output (or job.failed) from job.input; runs on a worker thread.
    using Work = std::function<void(BlockJob& job)>;

    // `workers` threads (2 or more) and two jobs, each with its own block buffer, a
    // worker. Null when no thread can be started or memory runs out; the stream then
    // works on its own thread.
    static std::unique_ptr<BlockWorkers> start(unsigned workers, std::uint32_t blockSize,
                                               Work work);
    // Stops the threads; results not yet taken are dropped.
    ~BlockWorkers();
    BlockWorkers(const BlockWorkers&) = delete;
    BlockWorkers& operator=(const BlockWorkers&) = delete;

    // The job the next block goes into; null while every job is handed over and not yet
    // retired.
    BlockJob* freeJob();
    // Queues the job freeJob gave, once its input is set.
    void hand();
    // The oldest job handed over and not yet retired, once its work is done; with
    // `wait` false, null while it is still at work. Null when none is handed over.
    BlockJob* oldest(bool wait);
    // The oldest job is taken care of; its buffer is free for the next block.
    void retire();
    // Waits for every job at work and forgets them all, results unseen.
    void forget();

  private:
    struct Shared;
    explicit BlockWorkers(std::unique_ptr<Shared> shared);
    std::unique_ptr<Shared> shared_;
};

}  // namespace ferry
