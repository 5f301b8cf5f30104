#include "plugkit/core/AlignedAlloc.h"

#include <cstdint>
#include <cstring>

namespace plugkit::core {

namespace {

constexpr std::size_t kWord = sizeof(void*);

void** header(void* block) { return static_cast<void**>(block); }
void* rawOf(void* block) { return header(block)[-1]; }
std::size_t recordedSize(void* block) { return reinterpret_cast<std::size_t>(header(block)[-2]); }

void record(void* aligned, void* raw, std::size_t size) {
    header(aligned)[-1] = raw;
    header(aligned)[-2] = reinterpret_cast<void*>(size);
}

// A fresh block: size + alignment + 15 raw bytes, the address (raw + alignment + 15) rounded down to
// the alignment, which always leaves two words below it for the record.
void* freshBlock(std::size_t size, std::size_t alignment) {
    void* raw = std::malloc(size + alignment + 15);
    if (!raw) outOfMemory();
    auto at = (reinterpret_cast<std::uintptr_t>(raw) + alignment + 15) & ~(std::uintptr_t(alignment) - 1);
    void* aligned = reinterpret_cast<void*>(at);
    record(aligned, raw, size);
    return aligned;
}

}  // namespace

void* allocAligned(std::size_t size, std::size_t alignment) {
    if (alignment < kWord) alignment = kWord;
    void* raw = std::malloc(size + alignment - 1 + 2 * kWord);
    if (!raw) outOfMemory();
    auto start = reinterpret_cast<std::uintptr_t>(raw) + 2 * kWord;
    auto at = (start + alignment - 1) & ~(std::uintptr_t(alignment) - 1);
    void* aligned = reinterpret_cast<void*>(at);
    record(aligned, raw, size);
    return aligned;
}

void freeAligned(void* block) noexcept {
    if (block) std::free(rawOf(block));
}

void* alignedReallocImpl(void* block, std::size_t size, std::size_t alignment) {
    if (alignment <= 1) {
        void* p = std::realloc(block, size ? size : 1);
        if (!p) outOfMemory();
        return p;
    }
    if (!block) return freshBlock(size, alignment);
    const std::size_t r = recordedSize(block);
    if (size + alignment + 15 <= r && r < 4 * (size + alignment) + 60) return block;
    void* moved = freshBlock(size, alignment);
    std::memcpy(moved, block, r < size ? r : size);
    freeAligned(block);
    return moved;
}

void alignedFree(void* block, std::size_t alignment) noexcept {
    if (alignment <= 1)
        std::free(block);
    else
        freeAligned(block);
}

}  // namespace plugkit::core
