#pragma once

namespace plugin {

// The plug-in's LV2 identity: the URI of its main (stereo) plug-in, under which the other layouts,
// the presets, the state key and the UI are named, and the libraries' file names inside the bundle.
inline constexpr const char* kTolvaLV2URI = "https://pel.audio/plugins/tolva";
inline constexpr const char* kTolvaLV2Binary = "tolva.so";
// The editor's UI library inside the bundle.
inline constexpr const char* kTolvaLV2UIBinary = "tolva_ui.so";

}  // namespace plugin
