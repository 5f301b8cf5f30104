#pragma once

#include <cmath>

#include "dsp/util/EnvelopeDetector.h"

namespace dsp {

// Envelope follower of the absolute value of the signal.
template <typename T>
class PeakDetector final : public EnvelopeDetector<T> {
public:
    // [audio thread] |x|.
    T processInput(T x) override { return std::abs(x); }

    // [audio thread] Same as the base's detect, with the rectifier called directly.
    T detect(T x) override { return this->follow(std::abs(x)); }
};

extern template class PeakDetector<float>;

}  // namespace dsp
