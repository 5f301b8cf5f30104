#include "plugkit/core/UUID.h"

#include <x86intrin.h>

#include <atomic>

namespace plugkit::core {

namespace {

std::uint32_t xorshift(std::uint32_t x) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 15;
    return x;
}

std::uint32_t seedFromTimeStampCounter() {
    const auto t = static_cast<std::uint32_t>(__rdtsc());
    std::uint32_t s = (t ^ (t >> 30)) * 1812433253u + 1u;
    if (s == 0) s = 1;
    return xorshift(s);  // advanced once
}

// 0 means not seeded yet; xorshift never produces 0 from a non-zero state.
std::atomic<std::uint32_t> gState{0};

// Advances the shared generator without a lock: concurrent callers each get a distinct state.
std::uint32_t nextRandom() {
    std::uint32_t current = gState.load(std::memory_order_relaxed);
    for (;;) {
        if (current == 0) {
            // First use: several threads may race to seed; exactly one seed wins the exchange.
            const std::uint32_t seed = seedFromTimeStampCounter();
            if (gState.compare_exchange_weak(current, seed, std::memory_order_relaxed)) current = seed;
            continue;
        }
        const std::uint32_t next = xorshift(current);
        if (gState.compare_exchange_weak(current, next, std::memory_order_relaxed)) return next;
    }
}

}  // namespace

UUID generateRandomUUID() {
    UUID uuid;
    for (int w = 0; w < 4; ++w) {
        const std::uint32_t word = nextRandom();
        for (int b = 0; b < 4; ++b) uuid.bytes[w * 4 + b] = static_cast<std::uint8_t>(word >> (8 * b));
    }
    uuid.bytes[6] = static_cast<std::uint8_t>((uuid.bytes[6] & 0x0F) | 0x40);  // version 4
    uuid.bytes[8] = static_cast<std::uint8_t>((uuid.bytes[8] & 0x3F) | 0x80);  // variant 10
    return uuid;
}

void formatUUID(const UUID& uuid, char* dest) {
    static const char kHex[] = "0123456789abcdef";
    char* out = dest;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) *out++ = '-';
        *out++ = kHex[uuid.bytes[i] >> 4];
        *out++ = kHex[uuid.bytes[i] & 0x0F];
    }
    *out = '\0';
}

void generateNullTerminatedRandomUUID(const char* prefix, char* dest) {
    if (prefix)
        while (*prefix) *dest++ = *prefix++;
    formatUUID(generateRandomUUID(), dest);
}

}  // namespace plugkit::core
