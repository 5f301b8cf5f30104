#pragma once

// Takes typed values off the front of a fuzzer's input; past the end every value is 0 or empty.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

struct FuzzInput {
    const uint8_t* data;
    std::size_t size;

    bool empty() const { return size == 0; }
    uint8_t byte() {
        if (!size) return 0;
        --size;
        return *data++;
    }
    template <class T>
    T value() {
        T v{};
        const std::size_t n = size < sizeof(T) ? size : sizeof(T);
        std::memcpy(&v, data, n);
        data += n;
        size -= n;
        return v;
    }
    // Up to maxLength bytes: the length comes from the input first.
    std::string text(std::size_t maxLength) {
        std::size_t n = byte() % (maxLength + 1);
        if (n > size) n = size;
        std::string s(reinterpret_cast<const char*>(data), n);
        data += n;
        size -= n;
        return s;
    }
};
