#include "compress/block_workers.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace ferry {
namespace {

enum class JobState { Idle, Queued, Done, Failed };

struct Job {
    BlockBuffer buffer;
    std::uint32_t length = 0;      // bytes to compress in the input area
    std::uint32_t compressed = 0;  // bytes at the buffer's start once Done
    JobState state = JobState::Idle;
};

}  // namespace

// The jobs form a ring in handing order: block n uses jobs[n % size], and is written
// before block n + size can take its buffer. The caller alone writes to the destination
// and touches a job's buffer while the job is Idle; workers touch only Queued jobs. The
// mutex guards the queue and the job states.
struct BlockWorkers::Shared {
    Shared(Stream& target, std::int32_t compressionLevel, std::size_t jobCount)
        : destination(target), level(compressionLevel), jobs(jobCount) {}

    Stream& destination;
    const std::int32_t level;
    std::vector<Job> jobs;
    std::uint64_t handed = 0;     // blocks handed over
    std::uint64_t delivered = 0;  // blocks written, or found failed
    bool failed = false;

    std::mutex mutex;
    std::condition_variable queued;  // workers wait for work here
    std::condition_variable ready;   // the caller waits for a block here
    std::deque<Job*> queue;
    bool stopping = false;
    std::vector<std::thread> threads;

    Job& head() { return jobs[delivered % jobs.size()]; }

    void work() {
        std::unique_lock lock(mutex);
        for (;;) {
            queued.wait(lock, [this] { return stopping || !queue.empty(); });
            if (stopping) return;
            Job& job = *queue.front();
            queue.pop_front();
            lock.unlock();
            job.compressed = compressInPlace(job.buffer, job.length, level, nullptr);
            lock.lock();
            job.state = job.compressed > 0 ? JobState::Done : JobState::Failed;
            ready.notify_all();
        }
    }

    // Writes the oldest block handed over; without `wait`, only when it is already
    // compressed. False when nothing was written.
    bool deliverHead(bool wait) {
        Job& job = head();
        {
            std::unique_lock lock(mutex);
            const auto finished = [&job] { return job.state != JobState::Queued; };
            if (wait) {
                ready.wait(lock, finished);
            } else if (!finished()) {
                return false;
            }
        }
        failed = job.state == JobState::Failed ||
                 !writeBlock(destination, job.buffer.start(), job.compressed);
        job.state = JobState::Idle;
        ++delivered;
        return !failed;
    }
};

BlockWorkers::BlockWorkers(std::unique_ptr<Shared> shared) : shared_(std::move(shared)) {}

BlockWorkers::~BlockWorkers() {
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
    }
    shared_->queued.notify_all();
    for (std::thread& thread : shared_->threads) thread.join();
}

std::unique_ptr<BlockWorkers> BlockWorkers::start(unsigned workers, std::uint32_t blockSize,
                                                  std::int32_t level, Stream& destination) {
    // Two buffers a worker: one being compressed, one compressed and waiting for its turn
    // to be written while the worker goes on.
    auto shared = std::make_unique<Shared>(destination, level, std::size_t{2} * workers);
    for (Job& job : shared->jobs) {
        if (!prepareBlockBuffer(job.buffer, blockSize)) return nullptr;
    }
    std::unique_ptr<BlockWorkers> pool(new BlockWorkers(std::move(shared)));
    Shared* common = pool->shared_.get();
    try {
        for (unsigned started = 0; started < workers; ++started) {
            common->threads.emplace_back([common] { common->work(); });
        }
    } catch (const std::system_error&) {
        // Fewer threads still work; none at all leaves the caller to compress alone.
        if (common->threads.empty()) return nullptr;
    }
    return pool;
}

bool BlockWorkers::hand(BlockBuffer& filled, std::uint32_t length) {
    Shared& common = *shared_;
    if (common.failed) return false;
    if (common.handed - common.delivered == common.jobs.size() && !common.deliverHead(true)) {
        return false;
    }
    Job& job = common.jobs[common.handed % common.jobs.size()];
    std::swap(job.buffer.bytes, filled.bytes);
    job.length = length;
    {
        const std::lock_guard lock(common.mutex);
        job.state = JobState::Queued;
        common.queue.push_back(&job);
    }
    common.queued.notify_one();
    ++common.handed;
    while (common.delivered < common.handed && common.deliverHead(false)) {
    }
    return !common.failed;
}

bool BlockWorkers::drain() {
    Shared& common = *shared_;
    while (!common.failed && common.delivered < common.handed) common.deliverHead(true);
    return !common.failed;
}

}  // namespace ferry
