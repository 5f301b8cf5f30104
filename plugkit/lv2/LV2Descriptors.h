#pragma once

#include <cstdint>

#include "lv2/core/lv2.h"

namespace plugkit::lv2 {

// [any thread] The descriptor of LV2 plug-in index (one per channel layout of the client, main
// layout first), or null past the last. The table is built on the first call from a temporary
// client (plugkitCreateClient) and the bundle identity (plugkitLV2Bundle), then kept for the life
// of the library. The plug-in's exported lv2_descriptor forwards here.
const LV2_Descriptor* descriptorAt(std::uint32_t index);

}  // namespace plugkit::lv2
