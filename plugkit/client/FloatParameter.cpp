#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "plugkit/client/Parameter.h"
#include "plugkit/client/ParameterText.h"

namespace plugkit::client {

using core::ScopedLock;

namespace {

constexpr double kDbToLinear = 0.11512925464970228;  // ln(10) / 20
constexpr double kLinearToDb = 8.685889638065037;    // 20 / ln(10)

double clampTo(double x, double a, double b) {
    if (x < a) return a;
    if (x > b) return b;
    return x;
}

// True for a format with exactly one conversion, and that conversion a floating-point one.
bool isFloatFormat(const char* format) {
    int conversions = 0;
    for (const char* p = format; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        while (*p && std::strchr("-+ #0123456789.", *p)) ++p;
        if (!*p || !std::strchr("fFeEgGaA", *p)) return false;
        ++conversions;
    }
    return conversions == 1;
}

}  // namespace

// --- FloatParameter -------------------------------------------------------------------------------

FloatParameter::FloatParameter(int index, const char* name, const char* label, double min, double max,
                               double defaultValue)
    : Parameter(index, name, label), value_(0.0), min_(min), max_(max), defaultValue_(defaultValue) {
    if (!(max_ >= min_)) core::fatalError("FloatParameter: max is smaller than min");
    defaultValue_ = clampTo(defaultValue_, min_, max_);
    value_.store(defaultValue_, std::memory_order_relaxed);
}

FloatParameter* FloatParameter::setDisplayFormat(const char* format) {
    if (format && std::strlen(format) < sizeof(displayFormat_) && isFloatFormat(format))
        std::memcpy(displayFormat_, format, std::strlen(format) + 1);
    return this;
}

double FloatParameter::getNormalized() { return toNormalized(value()); }

double FloatParameter::getNormalizedDefault() { return toNormalized(defaultValue_); }

void FloatParameter::stringFromNormalizedValue(double normalized, char* buffer, int size) {
    if (!buffer || size <= 0) return;
    // Clamped like a host value, so the text always shows a value the parameter can take.
    std::snprintf(buffer, static_cast<std::size_t>(size), displayFormat_,
                  fromNormalized(detail::clamp01(normalized)));
}

bool FloatParameter::normalizedValueFromString(const char* text, double& normalized) {
    normalized = NAN;
    char scratch[detail::kParseBufferSize];
    if (!detail::copyForParse(text, scratch)) return false;
    // One decimal number after optional blanks; what follows is not looked at.
    char* end = nullptr;
    const double v = std::strtod(scratch, &end);
    if (end == scratch || std::isnan(v)) return false;
    normalized = toNormalized(v);
    return true;
}

void FloatParameter::setNormalized(double normalized) {
    if (std::isnan(normalized)) return;
    const double v = fromNormalized(detail::clamp01(normalized));
    if (std::isnan(v)) return;
    ScopedLock lock(valueLock_);
    value_.store(clampTo(v, min_, max_), std::memory_order_relaxed);
    valueStored();
}

void FloatParameter::storePlainFromAudio(double plain) noexcept {
    if (std::isnan(plain)) return;
    value_.store(clampTo(plain, min_, max_), std::memory_order_relaxed);
    valueStored();
}

void FloatParameter::toStringN(char* buffer, int size) {
    if (!buffer || size <= 0) return;
    std::snprintf(buffer, static_cast<std::size_t>(size), displayFormat_, value());
}

void FloatParameter::setFromGUI(double value) {
    checkBeingEdited();
    if (std::isnan(value)) return;
    double normalized;
    {
        ScopedLock lock(valueLock_);
        value_.store(clampTo(value, min_, max_), std::memory_order_relaxed);
        valueStored();
        normalized = getNormalized();
    }
    reportEditorChange(normalized);
}

void FloatParameter::setFromGUINormalized(double normalized) {
    if (std::isnan(normalized)) return;
    setFromGUI(fromNormalized(normalized));
}

double FloatParameter::value() {
    ScopedLock lock(valueLock_);
    return value_.load(std::memory_order_relaxed);
}

// --- Linear ---------------------------------------------------------------------------------------

LinearFloatParameter::LinearFloatParameter(int index, const char* name, const char* label, double min,
                                           double max, double defaultValue)
    : FloatParameter(index, name, label, min, max, defaultValue) {}

double LinearFloatParameter::toNormalized(double value) {
    return detail::clamp01((value - min_) / (max_ - min_));
}

double LinearFloatParameter::fromNormalized(double normalized) {
    return clampTo(min_ + (max_ - min_) * normalized, min_, max_);
}

// --- Logarithmic ----------------------------------------------------------------------------------

LogFloatParameter::LogFloatParameter(int index, const char* name, const char* label, double min, double max,
                                     double defaultValue)
    : FloatParameter(index, name, label, min, max, defaultValue) {
    if (!(min > 0.0)) core::fatalError("LogFloatParameter needs min > 0");
}

double LogFloatParameter::toNormalized(double value) {
    return detail::clamp01(std::log(value / min_) / std::log(max_ / min_));
}

double LogFloatParameter::fromNormalized(double normalized) {
    return min_ * std::exp(std::log(max_ / min_) * normalized);
}

// --- Gain -----------------------------------------------------------------------------------------

GainParameter::GainParameter(int index, const char* name, double maxDb, double defaultDb, double shape)
    : FloatParameter(index, name, "dB", -std::numeric_limits<double>::infinity(), maxDb, defaultDb),
      shape_(shape) {
    if (!(shape > 0.0)) core::fatalError("GainParameter needs shape > 0");
}

double GainParameter::toNormalized(double value) {
    const double ratio = std::exp(value * kDbToLinear) / std::exp(max_ * kDbToLinear);
    return detail::clamp01(std::pow(ratio, 1.0 / shape_));
}

double GainParameter::fromNormalized(double normalized) {
    return std::log(std::exp(max_ * kDbToLinear) * std::pow(normalized, shape_)) * kLinearToDb;
}

// --- Power ----------------------------------------------------------------------------------------

PowFloatParameter::PowFloatParameter(int index, const char* name, const char* label, double min, double max,
                                     double defaultValue, double shape)
    : FloatParameter(index, name, label, min, max, defaultValue), shape_(shape) {
    if (!(shape > 0.0)) core::fatalError("PowFloatParameter needs shape > 0");
}

double PowFloatParameter::toNormalized(double value) {
    return std::pow(detail::clamp01((value - min_) / (max_ - min_)), 1.0 / shape_);
}

double PowFloatParameter::fromNormalized(double normalized) {
    return clampTo(min_ + (max_ - min_) * std::pow(normalized, shape_), min_, max_);
}

}  // namespace plugkit::client
