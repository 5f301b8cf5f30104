// Automation storm: two host threads set random parameter values (directly and through the
// automation delegate), toggle the bypass and load and save chunks while the audio thread renders.
// Run under ThreadSanitizer in CI. Once the plug-in has an editor, a third thread will redraw it in
// a headless window here.
#include <atomic>
#include <chrono>
#include <thread>

#include "host/realtime/RealtimeProbe.h"
#include "tools/tolva/validate/Checks.h"

namespace tolva::validate {

namespace {

using host::realtime::AudioThreadMark;
using host::realtime::RealtimeCounts;
using host::realtime::realtimeCounts;
using host::realtime::realtimeHooksWork;

struct Storm {
    host::PluginInstance& p;
    std::atomic<bool> stop{false};
    std::atomic<int> changes{0}, chunkLoads{0}, chunkFailures{0};
};

void parameterThread(Storm& s, uint64_t seed) {
    std::mt19937_64 rng(seed);
    const auto& params = s.p.parameters();
    host::InstanceHost& h = s.p.host();
    while (!s.stop.load(std::memory_order_relaxed)) {
        const auto& q = params[rng() % params.size()];
        const double v = static_cast<double>(rng() % 10001) / 10000.0;
        if (q.id == s.p.masterBypassId()) {
            s.p.setNormalized(q.id, v);
        } else if (rng() % 2) {
            s.p.setNormalized(q.id, v);
        } else {
            h.PostTouchRequest(q.id.c_str());
            h.PostSetValueRequest(q.id.c_str(), v);
            h.PostReleaseRequest(q.id.c_str());
        }
        s.changes.fetch_add(1, std::memory_order_relaxed);
    }
}

void chunkThread(Storm& s, const std::vector<std::vector<uint8_t>>& chunks, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::vector<uint8_t> current;
    while (!s.stop.load(std::memory_order_relaxed)) {
        if (s.p.setChunk(chunks[rng() % chunks.size()]) != 0) s.chunkFailures.fetch_add(1);
        if (s.p.getChunk(current) != 0) s.chunkFailures.fetch_add(1);
        s.chunkLoads.fetch_add(1, std::memory_order_relaxed);
        std::this_thread::yield();
    }
}

}  // namespace

void checkAutomationStorm(Session& session) {
    const Layout layout = session.mainLayout();
    auto p = session.instance(layout, 48000.0, "automation storm");
    if (!p) return;
    std::vector<std::vector<uint8_t>> chunks(4);
    for (auto& c : chunks) {
        randomize(session, *p);
        p->getChunk(c);
    }
    const int block = 256;
    Buffers in(p->inputs(), block), out(p->outputs(), block);
    makeTestSignal(in, 48000.0, 0.8f, 3);
    p->render(in.in(0), out.out(0), block);  // first block: the plug-in may prepare

    Storm s{*p};
    const bool counting = realtimeHooksWork();
    const RealtimeCounts before = realtimeCounts();
    std::thread values(parameterThread, std::ref(s), session.rng()());
    std::thread states(chunkThread, std::ref(s), std::cref(chunks), session.rng()());
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(session.seconds(0.3, 3.0));
    int64_t blocks = 0;
    bool finite = true;
    while (std::chrono::steady_clock::now() < end) {
        {
            AudioThreadMark mark;
            p->render(in.in(0), out.out(0), block);
        }
        int64_t bad = 0;
        finite = finite && allFinite(out, 0, block, bad);
        ++blocks;
    }
    s.stop.store(true);
    values.join();
    states.join();
    const RealtimeCounts after = realtimeCounts();

    std::vector<uint8_t> last, again;
    const auto stats = p->host().automationStats();
    if (!finite)
        session.fail("automation storm", "non-finite output");
    else if (s.chunkFailures.load() != 0)
        session.fail("automation storm", std::to_string(s.chunkFailures.load()) + " chunk calls failed");
    else if (stats.setValueFailures != 0)
        session.fail("automation storm",
                     std::to_string(stats.setValueFailures) + " set-value requests failed");
    else if (counting && (after.heapCalls != before.heapCalls || after.locks != before.locks))
        session.fail("automation storm",
                     "the audio thread made " + std::to_string(after.heapCalls - before.heapCalls) +
                         " heap calls and " + std::to_string(after.locks - before.locks) + " locks");
    else if (p->getChunk(last) != 0 || p->setChunk(last) != 0 || p->getChunk(again) != 0 || again != last)
        session.fail("automation storm", "the state after the storm does not round-trip");
    else
        session.pass("automation storm", std::to_string(blocks) + " blocks, " +
                                             std::to_string(s.changes.load()) + " value changes, " +
                                             std::to_string(s.chunkLoads.load()) + " chunk loads");
    if (session.library().description().proc(plugkit::aax::sdk::kProcIDEffectGUI))
        session.skip("automation storm editor", "the editor is not redrawn: no headless window host yet");
}

}  // namespace tolva::validate
