#include "plugkit/lv2/LV2Descriptors.h"

#include <cstring>

#include "lv2/state/state.h"
#include "plugkit/client/Client.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/HostCallGuard.h"
#include "plugkit/lv2/LV2Bundle.h"
#include "plugkit/lv2/LV2Plugin.h"

namespace plugkit::lv2 {

namespace {

constexpr double kMaxSampleRate = 1.0e7;

struct LayoutDescriptor {
    LV2_Descriptor lv2;
    Variant variant;
};

struct DescriptorTable {
    LayoutDescriptor entries[kMaxVariants];
    int count = 0;
    char stateKey[Variant::kMaxURI + 8] = {};
};

LV2Plugin* self(LV2_Handle handle) { return static_cast<LV2Plugin*>(handle); }

LV2_Handle instantiate(const LV2_Descriptor* descriptor, double sampleRate, const char*,
                       const LV2_Feature* const* features);

void connectPort(LV2_Handle handle, uint32_t port, void* data) { self(handle)->connectPort(port, data); }

void activate(LV2_Handle handle) {
    core::HostCallGuard guard;
    self(handle)->activate();
}

void run(LV2_Handle handle, uint32_t frames) {
    core::initializeCpuInfo();
    self(handle)->run(frames);  // sets its own floating-point state
}

void deactivate(LV2_Handle) {}

void cleanup(LV2_Handle handle) {
    core::HostCallGuard guard;
    core::destroyFree(self(handle));
}

LV2_State_Status saveState(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state,
                           uint32_t, const LV2_Feature* const*) {
    core::HostCallGuard guard;
    return self(handle)->save(store, state);
}

LV2_State_Status restoreState(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state,
                              uint32_t, const LV2_Feature* const*) {
    core::HostCallGuard guard;
    return self(handle)->restore(retrieve, state);
}

const LV2_State_Interface kStateInterface = {saveState, restoreState};

const void* extensionData(const char* uri) {
    if (uri && std::strcmp(uri, LV2_STATE__interface) == 0) return &kStateInterface;
    return nullptr;
}

bool fillTable(DescriptorTable& t) {
    core::HostCallGuard guard;
    const BundleInfo bundle = plugkitLV2Bundle();
    stateKeyURI(bundle.uri, t.stateKey, sizeof t.stateKey);
    client::Client* client = plugkitCreateClient();
    if (!client) return false;
    Variant variants[kMaxVariants];
    t.count = listVariants(*client, bundle.uri, variants, kMaxVariants);
    core::destroyFree(client);
    for (int i = 0; i < t.count; ++i) {
        LayoutDescriptor& e = t.entries[i];
        e.variant = variants[i];
        e.lv2 = LV2_Descriptor{e.variant.uri, instantiate, connectPort, activate,
                               run,           deactivate,  cleanup,     extensionData};
    }
    return true;
}

// Filled once, on the first request (thread-safe static initialisation), and kept in static
// storage for the life of the library.
const DescriptorTable& table() {
    static DescriptorTable t;
    static const bool filled = fillTable(t);
    (void)filled;
    return t;
}

// The entry of a descriptor handed back by the host, or null when it is none of ours.
const LayoutDescriptor* findLayout(const LV2_Descriptor* descriptor) {
    const DescriptorTable& t = table();
    for (int i = 0; i < t.count; ++i)
        if (descriptor == &t.entries[i].lv2) return &t.entries[i];
    return nullptr;
}

LV2_Handle instantiate(const LV2_Descriptor* descriptor, double sampleRate, const char*,
                       const LV2_Feature* const* features) {
    core::HostCallGuard guard;
    const LayoutDescriptor* layout = findLayout(descriptor);
    // Rates outside 1 Hz .. 10 MHz (NaN included) are refused rather than fed to the filters.
    if (!layout || !(sampleRate >= 1.0 && sampleRate <= kMaxSampleRate)) return nullptr;
    client::Client* client = plugkitCreateClient();
    if (!client) return nullptr;
    // The layout was read from a client of the same kind; a client that disagrees is refused.
    if (client->paramCount() != layout->variant.ports.paramCount) {
        core::destroyFree(client);
        return nullptr;
    }
    return core::mallocNew<LV2Plugin>(client, layout->variant.ports, sampleRate, table().stateKey, features);
}

}  // namespace

const LV2_Descriptor* descriptorAt(std::uint32_t index) {
    const DescriptorTable& t = table();
    if (index >= static_cast<std::uint32_t>(t.count)) return nullptr;
    return &t.entries[index].lv2;
}

}  // namespace plugkit::lv2
