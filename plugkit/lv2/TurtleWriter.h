#pragma once

#include <cstdio>

#include "plugkit/lv2/LV2Bundle.h"

namespace plugkit::client {
class Client;
}

namespace plugkit::lv2 {

// Describes a client as an LV2 bundle in Turtle, from the client alone: names, symbols, ranges,
// defaults, units, toggles, integer and enumeration ports, logarithmic hints, the plug-in's name,
// maker, version and class, one plug-in per channel layout, and the factory presets.
//
// When the client has an editor and the bundle names a UI library, each plug-in gains ui:ui: one
// X11 UI in that library that talks to the plug-in only through the control ports of PortLayout.
class TurtleWriter {
public:
    static constexpr const char* kManifestFile = "manifest.ttl";
    static constexpr const char* kPresetsFile = "presets.ttl";

    // [host thread] pluginFile: file name of the plug-in description inside the bundle.
    TurtleWriter(client::Client& client, BundleInfo bundle, const char* pluginFile);

    // [host thread] Each writes one file; false when the description cannot be made (two
    // parameters with the same symbol, no layout) or the stream fails.
    bool writeManifest(std::FILE* out);
    bool writePlugins(std::FILE* out);
    bool writePresets(std::FILE* out);

    // [host thread] Writes the three files into directory (which must exist). On failure returns
    // false with a one-line reason in error.
    bool writeBundle(const char* directory, char* error, int errorSize);

    // [host thread] URI of preset i: base URI + "/presets/" + slug of its name.
    void presetURI(int index, char* out, int size) const;

private:
    bool checkSymbols() const;
    void writePrefixes(std::FILE* out) const;
    void writeAppliesTo(std::FILE* out) const;
    void writeParameterPort(std::FILE* out, int index);
    void writeFixedPorts(std::FILE* out, const Variant& v) const;
    void writeAudioPorts(std::FILE* out, const Variant& v) const;
    const char* pluginClass() const;

    client::Client& client_;
    BundleInfo bundle_;
    const char* pluginFile_;
    Variant variants_[kMaxVariants];
    int variantCount_ = 0;
};

}  // namespace plugkit::lv2
