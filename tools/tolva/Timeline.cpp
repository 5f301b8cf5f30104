#include "tools/tolva/Timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "plugkit/aax/sdk/AAXEntryPoints.h"

namespace tolva {

namespace {

int64_t sampleAt(double seconds, double rate) { return static_cast<int64_t>(std::llround(seconds * rate)); }

std::string plainText(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

}  // namespace

bool Timeline::build(const Options& options, const host::PluginLibrary& lib,
                     const host::PluginInstance& instance, double rate, std::string& error) {
    for (const TimedChange& c : options.changes) {
        Event e;
        e.sample = sampleAt(c.seconds, rate);
        if (!resolveChange(c, lib, instance, e, error)) return false;
        events_.push_back(std::move(e));
    }
    std::stable_sort(events_.begin(), events_.end(),
                     [](const Event& a, const Event& b) { return a.sample < b.sample; });
    for (const Ramp& r : options.ramps) {
        const host::ParameterInfo* p = instance.findParameter(r.name);
        if (!p || p->id == instance.masterBypassId()) {
            error = "unknown parameter '" + r.name + "' in --ramp";
            return false;
        }
        double normalized = 0;
        for (double v : {r.from, r.to})
            if (instance.valueFromString(p->id, plainText(v), normalized) != 0) {
                error = "invalid value '" + plainText(v) + "' for parameter '" + p->name + "' in --ramp";
                return false;
            }
        Track t;
        t.start = sampleAt(r.start, rate);
        t.end = std::max(sampleAt(r.end, rate), t.start + 1);
        t.id = p->id;
        t.from = r.from;
        t.to = r.to;
        ramps_.push_back(t);
    }
    return true;
}

bool Timeline::resolveChange(const TimedChange& c, const host::PluginLibrary& lib,
                             const host::PluginInstance& instance, Event& e, std::string& error) {
    if (c.name == "bypass") {
        if (c.value != "on" && c.value != "off") {
            error = "invalid --at bypass value '" + c.value + "' (expected on or off)";
            return false;
        }
        e.kind = Kind::Bypass;
        e.bypass = c.value == "on";
        return true;
    }
    if (c.name == "preset") {
        e.kind = Kind::Preset;
        for (const auto& p : lib.enumeratePresets())
            if (p.name == c.value && p.bytes.size() >= plugkit::aax::sdk::kPresetFileHeaderSize)
                e.chunk.assign(p.bytes.begin() + plugkit::aax::sdk::kPresetFileHeaderSize, p.bytes.end());
        if (e.chunk.empty()) error = "unknown preset '" + c.value + "' in --at";
        return !e.chunk.empty();
    }
    const host::ParameterInfo* p = instance.findParameter(c.name);
    if (!p) {
        error = "unknown parameter '" + c.name + "' in --at";
        return false;
    }
    if (instance.valueFromString(p->id, c.value, e.normalized) != 0) {
        error = "invalid value '" + c.value + "' for parameter '" + p->name + "' in --at";
        return false;
    }
    e.id = p->id;
    return true;
}

int64_t Timeline::nextAfter(int64_t position) const {
    int64_t next = std::numeric_limits<int64_t>::max();
    for (std::size_t i = next_; i < events_.size(); ++i)
        if (events_[i].sample > position) {
            next = events_[i].sample;
            break;
        }
    for (const Track& t : ramps_) {
        if (t.start > position) next = std::min(next, t.start);
        if (t.end > position) next = std::min(next, t.end);
    }
    return next;
}

void Timeline::setPlain(host::PluginInstance& instance, const Track& track, double plain) {
    double normalized = 0;
    if (instance.valueFromString(track.id, plainText(plain), normalized) == 0)
        instance.host().PostSetValueRequest(track.id.c_str(), normalized);
}

void Timeline::apply(int64_t position, bool hostBlockStart, host::PluginInstance& instance) {
    for (; next_ < events_.size() && events_[next_].sample <= position; ++next_) {
        const Event& e = events_[next_];
        switch (e.kind) {
            case Kind::Parameter:
                instance.host().PostTouchRequest(e.id.c_str());
                instance.host().PostSetValueRequest(e.id.c_str(), e.normalized);
                instance.host().PostReleaseRequest(e.id.c_str());
                break;
            case Kind::Preset:
                instance.setChunk(e.chunk);
                break;
            case Kind::Bypass:
                instance.setBypass(e.bypass);
                break;
        }
    }
    for (Track& t : ramps_) {
        if (t.finished || position < t.start) continue;
        if (!t.touched) {
            instance.host().PostTouchRequest(t.id.c_str());
            t.touched = true;
        }
        if (position >= t.end) {
            setPlain(instance, t, t.to);
            instance.host().PostReleaseRequest(t.id.c_str());
            t.finished = true;
            ++finishedRamps_;
        } else if (position == t.start || hostBlockStart) {
            const double share =
                static_cast<double>(position - t.start) / static_cast<double>(t.end - t.start);
            setPlain(instance, t, t.from + (t.to - t.from) * share);
        }
    }
}

}  // namespace tolva
