// Bad audio: bursts of NaN, infinities, huge values, subnormal input and full-scale squares in the
// middle of a clean signal. The output stays finite and is back at the clean run's level within
// 2 s; silence after loud input costs no more CPU than silence; every crossover at its maximum
// at low sample rates stays finite and bounded.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include "tools/tolva/validate/Checks.h"

namespace tolva::validate {

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 256;
constexpr double kBurstAt = 0.5, kRecovery = 2.0, kMeasure = 0.5;  // seconds

struct Burst {
    const char* name;
    double seconds;
    float (*value)(int64_t n);
};

const Burst kBursts[] = {
    {"NaN", 0.002, [](int64_t) { return std::numeric_limits<float>::quiet_NaN(); }},
    {"+infinity", 0.002, [](int64_t) { return std::numeric_limits<float>::infinity(); }},
    {"-infinity", 0.002, [](int64_t) { return -std::numeric_limits<float>::infinity(); }},
    {"+-1e6", 0.01, [](int64_t n) { return n % 2 ? 1e6f : -1e6f; }},
    {"+-3.4e38", 0.01, [](int64_t n) { return n % 2 ? 3.4e38f : -3.4e38f; }},
    {"subnormal", 0.5, [](int64_t n) { return n % 3 ? 1e-40f : -3e-39f; }},
    {"full-scale square", 0.5, [](int64_t n) { return (n / 24) % 2 ? 1.0f : -1.0f; }},
};

double db(double ratio) { return 20.0 * std::log10(ratio); }

std::string burstProblem(Session& session, const Layout& layout, const Burst& burst, const Buffers& clean,
                         const Buffers& input) {
    auto p = session.instance(layout, kRate, "bad audio");
    if (!p) return "no instance";
    Buffers in = input, out(layout.outputs, input.frames());
    const int64_t start = static_cast<int64_t>(kBurstAt * kRate);
    const int64_t end = start + static_cast<int64_t>(burst.seconds * kRate);
    for (int c = 0; c < in.channels(); ++c)
        for (int64_t n = start; n < end; ++n) in.channel(c)[static_cast<std::size_t>(n)] = burst.value(n);
    renderRange(*p, in, out, kBlock, 0, in.frames(), false);
    // The plug-in may recover at the end of the block in which the burst ends: from the next
    // block on, every sample must be finite.
    const int64_t nextBlock = (end + kBlock - 1) / kBlock * kBlock;
    int64_t bad = 0;
    if (!allFinite(out, 0, start, bad) || !allFinite(out, nextBlock, out.frames(), bad))
        return std::string(burst.name) + ": non-finite output " + std::to_string(double(bad - end) / kRate) +
               " s after the burst";
    const int64_t from = end + static_cast<int64_t>(kRecovery * kRate);
    const int64_t to = from + static_cast<int64_t>(kMeasure * kRate);
    const double ref = rms(clean, from, to), got = rms(out, from, to);
    if (!(std::fabs(db(got / ref)) <= 1.0)) {
        char text[160];
        std::snprintf(text, sizeof text, "%s: %.1f dB from the clean run's level %.0f s after the burst",
                      burst.name, db(got / ref), kRecovery);
        return text;
    }
    return "";
}

// Seconds (best of five) to render 2 s of constant input at level, after optional loud input.
double silenceCost(Session& session, const Layout& layout, bool loudFirst, float level) {
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        auto p = session.instance(layout, kRate, "cpu on silence");
        if (!p) return 0.0;
        const int64_t frames = static_cast<int64_t>(kRate * 2.0);
        Buffers in(layout.inputs, frames), out(layout.outputs, frames);
        if (loudFirst) {
            makeTestSignal(in, kRate, 8.0f, 9);  // far beyond full scale
            renderRange(*p, in, out, 256, 0, frames, false);
        }
        in.fill(level);
        const auto t0 = std::chrono::steady_clock::now();
        renderRange(*p, in, out, 256, 0, frames, false);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

void checkCrossoversAtMaximum(Session& session, const Layout& layout) {
    for (double rate : {8000.0, 22050.0, 32000.0}) {
        char name[64];
        std::snprintf(name, sizeof name, "crossovers at maximum %g Hz", rate);
        auto p = session.instance(layout, rate, name);
        if (!p) continue;
        int crossovers = 0;
        for (const auto& q : p->parameters())
            if (q.name.size() >= 2 && q.name[0] == 'F' &&
                std::isdigit(static_cast<unsigned char>(q.name[1]))) {
                p->setNormalized(q.id, 1.0);
                ++crossovers;
            }
        if (crossovers == 0) {
            session.skip(name, "no crossover parameters (named F1, F2, ...)");
            return;
        }
        const int64_t frames = static_cast<int64_t>(rate * session.seconds(0.5, 2.0));
        Buffers in(layout.inputs, frames), out(layout.outputs, frames);
        makeTestSignal(in, rate, 0.9f, 5);
        for (int c = 0; c < in.channels(); ++c) in.channel(c)[100] = 1.0f;  // an impulse too
        renderRange(*p, in, out, 64, 0, frames, false);
        int64_t bad = 0;
        const float inPeak = peak(in, 0, frames), outPeak = peak(out, 0, frames);
        if (!allFinite(out, 0, frames, bad))
            session.fail(name, "non-finite output at frame " + std::to_string(bad));
        else if (outPeak > 4.0f * inPeak)
            session.fail(name, "output peak " + dbText(outPeak) + " for input peak " + dbText(inPeak));
        else
            session.pass(name, std::to_string(crossovers) + " crossovers, output peak " + dbText(outPeak));
    }
}

}  // namespace

void checkBadAudio(Session& session) {
    const Layout layout = session.mainLayout();
    const int64_t frames = static_cast<int64_t>((kBurstAt + 0.5 + kRecovery + kMeasure) * kRate);
    Buffers input(layout.inputs, frames), clean(layout.outputs, frames);
    makeTestSignal(input, kRate, 0.5f, 11);
    if (auto p = session.instance(layout, kRate, "bad audio"))
        renderRange(*p, input, clean, 256, 0, frames, false);
    for (const Burst& burst : kBursts) {
        const std::string problem = burstProblem(session, layout, burst, clean, input);
        const std::string name = std::string("bad audio ") + burst.name;
        if (problem.empty())
            session.pass(name, "finite, back to the clean level within 2 s");
        else
            session.fail(name, problem);
    }

    const double quiet = silenceCost(session, layout, false, 0.0f);
    const double afterLoud = silenceCost(session, layout, true, 0.0f);
    const double subnormal = silenceCost(session, layout, false, 1e-40f);
    char text[128];
    std::snprintf(text, sizeof text, "silence %.1f ms, after loud input %.1f ms, subnormal input %.1f ms",
                  quiet * 1e3, afterLoud * 1e3, subnormal * 1e3);
    // Timing on a shared machine is noisy: only a clear rise (denormal arithmetic costs tens of
    // times more) is a failure.
    const double limit = 3.0 * quiet + 0.01;
    if (afterLoud > limit || subnormal > limit)
        session.fail("cpu on silence", text);
    else
        session.pass("cpu on silence", text);

    checkCrossoversAtMaximum(session, layout);
}

}  // namespace tolva::validate
