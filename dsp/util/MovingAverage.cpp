#include "dsp/util/MovingAverage.h"

namespace dsp {

template class MovingAverage<float>;

}  // namespace dsp
