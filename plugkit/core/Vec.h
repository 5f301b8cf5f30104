#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "plugkit/core/AlignedAlloc.h"

namespace plugkit::core {

// Growable array of elements that are copied bit for bit when the storage moves. Appending beyond
// the capacity makes the capacity twice the needed length; shrinking and clearing keep the storage,
// which is released when the array is destroyed. Not synchronised.
template <class T>
class Vec {
    static_assert(std::is_trivially_copyable_v<T>, "Vec moves its elements bit for bit");

public:
    explicit Vec(std::size_t alignment = 1) : alignment_(alignment < 1 ? 1 : alignment) {}
    Vec(const Vec&) = delete;
    Vec& operator=(const Vec&) = delete;
    Vec(Vec&& other) noexcept { swap(other); }
    Vec& operator=(Vec&& other) noexcept {
        if (this != &other) {
            Vec tmp(std::move(other));
            swap(tmp);
        }
        return *this;
    }
    ~Vec() {
        if (data_) alignedFree(data_, alignment_);
    }

    std::size_t size() const { return length_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return length_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T* begin() { return data_; }
    T* end() { return data_ + length_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + length_; }

    // Appends one element, growing the storage when needed.
    void pushBack(const T& value) {
        const T copy = value;  // value may live inside the storage that grows
        reserveFor(length_ + 1);
        data_[length_++] = copy;
    }

    // Sets the length; new elements are zero-filled. Shrinking keeps the storage.
    void resize(std::size_t n) {
        reserveFor(n);
        if (n > length_) std::memset(static_cast<void*>(data_ + length_), 0, (n - length_) * sizeof(T));
        length_ = n;
    }

    // Makes room for at least n elements without changing the length.
    void reserve(std::size_t n) {
        if (n > capacity_) setCapacity(n);
    }

    // Removes element i, moving the last element into its place (order is not kept).
    void removeAtSwapLast(std::size_t i) {
        data_[i] = data_[length_ - 1];
        --length_;
    }

    // Removes element i, keeping the order of the others.
    void removeAt(std::size_t i) {
        std::memmove(static_cast<void*>(data_ + i), data_ + i + 1, (length_ - i - 1) * sizeof(T));
        --length_;
    }

    // Index of the first element equal to value, or -1.
    std::ptrdiff_t indexOf(const T& value) const {
        for (std::size_t i = 0; i < length_; ++i)
            if (data_[i] == value) return static_cast<std::ptrdiff_t>(i);
        return -1;
    }

    void clear() { length_ = 0; }

    void swap(Vec& other) noexcept {
        std::swap(length_, other.length_);
        std::swap(data_, other.data_);
        std::swap(capacity_, other.capacity_);
        std::swap(alignment_, other.alignment_);
    }

private:
    void reserveFor(std::size_t needed) {
        if (needed > capacity_) setCapacity(needed * 2);
    }
    void setCapacity(std::size_t n) {
        data_ = static_cast<T*>(alignedReallocImpl(data_, n * sizeof(T), alignment_));
        capacity_ = n;
    }

    std::size_t length_ = 0;
    T* data_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t alignment_ = 1;
};

}  // namespace plugkit::core
