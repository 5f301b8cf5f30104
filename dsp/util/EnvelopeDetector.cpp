#include "dsp/util/EnvelopeDetector.h"

namespace dsp {

template class EnvelopeDetector<float>;

}  // namespace dsp
