// Compiles the VST 3 declarations so that their static_asserts are checked in every build.
#include "plugkit/vst3/sdk/Vst3Interfaces.h"
