#include "host/DemoMix.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace host {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Small deterministic noise source (xorshift32), uniform in [-1, 1).
class Noise {
public:
    float next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<float>(static_cast<double>(state_) / 2147483648.0 - 1.0);
    }

private:
    uint32_t state_ = 0x9E3779B9u;
};

// Adds src scaled by the pan law into both channels from frame `at`.
void mixIn(AudioData& mix, std::size_t at, const std::vector<float>& src, float gain, float pan) {
    const float left = gain * static_cast<float>(std::cos((pan + 1.0) * kPi / 4.0));
    const float right = gain * static_cast<float>(std::sin((pan + 1.0) * kPi / 4.0));
    auto& l = mix.samples[0];
    auto& r = mix.samples[1];
    for (std::size_t i = 0; i < src.size() && at + i < l.size(); ++i) {
        l[at + i] += left * src[i];
        r[at + i] += right * src[i];
    }
}

std::vector<float> kick(double sr) {
    std::vector<float> out(static_cast<std::size_t>(0.45 * sr));
    double phase = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / sr;
        const double freq = 45.0 + 110.0 * std::exp(-t * 30.0);
        phase += 2.0 * kPi * freq / sr;
        out[i] = static_cast<float>(std::sin(phase) * std::exp(-t * 7.0));
    }
    return out;
}

std::vector<float> snare(double sr, Noise& noise) {
    std::vector<float> out(static_cast<std::size_t>(0.25 * sr));
    float lp = 0.0f;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / sr;
        const float n = noise.next();
        lp += 0.5f * (n - lp);
        const double body = std::sin(2.0 * kPi * 185.0 * t) * std::exp(-t * 25.0);
        out[i] = static_cast<float>(0.6 * body + 0.7 * lp * std::exp(-t * 14.0));
    }
    return out;
}

std::vector<float> hat(double sr, Noise& noise, double length) {
    std::vector<float> out(static_cast<std::size_t>(length * sr));
    float prev = 0.0f;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / sr;
        const float n = noise.next();
        const float hp = n - prev;  // first difference: a crude high-pass
        prev = n;
        out[i] = static_cast<float>(0.5 * hp * std::exp(-t * 60.0 / (length * 10.0)));
    }
    return out;
}

std::vector<float> bassNote(double sr, double freq, double length) {
    std::vector<float> out(static_cast<std::size_t>(length * sr));
    double phase = 0.0;
    float lp = 0.0f;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / sr;
        phase += freq / sr;
        phase -= std::floor(phase);
        const float saw = static_cast<float>(2.0 * phase - 1.0);
        lp += 0.08f * (saw - lp);
        const double env =
            std::min(1.0, t * 200.0) * std::exp(-t * 3.0) * std::min(1.0, (length - t) * 200.0);
        out[i] = static_cast<float>(lp * env + 0.5 * std::sin(2.0 * kPi * phase) * env);
    }
    return out;
}

}  // namespace

AudioData makeDemoMix(double seconds, double sampleRate) {
    AudioData mix;
    mix.channels = 2;
    mix.sampleRate = sampleRate;
    const auto frames = static_cast<std::size_t>(std::max(0.0, seconds) * sampleRate);
    mix.samples.assign(2, std::vector<float>(frames, 0.0f));

    Noise noise;
    const double beat = 0.5;  // 120 beats per minute
    const double sixteenth = beat / 4.0;
    const auto kickSound = kick(sampleRate);
    const auto snareSound = snare(sampleRate, noise);
    const double bassLine[8] = {41.2, 41.2, 55.0, 41.2, 49.0, 49.0, 36.7, 43.65};  // E1 A1 G1 D1 F1

    const auto steps = static_cast<int>(seconds / sixteenth);
    for (int s = 0; s < steps; ++s) {
        const auto at = static_cast<std::size_t>(s * sixteenth * sampleRate);
        const int inBar = s % 16;
        if (inBar == 0 || inBar == 8 || inBar == 10) mixIn(mix, at, kickSound, 0.9f, 0.0f);
        if (inBar == 4 || inBar == 12) mixIn(mix, at, snareSound, 0.6f, 0.1f);
        if (s % 2 == 0) {
            const bool open = inBar == 14;
            mixIn(mix, at, hat(sampleRate, noise, open ? 0.2 : 0.05), open ? 0.25f : 0.18f, 0.45f);
        }
        if (s % 4 == 0) {
            const double freq = bassLine[(s / 4) % 8];
            mixIn(mix, at, bassNote(sampleRate, freq, beat * 0.9), 0.45f, -0.1f);
        }
    }

    float peak = 0.0f;
    for (const auto& ch : mix.samples)
        for (float v : ch) peak = std::max(peak, std::fabs(v));
    if (peak > 0.0f) {
        const float scale = static_cast<float>(std::pow(10.0, -1.0 / 20.0)) / peak;
        for (auto& ch : mix.samples)
            for (float& v : ch) v *= scale;
    }
    return mix;
}

}  // namespace host
