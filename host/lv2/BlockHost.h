#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace host::lv2 {

// A small block-based LV2 host on lilv: loads one plug-in (from LV2_PATH or lilv's default folders),
// instantiates it with urid:map/unmap, options (block lengths, sample rate) and bounded block
// lengths, connects every port (atom inputs get empty sequences, CV and spare audio ports silence),
// sets controls by symbol, applies presets, saves and restores state, and runs audio in blocks.
// [one thread at a time]
class BlockHost {
public:
    BlockHost();
    ~BlockHost();
    BlockHost(const BlockHost&) = delete;
    BlockHost& operator=(const BlockHost&) = delete;

    // Loads and activates plug-in uri. maxBlock is the most frames one run sees. False with a
    // one-line reason when the plug-in is unknown or cannot be instantiated.
    bool load(const std::string& uri, double sampleRate, int maxBlock, std::string& error);

    int audioInputs() const;
    int audioOutputs() const;
    // Symbols of the control input ports, in port order.
    std::vector<std::string> controlSymbols() const;
    // Sets a control input port; false when there is none with that symbol.
    bool setControl(const std::string& symbol, float value);
    // Value of a control port (input or output); NaN when there is none.
    float control(const std::string& symbol) const;

    // Presets related to the plug-in: (URI, label) pairs.
    std::vector<std::pair<std::string, std::string>> presets() const;
    // Applies the preset with that label or URI (port values and state). False when unknown.
    bool applyPreset(const std::string& labelOrURI, std::string& error);

    // The instance's state (port values and the plug-in's own state) as Turtle, and back.
    std::string saveState();
    bool restoreState(const std::string& turtle, std::string& error);

    // Runs frames frames from in (audioInputs() channels; missing ones read silence) into out
    // (audioOutputs() channels) in blocks of at most maxBlock, channel pointers not advanced.
    void process(const float* const* in, float* const* out, long frames);
    // One run of at most maxBlock frames on the given buffers.
    void runBlock(const float* const* in, float* const* out, int frames);

    // Number of frames in the last load's blocks.
    int maxBlock() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace host::lv2
