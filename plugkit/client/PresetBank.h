#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "plugkit/client/Preset.h"
#include "plugkit/core/Vec.h"

namespace plugkit::client {

class Client;

// A state chunk: the caller owns it (it frees itself).
using ChunkBytes = core::Vec<uint8_t>;

// Outcome of a chunk load: ok, or the reason (a static text) why nothing was changed.
struct ChunkResult {
    bool ok = true;
    const char* message = nullptr;

    static ChunkResult success() { return {}; }
    static ChunkResult failure(const char* why) { return {false, why}; }
};

inline constexpr const char* kChunkErrorEndOfInput = "Expected a byte, but found end of input";
inline constexpr const char* kChunkErrorMagic = "Can not load, magic number didn't match";
inline constexpr const char* kChunkErrorNewerVersion =
    "Can not load chunk done with a newer, incompatible plugkit library";
inline constexpr const char* kChunkErrorPresetIndex = "Invalid preset index in state chunk";

// Little-endian reader over a byte range.
struct ChunkReader {
    const uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;

    std::size_t remaining() const { return size - pos; }
    // Each read returns false, leaving pos alone, when the bytes run out.
    bool readU8(uint8_t& out);
    bool readI32(int32_t& out);
    bool readF32(float& out);
    bool skip(std::size_t n);
};

// [host thread] Reads and checks the 16-byte header (magic, format version, 8 skipped bytes),
// advancing the reader.
ChunkResult checkChunkHeader(ChunkReader& reader);

// The plug-in's presets, the current preset index, and the state chunk in both directions.
// Layout (little-endian): magic 0x92BA200B, format version 0, reserved 0, plug-in version
// (major<<16 | minor<<8 | patch), preset index, value count N, N floats (24 + 4*N bytes).
class PresetBank {
public:
    // Takes ownership of the presets (each from core::mallocNew).
    PresetBank(core::Vec<Preset*>&& presets, Client* client);
    ~PresetBank();
    PresetBank(const PresetBank&) = delete;
    PresetBank& operator=(const PresetBank&) = delete;

    // [any thread]
    int presetCount() const { return static_cast<int>(presets_.size()); }
    Preset* preset(int i) const { return presets_[static_cast<std::size_t>(i)]; }
    int currentPresetIndex() const { return currentPresetIndex_.load(std::memory_order_relaxed); }

    // [host thread] Chunk of the current preset index and every parameter's normalized value.
    ChunkBytes getStateChunkFromCurrentState();
    // [host thread] Chunk of a stored preset; empty when index is not a preset.
    ChunkBytes getStateChunkFromPreset(int index);
    // [host thread] Restores the preset index and the parameter values. The whole chunk is checked
    // before anything changes: a failing chunk leaves index and values exactly as they were.
    ChunkResult loadStateChunk(const uint8_t* bytes, std::size_t size);

private:
    core::Vec<Preset*> presets_;
    Client* client_;
    std::atomic<int> currentPresetIndex_{0};
};

}  // namespace plugkit::client
