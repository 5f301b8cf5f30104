#include "plugkit/client/PresetBank.h"

#include <cstring>

#include "plugkit/client/Client.h"

namespace plugkit::client {

namespace {

constexpr uint8_t kMagic[4] = {0x0B, 0x20, 0xBA, 0x92};  // 0x92BA200B little-endian
constexpr int32_t kFormatVersion = 0;

void writeI32(ChunkBytes& out, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int shift = 0; shift < 32; shift += 8) out.pushBack(static_cast<uint8_t>(u >> shift));
}

void writeF32(ChunkBytes& out, float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    writeI32(out, static_cast<int32_t>(u));
}

ChunkBytes beginChunk(const PluginInfo& info, int32_t presetIndex, int32_t count) {
    ChunkBytes out;
    out.reserve(2);
    for (uint8_t b : kMagic) out.pushBack(b);
    writeI32(out, kFormatVersion);
    writeI32(out, 0);
    writeI32(out, info.packedVersion());
    writeI32(out, presetIndex);
    writeI32(out, count);
    return out;
}

}  // namespace

// --- ChunkReader ----------------------------------------------------------------------------------

bool ChunkReader::readU8(uint8_t& out) {
    if (remaining() < 1) return false;
    out = data[pos++];
    return true;
}

bool ChunkReader::readI32(int32_t& out) {
    if (remaining() < 4) return false;
    const uint32_t u = static_cast<uint32_t>(data[pos]) | (static_cast<uint32_t>(data[pos + 1]) << 8) |
                       (static_cast<uint32_t>(data[pos + 2]) << 16) |
                       (static_cast<uint32_t>(data[pos + 3]) << 24);
    out = static_cast<int32_t>(u);
    pos += 4;
    return true;
}

bool ChunkReader::readF32(float& out) {
    int32_t bits;
    if (!readI32(bits)) return false;
    std::memcpy(&out, &bits, 4);
    return true;
}

bool ChunkReader::skip(std::size_t n) {
    if (remaining() < n) return false;
    pos += n;
    return true;
}

ChunkResult checkChunkHeader(ChunkReader& reader) {
    for (uint8_t expected : kMagic) {
        uint8_t b;
        if (!reader.readU8(b)) return ChunkResult::failure(kChunkErrorEndOfInput);
        if (b != expected) return ChunkResult::failure(kChunkErrorMagic);
    }
    int32_t version;
    if (!reader.readI32(version)) return ChunkResult::failure(kChunkErrorEndOfInput);
    if (version > kFormatVersion) return ChunkResult::failure(kChunkErrorNewerVersion);
    if (!reader.skip(8)) return ChunkResult::failure(kChunkErrorEndOfInput);
    return ChunkResult::success();
}

// --- PresetBank -----------------------------------------------------------------------------------

PresetBank::PresetBank(core::Vec<Preset*>&& presets, Client* client)
    : presets_(std::move(presets)), client_(client) {}

PresetBank::~PresetBank() {
    for (Preset* p : presets_) core::destroyFree(p);
    presets_.clear();
}

ChunkBytes PresetBank::getStateChunkFromCurrentState() {
    const int count = client_->paramCount();
    ChunkBytes out = beginChunk(client_->info(), currentPresetIndex(), count);
    for (int i = 0; i < count; ++i) writeF32(out, static_cast<float>(client_->param(i)->getNormalized()));
    return out;
}

ChunkBytes PresetBank::getStateChunkFromPreset(int index) {
    if (index < 0 || index >= presetCount()) return ChunkBytes();
    const Preset* p = preset(index);
    ChunkBytes out = beginChunk(client_->info(), index, p->valueCount());
    for (int i = 0; i < p->valueCount(); ++i) writeF32(out, p->value(i));
    return out;
}

ChunkResult PresetBank::loadStateChunk(const uint8_t* bytes, std::size_t size) {
    ChunkReader reader{bytes, bytes ? size : 0, 0};
    // First pass: check everything, change nothing.
    ChunkResult header = checkChunkHeader(reader);
    if (!header.ok) return header;
    int32_t presetIndex;
    if (!reader.readI32(presetIndex)) return ChunkResult::failure(kChunkErrorEndOfInput);
    if (presetIndex < 0 || presetIndex >= presetCount()) return ChunkResult::failure(kChunkErrorPresetIndex);
    int32_t count;
    if (!reader.readI32(count)) return ChunkResult::failure(kChunkErrorEndOfInput);
    if (count > 0 && reader.remaining() / 4 < static_cast<std::size_t>(count))
        return ChunkResult::failure(kChunkErrorEndOfInput);

    // Second pass: apply.
    currentPresetIndex_.store(presetIndex, std::memory_order_relaxed);
    const int paramCount = client_->paramCount();
    for (int32_t j = 0; j < count && j < paramCount; ++j) {
        float value;
        reader.readF32(value);
        client_->param(j)->setFromHost(static_cast<double>(value));
    }
    return ChunkResult::success();
}

}  // namespace plugkit::client
