#pragma once

#include <limits>

namespace dsp {

// Base of the per-sample audio processors. Generic over the sample type; the program uses float.
// Objects are created once and then used only on the audio thread; nothing here allocates.
template <typename T>
class AudioEffect {
public:
    AudioEffect() = default;
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;
    virtual ~AudioEffect() = default;

    // [audio thread] Processes one sample and returns the result.
    virtual T getNextSample(T x) = 0;

    // [audio thread] output[i] = getNextSample(input[i]) for i in [0, frames); nothing for frames <= 0.
    virtual void processBuffers(const T* input, T* output, int frames) {
        for (int i = 0; i < frames; ++i) output[i] = getNextSample(input[i]);
    }

    // [audio thread] Clears the processing state.
    virtual void reset() = 0;

    // [audio thread] Stores the sample rate, then clears the state with reset().
    virtual void setSampleRate(T rate) {
        sampleRate = rate;
        reset();
    }

    // [any thread] The stored sample rate in Hz; NaN until set.
    virtual T SampleRate() const { return sampleRate; }

protected:
    T sampleRate = std::numeric_limits<T>::quiet_NaN();
};

extern template class AudioEffect<float>;

}  // namespace dsp
