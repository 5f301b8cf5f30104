#include "dsp/filter/Allpass.h"

namespace dsp {

template class Allpass<float>;

}  // namespace dsp
