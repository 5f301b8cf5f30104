#pragma once

// The C functions a plug-in library exports to the host, with their pointer types for a host that
// resolves them by name (dlsym). These eight are the library's only exported symbols.
//
//   ACFStartup(host)                 first call after loading; the plug-in keeps a reference to
//                                    host until ACFShutdown (null drops it). Returns 0.
//   ACFRegisterPlugin(host, out)     host answers ICollection; the plug-in describes itself into
//                                    it and stores the collection's IACFPluginDefinition in *out
//                                    (one reference for the caller). Returns 0, the OR of the
//                                    host's errors during the description, or kErrorNullObject.
//   ACFRegisterComponent(h, id, out) stores null in *out; returns 0.
//   ACFGetClassFactory(h, id, iid, out)  stores null in *out; returns kErrorUnimplemented.
//   ACFCanUnloadNow()                returns the number of live plug-in objects (0: may unload).
//   ACFShutdown()                    last call before unloading; drops the host services. 0.
//   ACFGetSDKVersion(out)            writes kSDKVersion; returns 0.
//   PlugkitEnumerateTFX(cb, user)    calls cb once per factory preset with its name and a preset
//                                    file (56-byte header + state chunk), valid during the call.
//
// [host thread] All of them; none may run concurrently with ACFStartup or ACFShutdown.

#include <cstdint>

#include "plugkit/aax/sdk/AAXInterfaces.h"

namespace plugkit::aax::sdk {

// Preset file callback: name and data are valid only during the call.
using TFXCallback = void (*)(const char* presetName, const void* data, std::uint32_t size, void* userData);

using ACFStartupProc = Result (*)(IACFUnknown* host);
using ACFShutdownProc = Result (*)();
using ACFRegisterPluginProc = Result (*)(IACFUnknown* host, IACFPluginDefinition** outDefinition);
using ACFRegisterComponentProc = Result (*)(IACFUnknown* host, const UID* componentID,
                                            IACFUnknown** outComponent);
using ACFGetClassFactoryProc = Result (*)(IACFUnknown* host, const UID* componentID, const UID* interfaceID,
                                          void** outFactory);
using ACFCanUnloadNowProc = Result (*)();
using ACFGetSDKVersionProc = Result (*)(std::uint64_t* outVersion);
using PlugkitEnumerateTFXProc = void (*)(TFXCallback callback, void* userData);

// The one definition of the constants the library and the host share: the binding (AAXClient,
// PresetFile) and the host library (host/) both use these.
// Size of a preset file header (followed by the state chunk); the layout is in PresetFile.h.
inline constexpr std::uint32_t kPresetFileHeaderSize = 56;

// Identifier under which the host stores the plug-in's state chunk.
inline constexpr TypeID kChunkIDPlugkit = fourCharCode('P', 'k', 'i', 't');

}  // namespace plugkit::aax::sdk

extern "C" {
plugkit::aax::sdk::Result ACFStartup(plugkit::aax::sdk::IACFUnknown* host);
plugkit::aax::sdk::Result ACFShutdown();
plugkit::aax::sdk::Result ACFRegisterPlugin(plugkit::aax::sdk::IACFUnknown* host,
                                            plugkit::aax::sdk::IACFPluginDefinition** outDefinition);
plugkit::aax::sdk::Result ACFRegisterComponent(plugkit::aax::sdk::IACFUnknown* host,
                                               const plugkit::aax::sdk::UID* componentID,
                                               plugkit::aax::sdk::IACFUnknown** outComponent);
plugkit::aax::sdk::Result ACFGetClassFactory(plugkit::aax::sdk::IACFUnknown* host,
                                             const plugkit::aax::sdk::UID* componentID,
                                             const plugkit::aax::sdk::UID* interfaceID, void** outFactory);
plugkit::aax::sdk::Result ACFCanUnloadNow();
plugkit::aax::sdk::Result ACFGetSDKVersion(std::uint64_t* outVersion);
void PlugkitEnumerateTFX(plugkit::aax::sdk::TFXCallback callback, void* userData);
}
