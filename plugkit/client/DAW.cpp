#include <cstring>

#include "plugkit/client/ClientTypes.h"

namespace plugkit::client {

namespace {

struct DawRule {
    const char* word;
    DAW daw;
};

// Checked in this order: the first word found wins (so "cubase" beats "digital").
constexpr DawRule kRules[] = {
    {"reaper", DAW::reaper},
    {"cubase", DAW::cubase},
    {"nuendo", DAW::nuendo},
    {"cakewalk", DAW::cakewalk},
    {"samplitude", DAW::samplitude},
    {"fruity", DAW::fruity},
    {"live", DAW::live},
    {"melodyne", DAW::melodyne},
    {"vstmanlib", DAW::vstmanlib},
    {"aulab", DAW::aulab},
    {"garageband", DAW::garageband},
    {"forte", DAW::forte},
    {"chainer", DAW::chainer},
    {"audition", DAW::audition},
    {"orion", DAW::orion},
    {"sawstudio", DAW::sawstudio},
    {"logic", DAW::logic},
    {"digital", DAW::digital},
    {"audiomulch", DAW::audiomulch},
    {"presonus", DAW::presonus},
    {"vst3plugintesthost", DAW::vst3plugintesthost},
    {"protools", DAW::protools},
    {"ardour", DAW::ardour},
    {"standalone", DAW::standalone},
};

}  // namespace

DAW identifyDAW(const char* hostName) noexcept {
    if (!hostName) return DAW::unknown;
    for (const DawRule& rule : kRules)
        if (std::strstr(hostName, rule.word)) return rule.daw;
    return DAW::unknown;
}

}  // namespace plugkit::client
