#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace wk::engine::search {

/// A few threads kept for the whole run, to split a search's checks of texts across the
/// machine's cores. One caller at a time uses them; others wait their turn.
class Workers {
public:
    /// The program's workers: one fewer than the machine's cores (at most three), none on one
    /// core.
    static Workers& shared();

    explicit Workers(size_t threads);
    ~Workers();
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    /// Runs `job(0)` to `job(count - 1)`, each once, on the calling thread and the workers, and
    /// returns when all have run. An exception of a job is raised here, after the others ran.
    void forEach(size_t count, const std::function<void(size_t)>& job);

private:
    void work();
    // Takes jobs of the current round until none is left; true when this thread ran the last.
    void runJobs();

    std::vector<std::thread> threads_;
    std::mutex callers_; // one round at a time
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    const std::function<void(size_t)>* job_ = nullptr;
    size_t count_ = 0;
    size_t next_ = 0;
    size_t finished_ = 0;
    size_t round_ = 0;
    bool stopping_ = false;
    std::exception_ptr error_;
};

} // namespace wk::engine::search
