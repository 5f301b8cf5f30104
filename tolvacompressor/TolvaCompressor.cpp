#include "tolvacompressor/TolvaCompressor.h"

namespace tolvacompressor {

template class TolvaCompressor<float>;

}  // namespace tolvacompressor
