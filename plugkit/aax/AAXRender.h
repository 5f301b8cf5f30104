#pragma once

#include "plugkit/aax/sdk/AAXInterfaces.h"

namespace plugkit::aax {

// [audio thread] The render callback of every component: inside the floating-point guard,
// renders each instance whose private-data field holds an AAXClient; instances whose field or
// slot is null are skipped and their outputs left untouched. Never blocks or allocates.
void StaticRenderAudio(sdk::ContextField* const instancesBegin[], const void* instancesEnd);

}  // namespace plugkit::aax
