#pragma once

// A minimal in-process LV2 host for the binding's tests: maps URIDs, instantiates a descriptor of
// the plug-in library linked into the test, connects every port to its own buffer, and saves or
// restores state through the state interface.
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "lv2/core/lv2.h"
#include "lv2/state/state.h"
#include "lv2/urid/urid.h"
#include "plugkit/lv2/LV2Descriptors.h"

namespace lv2test {

class URIDs {
public:
    LV2_URID map(const char* uri) {
        auto it = ids_.find(uri);
        if (it != ids_.end()) return it->second;
        const auto id = static_cast<LV2_URID>(ids_.size() + 1);
        ids_.emplace(uri, id);
        return id;
    }
    LV2_URID_Map* feature() { return &map_; }

private:
    static LV2_URID mapThunk(LV2_URID_Map_Handle h, const char* uri) {
        return static_cast<URIDs*>(h)->map(uri);
    }
    std::unordered_map<std::string, LV2_URID> ids_;
    LV2_URID_Map map_{this, mapThunk};
};

// One state property as a host stores it.
struct StoredProperty {
    uint32_t key = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    std::vector<uint8_t> bytes;
};

class Instance {
public:
    static constexpr int kParams = 29;
    static constexpr int kEnabled = kParams;
    static constexpr int kLatency = kParams + 1;

    // descriptorIndex 0 is stereo, 1 mono (the main layout first, then the client's order).
    explicit Instance(uint32_t descriptorIndex = 0, double rate = 48000.0, bool withMap = true) {
        descriptor = plugkit::lv2::descriptorAt(descriptorIndex);
        mapFeature.data = urids.feature();
        const LV2_Feature* features[] = {withMap ? &mapFeature : nullptr, nullptr};
        handle = descriptor ? descriptor->instantiate(descriptor, rate, "", features) : nullptr;
        if (!handle) return;
        const bool stereo = descriptorIndex == 0;
        inputs = stereo ? 2 : 1;
        outputs = inputs;
        controls.assign(kParams + 2, 0.0f);
        audio.assign(static_cast<std::size_t>(inputs + outputs), std::vector<float>(kMaxFrames));
        for (uint32_t p = 0; p < kParams + 2; ++p) descriptor->connect_port(handle, p, &controls[p]);
        for (int c = 0; c < inputs + outputs; ++c)
            descriptor->connect_port(handle, kParams + 2 + static_cast<uint32_t>(c),
                                     audio[static_cast<std::size_t>(c)].data());
        descriptor->activate(handle);
    }
    ~Instance() {
        if (handle) descriptor->cleanup(handle);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    float* in(int c) { return audio[static_cast<std::size_t>(c)].data(); }
    float* out(int c) { return audio[static_cast<std::size_t>(inputs + c)].data(); }
    void run(uint32_t frames) { descriptor->run(handle, frames); }

    const LV2_State_Interface* state() const {
        return static_cast<const LV2_State_Interface*>(descriptor->extension_data(LV2_STATE__interface));
    }
    LV2_State_Status save(std::vector<StoredProperty>& out) {
        return state()->save(handle, store, &out, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, nullptr);
    }
    LV2_State_Status restore(const std::vector<StoredProperty>& in) {
        return state()->restore(handle, retrieve, const_cast<std::vector<StoredProperty>*>(&in), 0, nullptr);
    }

    static constexpr int kMaxFrames = 4096;
    URIDs urids;
    LV2_Feature mapFeature{LV2_URID__map, nullptr};
    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle handle = nullptr;
    int inputs = 0;
    int outputs = 0;
    std::vector<float> controls;
    std::vector<std::vector<float>> audio;

private:
    static LV2_State_Status store(LV2_State_Handle h, uint32_t key, const void* value, size_t size,
                                  uint32_t type, uint32_t flags) {
        auto* props = static_cast<std::vector<StoredProperty>*>(h);
        const auto* bytes = static_cast<const uint8_t*>(value);
        props->push_back({key, type, flags, std::vector<uint8_t>(bytes, bytes + size)});
        return LV2_STATE_SUCCESS;
    }
    static const void* retrieve(LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type,
                                uint32_t* flags) {
        auto* props = static_cast<std::vector<StoredProperty>*>(h);
        for (const StoredProperty& p : *props) {
            if (p.key != key) continue;
            *size = p.bytes.size();
            *type = p.type;
            *flags = p.flags;
            return p.bytes.data();
        }
        return nullptr;
    }
};

// Parameter ports at their defaults, the enabled port on.
inline void setDefaults(Instance& i) {
    static const float kBand[5] = {-3.0f, 20.0f, 40.0f, 4.0f, 0.0f};
    for (int b = 0; b < 4; ++b)
        for (int k = 0; k < 5; ++k) i.controls[static_cast<std::size_t>(5 * b + k)] = kBand[k];
    for (int k = 20; k < 24; ++k) i.controls[static_cast<std::size_t>(k)] = 0.0f;
    i.controls[24] = 190.0f;
    i.controls[25] = 901.0f;
    i.controls[26] = 4260.0f;
    i.controls[27] = 0.0f;
    i.controls[28] = 0.0f;
    i.controls[Instance::kEnabled] = 1.0f;
}

// A deterministic loud, wide-band test signal.
inline void fillSignal(Instance& i, uint32_t frames, uint32_t seed = 1) {
    uint32_t x = seed * 2654435761u + 12345u;
    for (int c = 0; c < i.inputs; ++c)
        for (uint32_t n = 0; n < frames; ++n) {
            x = x * 1664525u + 1013904223u;
            i.in(c)[n] = 0.9f * (static_cast<float>(x >> 8) / 8388608.0f - 1.0f);
        }
}

}  // namespace lv2test
