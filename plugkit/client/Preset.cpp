#include "plugkit/client/Preset.h"

#include <cstdlib>

#include "plugkit/client/ParameterText.h"

namespace plugkit::client {

Preset::Preset(const char* name, const float* values, int count) : name_(detail::copyText(name)) {
    if (count > 0 && values) {
        values_.resize(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) values_[static_cast<std::size_t>(i)] = values[i];
    }
}

Preset::~Preset() { std::free(name_); }

}  // namespace plugkit::client
