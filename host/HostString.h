#pragma once

#include <string>

#include "plugkit/aax/sdk/AAXInterfaces.h"

namespace host {

// The host's text out-argument: the plug-in writes into it with Set. [one thread at a time]
class HostString final : public plugkit::aax::sdk::IString {
public:
    void Set(const char* text) override { value_ = text ? text : ""; }
    const char* Get() override { return value_.c_str(); }
    const std::string& str() const { return value_; }
    void clear() { value_.clear(); }

private:
    std::string value_;
};

}  // namespace host
