#pragma once

#include <cstddef>
#include <cstdlib>

#include "plugkit/core/Fatal.h"

namespace dsp {

// Running mean of the last `length` values, kept in a ring buffer of `capacity` slots. The mean is
// updated incrementally (never recomputed from the buffer), so rounding errors accumulate as they
// fall. Until the buffer is full the result is the sum so far divided by length.
template <typename T>
class MovingAverage {
public:
    // [any thread] A window of `windowLength` values in a buffer of `slots` slots (at least 1; 0 is
    // taken as 1). The buffer comes from the system allocator; exhausted memory is fatal.
    explicit MovingAverage(int windowLength, std::size_t slots)
        : capacity(slots < 1 ? 1 : slots), length(windowLength) {
        buffer = static_cast<T*>(std::calloc(capacity, sizeof(T)));
        if (!buffer) plugkit::core::outOfMemory();
    }
    explicit MovingAverage(int windowLength)
        : MovingAverage(windowLength, static_cast<std::size_t>(windowLength)) {}
    MovingAverage(const MovingAverage&) = delete;
    MovingAverage& operator=(const MovingAverage&) = delete;
    virtual ~MovingAverage() { std::free(buffer); }

    // [one thread at a time] Adds x (stored rounded to T) and returns the new mean. When the window
    // is full the oldest value leaves it. Never allocates.
    virtual T process(double x) {
        T leaving = 0;
        if (count == capacity) {
            leaving = buffer[head];
            head = (head + 1) % capacity;
            count = capacity - 1;
        }
        const T kept = average - leaving / static_cast<T>(length);
        average = static_cast<T>(static_cast<double>(kept) + x / static_cast<double>(length));
        buffer[(head + count) % capacity] = static_cast<T>(x);
        ++count;
        return average;
    }

    // [any thread] The current mean.
    virtual T getAverage() const { return average; }

    std::size_t size() const { return count; }

private:
    std::size_t capacity;
    T* buffer = nullptr;
    std::size_t head = 0;
    std::size_t count = 0;
    int length;
    T average = 0;
};

extern template class MovingAverage<float>;

}  // namespace dsp
