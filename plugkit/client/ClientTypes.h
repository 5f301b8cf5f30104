#pragma once

#include <cstdint>

namespace plugkit::client {

// The host the plug-in runs in. Values 6, 10, 11 and 19 are reserved and never produced.
enum class DAW : int32_t {
    unknown = 0,
    reaper = 1,
    protools = 2,
    cubase = 3,
    nuendo = 4,
    cakewalk = 5,
    fruity = 7,
    samplitude = 8,
    live = 9,
    melodyne = 12,
    vstmanlib = 13,
    aulab = 14,
    forte = 15,
    chainer = 16,
    audition = 17,
    orion = 18,
    sawstudio = 20,
    logic = 21,
    garageband = 22,
    digital = 23,
    standalone = 24,
    audiomulch = 25,
    presonus = 26,
    vst3plugintesthost = 27,
    ardour = 28,
};

// [any thread] The first known host word found in hostName (case-sensitive; pass a lower-case
// name) gives the host; unknown when none matches or hostName is null.
DAW identifyDAW(const char* hostName) noexcept;

// Graphics backend code handed to IGraphics::openUI; 0 selects the default.
using GraphicsBackend = int32_t;
inline constexpr GraphicsBackend kGraphicsBackendDefault = 0;

// Category codes of PluginInfo::category. Each binding maps them to its host's categories; codes
// not listed here are taken as a plain effect.
enum PluginCategory : int32_t {
    kCategoryEffect = 0,
    kCategoryDelay = 1,
    kCategoryHarmonic = 2,
    kCategoryDynamics = 3,
    kCategoryEQ = 4,
    kCategorySoundField = 5,
    kCategoryModulation = 6,
    kCategoryPitchShift = 7,
    kCategoryReverb = 8,
    kCategoryGeneratorFirst = 10,  // 10 to 13: sound generators
    kCategoryGeneratorLast = 13,
};

// Description of the plug-in. Texts point to storage that outlives the client (string literals).
struct PluginInfo {
    const char* makerName = "";
    char makerCode[5] = {0, 0, 0, 0, 0};  // four characters and a terminating zero
    const char* supportEmail = "";
    const char* productName = "";
    const char* homepage = "";
    char productCode[5] = {0, 0, 0, 0, 0};
    int32_t versionMajor = 0;
    int32_t versionMinor = 0;
    int32_t versionPatch = 0;
    bool hasEditor = false;
    bool isInstrument = false;
    bool takesMidi = false;
    int32_t category = 0;  // a PluginCategory code
    const char* vstBundleId = "";
    const char* auBundleId = "";
    const char* aaxBundleId = "";

    // (major << 16) | (minor << 8) | patch, as stored in state chunks.
    int32_t packedVersion() const noexcept {
        return (versionMajor << 16) | (versionMinor << 8) | versionPatch;
    }
};

// One accepted channel layout.
struct LegalIO {
    int32_t inputs = 0;
    int32_t outputs = 0;
};

// Transport state of one host block.
struct TimeInfo {
    double tempo = 120.0;
    int64_t samplePosition = 0;
    bool isPlaying = false;
};

// A timestamped MIDI message; offset counts frames from the start of the current host block
// (made absolute when queued).
struct MidiMessage {
    int32_t offset = 0;
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

// What the plug-in asks of its host; implemented by the host binding.
class IHostCommand {
public:
    virtual ~IHostCommand() = default;
    // [editor thread] Starts an edit gesture on the parameter.
    virtual void beginParamEdit(int paramIndex) = 0;
    // [editor thread] Tells the host the parameter's new normalized value.
    virtual void paramAutomate(int paramIndex, float normalized) = 0;
    // [editor thread] Ends an edit gesture on the parameter.
    virtual void endParamEdit(int paramIndex) = 0;
    // [editor thread] Asks the host to resize the editor's view; true when accepted.
    virtual bool requestResize(int width, int height) = 0;
    // [any thread] The host the plug-in runs in.
    virtual DAW getDAW() = 0;
};

// The editor as the client and the binding see it. Created with core::mallocNew by
// Client::createGraphics; the client destroys it.
class IGraphics {
public:
    virtual ~IGraphics() = default;
    // [editor thread] Opens the editor inside the platform's parent view; returns the native view.
    virtual void* openUI(void* parentInfo, void* controlInfo, DAW daw, GraphicsBackend backend) = 0;
    // [editor thread] Closes the editor's window; the object stays alive.
    virtual void closeUI() = 0;
    // [editor thread] The editor's size in pixels.
    virtual void getGUISize(int* width, int* height) = 0;
};

}  // namespace plugkit::client
