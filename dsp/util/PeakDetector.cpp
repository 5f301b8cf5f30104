#include "dsp/util/PeakDetector.h"

namespace dsp {

template class PeakDetector<float>;

}  // namespace dsp
