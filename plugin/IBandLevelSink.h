#pragma once

namespace plugin {

// What the editor's crossover display receives from the audio thread at the end of every processed
// block: the four bands' input and output meter envelopes (linear amplitudes, bands 1 to 4, low to
// high). Called only while the audio thread holds the editor through the client's try-acquire.
class IBandLevelSink {
public:
    virtual ~IBandLevelSink() = default;
    // [audio thread, editor held] Stores the band input levels; must not allocate or wait.
    virtual void setInputValues(const float values[4]) = 0;
    // [audio thread, editor held] Stores the band output levels; must not allocate or wait.
    virtual void setOutputValues(const float values[4]) = 0;
};

}  // namespace plugin
