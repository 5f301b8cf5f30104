#include "pelgui/UIParamLabel.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "plugkit/core/Fatal.h"
#include "plugkit/graphics/TextRendering.h"

namespace pelgui {

using plugkit::core::ScopedLock;
namespace graphics = plugkit::graphics;

namespace {

char* copyOf(const char* text) {
    const std::size_t n = std::strlen(text);
    auto* copy = static_cast<char*>(std::malloc(n + 1));
    if (!copy) plugkit::core::outOfMemory();
    std::memcpy(copy, text, n + 1);
    return copy;
}

// The integer part of v, toward zero; values beyond the int range (and infinities) saturate and
// NaN counts as 0, where a plain conversion would be undefined.
int integerPart(float v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0f) return INT_MAX;
    if (v <= -2147483648.0f) return INT_MIN;
    return static_cast<int>(v);
}

}  // namespace

UIParamLabel::UIParamLabel(plugkit::gui::UIContext* context, FloatParameter* parameter, Font* font,
                           RGBA8 textColor, int textSize, int decimals, int maxDigits, const char* separator)
    : UIElement(context, plugkit::gui::flagRaw),
      param_(parameter),
      textColor_(textColor),
      font_(font),
      textSize_(textSize),
      decimals_(decimals),
      maxDigits_(maxDigits),
      separator_(copyOf(separator ? separator : " ")) {
    param_->addListener(this);
    {
        ScopedLock lock(textLock_);
        text_ = formatLocked();
    }
    setDirtyWhole();
}

UIParamLabel::~UIParamLabel() {
    param_->removeListener(this);
    std::free(separator_);
}

int UIParamLabel::numDigits(int n) {
    if (n == 0) return 0;
    long long m = n;  // |INT_MIN| does not fit an int
    int digits = 0;
    if (m < 0) {
        digits = 1;
        m = -m;
    }
    for (; m > 0; m /= 10) ++digits;
    return digits;
}

std::string_view UIParamLabel::formatLocked() {
    const char* unit = param_->label();
    const float v = static_cast<float>(param_->value());
    const int digits = numDigits(integerPart(v));
    int precision = decimals_;
    if (digits + decimals_ >= maxDigits_) precision = maxDigits_ - digits < 0 ? 0 : maxDigits_ - digits;
    const int n = std::snprintf(textBuffer_, sizeof textBuffer_, "%.*f%s%s", precision,
                                static_cast<double>(v), separator_, unit);
    const std::size_t length =
        n < 0 ? 0 : (n < kTextBufferSize ? static_cast<std::size_t>(n) : kTextBufferSize - 1);
    return std::string_view(textBuffer_, length);
}

std::string_view UIParamLabel::paramString() {
    ScopedLock lock(textLock_);
    text_ = formatLocked();
    return text_;
}

void UIParamLabel::copyText(char* buffer, int size) {
    if (!buffer || size <= 0) return;
    ScopedLock lock(textLock_);
    const std::size_t n = text_.size() < static_cast<std::size_t>(size - 1) ? text_.size() : size - 1;
    std::memcpy(buffer, text_.data(), n);
    buffer[n] = 0;
}

void UIParamLabel::onParameterChanged(plugkit::client::Parameter*) {
    paramString();
    setDirtyWhole();
}

void UIParamLabel::onBeginParameterEdit(plugkit::client::Parameter*) {}
void UIParamLabel::onEndParameterEdit(plugkit::client::Parameter*) {}

void UIParamLabel::onAnimate(double, double) { onParameterChanged(param_); }

void UIParamLabel::onDrawRaw(graphics::ImageRef<RGBA8> rawMap, const plugkit::core::Vec<Box>& dirtyRects) {
    char text[kTextBufferSize];
    copyText(text, sizeof text);
    const float centerX = static_cast<float>(width()) / 2.0f;
    const float centerY = static_cast<float>(height()) / 2.0f;
    for (const Box& r : dirtyRects) {
        graphics::fillText(graphics::crop(rawMap, r), *font_, text, static_cast<float>(textSize_), 0.5f,
                           textColor_, centerX - static_cast<float>(r.min.x),
                           centerY - static_cast<float>(r.min.y), graphics::HorizontalAlignment::center,
                           graphics::VerticalAlignment::center);
    }
}

}  // namespace pelgui
