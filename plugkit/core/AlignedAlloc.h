#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>

#include "plugkit/core/Fatal.h"

namespace plugkit::core {

// [any thread] Returns size bytes aligned on alignment (a power of two). The raw block's address is
// kept in the word just below the returned address and the requested size in the word below that.
// Never returns null: exhausted memory is fatal.
void* allocAligned(std::size_t size, std::size_t alignment);

// [any thread] Frees a block from allocAligned or alignedReallocImpl (alignment > 1). Null is ignored.
void freeAligned(void* block) noexcept;

// [any thread] Grows or shrinks block to size bytes with the given alignment, keeping the first
// min(old, new) bytes. Alignment 1 is plain realloc. An aligned block is reused unchanged while its
// recorded size r satisfies size + alignment + 15 <= r < 4 * (size + alignment) + 60: a block that
// still fits is kept unless it is more than about four times too big, so that a buffer that grows
// and shrinks by small steps is not copied on every step, yet a big block is not held for a small
// need.
void* alignedReallocImpl(void* block, std::size_t size, std::size_t alignment);

// [any thread] Frees a block from alignedReallocImpl made with the same alignment.
void alignedFree(void* block, std::size_t alignment) noexcept;

// [any thread] Creates a T with the system allocator; exhausted memory is fatal. The owner
// destroys it with destroyFree.
template <class T, class... Args>
T* mallocNew(Args&&... args) {
    static_assert(alignof(T) <= alignof(std::max_align_t), "over-aligned type: use allocAligned");
    void* raw = std::malloc(sizeof(T));
    if (!raw) outOfMemory();
    return new (raw) T(std::forward<Args>(args)...);
}

// [any thread] Runs the destructor of an object from mallocNew and frees its memory. Null is ignored.
// A polymorphic object may be given through any base: the block freed is the whole object's, which
// starts at the base's address only when that base comes first.
template <class T>
void destroyFree(T* object) noexcept {
    if (!object) return;
    const void* block = object;
    if constexpr (std::is_polymorphic_v<T>) block = dynamic_cast<const void*>(object);
    object->~T();
    std::free(const_cast<void*>(block));
}

}  // namespace plugkit::core
