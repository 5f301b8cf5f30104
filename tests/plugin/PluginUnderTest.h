#pragma once

// The plug-in as the plug-in tests drive it: created and destroyed through the client, parameters
// set by plain value, audio rendered through the host entry in host blocks; and a test tone.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "plugin/MultibandComp.h"
#include "plugkit/core/AlignedAlloc.h"

namespace plugin::testing {

using plugkit::client::FloatParameter;
using plugkit::client::TimeInfo;

struct Plugin {
    MultibandComp* p = plugkit::client::Client::create<MultibandComp>();
    ~Plugin() { plugkit::core::destroyFree(p); }
    MultibandComp* operator->() const { return p; }

    void setPlain(int index, double value) {
        auto* f = static_cast<FloatParameter*>(p->param(index));
        f->setFromHost(f->toNormalized(value));
    }
    void setBool(int index, bool on) { p->param(index)->setFromHost(on ? 1.0 : 0.0); }
    void allRatiosOne() {
        for (int b = 0; b < 4; ++b) setPlain(5 * b + MultibandComp::kRatio, 1.0);
    }
    // Renders the channels through the host entry with host blocks of blockSize frames.
    std::vector<std::vector<float>> render(const std::vector<std::vector<float>>& in, int numOutputs = 2,
                                           int blockSize = 512) {
        const int frames = static_cast<int>(in[0].size());
        std::vector<std::vector<float>> out(static_cast<std::size_t>(numOutputs),
                                            std::vector<float>(frames, 123.0f));
        for (int start = 0; start < frames; start += blockSize) {
            const int n = std::min(blockSize, frames - start);
            float* ins[2];
            float* outs[2];
            for (std::size_t c = 0; c < in.size(); ++c) ins[c] = const_cast<float*>(in[c].data()) + start;
            for (int c = 0; c < numOutputs; ++c) outs[c] = out[static_cast<std::size_t>(c)].data() + start;
            p->processAudioFromHost(ins, outs, n, TimeInfo{});
        }
        return out;
    }
};

inline std::vector<float> sine(double f, double rate, int frames, double amp = 0.5) {
    std::vector<float> v(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        v[i] = static_cast<float>(amp * std::sin(2 * std::numbers::pi * f * i / rate));
    return v;
}

}  // namespace plugin::testing
