#include "host/PluginDescription.h"

namespace host {

std::string fourCCText(uint32_t code) {
    std::string s(4, '?');
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>(code >> (24 - 8 * i));
        if (c >= 0x20 && c < 0x7F) s[static_cast<std::size_t>(i)] = static_cast<char>(c);
    }
    return s;
}

int32_t ComponentDescription::propertyOr(uint32_t number, int32_t fallback) const {
    // The last value added for a number wins, as a property map that is written twice would hold.
    int32_t value = fallback;
    for (const auto& [n, v] : properties)
        if (n == number) value = v;
    return value;
}

bool ComponentDescription::hasProperty(uint32_t number) const {
    for (const auto& p : properties)
        if (p.first == number) return true;
    return false;
}

const FieldRegistration* ComponentDescription::field(uint32_t index) const {
    for (const auto& f : fields)
        if (f.index == index) return &f;
    return nullptr;
}

void* PluginDescription::proc(int32_t id) const {
    for (const auto& [pid, fn] : procs)
        if (pid == id) return fn;
    return nullptr;
}

const ComponentDescription* PluginDescription::componentFor(int inputs, int outputs) const {
    for (const auto& c : components)
        if (c.inputs() == inputs && c.outputs() == outputs) return &c;
    return nullptr;
}

}  // namespace host
