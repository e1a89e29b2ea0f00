#include "compress/block_workers.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace ferry {

// The jobs form a ring in handing order: block n uses jobs[n % size] and is retired
// before block n + size can take that job. The mutex guards the queue and which jobs are
// done; a job's buffer belongs to the worker from hand until its work is done, and to the
// stream's thread otherwise.
struct BlockWorkers::Shared {
    Shared(std::size_t jobCount, Work blockWork)
        : jobs(jobCount), done(jobCount), work(std::move(blockWork)) {}

    std::vector<BlockJob> jobs;
    std::vector<bool> done;
    const Work work;
    std::uint64_t handed = 0;   // jobs handed over
    std::uint64_t retired = 0;  // jobs taken care of

    std::mutex mutex;
    std::condition_variable queued;    // workers wait for work here
    std::condition_variable finished;  // the stream's thread waits for a result here
    std::deque<std::size_t> queue;
    bool stopping = false;
    std::vector<std::thread> threads;

    std::size_t slot(std::uint64_t block) const { return block % jobs.size(); }

    void serve() {
        std::unique_lock lock(mutex);
        for (;;) {
            queued.wait(lock, [this] { return stopping || !queue.empty(); });
            if (stopping) return;
            const std::size_t index = queue.front();
            queue.pop_front();
            lock.unlock();
            work(jobs[index]);
            lock.lock();
            done[index] = true;
            finished.notify_all();
        }
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
                                                  Work work) {
    // Two jobs a worker: one at work, one done and waiting for its turn while the worker
    // goes on.
    auto shared = std::make_unique<Shared>(std::size_t{2} * workers, std::move(work));
    for (BlockJob& job : shared->jobs) {
        if (!prepareBlockBuffer(job.buffer, blockSize)) return nullptr;
    }
    std::unique_ptr<BlockWorkers> pool(new BlockWorkers(std::move(shared)));
    Shared* common = pool->shared_.get();
    try {
        for (unsigned started = 0; started < workers; ++started) {
            common->threads.emplace_back([common] { common->serve(); });
        }
    } catch (const std::system_error&) {
        // Fewer threads still work; none at all leaves the stream to work alone.
        if (common->threads.empty()) return nullptr;
    }
    return pool;
}

BlockJob* BlockWorkers::freeJob() {
    Shared& common = *shared_;
    if (common.handed - common.retired == common.jobs.size()) return nullptr;
    return &common.jobs[common.slot(common.handed)];
}

void BlockWorkers::hand() {
    Shared& common = *shared_;
    const std::size_t index = common.slot(common.handed);
    {
        const std::lock_guard lock(common.mutex);
        common.done[index] = false;
        common.queue.push_back(index);
    }
    common.queued.notify_one();
    ++common.handed;
}

BlockJob* BlockWorkers::oldest(bool wait) {
    Shared& common = *shared_;
    if (common.retired == common.handed) return nullptr;
    const std::size_t index = common.slot(common.retired);
    std::unique_lock lock(common.mutex);
    if (wait) {
        common.finished.wait(lock, [&] { return common.done[index]; });
    } else if (!common.done[index]) {
        return nullptr;
    }
    return &common.jobs[index];
}

void BlockWorkers::retire() {
    ++shared_->retired;
}

void BlockWorkers::forget() {
    while (oldest(true)) retire();
}

}  // namespace ferry
