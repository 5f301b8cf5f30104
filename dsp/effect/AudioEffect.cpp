#include "dsp/effect/AudioEffect.h"

namespace dsp {

template class AudioEffect<float>;

}  // namespace dsp
