#include "tolvadisplay/TolvaDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/graphics/TextRendering.h"

namespace tolvadisplay {

using plugkit::graphics::HorizontalAlignment;
using plugkit::graphics::VerticalAlignment;

namespace {

constexpr float kFloorDb = -36.0f;  // bottom row; levels below show as -inf
constexpr float kSilentDb = -96.0f;

int clampInt(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

std::uint8_t clampByte(int v) { return static_cast<std::uint8_t>(clampInt(v, 0, 255)); }

// ((s * a + d * (255 - a)) * 32897) >> 23 per channel: the image blend of the editor's widgets.
RGBA8 blendOver(RGBA8 s, RGBA8 d) {
    const int a = s.a;
    RGBA8 out;
    for (int c = 0; c < 4; ++c) out[c] = clampByte(((s[c] * a + d[c] * (255 - a)) * 32897) >> 23);
    return out;
}

// Bar height in pixels of a level in dB for a display of the given height.
int barHeight(float db, int height) {
    return static_cast<int>(std::roundf((db - kFloorDb) / -kFloorDb * static_cast<float>(height)));
}

}  // namespace

TolvaDisplay::TolvaDisplay(UIContext* context, FloatParameter* f1, FloatParameter* f2, FloatParameter* f3,
                           FloatParameter* thresholdL, FloatParameter* thresholdLM,
                           FloatParameter* thresholdHM, FloatParameter* thresholdH, Font* font,
                           ImageRef<const RGBA8> handleImage)
    : UIBufferedElementRaw(context, plugkit::gui::flagRaw | plugkit::gui::flagAnimated),
      crossoverParams_{f1, f2, f3},
      thresholdParams_{thresholdL, thresholdLM, thresholdHM, thresholdH},
      font_(font),
      handleImage_(handleImage) {
    // The crossovers too: a host or preset change of F1..F3 must move the handles even while no
    // audio runs (otherwise nothing would redraw the display).
    for (FloatParameter* p : thresholdParams_) p->addListener(this);
    for (FloatParameter* p : crossoverParams_) p->addListener(this);
    for (int i = 0; i < 3; ++i) {
        FloatParameter* p = crossoverParams_[i];
        openPositions_[i] = static_cast<float>(p->toNormalized(p->valueAtomic()));
    }
    // Every band starts silent, so that no caption shows a level before audio has run.
    for (int k = 0; k < kNumBands; ++k) {
        inputDb_[k].store(kSilentDb, std::memory_order_relaxed);
        outputDb_[k].store(kSilentDb, std::memory_order_relaxed);
        inputPos_[k].store(0, std::memory_order_relaxed);
        outputPos_[k].store(0, std::memory_order_relaxed);
        inputAverages_[k] = plugkit::core::mallocNew<Averages>(kAverageLength, std::size_t{kAverageLength});
        outputAverages_[k] = plugkit::core::mallocNew<Averages>(kAverageLength, std::size_t{kAverageLength});
    }
}

TolvaDisplay::~TolvaDisplay() {
    for (FloatParameter* p : thresholdParams_) p->removeListener(this);
    for (FloatParameter* p : crossoverParams_) p->removeListener(this);
    for (int k = 0; k < kNumBands; ++k) {
        plugkit::core::destroyFree(inputAverages_[k]);
        plugkit::core::destroyFree(outputAverages_[k]);
    }
}

// --- Level intake (audio thread) ---------------------------------------------------------------------

void TolvaDisplay::takeLevels(const float levels[kNumBands], Averages* const averages[kNumBands],
                              std::atomic<float>* db, std::atomic<int>* pos) {
    const int h = levelHeight_.load(std::memory_order_relaxed);
    for (int k = 0; k < kNumBands; ++k) {
        // A NaN would stay in the running mean for good; a broken level reads as silence instead.
        const float level = std::isfinite(levels[k]) && levels[k] > 0.0f ? levels[k] : 0.0f;
        float s = averages[k]->process(level);
        s = std::min(std::max(s, 0.00001f), 1.996f);  // -100 dB .. +6 dB
        const float d = 20.0f * std::log10(s);
        db[k].store(d, std::memory_order_relaxed);
        pos[k].store(barHeight(d, h), std::memory_order_relaxed);
    }
    redrawPending_.store(true, std::memory_order_release);
}

void TolvaDisplay::setInputValues(const float levels[kNumBands]) {
    takeLevels(levels, inputAverages_, inputDb_, inputPos_);
}

void TolvaDisplay::setOutputValues(const float levels[kNumBands]) {
    takeLevels(levels, outputAverages_, outputDb_, outputPos_);
}

void TolvaDisplay::reflow(Box availableSpace) {
    UIBufferedElementRaw::reflow(availableSpace);
    levelHeight_.store(height(), std::memory_order_relaxed);
}

void TolvaDisplay::onParameterChanged(Parameter*) { redrawPending_.store(true, std::memory_order_release); }

void TolvaDisplay::onAnimate(double, double) {
    if (redrawPending_.exchange(false, std::memory_order_acquire)) setDirtyWhole();
}

// --- Positions and dragging (editor thread) ----------------------------------------------------------

int TolvaDisplay::getPosition(float normalized) const {
    const int w = std::max(width() - 1, 0);
    const float x = normalized * static_cast<float>(w);
    if (!(x > 0.0f)) return 0;  // NaN too
    if (x >= static_cast<float>(w)) return w;
    return static_cast<int>(x);
}

int TolvaDisplay::getPosition(FloatParameter* param) const {
    return getPosition(static_cast<float>(param->toNormalized(param->valueAtomic())));
}

void TolvaDisplay::updateHandlePositions() {
    for (int i = 0; i < 3; ++i) handlePos_[i] = getPosition(crossoverParams_[i]);
}

bool TolvaDisplay::onMouseClick(int, int, int, bool, MouseState) { return true; }

void TolvaDisplay::onBeginDrag() {
    for (FloatParameter* p : crossoverParams_) p->beginParamEdit();
    setDirtyWhole();
}

void TolvaDisplay::onStopDrag() {
    for (FloatParameter* p : crossoverParams_) p->endParamEdit();
    for (bool& d : dragging_) d = false;
    setDirtyWhole();
}

void TolvaDisplay::onMouseDrag(int x, int y, int dx, int, MouseState) {
    if (x < 1 || x >= width()) return;
    updateHandlePositions();
    const int hs = handleHalfSize;
    const int mid = (height() - 1) / 2;
    const bool taken = dragging_[0] || dragging_[1] || dragging_[2];
    if (!taken && y >= mid - 2 * hs && y <= mid + 2 * hs) {
        // The rightmost handle wins where two overlap, so a handle pushed onto its left neighbour
        // can always be pulled back.
        for (int i = 2; i >= 0; --i) {
            if (x >= handlePos_[i] - hs && x <= handlePos_[i] + hs) {
                dragging_[i] = true;
                break;
            }
        }
    }
    const int w = width() - 1;
    const int* p = handlePos_;
    if (dragging_[0]) moveHandle(crossoverParams_[0], x, dx, hs, p[1] - 2 * hs);
    if (dragging_[1]) moveHandle(crossoverParams_[1], x, dx, p[0] + 2 * hs, p[2] - 2 * hs);
    if (dragging_[2]) moveHandle(crossoverParams_[2], x, dx, p[1] + 2 * hs, w - hs);
}

void TolvaDisplay::moveHandle(FloatParameter* param, int, int dx, int lower, int upper) {
    const double n = param->toNormalized(param->valueAtomic());
    const float w = static_cast<float>(width());
    double moved = n + static_cast<double>(static_cast<float>(dx) / w);
    moved = std::min(static_cast<double>(static_cast<float>(upper) / w),
                     std::max(static_cast<double>(static_cast<float>(lower) / w), moved));
    if (moved == n) return;
    param->setFromGUI(param->fromNormalized(moved));
}

// --- Drawing ------------------------------------------------------------------------------------------

void TolvaDisplay::onDrawBufferedRaw(ImageRef<RGBA8> raw, ImageRef<L8> opacity) {
    for (int y = 0; y < opacity.h; ++y) std::memset(opacity.row(y), 255, static_cast<std::size_t>(opacity.w));
    updateHandlePositions();
    const int w = raw.w - 1;
    // Band k covers columns bandStart[k] .. bandEnd[k] - 1: the column left of each handle, the last
    // column and the last row stay black.
    const int bandStart[kNumBands] = {0, handlePos_[0], handlePos_[1], handlePos_[2]};
    const int bandEnd[kNumBands] = {handlePos_[0] - 1, handlePos_[1] - 1, handlePos_[2] - 1, w};
    for (int k = 0; k < kNumBands; ++k) {
        drawBar(raw, bandStart[k], bandEnd[k], inputPos(k), outputPos(k),
                static_cast<float>(thresholdParams_[k]->value()), kBarColor);
    }
    for (int i = 0; i < 3; ++i) drawHandle(raw, handlePos_[i], crossoverParams_[i], dragging_[i]);
    // The captions stay where the bands were when the editor opened.
    const int q[5] = {0, getPosition(openPositions_[0]), getPosition(openPositions_[1]),
                      getPosition(openPositions_[2]), w};
    for (int k = 0; k < kNumBands; ++k) drawMeterLabels(raw, q[k], q[k + 1], inputDb(k), outputDb(k));
}

void TolvaDisplay::drawBar(ImageRef<RGBA8> raw, int x1, int x2, int inPos, int outPos, float thresholdDb,
                           RGBA8 color) {
    const int bottom = raw.h - 1;  // H: the last row stays black
    x1 = std::max(x1, 0);
    x2 = std::min(x2, raw.w);
    if (x2 <= x1 || bottom <= 0) return;
    const RGBA8 dark{clampByte(color.r - 100), clampByte(color.g - 100), clampByte(color.b - 100), color.a};
    const int half = (x2 - x1) / 2;
    for (int i = 0; i < bottom; ++i) {
        RGBA8* row = raw.row(i);
        if (i < bottom - inPos) {
            std::fill(row + x1, row + x2, emptyColor);
            continue;
        }
        const RGBA8 zone = i < bottom - outPos ? dark : color;
        for (int j = 0; j < x2 - x1; ++j) {
            const int shade = std::abs(j - half);
            row[x1 + j] = RGBA8{clampByte(zone.r - shade), clampByte(zone.g - shade),
                                clampByte(zone.b - shade), color.a};
        }
    }
    const int t =
        static_cast<int>(std::roundf((thresholdDb - kFloorDb) / -kFloorDb * static_cast<float>(bottom)));
    const int markRow = bottom - t;
    if (markRow >= 0 && markRow < bottom) std::fill(raw.row(markRow) + x1, raw.row(markRow) + x2, markColor);
    for (int r : {markRow - 1, markRow + 1}) {
        if (r < 0 || r >= bottom) continue;
        raw.row(r)[x1] = markColor;
        raw.row(r)[x2 - 1] = markColor;
    }
}

void TolvaDisplay::drawHandle(ImageRef<RGBA8> raw, int pos, FloatParameter* param, bool dragging) {
    const int hs = handleHalfSize;
    const int mid = (raw.h - 1) / 2;
    const int left = pos - hs, top = mid - hs;
    const int w = raw.w - 1;
    for (int y = std::max(top, 0); y < std::min(mid + hs, raw.h); ++y) {
        if (y - top >= handleImage_.h) break;
        RGBA8* row = raw.row(y);
        const RGBA8* src = handleImage_.row(y - top);
        for (int x = std::max(left, 0); x < std::min(pos + hs, w); ++x) {
            if (x - left >= handleImage_.w) break;
            row[x] = blendOver(src[x - left], row[x]);
        }
    }
    if (!dragging || !font_) return;
    const float cx = static_cast<float>(std::max(std::min(pos + 22, raw.w), 0));
    plugkit::graphics::fillText(raw, *font_, paramString(param), 12.0f, 0.5f, RGBA8{200, 200, 200, 255}, cx,
                                static_cast<float>(mid + 2 * hs + 5), HorizontalAlignment::center,
                                VerticalAlignment::center);
}

const char* TolvaDisplay::paramString(FloatParameter* param) {
    param->toDisplayN(valueText_, sizeof valueText_ - 1);
    const std::size_t n = std::strlen(valueText_);
    valueText_[n] = ' ';
    valueText_[n + 1] = '\0';
    return valueText_;
}

void TolvaDisplay::drawMeterLabels(ImageRef<RGBA8> raw, int left, int right, float inDb, float outDb) {
    left = std::max(left, 0);
    right = std::min(right, raw.w);
    for (int y = std::max(raw.h - 20, 0); y < raw.h; ++y) {
        RGBA8* row = raw.row(y);
        for (int x = left; x < right; ++x) {
            RGBA8& d = row[x];
            for (int c = 0; c < 3; ++c) d[c] = static_cast<std::uint8_t>((d[c] * 155 * 32897) >> 23);
            d.a = static_cast<std::uint8_t>(((d.a * 155 + 10000) * 32897) >> 23);
        }
    }
    if (!font_) return;
    char text[64];
    const bool inShown = !(inDb < kFloorDb), outShown = !(outDb < kFloorDb);
    if (outShown && !inShown) {
        std::snprintf(text, sizeof text, "In: -inf Out: %.1fdB", static_cast<double>(outDb));
    } else if (inShown && !outShown) {
        std::snprintf(text, sizeof text, "In: %.1fdB Out: -inf", static_cast<double>(inDb));
    } else if (!inShown && !outShown) {
        std::snprintf(text, sizeof text, "In: -inf Out: -inf");
    } else {
        std::snprintf(text, sizeof text, "In: %.1fdB Out: %.1fdB", static_cast<double>(inDb),
                      static_cast<double>(outDb));
    }
    plugkit::graphics::fillText(raw, *font_, text, 10.0f, 0.5f, RGBA8{230, 230, 230, 255},
                                static_cast<float>(left + (right - left) / 2), static_cast<float>(raw.h - 10),
                                HorizontalAlignment::center, VerticalAlignment::center);
}

}  // namespace tolvadisplay
