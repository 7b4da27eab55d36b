#include "host/RenderThreads.h"

#include <algorithm>

namespace envhost {

namespace {
// More threads than this only wait on one another over a frame's rows.
constexpr int kMaxThreads = 64;
} // namespace

RenderThreads::RenderThreads(int count) {
    const int n = std::max(1, std::min(count, kMaxThreads));
    for (int i = 1; i < n; ++i)
        workers_.emplace_back([this] { WorkerLoop(); });
}

RenderThreads::~RenderThreads() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : workers_)
        t.join();
}

int RenderThreads::DefaultCount() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(std::min<unsigned>(n, kMaxThreads));
}

void RenderThreads::TakeJobs(std::unique_lock<std::mutex>& lock) {
    while (nextJob_ < jobs_) {
        const int job = nextJob_++;
        lock.unlock();
        (*work_)(job);
        lock.lock();
    }
}

void RenderThreads::Run(int jobs, const std::function<void(int)>& work) {
    if (jobs <= 0) return;
    if (workers_.empty()) {
        for (int job = 0; job < jobs; ++job)
            work(job);
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    work_ = &work;
    jobs_ = jobs;
    nextJob_ = 0;
    busy_ = static_cast<int>(workers_.size());
    ++round_;
    wake_.notify_all();
    TakeJobs(lock);
    done_.wait(lock, [this] { return busy_ == 0; });
    work_ = nullptr;
}

void RenderThreads::WorkerLoop() {
    unsigned long seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || round_ != seen; });
        if (stopping_) return;
        seen = round_;
        TakeJobs(lock);
        if (--busy_ == 0) done_.notify_one();
    }
}

} // namespace envhost
