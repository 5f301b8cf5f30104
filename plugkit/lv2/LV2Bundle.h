#pragma once

#include <cstddef>

#include "plugkit/client/ClientTypes.h"

namespace plugkit::client {
class Client;
class Parameter;
}  // namespace plugkit::client

namespace plugkit::lv2 {

// What the plug-in tells the binding beyond its client: where its LV2 identity lives.
struct BundleInfo {
    const char* uri = "";  // plug-in URI of the main layout, for example https://pel.audio/plugins/tolva
    const char* binaryName = "";  // file name of the plug-in library inside the bundle
    // File name of the editor's UI library inside the bundle; empty when there is no UI.
    const char* uiBinaryName = "";
};

// Port layout, shared by the plug-in, its bundle description and an editor that talks to it through
// ports: parameter i is control port i, then the enabled (bypass) port, the latency port, the audio
// inputs and the audio outputs. Control port indices are the same in every layout.
struct PortLayout {
    int paramCount = 0;
    int inputs = 0;
    int outputs = 0;

    constexpr int enabledPort() const { return paramCount; }
    constexpr int latencyPort() const { return paramCount + 1; }
    constexpr int firstInput() const { return paramCount + 2; }
    constexpr int firstOutput() const { return firstInput() + inputs; }
    constexpr int portCount() const { return firstOutput() + outputs; }
};

// One LV2 plug-in per legal channel layout of the client.
struct Variant {
    static constexpr int kMaxURI = 256;
    static constexpr int kMaxLabel = 64;
    PortLayout ports;
    bool main = false;           // the main layout carries the bare URI and the plain product name
    char uri[kMaxURI] = {};      // base URI, or base URI + "/" + slug of the label
    char label[kMaxLabel] = {};  // "Stereo", "Mono", "Mono to Stereo", ...
};

inline constexpr int kMaxVariants = 16;

// [host thread] The client's layouts as LV2 plug-ins. The layout with the most outputs, then the
// most inputs, comes first as the main one; the others follow in the client's order. Returns the
// count written (layouts past capacity or with a URI longer than Variant::kMaxURI are left out).
int listVariants(const client::Client& client, const char* baseURI, Variant* out, int capacity);

// [any thread] LV2 port symbol made from a name: lower case letters, digits and single underscores,
// never starting with a digit ("Threshold L" gives "threshold_l"). Empty names give "p".
void portSymbol(const char* name, char* out, std::size_t size);

// [any thread] URI path segment made from a name: lower case letters and digits joined by single
// hyphens ("4-Band Limit" gives "4-band-limit").
void uriSlug(const char* name, char* out, std::size_t size);

// [any thread] Key of the state chunk in LV2 state: baseURI + "#state".
void stateKeyURI(const char* baseURI, char* out, std::size_t size);

// [any thread] URI of the editor's UI: baseURI + "#ui". One UI serves every layout (control port
// indices are the same in all of them).
void uiURI(const char* baseURI, char* out, std::size_t size);

// [host thread] The plain value a parameter takes from a normalized one (booleans give 0 or 1).
double plainFromNormalized(client::Parameter& parameter, double normalized);
// [editor thread] The normalized value of a plain port value, clamped to [0, 1]; NaN gives NaN.
double normalizedFromPlain(client::Parameter& parameter, double plain);

}  // namespace plugkit::lv2

// Defined by the plug-in beside plugkitCreateClient (plugkit/aax/ClientFactory.h declares that one
// for the other binding): the LV2 identity of the bundle.
plugkit::lv2::BundleInfo plugkitLV2Bundle();
// [host thread] Creates the plug-in's client, fully initialised; the binding destroys it with
// core::destroyFree.
plugkit::client::Client* plugkitCreateClient();
