#pragma once

#include <atomic>
#include <cstdint>

#include "plugkit/core/RecursiveMutex.h"
#include "plugkit/core/Vec.h"

namespace plugkit::client {

class Client;
class Parameter;

// Observer of one parameter. Called synchronously on the thread that made the change (a host
// thread for host changes and state loads, the editor thread for edits).
class IParameterListener {
public:
    virtual ~IParameterListener() = default;
    virtual void onParameterChanged(Parameter* parameter) = 0;
    virtual void onBeginParameterEdit(Parameter* parameter) = 0;
    virtual void onEndParameterEdit(Parameter* parameter) = 0;
};

// An automatable control: one plain value, its normalized (0..1) and text forms, its listeners,
// and the editor path that reports edits to the host. Writers hold valueLock and store the value
// atomically; the audio thread reads it with one atomic load. Created with core::mallocNew in
// Client::buildParameters; the client destroys it.
class Parameter {
public:
    Parameter(int index, const char* name, const char* label);
    virtual ~Parameter();
    Parameter(const Parameter&) = delete;
    Parameter& operator=(const Parameter&) = delete;

    // [any thread but audio] Appends a listener (not owned). Safe while other threads notify.
    virtual void addListener(IParameterListener* listener);
    // [any thread but audio] Removes the first equal entry, moving the last one into its place.
    // Waits for notifications running on other threads: once it returns, the listener is never
    // called again and may be destroyed. A listener may remove itself (or others) from a callback.
    virtual void removeListener(IParameterListener* listener);
    // [any thread]
    virtual const char* name() const;
    virtual const char* label() const;
    virtual int index() const;
    virtual bool isAutomatable() const;
    // [construction] Marks the parameter as not automatable; returns this for chaining.
    virtual Parameter* nonAutomatable();
    // [host thread] Sets from a normalized value, then notifies the listeners. NaN is ignored
    // (listeners are still told); values outside 0..1 are clamped.
    virtual void setFromHost(double normalized);
    // [host or editor thread] Text of the current value without the label.
    virtual void toDisplayN(char* buffer, int size);
    // [editor thread] Starts an edit gesture: tells the host, then the listeners.
    virtual void beginParamEdit();
    // [editor thread] Ends an edit gesture: tells the host, then the listeners.
    virtual void endParamEdit();
    // [host or editor thread] The current value as 0..1, read under the lock.
    virtual double getNormalized() = 0;
    // [any thread] The default value as 0..1.
    virtual double getNormalizedDefault() = 0;
    // [any thread] Text of the plain value that normalized (clamped to 0..1, NaN as 0) maps to;
    // zero-terminated, cut to size.
    virtual void stringFromNormalizedValue(double normalized, char* buffer, int size) = 0;
    // [any thread] Parses a plain value typed by the user. False (and NaN in normalized) on failure.
    virtual bool normalizedValueFromString(const char* text, double& normalized) = 0;
    // [any thread] True for bool, integer and enum parameters.
    virtual bool isDiscrete() const = 0;
    // [host thread] Sets from a normalized value under the lock, without notifying. NaN is ignored.
    virtual void setNormalized(double normalized) = 0;
    // [host or editor thread] Text of the current value without the label, cut to size.
    virtual void toStringN(char* buffer, int size) = 0;
    // [audio thread] Stores a plain value without the lock and without telling the listeners, for
    // bindings whose host hands values to the audio thread (LV2 control ports). NaN is ignored;
    // the value is clamped to the range. The base class ignores the call.
    virtual void storePlainFromAudio(double plain) noexcept;
    // [any thread but audio] Calls every listener's onParameterChanged in registration order.
    virtual void notifyListeners();
    // [editor thread] Debugging hook; does nothing.
    virtual void checkBeingEdited();

    // [construction] Called by the owning client with the parameter's position in its list.
    void setClient(Client* client, int index);
    Client* client() const { return client_; }
    // [any thread but audio] Registered listeners (those removed during a running notification
    // still count until it ends, as null entries).
    int listenerCount() const;
    IParameterListener* listener(int i) const;

protected:
    // Editor path after the value has been stored and the lock released: tells the host the
    // new normalized value, then the listeners.
    void reportEditorChange(double normalized);
    // [any thread] After every store of the value: counts it in the client's parameterStores.
    void valueStored() noexcept;

    core::RecursiveMutex valueLock_;

private:
    Client* client_ = nullptr;
    int index_;
    char* name_;
    char* label_;
    bool automatable_ = true;
    // Calls f(listener) for every listener in order, under listenersLock_.
    template <class F>
    void forEachListener(F f);

    // Guards listeners_ and notifyDepth_. Held while listeners are called, so that removeListener
    // on another thread waits for a running callback; recursive, so callbacks may add, remove and
    // notify on their own thread.
    mutable core::RecursiveMutex listenersLock_;
    core::Vec<IParameterListener*> listeners_;
    int notifyDepth_ = 0;  // notifications running on the thread that holds the lock
};

// A yes/no parameter.
class BoolParameter : public Parameter {
public:
    BoolParameter(int index, const char* name, bool defaultValue);

    double getNormalized() override;
    double getNormalizedDefault() override;
    void stringFromNormalizedValue(double normalized, char* buffer, int size) override;
    bool normalizedValueFromString(const char* text, double& normalized) override;
    bool isDiscrete() const override { return true; }
    void setNormalized(double normalized) override;
    void toStringN(char* buffer, int size) override;
    // [audio thread] true when plain >= 0.5.
    void storePlainFromAudio(double plain) noexcept override;

    // [editor thread] Sets the value from the editor and reports it to the host.
    void setFromGUI(bool value);
    // [host or editor thread] The value, read under the lock.
    bool value();
    // [audio thread] One atomic load; never blocks or allocates.
    bool valueAtomic() const noexcept { return value_.load(std::memory_order_relaxed); }
    bool defaultValue() const { return defaultValue_; }

private:
    std::atomic<bool> value_;
    bool defaultValue_;
    static_assert(std::atomic<bool>::is_always_lock_free);
};

// An integer in [min, max].
class IntegerParameter : public Parameter {
public:
    IntegerParameter(int index, const char* name, const char* label, int min, int max, int defaultValue);

    double getNormalized() override;
    double getNormalizedDefault() override;
    void stringFromNormalizedValue(double normalized, char* buffer, int size) override;
    bool normalizedValueFromString(const char* text, double& normalized) override;
    bool isDiscrete() const override { return true; }
    void setNormalized(double normalized) override;
    void toStringN(char* buffer, int size) override;
    // [audio thread] Rounded half away from zero and clamped to [min, max].
    void storePlainFromAudio(double plain) noexcept override;

    // [editor thread] Sets the value (clamped to [min, max]) and reports it to the host.
    void setFromGUI(int value);
    // [editor thread] Rounds min + (max - min) * n half away from zero, clamps, sets. NaN ignored.
    void setFromGUINormalized(double normalized);
    // [host or editor thread] The value, read under the lock.
    int value();
    // [audio thread] One atomic load; never blocks or allocates.
    int valueAtomic() const noexcept { return value_.load(std::memory_order_relaxed); }
    int minValue() const { return min_; }
    int maxValue() const { return max_; }
    int defaultValue() const { return defaultValue_; }

    // [any thread] The plain value that normalized maps to: rounded half away from zero and
    // clamped; NaN maps to min.
    int fromNormalized(double normalized) const noexcept;
    // [any thread] (v - min) / (max - min) clamped to 0..1.
    double toNormalized(double value) const noexcept;

private:
    void storeFromEditor(int value);

    std::atomic<int> value_;
    int min_;
    int max_;
    int defaultValue_;
    static_assert(std::atomic<int>::is_always_lock_free);
};

// An integer parameter whose value indexes a list of texts (range 0 .. count - 1).
class EnumParameter : public IntegerParameter {
public:
    // The texts are copied. count must be at least 1.
    EnumParameter(int index, const char* name, const char* const* possibleValues, int count,
                  int defaultValue);
    ~EnumParameter() override;

    void stringFromNormalizedValue(double normalized, char* buffer, int size) override;
    bool normalizedValueFromString(const char* text, double& normalized) override;
    void toStringN(char* buffer, int size) override;

    int count() const { return count_; }
    const char* possibleValue(int i) const { return possibleValues_[i]; }

private:
    char** possibleValues_;
    int count_;
};

// A 64-bit float in [min, max] with a printf display format (at most 7 characters, "%2.2f" by
// default) and a mapping to 0..1 given by the subclass.
class FloatParameter : public Parameter {
public:
    FloatParameter(int index, const char* name, const char* label, double min, double max,
                   double defaultValue);

    double getNormalized() override;
    double getNormalizedDefault() override;
    void stringFromNormalizedValue(double normalized, char* buffer, int size) override;
    bool normalizedValueFromString(const char* text, double& normalized) override;
    bool isDiscrete() const override { return false; }
    void setNormalized(double normalized) override;
    void toStringN(char* buffer, int size) override;
    // [audio thread] Clamped to [min, max].
    void storePlainFromAudio(double plain) noexcept override;
    // [any thread] Plain value to 0..1 and back.
    virtual double toNormalized(double value) = 0;
    virtual double fromNormalized(double normalized) = 0;

    // [editor thread] Sets the value (clamped to [min, max]) and reports it to the host. NaN ignored.
    void setFromGUI(double value);
    // [editor thread] Sets fromNormalized(n) through setFromGUI. NaN ignored.
    void setFromGUINormalized(double normalized);
    // [host or editor thread] The value, read under the lock.
    double value();
    // [audio thread] One atomic load; never blocks or allocates.
    double valueAtomic() const noexcept { return value_.load(std::memory_order_relaxed); }
    double minValue() const { return min_; }
    double maxValue() const { return max_; }
    double defaultValue() const { return defaultValue_; }
    const char* displayFormat() const { return displayFormat_; }
    // [construction] Sets the display format (one floating-point conversion, at most 7 characters;
    // longer texts are ignored). Returns this for chaining.
    FloatParameter* setDisplayFormat(const char* format);

protected:
    std::atomic<double> value_;
    double min_;
    double max_;
    double defaultValue_;
    char displayFormat_[8] = "%2.2f";
    static_assert(std::atomic<double>::is_always_lock_free);
};

// Linear mapping between [min, max] and 0..1.
class LinearFloatParameter : public FloatParameter {
public:
    LinearFloatParameter(int index, const char* name, const char* label, double min, double max,
                         double defaultValue);
    double toNormalized(double value) override;
    double fromNormalized(double normalized) override;
};

// Logarithmic mapping: n = 0.5 is the geometric middle. Requires 0 < min < max.
class LogFloatParameter : public FloatParameter {
public:
    LogFloatParameter(int index, const char* name, const char* label, double min, double max,
                      double defaultValue);
    double toNormalized(double value) override;
    double fromNormalized(double normalized) override;
};

// A gain in dB from minus infinity (n = 0) to maxDb (n = 1); the amplitude follows n^shape.
class GainParameter : public FloatParameter {
public:
    GainParameter(int index, const char* name, double maxDb, double defaultDb, double shape = 2.0);
    double toNormalized(double value) override;
    double fromNormalized(double normalized) override;
    double shape() const { return shape_; }

private:
    double shape_;
};

// Power-curve mapping: v = min + (max - min) * n^shape.
class PowFloatParameter : public FloatParameter {
public:
    PowFloatParameter(int index, const char* name, const char* label, double min, double max,
                      double defaultValue, double shape);
    double toNormalized(double value) override;
    double fromNormalized(double normalized) override;
    double shape() const { return shape_; }

private:
    double shape_;
};

}  // namespace plugkit::client
