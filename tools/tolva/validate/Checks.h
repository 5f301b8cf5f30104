#pragma once

#include "tools/tolva/validate/Session.h"

namespace tolva::validate {

// The check groups of `tolva validate`, one per source file, each reporting through the session.
// Durations grow with the session's strictness.

// Description sanity, parameter identifiers, names, defaults and text round trips.
void checkDescription(Session& session);
// Instances opened and closed repeatedly, with the library reloaded (cold) and kept (warm).
void checkLifecycle(Session& session);
// Every layout at every sample rate and block size: finite output, silence after the tail,
// nothing allocated or locked on the audio thread.
void checkRendering(Session& session);
// State round trips and refusal of truncated, corrupted and foreign chunks.
void checkState(Session& session);
// Host threads changing values and chunks while audio renders.
void checkAutomationStorm(Session& session);
// Non-finite, huge, subnormal and square bursts; CPU on silence; crossovers at their maximum.
void checkBadAudio(Session& session);
// The first block at every block size; bypass toggles.
void checkStartupAndBypass(Session& session);

}  // namespace tolva::validate
