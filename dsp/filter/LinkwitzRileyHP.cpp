#include "dsp/filter/LinkwitzRileyHP.h"

namespace dsp {

template class LinkwitzRileyHP<float>;

}  // namespace dsp
