// Parameter text parsing and display of every parameter class: the first byte picks a parameter,
// then a text is parsed and a raw double shown into buffers of every small size. A parsed value is
// a normalized value in 0..1; a failed parse leaves NaN.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "plugin/MultibandComp.h"

namespace {

namespace pc = plugkit::client;
namespace core = plugkit::core;

// The plug-in's own parameters followed by one of every class it does not use.
std::vector<pc::Parameter*> makeParameters() {
    static pc::Client* client = pc::Client::create<plugin::MultibandComp>();
    std::vector<pc::Parameter*> all(client->params(), client->params() + client->paramCount());
    static const char* const modes[] = {"A", "Bb", "long entry name"};
    all.push_back(core::mallocNew<pc::IntegerParameter>(0, "Steps", "", -10, 10, 0));
    all.push_back(core::mallocNew<pc::EnumParameter>(1, "Mode", modes, 3, 1));
    all.push_back(core::mallocNew<pc::BoolParameter>(2, "Switch", false));
    all.push_back(core::mallocNew<pc::GainParameter>(3, "Out", 12.0, 0.0, 2.0));
    all.push_back(core::mallocNew<pc::PowFloatParameter>(4, "Curve", "ms", 1.0, 101.0, 26.0, 2.0));
    all.push_back(core::mallocNew<pc::LogFloatParameter>(5, "Freq", "Hz", 20.0, 20000.0, 200.0));
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // Kept for the whole run (never destroyed, so the parameters stay reachable).
    static const std::vector<pc::Parameter*>& params = *new std::vector<pc::Parameter*>(makeParameters());
    FuzzInput in{data, size};
    pc::Parameter* p = params[in.byte() % params.size()];
    const double raw = in.value<double>();
    const std::string text = in.text(80);

    double n = 0.5;
    if (p->normalizedValueFromString(text.c_str(), n)) {
        if (!(n >= 0.0 && n <= 1.0)) std::abort();
    } else if (!std::isnan(n)) {
        std::abort();
    }
    char buffer[40];
    for (int bytes = 1; bytes <= 40; bytes += 3) {
        p->stringFromNormalizedValue(raw, buffer, bytes);
        p->toDisplayN(buffer, bytes);
    }
    p->setNormalized(raw);
    const double now = p->getNormalized();
    if (!(now >= 0.0 && now <= 1.0)) std::abort();
    return 0;
}
