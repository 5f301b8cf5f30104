#include "dsp/filter/LinkwitzRileyLP.h"

namespace dsp {

template class LinkwitzRileyLP<float>;

}  // namespace dsp
