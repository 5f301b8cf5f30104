#include "plugkit/core/ThreadPool.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/Fatal.h"

namespace plugkit::core {

int ThreadPool::platformCoreCount() {
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 && n < 1 << 16 ? static_cast<int>(n) : 0;
}

ThreadPool::ThreadPool(int numThreads, int maxThreads, std::size_t stackSize) {
    start(numThreads, maxThreads, stackSize, &ThreadPool::platformCoreCount);
}

ThreadPool::ThreadPool(int numThreads, int maxThreads, std::size_t stackSize, CoreCountQuery coreCount) {
    start(numThreads, maxThreads, stackSize, coreCount ? coreCount : &ThreadPool::platformCoreCount);
}

void ThreadPool::start(int numThreads, int maxThreads, std::size_t stackSize, CoreCountQuery coreCount) {
    if (numThreads <= 0) numThreads = coreCount();
    if (maxThreads > 0 && maxThreads < numThreads) numThreads = maxThreads;
    // With no answer from the platform a pool of zero workers would never finish a job.
    if (numThreads < 1) numThreads = 1;

    threads_ =
        static_cast<ThreadHandle*>(std::calloc(static_cast<std::size_t>(numThreads), sizeof(ThreadHandle)));
    if (!threads_) outOfMemory();
    numThreads_ = numThreads;
    for (int i = 0; i < numThreads; ++i) {
        auto* context = mallocNew<ThreadStartContext>();
        context->callbackWithUserData = {this, &ThreadPool::workerEntry};
        context->userData = reinterpret_cast<void*>(static_cast<std::intptr_t>(i));
        new (&threads_[i]) ThreadHandle{};
        threads_[i].context = context;
        threads_[i].stackSize = stackSize;
    }
    for (int i = 0; i < numThreads; ++i) startThread(threads_[i], threads_[i].context);
}

ThreadPool::~ThreadPool() {
    if (threads_) {
        jobMutex_.lock();
        stopRequested_ = true;
        jobMutex_.unlock();
        jobReady_.broadcast();
        for (int i = 0; i < numThreads_; ++i) joinThread(threads_[i]);
        std::free(threads_);
        threads_ = nullptr;
        numThreads_ = 0;
    }
}

void ThreadPool::workerEntry(void* pool, void* userData) {
    static_cast<ThreadPool*>(pool)->workerThreadFunc(
        static_cast<int>(reinterpret_cast<std::intptr_t>(userData)));
}

void ThreadPool::workerThreadFunc(int threadIndex) {
    for (;;) {
        jobMutex_.lock();
        int taskIndex;
        for (;;) {
            if (nextTask_ < taskCount_) {
                taskIndex = nextTask_++;
                break;
            }
            if (stopRequested_) {
                jobMutex_.unlock();
                return;
            }
            jobReady_.wait(jobMutex_);
        }
        const Task task = task_;
        jobMutex_.unlock();

        task(taskIndex, threadIndex);

        doneMutex_.lock();
        ++completedTasks_;
        doneMutex_.unlock();
        jobDone_.signal();
    }
}

void ThreadPool::parallelForAsync(int count, const Task& task) {
    if (count <= 0) return;
    // Restarting the counters under a running job would lose its completions and hang its waiter.
    waitForCompletion();
    doneMutex_.lock();
    completedTasks_ = 0;
    doneMutex_.unlock();
    jobMutex_.lock();
    task_ = task;
    taskCount_ = count;
    nextTask_ = 0;
    jobMutex_.unlock();
    if (numThreads_ > count) {
        for (int i = 0; i < count; ++i) jobReady_.signal();
    } else {
        jobReady_.broadcast();
    }
    jobPending_ = true;
}

void ThreadPool::waitForCompletion() {
    if (!jobPending_) return;
    doneMutex_.lock();
    while (completedTasks_ < taskCount_) jobDone_.wait(doneMutex_);
    jobPending_ = false;
    doneMutex_.unlock();
}

void ThreadPool::parallelFor(int count, const Task& task) {
    if (count <= 0) return;
    if (count == 1) {
        task(0, 0);
        return;
    }
    parallelForAsync(count, task);
    waitForCompletion();
}

int ThreadPool::numThreads() const { return numThreads_; }

}  // namespace plugkit::core
