#pragma once

#include <array>
#include <limits>
#include <type_traits>

#include "dsp/filter/Allpass.h"
#include "dsp/filter/LinkwitzRileyHP.h"
#include "dsp/filter/LinkwitzRileyLP.h"

namespace dsp {

// Four-band Linkwitz-Riley crossover of one channel at F1 < F2 < F3: the input splits at F1, the
// high part at F2, its high part at F3. All-passes give the two lower bands the phase of the
// splits they do not go through, and bands 2 and 4 are negated, so the plain sum of the four bands
// is nearly flat. The sections are members: the object is the whole state of one channel's split.
template <typename T>
class FourBandCrossover {
public:
    static constexpr int kNumBands = 4;

    // [audio thread] Sets every section to the rate and clears its state; the all-passes are
    // re-tuned on the next setFrequencies whatever its frequencies.
    void setSampleRate(T rate) {
        for (BiQuad<T>* s : splitsOf(*this)) s->setSampleRate(rate);
        for (Allpass<T>* a : allpassesOf(*this)) a->setSampleRate(rate);
        allpassMidFrequency = allpassHighFrequency = std::numeric_limits<T>::quiet_NaN();
    }

    // [audio thread] Moves the split frequencies; the state is kept so they can change while audio
    // runs. The all-passes' coefficients depend only on their frequency and the rate (which changes
    // only in setSampleRate), so they are recomputed only when their frequency changes.
    void setFrequencies(T f1, T f2, T f3) {
        lowLP.setFrequency(f1);
        lowHP.setFrequency(f1);
        midLP.setFrequency(f2);
        midHP.setFrequency(f2);
        highLP.setFrequency(f3);
        highHP.setFrequency(f3);
        if (!(f2 == allpassMidFrequency)) lowAllpassMid.setFrequency(f2);
        if (!(f3 == allpassHighFrequency)) {
            lowAllpassHigh.setFrequency(f3);
            lowMidAllpassHigh.setFrequency(f3);
        }
        allpassMidFrequency = f2;
        allpassHighFrequency = f3;
    }

    // [audio thread] Splits one sample into band[0] (lowest) to band[3]. Never allocates.
    void process(T x, T band[kNumBands]) {
        band[0] = lowAllpassHigh.getNextSample(lowAllpassMid.getNextSample(lowLP.getNextSample(x)));
        const T h = lowHP.getNextSample(x);
        band[1] = -lowMidAllpassHigh.getNextSample(midLP.getNextSample(h));
        const T h2 = midHP.getNextSample(h);
        band[2] = highLP.getNextSample(h2);
        band[3] = -highHP.getNextSample(h2);
    }

    // [audio thread] True when no section holds an infinite or NaN state.
    bool hasFiniteState() const {
        bool finite = true;
        for (const BiQuad<T>* s : splitsOf(*this)) finite = finite && s->hasFiniteState();
        for (const Allpass<T>* a : allpassesOf(*this)) finite = finite && a->hasFiniteState();
        return finite;
    }
    // [audio thread] Clears the state of every section whose state is infinite or NaN.
    void clearNonFiniteState() {
        for (BiQuad<T>* s : splitsOf(*this))
            if (!s->hasFiniteState()) s->reset();
        for (Allpass<T>* a : allpassesOf(*this))
            if (!a->hasFiniteState()) a->reset();
    }

private:
    friend struct FourBandCrossoverLaneAccess;

    // The six splits and the three all-passes of self (const or not).
    template <typename Self>
    static auto splitsOf(Self& self) {
        using Section = std::conditional_t<std::is_const_v<Self>, const BiQuad<T>, BiQuad<T>>;
        return std::array<Section*, 6>{&self.lowLP, &self.lowHP,  &self.midLP,
                                       &self.midHP, &self.highLP, &self.highHP};
    }
    template <typename Self>
    static auto allpassesOf(Self& self) {
        using Section = std::conditional_t<std::is_const_v<Self>, const Allpass<T>, Allpass<T>>;
        return std::array<Section*, 3>{&self.lowAllpassMid, &self.lowAllpassHigh, &self.lowMidAllpassHigh};
    }

    LinkwitzRileyLP<T> lowLP, midLP, highLP;
    LinkwitzRileyHP<T> lowHP, midHP, highHP;
    Allpass<T> lowAllpassMid;      // band 1 at F2
    Allpass<T> lowAllpassHigh;     // band 1 at F3
    Allpass<T> lowMidAllpassHigh;  // band 2 at F3
    // All-pass frequencies last set (NaN after setSampleRate).
    T allpassMidFrequency = std::numeric_limits<T>::quiet_NaN();
    T allpassHighFrequency = std::numeric_limits<T>::quiet_NaN();
};

}  // namespace dsp
