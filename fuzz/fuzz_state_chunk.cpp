// The state chunk loader of the plug-in on arbitrary bytes. A refused chunk changes nothing; an
// accepted one leaves a state whose own chunk loads again and saves to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "plugin/MultibandComp.h"

namespace {

bool same(const plugkit::client::ChunkBytes& a, const plugkit::client::ChunkBytes& b) {
    return a.size() == b.size() && (a.size() == 0 || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static plugkit::client::Client* client = plugkit::client::Client::create<plugin::MultibandComp>();
    plugkit::client::PresetBank& bank = *client->presetBank();
    const plugkit::client::ChunkBytes before = bank.getStateChunkFromCurrentState();
    const plugkit::client::ChunkResult result = bank.loadStateChunk(data, size);
    const plugkit::client::ChunkBytes after = bank.getStateChunkFromCurrentState();
    if (!result.ok) {
        if (!result.message || !same(before, after)) std::abort();  // a refusal changed the state
        return 0;
    }
    if (!bank.loadStateChunk(after.data(), after.size()).ok) std::abort();
    if (!same(after, bank.getStateChunkFromCurrentState())) std::abort();
    return 0;
}
