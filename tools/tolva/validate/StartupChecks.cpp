// Start-up and bypass: the first block at every block size has no spike, and bypass toggles add
// no discontinuity beyond the signal's own.
#include <cmath>
#include <cstdio>

#include "tools/tolva/validate/Checks.h"

namespace tolva::validate {

namespace {

// The bypass crossfades: a toggle that jumps beyond the signal's own steps fails the check.
constexpr bool kRequireSmoothBypass = true;
constexpr double kRate = 48000.0;
constexpr int kBlocks[] = {1, 7, 64, 256, 512, 1000, 1024};

// Largest step between neighbouring samples in [from, to) over every channel.
float largestStep(const Buffers& b, int64_t from, int64_t to) {
    float step = 0.0f;
    for (int c = 0; c < b.channels(); ++c)
        for (int64_t n = std::max<int64_t>(from, 1); n < to; ++n)
            step = std::max(step, std::fabs(b.channel(c)[static_cast<std::size_t>(n)] -
                                            b.channel(c)[static_cast<std::size_t>(n - 1)]));
    return step;
}

void checkStartup(Session& session, const Layout& layout) {
    const int64_t frames = static_cast<int64_t>(kRate * 0.5);
    Buffers in(layout.inputs, frames);
    makeTestSignal(in, kRate, 0.5f, 13);
    for (int block : kBlocks) {
        auto p = session.instance(layout, kRate, "start-up");
        if (!p) return;
        Buffers out(layout.outputs, frames);
        renderRange(*p, in, out, block, 0, frames, false);
        // The first block against the input's peak and the settled output's.
        const float first = peak(out, 0, block), settled = peak(out, frames / 2, frames),
                    inPeak = peak(in, 0, frames);
        if (!(first <= std::max(2.0f * inPeak, 1.5f * settled))) {
            session.fail("start-up", "block size " + std::to_string(block) + ": first block peaks at " +
                                         dbText(first) + ", settled output at " + dbText(settled));
            return;
        }
    }
    session.pass("start-up", "no spike in the first block at 7 block sizes");
}

void checkBypass(Session& session, const Layout& layout) {
    auto p = session.instance(layout, kRate, "bypass");
    if (!p) return;
    if (p->masterBypassId().empty()) {
        session.skip("bypass", "no master bypass");
        return;
    }
    const int64_t frames = static_cast<int64_t>(kRate * session.seconds(0.5, 2.0));
    const int block = 256, toggleEvery = 16;  // blocks
    Buffers in(layout.inputs, frames), out(layout.outputs, frames);
    for (int c = 0; c < in.channels(); ++c)
        for (int64_t n = 0; n < frames; ++n)
            in.channel(c)[static_cast<std::size_t>(n)] =
                0.5f * std::sin(6.283185307f * 440.0f * float(n) / float(kRate));
    bool bypassed = false;
    for (int64_t done = 0, b = 0; done < frames; done += block, ++b) {
        if (b > 0 && b % toggleEvery == 0) p->setBypass(bypassed = !bypassed);
        renderRange(*p, in, out, block, done, std::min<int64_t>(frames, done + block), false);
    }
    // The signal's own largest step, processed or not: the input's and the output's away from toggles.
    float own = largestStep(in, 0, frames);
    for (int64_t t = toggleEvery * block; t + toggleEvery * block <= frames; t += toggleEvery * block)
        own = std::max(own, largestStep(out, t + block, t + (toggleEvery - 1) * block));
    float jump = 0.0f;
    for (int64_t t = toggleEvery * block; t < frames; t += toggleEvery * block)
        jump = std::max(jump, largestStep(out, t - 2, std::min<int64_t>(frames, t + block)));
    char text[160];
    std::snprintf(text, sizeof text, "largest step at a toggle %.3f, the signal's own %.3f", jump, own);
    if (!kRequireSmoothBypass)
        session.skip("bypass", std::string(text) + " (checked once the bypass crossfades)");
    else if (jump > 1.5f * own)
        session.fail("bypass", text);
    else
        session.pass("bypass", text);
}

}  // namespace

void checkStartupAndBypass(Session& session) {
    const Layout layout = session.mainLayout();
    checkStartup(session, layout);
    checkBypass(session, layout);
}

}  // namespace tolva::validate
