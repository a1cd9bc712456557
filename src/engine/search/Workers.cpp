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
    forEachMade(
        count, [](size_t) { return true; }, job);
}

void Workers::forEachMade(size_t count, const std::function<bool(size_t)>& make,
                          const std::function<void(size_t)>& job) {
    if (threads_.empty()) {
        for (size_t i = 0; i < count; ++i)
            if (make(i))
                job(i);
        return;
    }
    std::lock_guard caller(callers_);
    {
        std::lock_guard lock(mutex_);
        job_ = &job;
        made_.clear();
        made_.reserve(count);
        next_ = 0;
        finished_ = 0;
        making_ = true;
        error_ = nullptr;
        ++round_;
    }
    wake_.notify_all();
    std::exception_ptr makeError;
    for (size_t i = 0; i < count && !makeError; ++i) {
        try {
            if (!make(i))
                continue;
        } catch (...) {
            makeError = std::current_exception();
            break;
        }
        {
            std::lock_guard lock(mutex_);
            made_.push_back(i);
        }
        wake_.notify_all();
    }
    {
        std::lock_guard lock(mutex_);
        making_ = false;
    }
    wake_.notify_all();
    runJobs();
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return finished_ == made_.size(); });
    job_ = nullptr;
    if (makeError)
        std::rethrow_exception(makeError);
    if (error_)
        std::rethrow_exception(error_);
}

void Workers::runJobs() {
    for (;;) {
        size_t i;
        const std::function<void(size_t)>* job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || next_ < made_.size() || !making_; });
            if (!job_ || next_ >= made_.size())
                return;
            i = made_[next_++];
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
        if (++finished_ == made_.size() && !making_)
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
