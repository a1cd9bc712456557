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

    /// The calling thread makes the jobs in turn, `make(i)` for i from 0 to `count - 1` saying
    /// whether job i is to run, while the workers run `job(i)` for those made so far; then it
    /// helps with the rest. Returns when every job made has run. An exception of `make` or of a
    /// job is raised here, after the jobs made before it ran.
    void forEachMade(size_t count, const std::function<bool(size_t)>& make,
                     const std::function<void(size_t)>& job);

private:
    void work();
    // Runs jobs of the current round until none is left to run or to come.
    void runJobs();

    std::vector<std::thread> threads_;
    std::mutex callers_; // one round at a time
    std::mutex mutex_;
    std::condition_variable wake_; // a new round, more jobs made, or the end of making them
    std::condition_variable done_;
    const std::function<void(size_t)>* job_ = nullptr;
    std::vector<size_t> made_; // the jobs of the round, in the order they were made
    size_t next_ = 0;          // in made_
    size_t finished_ = 0;
    bool making_ = false;
    size_t round_ = 0;
    bool stopping_ = false;
    std::exception_ptr error_;
};

} // namespace wk::engine::search
