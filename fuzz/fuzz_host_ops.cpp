// The host-facing parameter and chunk operations of the effect-parameters object, driven by a
// sequence of operations decoded from the input: values, relative changes, text conversions with
// any buffer length, chunks of any content and announced room. Values stay in 0..1 and a chunk the
// plug-in writes always loads again.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "plugkit/aax/AAXClient.h"

namespace {

namespace sdk = plugkit::aax::sdk;

struct Text final : sdk::IString {
    std::string text;
    void Set(const char* t) override { text = t ? t : ""; }
    const char* Get() override { return text.c_str(); }
};

std::string parameterId(FuzzInput& in) {
    const uint8_t pick = in.byte();
    if (pick < 8) return "MasterBypassID";
    if (pick < 240) return std::to_string(pick % 32);  // a few past the last parameter too
    return in.text(12);
}

// A host record of kChunkHeaderSize + room bytes, its size field set to announced.
std::vector<uint64_t> record(std::size_t room, int32_t announced) {
    std::vector<uint64_t> words((sdk::kChunkHeaderSize + room + 7) / 8 + 1, 0);
    reinterpret_cast<sdk::PlugInChunk*>(words.data())->size = announced;
    return words;
}

void chunkOperation(sdk::IEffectParameters& p, FuzzInput& in, uint8_t op) {
    const sdk::TypeID id = in.byte() < 200 ? sdk::fourCharCode('P', 'k', 'i', 't') : in.value<uint32_t>();
    if (op == 0) {  // load bytes from the input
        const std::string bytes = in.text(255);
        auto words = record(bytes.size(), static_cast<int32_t>(bytes.size()));
        auto* chunk = reinterpret_cast<sdk::PlugInChunk*>(words.data());
        std::copy(bytes.begin(), bytes.end(), sdk::chunkData(chunk));
        p.SetChunk(id, chunk);
        sdk::Boolean equal = 0;
        p.CompareActiveChunk(chunk, &equal);
        return;
    }
    uint32_t size = 0;
    if (p.GetChunkSize(id, &size) != sdk::kSuccess) return;
    const uint8_t mode = in.byte() % 3;  // room announced exactly, left at 0, or too small
    const int32_t announced = mode == 0 ? int32_t(size) : mode == 1 ? 0 : int32_t(size / 2);
    auto words = record(size, announced);
    auto* chunk = reinterpret_cast<sdk::PlugInChunk*>(words.data());
    if (p.GetChunk(id, chunk) != sdk::kSuccess) return;
    if (chunk->size != int32_t(size) || p.SetChunk(id, chunk) != sdk::kSuccess) std::abort();
}

void parameterOperation(sdk::IEffectParameters& p, FuzzInput& in, uint8_t op) {
    const std::string id = parameterId(in);
    Text text;
    double v = 0.0;
    switch (op) {
        case 2:
            p.SetParameterNormalizedValue(id.c_str(), in.value<double>());
            break;
        case 3:
            p.SetParameterNormalizedRelative(id.c_str(), in.value<double>());
            break;
        case 4:
            p.UpdateParameterNormalizedValue(id.c_str(), in.value<double>(), 0);
            break;
        case 5: {
            const std::string typed = in.text(80);
            if (p.GetParameterValueFromString(id.c_str(), &v, typed.c_str()) == sdk::kSuccess &&
                !(v >= 0.0 && v <= 1.0))
                std::abort();
            break;
        }
        case 6:
            p.GetParameterStringFromValue(id.c_str(), in.value<double>(), &text, in.value<int32_t>());
            break;
        case 7:
            p.GetParameterValueString(id.c_str(), &text, in.value<int32_t>());
            break;
        case 8:
            p.GetParameterNameOfLength(id.c_str(), &text, in.value<int32_t>());
            break;
        default: {
            int32_t index = 0, steps = 0;
            p.GetParameterIndex(id.c_str(), &index);
            p.GetParameterNumberOfSteps(id.c_str(), &steps);
            p.GetParameterIDFromIndex(in.value<int32_t>(), &text);
            p.GetParameterDefaultNormalizedValue(id.c_str(), &v);
            break;
        }
    }
    if (p.GetParameterNormalizedValue(id.c_str(), &v) == sdk::kSuccess && !(v >= 0.0 && v <= 1.0))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static sdk::IEffectParameters* p = [] {
        sdk::IACFUnknown* unknown = plugkit::aax::AAXClient::create();
        sdk::IEffectParameters* params = sdk::queryInterface<sdk::IEffectParameters>(unknown);
        unknown->Release();
        return params;
    }();
    FuzzInput in{data, size};
    for (int ops = 0; !in.empty() && ops < 64; ++ops) {
        const uint8_t op = in.byte() % 10;
        if (op < 2)
            chunkOperation(*p, in, op);
        else
            parameterOperation(*p, in, op);
    }
    return 0;
}
