#pragma once

#include "plugkit/core/Vec.h"

namespace plugkit::client {

// A named list of normalized parameter values; entry i belongs to parameter i. Created with
// core::mallocNew; the preset bank destroys it.
class Preset {
public:
    // Copies the name and the count values.
    Preset(const char* name, const float* values, int count);
    ~Preset();
    Preset(const Preset&) = delete;
    Preset& operator=(const Preset&) = delete;

    // [any thread]
    const char* name() const { return name_; }
    int valueCount() const { return static_cast<int>(values_.size()); }
    float value(int i) const { return values_[static_cast<std::size_t>(i)]; }
    const float* values() const { return values_.data(); }

private:
    char* name_;
    core::Vec<float> values_;
};

}  // namespace plugkit::client
