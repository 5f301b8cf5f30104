#pragma once

#include <cstdint>

namespace tolva::validate {

// Counts heap calls (malloc family, operator new and delete) and mutex locks made on threads that
// are marked as audio threads. Each executable that links the tolva_realtime_probe object library
// (tolva and the real-time tests) replaces the allocator and the mutex lock for this
// (RealtimeProbe.cpp); sanitizer builds keep their own allocator and count nothing, which
// realtimeHooksWork reports.

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

}  // namespace tolva::validate
