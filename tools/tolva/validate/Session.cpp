#include "tools/tolva/validate/Session.h"

#include <cmath>
#include <cstdio>

#include "host/realtime/RealtimeProbe.h"

namespace tolva::validate {

std::string Layout::text() const { return std::to_string(inputs) + "in/" + std::to_string(outputs) + "out"; }

Buffers::Buffers(int channels, int64_t frames)
    : frames_(frames),
      data_(static_cast<std::size_t>(channels), std::vector<float>(static_cast<std::size_t>(frames), 0.0f)),
      ptrs_(static_cast<std::size_t>(channels), nullptr) {}

const float* const* Buffers::in(int64_t frame) { return out(frame); }

float* const* Buffers::out(int64_t frame) {
    for (std::size_t c = 0; c < data_.size(); ++c) ptrs_[c] = data_[c].data() + frame;
    return ptrs_.data();
}

void Buffers::fill(float value) {
    for (auto& ch : data_) std::fill(ch.begin(), ch.end(), value);
}

// ---------------------------------------------------------------------------------------------

Session::Session(std::string pluginPath, int strictness, uint64_t seed)
    : path_(std::move(pluginPath)), strictness_(strictness), rng_(seed) {}

Session::~Session() {
    if (library_) library_->close();
}

bool Session::open() {
    std::string error;
    library_ = host::PluginLibrary::open(path_, error);
    if (!library_) fail("load", error);
    return library_ != nullptr;
}

int32_t Session::close() {
    if (!library_) return 0;
    const int32_t live = library_->close();
    leaked_ = library_->leakedHostReferences();
    library_.reset();
    return live;
}

std::vector<Layout> Session::layouts() const {
    std::vector<Layout> out;
    for (const auto& c : library_->description().components) out.push_back({c.inputs(), c.outputs()});
    return out;
}

Layout Session::mainLayout() const {
    const auto all = layouts();
    for (const auto& l : all)
        if (l.inputs == 2 && l.outputs == 2) return l;
    return all.empty() ? Layout{} : all.front();
}

std::unique_ptr<host::PluginInstance> Session::instance(const Layout& layout, double rate,
                                                        const std::string& check) {
    std::string error;
    auto p = library_->createInstance(layout.inputs, layout.outputs, rate, error);
    if (!p)
        fail(check,
             "no instance for " + layout.text() + " at " + std::to_string(int(rate)) + " Hz: " + error);
    return p;
}

double Session::seconds(double atOne, double atTen) const {
    return atOne + (atTen - atOne) * (strictness_ - 1) / 9.0;
}

double Session::uniform() { return std::uniform_real_distribution<double>(0.0, 1.0)(rng_); }

void Session::print(const char* status, const std::string& check, const std::string& text) {
    std::printf("%-4s  %-34s %s\n", status, check.c_str(), text.c_str());
    std::fflush(stdout);
}

void Session::pass(const std::string& check, const std::string& detail) {
    ++passes_;
    print("PASS", check, detail);
}

void Session::fail(const std::string& check, const std::string& reason) {
    ++failures_;
    print("FAIL", check, reason);
}

void Session::skip(const std::string& check, const std::string& reason) { print("SKIP", check, reason); }

// ---------------------------------------------------------------------------------------------

void makeTestSignal(Buffers& buffers, double rate, float amplitude, uint64_t seed) {
    std::mt19937 noise(static_cast<uint32_t>(seed));
    std::uniform_real_distribution<float> white(-1.0f, 1.0f);
    const double twoPi = 6.283185307179586;
    for (int c = 0; c < buffers.channels(); ++c) {
        auto& x = buffers.channel(c);
        const double f1 = 110.0 * (c + 1), f2 = std::min(3100.0, rate * 0.3);
        for (std::size_t n = 0; n < x.size(); ++n) {
            const double t = static_cast<double>(n) / rate;
            const double v =
                0.55 * std::sin(twoPi * f1 * t + c) + 0.3 * std::sin(twoPi * f2 * t) + 0.15 * white(noise);
            x[n] = amplitude * static_cast<float>(v);
        }
    }
}

void renderRange(host::PluginInstance& instance, Buffers& in, Buffers& out, int block, int64_t from,
                 int64_t to, bool audioThread) {
    for (int64_t done = from; done < to; done += block) {
        const int64_t n = std::min<int64_t>(block, to - done);
        const float* const* inPtrs = in.in(done);
        float* const* outPtrs = out.out(done);
        if (audioThread) {
            host::realtime::AudioThreadMark mark;
            instance.render(inPtrs, outPtrs, n);
        } else {
            instance.render(inPtrs, outPtrs, n);
        }
    }
}

bool allFinite(const Buffers& out, int64_t from, int64_t to, int64_t& first) {
    for (int64_t n = from; n < to; ++n)
        for (int c = 0; c < out.channels(); ++c)
            if (!std::isfinite(out.channel(c)[static_cast<std::size_t>(n)])) {
                first = n;
                return false;
            }
    return true;
}

float peak(const Buffers& out, int64_t from, int64_t to) {
    float p = 0.0f;
    for (int c = 0; c < out.channels(); ++c)
        for (int64_t n = from; n < to; ++n)
            p = std::max(p, std::fabs(out.channel(c)[static_cast<std::size_t>(n)]));
    return p;
}

double rms(const Buffers& out, int64_t from, int64_t to) {
    double sum = 0.0;
    for (int c = 0; c < out.channels(); ++c)
        for (int64_t n = from; n < to; ++n) {
            const double v = out.channel(c)[static_cast<std::size_t>(n)];
            sum += v * v;
        }
    const double count = static_cast<double>(std::max<int64_t>(1, (to - from) * out.channels()));
    return std::sqrt(sum / count);
}

std::string dbText(double amplitude) {
    if (!(amplitude > 0.0)) return std::isnan(amplitude) ? "NaN" : "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", 20.0 * std::log10(amplitude));
    return text;
}

void randomize(Session& session, host::PluginInstance& instance) {
    for (const auto& p : instance.parameters())
        if (p.id != instance.masterBypassId()) instance.setNormalized(p.id, session.uniform());
}

}  // namespace tolva::validate
