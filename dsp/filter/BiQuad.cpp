#include "dsp/filter/BiQuad.h"

namespace dsp {

template class BiQuad<float>;

}  // namespace dsp
