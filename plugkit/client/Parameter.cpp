#include "plugkit/client/Parameter.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "plugkit/client/Client.h"
#include "plugkit/client/ParameterText.h"

namespace plugkit::client {

using core::ScopedLock;

// --- Parameter ------------------------------------------------------------------------------------

Parameter::Parameter(int index, const char* name, const char* label)
    : index_(index), name_(detail::copyText(name)), label_(detail::copyText(label)) {}

Parameter::~Parameter() {
    std::free(name_);
    std::free(label_);
}

void Parameter::addListener(IParameterListener* listener) {
    if (!listener) return;
    ScopedLock lock(listenersLock_);
    listeners_.pushBack(listener);
}

void Parameter::removeListener(IParameterListener* listener) {
    if (!listener) return;
    ScopedLock lock(listenersLock_);
    const std::ptrdiff_t i = listeners_.indexOf(listener);
    if (i < 0) return;
    // During a notification on this thread the entry only goes null, so the running loop neither
    // skips nor repeats anyone; the outermost notification compacts the list.
    if (notifyDepth_ > 0)
        listeners_[static_cast<std::size_t>(i)] = nullptr;
    else
        listeners_.removeAtSwapLast(static_cast<std::size_t>(i));
}

int Parameter::listenerCount() const {
    ScopedLock lock(listenersLock_);
    return static_cast<int>(listeners_.size());
}

IParameterListener* Parameter::listener(int i) const {
    ScopedLock lock(listenersLock_);
    return listeners_[static_cast<std::size_t>(i)];
}

template <class F>
void Parameter::forEachListener(F f) {
    ScopedLock lock(listenersLock_);
    ++notifyDepth_;
    for (std::size_t i = 0; i < listeners_.size(); ++i)
        if (IParameterListener* l = listeners_[i]) f(l);
    if (--notifyDepth_ == 0) {
        for (std::size_t i = 0; i < listeners_.size();) {
            if (listeners_[i])
                ++i;
            else
                listeners_.removeAtSwapLast(i);
        }
    }
}

const char* Parameter::name() const { return name_; }
const char* Parameter::label() const { return label_; }
int Parameter::index() const { return index_; }
bool Parameter::isAutomatable() const { return automatable_; }

Parameter* Parameter::nonAutomatable() {
    automatable_ = false;
    return this;
}

void Parameter::setFromHost(double normalized) {
    setNormalized(normalized);
    notifyListeners();
}

void Parameter::toDisplayN(char* buffer, int size) { toStringN(buffer, size); }

void Parameter::beginParamEdit() {
    if (client_ && client_->hostCommand()) client_->hostCommand()->beginParamEdit(index_);
    forEachListener([this](IParameterListener* l) { l->onBeginParameterEdit(this); });
}

void Parameter::endParamEdit() {
    if (client_ && client_->hostCommand()) client_->hostCommand()->endParamEdit(index_);
    forEachListener([this](IParameterListener* l) { l->onEndParameterEdit(this); });
}

void Parameter::storePlainFromAudio(double) noexcept {}

void Parameter::notifyListeners() {
    forEachListener([this](IParameterListener* l) { l->onParameterChanged(this); });
}

void Parameter::checkBeingEdited() {}

void Parameter::valueStored() noexcept {
    if (client_) client_->noteParameterStored();
}

void Parameter::setClient(Client* client, int index) {
    client_ = client;
    index_ = index;
}

void Parameter::reportEditorChange(double normalized) {
    if (client_ && client_->hostCommand())
        client_->hostCommand()->paramAutomate(index_, static_cast<float>(normalized));
    notifyListeners();
}

// --- BoolParameter --------------------------------------------------------------------------------

BoolParameter::BoolParameter(int index, const char* name, bool defaultValue)
    : Parameter(index, name, ""), value_(defaultValue), defaultValue_(defaultValue) {}

double BoolParameter::getNormalized() { return value() ? 1.0 : 0.0; }

double BoolParameter::getNormalizedDefault() { return defaultValue_ ? 1.0 : 0.0; }

void BoolParameter::stringFromNormalizedValue(double normalized, char* buffer, int size) {
    detail::copyCut(buffer, size, normalized >= 0.5 ? "yes" : "no");
}

bool BoolParameter::normalizedValueFromString(const char* text, double& normalized) {
    normalized = NAN;
    if (!text) return false;
    if (std::strcmp(text, "yes") == 0)
        normalized = 1.0;
    else if (std::strcmp(text, "no") == 0)
        normalized = 0.0;
    else
        return false;
    return true;
}

void BoolParameter::storePlainFromAudio(double plain) noexcept {
    if (std::isnan(plain)) return;
    value_.store(plain >= 0.5, std::memory_order_relaxed);
    valueStored();
}

void BoolParameter::setNormalized(double normalized) {
    if (std::isnan(normalized)) return;
    ScopedLock lock(valueLock_);
    value_.store(normalized >= 0.5, std::memory_order_relaxed);
    valueStored();
}

void BoolParameter::toStringN(char* buffer, int size) {
    detail::copyCut(buffer, size, value() ? "yes" : "no");
}

void BoolParameter::setFromGUI(bool value) {
    checkBeingEdited();
    double normalized;
    {
        ScopedLock lock(valueLock_);
        value_.store(value, std::memory_order_relaxed);
        valueStored();
        normalized = getNormalized();
    }
    reportEditorChange(normalized);
}

bool BoolParameter::value() {
    ScopedLock lock(valueLock_);
    return value_.load(std::memory_order_relaxed);
}

// --- IntegerParameter -----------------------------------------------------------------------------

IntegerParameter::IntegerParameter(int index, const char* name, const char* label, int min, int max,
                                   int defaultValue)
    : Parameter(index, name, label), value_(0), min_(min), max_(max), defaultValue_(defaultValue) {
    if (max_ < min_) core::fatalError("IntegerParameter: max is smaller than min");
    if (defaultValue_ < min_) defaultValue_ = min_;
    if (defaultValue_ > max_) defaultValue_ = max_;
    value_.store(defaultValue_, std::memory_order_relaxed);
}

int IntegerParameter::fromNormalized(double normalized) const noexcept {
    if (std::isnan(normalized)) return min_;
    return detail::roundHalfAwayClamped(min_ + (static_cast<double>(max_) - min_) * normalized, min_, max_);
}

double IntegerParameter::toNormalized(double value) const noexcept {
    return detail::clamp01((value - min_) / (static_cast<double>(max_) - min_));
}

double IntegerParameter::getNormalized() { return toNormalized(value()); }

double IntegerParameter::getNormalizedDefault() { return toNormalized(defaultValue_); }

void IntegerParameter::stringFromNormalizedValue(double normalized, char* buffer, int size) {
    if (!buffer || size <= 0) return;
    std::snprintf(buffer, static_cast<std::size_t>(size), "%d", fromNormalized(normalized));
}

bool IntegerParameter::normalizedValueFromString(const char* text, double& normalized) {
    normalized = NAN;
    char scratch[detail::kParseBufferSize];
    if (!detail::copyForParse(text, scratch)) return false;
    // Like "%d": leading blanks, an optional sign, digits; what follows is not looked at. Values
    // beyond the int range saturate instead of overflowing.
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(scratch, &end, 10);
    if (end == scratch) return false;
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    normalized = toNormalized(static_cast<double>(v));
    return true;
}

void IntegerParameter::storePlainFromAudio(double plain) noexcept {
    if (std::isnan(plain)) return;
    value_.store(detail::roundHalfAwayClamped(plain, min_, max_), std::memory_order_relaxed);
    valueStored();
}

void IntegerParameter::setNormalized(double normalized) {
    if (std::isnan(normalized)) return;
    const int v = fromNormalized(detail::clamp01(normalized));
    ScopedLock lock(valueLock_);
    value_.store(v, std::memory_order_relaxed);
    valueStored();
}

void IntegerParameter::toStringN(char* buffer, int size) {
    if (!buffer || size <= 0) return;
    std::snprintf(buffer, static_cast<std::size_t>(size), "%d", value());
}

void IntegerParameter::storeFromEditor(int value) {
    checkBeingEdited();
    if (value < min_) value = min_;
    if (value > max_) value = max_;
    double normalized;
    {
        ScopedLock lock(valueLock_);
        value_.store(value, std::memory_order_relaxed);
        valueStored();
        normalized = getNormalized();
    }
    reportEditorChange(normalized);
}

void IntegerParameter::setFromGUI(int value) { storeFromEditor(value); }

void IntegerParameter::setFromGUINormalized(double normalized) {
    if (std::isnan(normalized)) return;
    storeFromEditor(fromNormalized(normalized));
}

int IntegerParameter::value() {
    ScopedLock lock(valueLock_);
    return value_.load(std::memory_order_relaxed);
}

// --- EnumParameter --------------------------------------------------------------------------------

namespace {
int checkedEnumMax(int count) {
    if (count < 1) core::fatalError("EnumParameter needs at least one text");
    return count - 1;
}
}  // namespace

EnumParameter::EnumParameter(int index, const char* name, const char* const* possibleValues, int count,
                             int defaultValue)
    : IntegerParameter(index, name, "", 0, checkedEnumMax(count), defaultValue), count_(count) {
    possibleValues_ = static_cast<char**>(std::malloc(sizeof(char*) * static_cast<std::size_t>(count)));
    if (!possibleValues_) core::outOfMemory();
    for (int i = 0; i < count; ++i)
        possibleValues_[i] = detail::copyText(possibleValues ? possibleValues[i] : "");
}

EnumParameter::~EnumParameter() {
    for (int i = 0; i < count_; ++i) std::free(possibleValues_[i]);
    std::free(possibleValues_);
}

void EnumParameter::stringFromNormalizedValue(double normalized, char* buffer, int size) {
    detail::copyCut(buffer, size, possibleValues_[fromNormalized(normalized)]);
}

bool EnumParameter::normalizedValueFromString(const char* text, double& normalized) {
    normalized = NAN;
    if (!text) return false;
    for (int i = 0; i < count_; ++i) {
        if (std::strcmp(possibleValues_[i], text) == 0) {
            normalized = toNormalized(i);
            return true;
        }
    }
    return false;
}

void EnumParameter::toStringN(char* buffer, int size) {
    detail::copyCut(buffer, size, possibleValues_[value()]);
}

}  // namespace plugkit::client
