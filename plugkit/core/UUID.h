#pragma once

#include <cstdint>

namespace plugkit::core {

// A random (version 4) UUID, bytes in text order.
struct UUID {
    std::uint8_t bytes[16];
};

// Length of the text form: 8-4-4-4-12 lower-case hexadecimal digits.
constexpr int kUUIDTextLength = 36;

// [any thread] A new random UUID from a process-wide xorshift generator seeded from the time-stamp
// counter on first use. Not cryptographic: for identifiers only.
UUID generateRandomUUID();

// [any thread] Writes prefix (may be null), the text of a new random UUID and a zero byte to dest,
// which must hold strlen(prefix) + 37 bytes.
void generateNullTerminatedRandomUUID(const char* prefix, char* dest);

// [any thread] Writes the 36-character text of uuid and a zero byte to dest (37 bytes).
void formatUUID(const UUID& uuid, char* dest);

}  // namespace plugkit::core
