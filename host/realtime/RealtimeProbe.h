#pragma once

#include <cstdint>

namespace host::realtime {

// Counts heap calls (malloc family, operator new and delete) and mutex locks made on threads that
// are marked as audio threads, including those a plug-in library loaded later makes. Each
// executable that links the tolva_realtime_probe object library (tolva for `tolva validate`, the
// real-time tests) replaces the allocator and the mutex lock for this (RealtimeProbe.cpp) and must
// export its symbols (ENABLE_EXPORTS) for a loaded library to bind to them; sanitizer builds keep
// their own allocator and count nothing, which realtimeHooksWork reports.

struct RealtimeCounts {
    int64_t heapCalls = 0;
    int64_t locks = 0;
};

// Marks the calling thread as an audio thread while it lives. [any thread]
class AudioThreadMark {
public:
    AudioThreadMark();
    ~AudioThreadMark();
    AudioThreadMark(const AudioThreadMark&) = delete;
    AudioThreadMark& operator=(const AudioThreadMark&) = delete;
};

// [any thread] Calls counted so far, and back to zero.
RealtimeCounts realtimeCounts();
void resetRealtimeCounts();
// [any thread] True when a probe allocation and lock made while marked are counted.
bool realtimeHooksWork();

}  // namespace host::realtime
