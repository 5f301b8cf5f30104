#pragma once

#include <cstddef>
#include <cstdint>

#include "plugkit/aax/sdk/AAXEntryPoints.h"
#include "plugkit/client/ClientTypes.h"
#include "plugkit/core/Vec.h"

namespace plugkit::client {
class Client;
}

namespace plugkit::aax {

// Preset file: a 56-byte header followed by a state chunk.
//   0  total length (header included): byte 0 is 0, bytes 1..3 the length big-endian
//   4  0
//   8  maker code, 12 product code, 16 native plug-in id of the first legal layout,
//   20 "Pkit" (each four characters in order)
//   24 32 zero bytes
//   56 the chunk
// The header size, the chunk identifier and the callback type are part of the library's exported
// interface and defined with it, in sdk/AAXEntryPoints.h.
inline constexpr std::size_t kPresetFileMaxSize = 0xFFFFFF;  // the length field holds 24 bits

// [host thread] Builds the preset file for a chunk into out (replacing its contents). Returns
// false, leaving out empty, when the file would exceed kPresetFileMaxSize.
bool buildPresetFile(const client::Client& client, const std::uint8_t* chunk, std::size_t chunkSize,
                     core::Vec<std::uint8_t>& out);

// [host thread] Calls callback(name, file, size, userData) for every preset of client, in order.
void enumeratePresetFiles(client::Client& client, sdk::TFXCallback callback, void* userData);

}  // namespace plugkit::aax
