// A small persistent pool of worker threads for the software renderer. Run
// hands out numbered jobs to the workers and the calling thread alike and
// returns when every job is done; with a count of 1 there are no workers
// and the caller does all the work itself.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace envhost {

class RenderThreads {
public:
    explicit RenderThreads(int count = 1);
    ~RenderThreads();
    RenderThreads(const RenderThreads&) = delete;
    RenderThreads& operator=(const RenderThreads&) = delete;

    // The hardware's concurrency, at least 1.
    static int DefaultCount();
    // Threads taking part in Run, the caller included.
    int Count() const { return static_cast<int>(workers_.size()) + 1; }
    // Calls work(job) once for every job in 0..jobs-1, in any order and on
    // any of the threads; jobs are taken in rising order, one at a time.
    void Run(int jobs, const std::function<void(int)>& work);

private:
    void WorkerLoop();
    // Runs jobs until none is left; the lock is held between jobs only.
    void TakeJobs(std::unique_lock<std::mutex>& lock);

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    const std::function<void(int)>* work_ = nullptr;
    int jobs_ = 0;
    int nextJob_ = 0;
    int busy_ = 0;            // workers still inside the current round
    unsigned long round_ = 0; // counts Run calls, so a worker joins each once
    bool stopping_ = false;
};

} // namespace envhost
