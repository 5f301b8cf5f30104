#pragma once

#include <atomic>

#include "dsp/util/MovingAverage.h"
#include "plugin/IBandLevelSink.h"
#include "plugkit/client/Parameter.h"
#include "plugkit/graphics/Font.h"
#include "plugkit/gui/UIBufferedElementRaw.h"

namespace tolvadisplay {

using plugkit::client::FloatParameter;
using plugkit::client::Parameter;
using plugkit::graphics::Box;
using plugkit::graphics::Font;
using plugkit::graphics::ImageRef;
using plugkit::graphics::L8;
using plugkit::graphics::RGBA8;
using plugkit::gui::MouseState;
using plugkit::gui::UIContext;

// The crossover and band display: the width is split into the four bands at the columns of the
// crossover parameters' normalised values; each band shows a bar of its smoothed input level, the
// part of it that the compressor removed (darker) and a mark at its threshold, with the levels as
// text along the bottom. Three handles drag F1, F2 and F3 through the editor path of the
// parameters. Levels map -36 dB to the bottom row and 0 dB to the top.
//
// Band levels come from the audio thread (IBandLevelSink) and are published as single atomic
// values; the audio thread only raises a flag, and the display marks itself dirty on its next
// animation tick, so that the audio thread never takes the dirty list's lock.
class TolvaDisplay : public plugkit::gui::UIBufferedElementRaw,
                     public plugkit::client::IParameterListener,
                     public plugin::IBandLevelSink {
public:
    static constexpr int kNumBands = 4;
    static constexpr int handleHalfSize = 11;
    static constexpr int kAverageLength = 50;
    static constexpr RGBA8 kBarColor{255, 80, 0, 255};
    static constexpr RGBA8 emptyColor{0, 0, 0, 0};
    static constexpr RGBA8 markColor{0, 255, 242, 255};

    // [editor thread] Listens to the four thresholds and the three crossovers, and remembers the
    // crossovers' normalised values of this moment for the level captions. handleImage (22 x 22,
    // RGBA8), the parameters and the font are not owned and must outlive the display.
    TolvaDisplay(UIContext* context, FloatParameter* f1, FloatParameter* f2, FloatParameter* f3,
                 FloatParameter* thresholdL, FloatParameter* thresholdLM, FloatParameter* thresholdHM,
                 FloatParameter* thresholdH, Font* font, ImageRef<const RGBA8> handleImage);
    // [editor thread] Removes the listener registrations.
    ~TolvaDisplay() override;

    // [audio thread, editor held] Smooths the linear band levels over the last 50 blocks and
    // publishes them in dB and as bar heights. Non-finite or negative levels count as silence.
    // No allocation, lock or system call.
    void setInputValues(const float levels[kNumBands]) override;
    void setOutputValues(const float levels[kNumBands]) override;

    // [editor thread] Takes the position and remembers its height for the level intake.
    void reflow(Box availableSpace) override;

    // [any thread but audio] A threshold or crossover changed: redraw at the next animation tick.
    void onParameterChanged(Parameter* parameter) override;
    void onBeginParameterEdit(Parameter*) override {}
    void onEndParameterEdit(Parameter*) override {}

    // [editor thread] Marks the display dirty when levels or thresholds changed since the last tick.
    void onAnimate(double dt, double time) override;

    // [any thread] Column of a crossover parameter (lock-free read) or of a normalised value:
    // n * (width - 1), clamped to [0, width - 1] and truncated.
    int getPosition(FloatParameter* param) const;
    int getPosition(float normalized) const;

    // [editor thread] Any click inside takes the drag.
    bool onMouseClick(int x, int y, int button, bool isDoubleClick, MouseState mstate) override;
    // [editor thread] Opens an edit gesture on F1, F2 and F3.
    void onBeginDrag() override;
    // [editor thread] Takes the handle under the pointer (within the handle rows) and moves it by
    // dx, keeping one handle width from its neighbours and half a handle from the edges.
    void onMouseDrag(int x, int y, int dx, int dy, MouseState mstate) override;
    // [editor thread] Closes the three gestures and releases the handle.
    void onStopDrag() override;

    // [editor or pool thread] Draws bars, threshold marks, handles and level captions.
    void onDrawBufferedRaw(ImageRef<RGBA8> rawMap, ImageRef<L8> opacity) override;

    // [any thread] Published values, for tests and tools.
    float inputDb(int band) const { return inputDb_[band].load(std::memory_order_relaxed); }
    float outputDb(int band) const { return outputDb_[band].load(std::memory_order_relaxed); }
    int inputPos(int band) const { return inputPos_[band].load(std::memory_order_relaxed); }
    int outputPos(int band) const { return outputPos_[band].load(std::memory_order_relaxed); }
    int handlePos(int i) const { return handlePos_[i]; }
    bool isDraggingHandle(int i) const { return dragging_[i]; }

private:
    using Averages = dsp::MovingAverage<float>;

    void takeLevels(const float levels[kNumBands], Averages* const averages[kNumBands],
                    std::atomic<float>* db, std::atomic<int>* pos);
    void updateHandlePositions();
    void moveHandle(FloatParameter* param, int x, int dx, int lower, int upper);
    void drawBar(ImageRef<RGBA8> raw, int x1, int x2, int inPos, int outPos, float thresholdDb, RGBA8 color);
    void drawHandle(ImageRef<RGBA8> raw, int pos, FloatParameter* param, bool dragging);
    void drawMeterLabels(ImageRef<RGBA8> raw, int left, int right, float inDb, float outDb);
    // The dragged handle's value text (without unit) and a space, in valueText_.
    const char* paramString(FloatParameter* param);

    FloatParameter* crossoverParams_[3];
    FloatParameter* thresholdParams_[kNumBands];
    Font* font_;
    ImageRef<const RGBA8> handleImage_;
    int handlePos_[3] = {0, 0, 0};
    float openPositions_[3];
    std::atomic<int> inputPos_[kNumBands];
    std::atomic<int> outputPos_[kNumBands];
    std::atomic<float> inputDb_[kNumBands];
    std::atomic<float> outputDb_[kNumBands];
    bool dragging_[3] = {false, false, false};
    char valueText_[128] = {};
    Averages* inputAverages_[kNumBands];
    Averages* outputAverages_[kNumBands];
    // The height the audio thread scales bar heights with (the position belongs to the editor thread).
    std::atomic<int> levelHeight_{0};
    // Raised by the audio thread and by threshold changes, consumed by onAnimate.
    std::atomic<bool> redrawPending_{true};
    static_assert(std::atomic<int>::is_always_lock_free && std::atomic<float>::is_always_lock_free);
};

}  // namespace tolvadisplay
