#pragma once

#include <cstddef>
#include <new>
#include <type_traits>

#include "plugkit/core/ConditionVar.h"
#include "plugkit/core/RecursiveMutex.h"
#include "plugkit/core/Thread.h"

namespace plugkit::core {

// The job callable of a ThreadPool: called as task(taskIndex, threadIndex). Holds a copy of any
// small trivially copyable callable (a lambda capturing by reference, a function pointer) in place,
// so handing a job to the pool never allocates and never dangles.
class ThreadPoolTask {
public:
    static constexpr std::size_t kStorage = 64;

    ThreadPoolTask() = default;
    template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, ThreadPoolTask>>>
    ThreadPoolTask(const F& f) {  // NOLINT: implicit on purpose, pool.parallelFor(n, lambda)
        static_assert(sizeof(F) <= kStorage && alignof(F) <= alignof(std::max_align_t),
                      "task too large: capture by reference");
        static_assert(std::is_trivially_copyable_v<F>, "task must be trivially copyable");
        new (storage_) F(f);
        call_ = [](const void* s, int taskIndex, int threadIndex) {
            (*static_cast<const F*>(s))(taskIndex, threadIndex);
        };
    }
    void operator()(int taskIndex, int threadIndex) const {
        if (call_) call_(storage_, taskIndex, threadIndex);
    }
    explicit operator bool() const { return call_ != nullptr; }

private:
    alignas(std::max_align_t) unsigned char storage_[kStorage] = {};
    void (*call_)(const void*, int, int) = nullptr;
};

// The editor's worker pool for "parallel for" jobs. Workers start at construction and sleep on a
// condition variable between jobs. One job at a time, started and waited for by one thread.
class ThreadPool {
public:
    using Task = ThreadPoolTask;
    using CoreCountQuery = int (*)();

    // [editor thread] Starts the workers: numThreads, or one per core when 0; at most maxThreads
    // when that is not 0; never fewer than one. stackSize 0 is the platform default.
    explicit ThreadPool(int numThreads = 0, int maxThreads = 0, std::size_t stackSize = 0);
    // [editor thread] Same, with the core count taken from coreCount (for tests and odd platforms).
    ThreadPool(int numThreads, int maxThreads, std::size_t stackSize, CoreCountQuery coreCount);
    // [editor thread] Finishes the current job, stops and joins every worker.
    virtual ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // [editor thread] Runs task(i, threadIndex) for i in 0..count-1 and returns when all are done.
    // A count of 1 runs on the caller as task(0, 0); a count of 0 or below runs nothing.
    virtual void parallelFor(int count, const Task& task);
    // [editor thread] Hands the job to the workers and returns at once. A job still pending is
    // waited for first. A count of 0 or below does nothing.
    virtual void parallelForAsync(int count, const Task& task);
    // [editor thread] Blocks until the job started last has finished; returns at once without one.
    virtual void waitForCompletion();
    // [any thread] The number of workers.
    virtual int numThreads() const;

    // [any thread] Number of processor cores the platform reports online; 0 when it cannot tell.
    static int platformCoreCount();

private:
    void start(int numThreads, int maxThreads, std::size_t stackSize, CoreCountQuery coreCount);
    void workerThreadFunc(int threadIndex);
    static void workerEntry(void* pool, void* userData);

    ThreadHandle* threads_ = nullptr;
    int numThreads_ = 0;
    RecursiveMutex jobMutex_;
    ConditionVar jobReady_;
    RecursiveMutex doneMutex_;
    ConditionVar jobDone_;
    Task task_;
    int taskCount_ = 0;           // guarded by jobMutex_ (also read by the job's caller)
    int nextTask_ = 0;            // guarded by jobMutex_
    int completedTasks_ = 0;      // guarded by doneMutex_
    bool stopRequested_ = false;  // guarded by jobMutex_
    bool jobPending_ = false;     // the job caller's thread only
};

}  // namespace plugkit::core
