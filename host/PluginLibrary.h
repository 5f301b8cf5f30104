#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/HostRefCount.h"
#include "host/PluginDescription.h"
#include "host/PluginInstance.h"

namespace host {

class HostServices;

// A factory preset as the plug-in enumerates it: its name and the whole preset file.
struct PresetFile {
    std::string name;
    std::vector<uint8_t> bytes;
};

// A loaded plug-in library. Opening it loads the library with dlopen, resolves its exported entry
// points, calls ACFStartup with the host services and ACFRegisterPlugin to record its description.
// Closing (or destroying) it calls ACFShutdown, checks that ACFCanUnloadNow reports no live
// objects, and unloads the library only then. One object per library file at a time.
// [host thread]
class PluginLibrary {
public:
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // Returns null with a one-line reason in error when the file cannot be loaded, lacks an entry
    // point, is already open, or describes no usable effect.
    static std::unique_ptr<PluginLibrary> open(const std::string& path, std::string& error);

    const std::string& path() const { return path_; }
    const PluginDescription& description() const { return description_; }
    // Calls ACFRegisterPlugin again into a fresh collection (the plug-in rebuilds its description).
    // refuseDescriptor makes the collection return no effect descriptor.
    sdk::Result describe(PluginDescription& out, bool refuseDescriptor = false);

    // Creates an instance through the effect-parameters factory (proc id 0), initialises it and
    // configures it for the component of (inputs, outputs) at sampleRate.
    std::unique_ptr<PluginInstance> createInstance(int inputs, int outputs, double sampleRate,
                                                   std::string& error) const;

    // The factory presets as preset files, through PlugkitEnumerateTFX.
    std::vector<PresetFile> enumeratePresets() const;

    // Raw entry points.
    int32_t canUnloadNow() const;
    sdk::Result sdkVersion(uint64_t& version) const;
    sdk::Result registerComponent(void*& outComponent) const;
    sdk::Result getClassFactory(void*& outFactory) const;

    // Shuts the library down (ACFShutdown) if not done yet and reports what ACFCanUnloadNow said
    // right before; the library stays mapped when that was not 0 or the plug-in still holds
    // references to host objects. Every instance must be gone.
    int32_t close();
    // After close: references to host objects the plug-in never gave back (0 when clean).
    int32_t leakedHostReferences() const { return leakedHostRefs_; }

private:
    PluginLibrary() = default;
    struct Exports;

    std::string path_;
    void* handle_ = nullptr;
    std::unique_ptr<Exports> exports_;
    std::unique_ptr<HostServices> services_;
    PluginDescription description_;
    bool started_ = false;
    int32_t lastCanUnload_ = 0;
    int32_t leakedHostRefs_ = 0;
};

}  // namespace host
