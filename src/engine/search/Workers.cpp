#include "engine/search/Workers.h"

#include <algorithm>

namespace wk::engine::search {

Workers& Workers::shared() {
    static Workers workers(
        std::min<size_t>(3, std::max(1u, std::thread::hardware_concurrency()) - 1));
    return workers;
}

Workers::Workers(size_t threads) {
    for (size_t i = 0; i < threads; ++i)
        threads_.emplace_back([this] { work(); });
}

Workers::~Workers() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

void Workers::forEach(size_t count, const std::function<void(size_t)>& job) {
    if (count == 0)
        return;
    if (threads_.empty() || count == 1) {
        for (size_t i = 0; i < count; ++i)
            job(i);
        return;
    }
    std::lock_guard caller(callers_);
    {
        std::lock_guard lock(mutex_);
        job_ = &job;
        count_ = count;
        next_ = 0;
        finished_ = 0;
        error_ = nullptr;
        ++round_;
    }
    wake_.notify_all();
    runJobs();
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return finished_ == count_; });
    job_ = nullptr;
    if (error_)
        std::rethrow_exception(error_);
}

void Workers::runJobs() {
    for (;;) {
        size_t i;
        const std::function<void(size_t)>* job;
        {
            std::lock_guard lock(mutex_);
            if (!job_ || next_ >= count_)
                return;
            i = next_++;
            job = job_;
        }
        std::exception_ptr error;
        try {
            (*job)(i);
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard lock(mutex_);
        if (error && !error_)
            error_ = error;
        if (++finished_ == count_)
            done_.notify_all();
    }
}

void Workers::work() {
    size_t seen = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || round_ != seen; });
            if (stopping_)
                return;
            seen = round_;
        }
        runJobs();
    }
}

} // namespace wk::engine::search
