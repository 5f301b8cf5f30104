#include "plugkit/aax/PresetFile.h"

#include <cstring>

#include "plugkit/aax/AAXDescription.h"
#include "plugkit/client/Client.h"

namespace plugkit::aax {

namespace {

void putCode(std::uint8_t* at, sdk::TypeID code) {
    at[0] = static_cast<std::uint8_t>(code >> 24);
    at[1] = static_cast<std::uint8_t>(code >> 16);
    at[2] = static_cast<std::uint8_t>(code >> 8);
    at[3] = static_cast<std::uint8_t>(code);
}

}  // namespace

bool buildPresetFile(const client::Client& client, const std::uint8_t* chunk, std::size_t chunkSize,
                     core::Vec<std::uint8_t>& out) {
    out.clear();
    if (chunkSize > kPresetFileMaxSize - sdk::kPresetFileHeaderSize) return false;
    const std::size_t total = sdk::kPresetFileHeaderSize + chunkSize;
    out.resize(total);
    std::uint8_t* file = out.data();
    std::memset(file, 0, sdk::kPresetFileHeaderSize);
    file[1] = static_cast<std::uint8_t>(total >> 16);
    file[2] = static_cast<std::uint8_t>(total >> 8);
    file[3] = static_cast<std::uint8_t>(total);
    const client::PluginInfo& info = client.info();
    putCode(file + 8, fourCharCode(info.makerCode));
    putCode(file + 12, fourCharCode(info.productCode));
    putCode(file + 16, client.legalIOCount() > 0 ? layoutPlugInID(info, client.legalIOs()[0]) : kCodeNone);
    putCode(file + 20, sdk::kChunkIDPlugkit);
    if (chunkSize > 0) std::memcpy(file + sdk::kPresetFileHeaderSize, chunk, chunkSize);
    return true;
}

void enumeratePresetFiles(client::Client& client, sdk::TFXCallback callback, void* userData) {
    if (!callback) return;
    client::PresetBank* bank = client.presetBank();
    core::Vec<std::uint8_t> file;
    for (int i = 0; i < bank->presetCount(); ++i) {
        const client::ChunkBytes chunk = bank->getStateChunkFromPreset(i);
        if (buildPresetFile(client, chunk.data(), chunk.size(), file))
            callback(bank->preset(i)->name(), file.data(), static_cast<std::uint32_t>(file.size()), userData);
    }
}

}  // namespace plugkit::aax
