// Rendering at every sample rate and block size for every layout: output finite, silence in gives
// silence out once the tail has rung out, and nothing allocated or locked on the audio thread
// (after the first block of a configuration, where the plug-in may prepare).
#include <cstdio>

#include "host/realtime/RealtimeProbe.h"
#include "tools/tolva/validate/Checks.h"

namespace tolva::validate {

namespace {

using host::realtime::RealtimeCounts;
using host::realtime::realtimeCounts;
using host::realtime::realtimeHooksWork;

constexpr double kRates[] = {22050.0, 44100.0, 48000.0, 88200.0, 96000.0, 192000.0};
constexpr int kBlocks[] = {1, 7, 64, 256, 512, 1000, 1024};
constexpr double kTailSeconds = 1.0;      // silence rendered before the output must be silent
constexpr double kSilenceSeconds = 0.05;  // then this much is measured
constexpr float kSilenceLimit = 1e-5f;    // -100 dBFS

struct RealtimeFinding {
    RealtimeCounts counts;
    std::string where;  // first configuration with calls
};

// One block size at the instance's current configuration; returns a problem or "".
std::string renderOneBlockSize(Session& session, host::PluginInstance& p, int block, bool skipFirstBlock,
                               RealtimeFinding& rt) {
    const double rate = p.sampleRate();
    const int64_t signal = static_cast<int64_t>(rate * session.seconds(0.05, 0.25));
    const int64_t tail = static_cast<int64_t>(rate * kTailSeconds);
    const int64_t total = signal + tail + static_cast<int64_t>(rate * kSilenceSeconds);
    Buffers in(p.inputs(), total), out(p.outputs(), total);
    makeTestSignal(in, rate, 0.7f, static_cast<uint64_t>(block));
    for (int c = 0; c < in.channels(); ++c)
        std::fill(in.channel(c).begin() + signal, in.channel(c).end(), 0.0f);

    const RealtimeCounts before = realtimeCounts();
    int64_t from = 0;
    if (skipFirstBlock) {
        renderRange(p, in, out, block, 0, block, false);
        from = block;
    }
    renderRange(p, in, out, block, from, total, true);
    const RealtimeCounts after = realtimeCounts();
    if (rt.where.empty() && (after.heapCalls > before.heapCalls || after.locks > before.locks)) {
        rt.where = std::to_string(after.heapCalls - before.heapCalls) + " heap calls and " +
                   std::to_string(after.locks - before.locks) + " locks at block size " +
                   std::to_string(block);
    }

    int64_t bad = 0;
    if (!allFinite(out, 0, total, bad))
        return "block size " + std::to_string(block) + ": non-finite output at frame " + std::to_string(bad);
    const float rest = peak(out, signal + tail, total);
    if (rest > kSilenceLimit)
        return "block size " + std::to_string(block) + ": silence in gives " + dbText(rest) + " out after " +
               std::to_string(kTailSeconds) + " s";
    return "";
}

}  // namespace

void checkRendering(Session& session) {
    const bool counting = realtimeHooksWork();
    RealtimeFinding rt;
    int configurations = 0;
    for (const Layout& layout : session.layouts()) {
        std::unique_ptr<host::PluginInstance> p;
        for (double rate : kRates) {
            char name[64];
            std::snprintf(name, sizeof name, "render %s %g Hz", layout.text().c_str(), rate);
            std::string error;
            if (!p) {
                p = session.instance(layout, rate, name);
                if (!p) continue;
            } else if (!p->configure(layout.inputs, layout.outputs, rate, error)) {
                session.fail(name, error);
                continue;
            }
            std::string problem;
            bool first = true;
            for (int block : kBlocks) {
                problem = renderOneBlockSize(session, *p, block, first, rt);
                first = false;
                if (!problem.empty()) break;
            }
            ++configurations;
            if (problem.empty())
                session.pass(name, "7 block sizes, finite, silent after the tail");
            else
                session.fail(name, problem);
            if (!rt.where.empty() && rt.where.find(" Hz") == std::string::npos)
                rt.where += " (" + std::string(name) + ")";
        }
    }
    if (!counting)
        session.skip("realtime", "no allocation or lock counting in this build (sanitizer allocator)");
    else if (rt.where.empty())
        session.pass("realtime", "no allocation or lock on the audio thread in " +
                                     std::to_string(configurations) + " configurations");
    else
        session.fail("realtime", rt.where);
}

}  // namespace tolva::validate
