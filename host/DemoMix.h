#pragma once

#include "host/WavFile.h"

namespace host {

// Synthesises a deterministic stereo demo mix (kick and snare drums, a bass line and hi-hats at
// 120 beats per minute) of the given length, peaking at -1 dBFS. [any thread]
AudioData makeDemoMix(double seconds = 10.0, double sampleRate = 48000.0);

}  // namespace host
