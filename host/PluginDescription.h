#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// Four-character codes are 32-bit values with the first character in the top byte.
constexpr uint32_t fourCC(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
           (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}
// The four characters of a code, most significant byte first (non-printable bytes shown as '?').
std::string fourCCText(uint32_t code);

// Property numbers the plug-in attaches to each processing component. The stand-in host keeps its
// own copy on purpose: it plays the host's side of the interface, so a wrong number in the
// plug-in's binding shows up as a component the host does not understand. The host gives 56, 60,
// 118 and 151 their meaning; they are named after the plug-in's setup fields they carry.
namespace property {
constexpr uint32_t kManufacturerID = 11;
constexpr uint32_t kProductID = 12;
constexpr uint32_t kNativePlugInID = 13;
constexpr uint32_t kAudioSuitePlugInID = 14;
constexpr uint32_t kInputStemFormat = 51;
constexpr uint32_t kOutputStemFormat = 52;
constexpr uint32_t kExtra56Value = 56;
constexpr uint32_t kFlag60 = 60;
constexpr uint32_t kAudioSuiteGiven = 118;
constexpr uint32_t kFlag151 = 151;
}  // namespace property

// One algorithm-context field as the component registered it, in registration order.
struct FieldRegistration {
    enum class Kind { AudioIn, AudioOut, BufferLength, PrivateData, MidiNode, Meters };
    Kind kind = Kind::PrivateData;
    uint32_t index = 0;
    uint32_t size = 0;               // PrivateData: bytes
    int32_t midiNodeType = 0;        // MidiNode: 0 local input, 2 global, 3 transport
    std::string midiNodeName;        // MidiNode
    uint32_t midiChannelMask = 0;    // MidiNode
    std::vector<uint32_t> meterIds;  // Meters
};

// One processing component: a channel layout with its properties and context layout.
struct ComponentDescription {
    std::vector<FieldRegistration> fields;
    std::vector<std::pair<uint32_t, int32_t>> properties;  // (number, value), in the order added
    void* renderCallback = nullptr;                        // the native process procedure (opaque)
    bool hasInitProc = false, hasBackgroundProc = false;
    int32_t result = 0;  // OR of the results the host returned while describing it

    // The value of a property, or fallback when it was not added.
    int32_t propertyOr(uint32_t number, int32_t fallback) const;
    bool hasProperty(uint32_t number) const;
    uint32_t inputStemFormat() const { return uint32_t(propertyOr(property::kInputStemFormat, 0)); }
    uint32_t outputStemFormat() const { return uint32_t(propertyOr(property::kOutputStemFormat, 0)); }
    int inputs() const { return int(inputStemFormat() & 0xFFFF); }
    int outputs() const { return int(outputStemFormat() & 0xFFFF); }
    uint32_t nativeId() const { return uint32_t(propertyOr(property::kNativePlugInID, 0)); }
    uint32_t audioSuiteId() const { return uint32_t(propertyOr(property::kAudioSuitePlugInID, 0)); }
    const FieldRegistration* field(uint32_t index) const;
};

// Everything the plug-in told the host through ACFRegisterPlugin.
struct PluginDescription {
    int32_t registerResult = 0;      // what ACFRegisterPlugin returned
    std::vector<std::string> names;  // effect names, longest first as added
    std::vector<std::string> packageNames;
    std::vector<uint32_t> categories;  // category bits, one entry per AddCategory
    std::string manufacturerName;
    int32_t packageVersion = 0;
    bool effectAdded = false;
    std::string bundleId;  // identifier given with AddEffect
    std::vector<ComponentDescription> components;
    std::vector<std::pair<int32_t, void*>> procs;  // (proc id, factory), in order

    void* proc(int32_t id) const;
    // The component for a channel layout, or null when the layout is not legal.
    const ComponentDescription* componentFor(int inputs, int outputs) const;
};

}  // namespace host
