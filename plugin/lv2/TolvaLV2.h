#pragma once

namespace plugin {

// The plug-in's LV2 identity: the URI of its main (stereo) plug-in, under which the other layouts,
// the presets and the state key are named, and the library's file name inside the bundle.
inline constexpr const char* kTolvaLV2URI = "https://pel.audio/plugins/tolva";
inline constexpr const char* kTolvaLV2Binary = "tolva.so";

}  // namespace plugin
