#pragma once

// The interfaces between an AAX host and the plug-in library: a small component framework of
// reference-counted objects (IACFUnknown), the host interfaces that the plug-in calls, the two
// objects that the plug-in implements for the host, and the records and callbacks that cross the
// boundary. Every interface is a pure abstract class whose virtual functions are declared in a
// fixed order: the vtable layout is the ABI shared by host and plug-in across dlopen, so entries
// are only ever appended, never reordered or removed. No standard-library type crosses the
// boundary: texts are zero-terminated UTF-8, booleans are one byte, sizes are fixed-width.
//
// Ownership: an object reached through QueryInterface or returned by a factory carries one
// reference for the caller, who calls Release when done. Objects that are not derived from
// IACFUnknown (descriptors, property maps, view containers, strings) are owned by whoever created
// them and stay valid for the period stated on each interface.
//
// Unless stated otherwise every call returns a Result: kSuccess (0) or a negative code from
// AAXResults.h.

#include <cstddef>
#include <cstdint>

#include "plugkit/aax/sdk/AAXResults.h"

namespace plugkit::aax::sdk {

// ---------------------------------------------------------------------------------------------
// Basic types

using Boolean = std::uint8_t;      // 0 false, 1 true
using ParamID = const char*;       // zero-terminated parameter identifier
using TypeID = std::uint32_t;      // four-character code, first character in the top byte
using FieldIndex = std::int32_t;   // slot of an algorithm-context field (see RenderProc)
using StemFormat = std::uint32_t;  // channel layout; the low 16 bits hold the channel count
using ProcPtrID = std::int32_t;    // role of a factory handed over with AddProcPtr
using PropertyID = std::uint32_t;
using PropertyValue = std::int32_t;

// The four-character code of a four-letter text, first character most significant.
constexpr TypeID fourCharCode(char a, char b, char c, char d) {
    return (static_cast<TypeID>(static_cast<unsigned char>(a)) << 24) |
           (static_cast<TypeID>(static_cast<unsigned char>(b)) << 16) |
           (static_cast<TypeID>(static_cast<unsigned char>(c)) << 8) |
           static_cast<TypeID>(static_cast<unsigned char>(d));
}

// 16-byte interface identifier.
struct UID {
    std::uint8_t bytes[16];
};

constexpr bool operator==(const UID& a, const UID& b) {
    for (int i = 0; i < 16; ++i)
        if (a.bytes[i] != b.bytes[i]) return false;
    return true;
}

// Size of the view the editor needs, in pixels.
struct Point {
    float vert;
    float horz;
};

struct Rect {
    float top;
    float left;
    float width;
    float height;
};

// ---------------------------------------------------------------------------------------------
// Values passed during the description

// Stem formats per channel count; kStemFormatNone for any count without a format.
inline constexpr StemFormat kStemFormatMono = 0x00000001;
inline constexpr StemFormat kStemFormatStereo = 0x00010002;
inline constexpr StemFormat kStemFormatLCR = 0x00020003;
inline constexpr StemFormat kStemFormatQuad = 0x00040004;
inline constexpr StemFormat kStemFormat5_0 = 0x00050005;
inline constexpr StemFormat kStemFormat5_1 = 0x00060006;
inline constexpr StemFormat kStemFormat6_1 = 0x00080007;
inline constexpr StemFormat kStemFormat7_1 = 0x000C0008;
inline constexpr StemFormat kStemFormatNone = 0xFF9C0000;

constexpr std::int32_t stemChannelCount(StemFormat format) {
    return static_cast<std::int32_t>(format & 0xFFFFu);
}

// Category bits (IEffectDescriptor::AddCategory).
inline constexpr std::uint32_t kCategoryEQ = 1;
inline constexpr std::uint32_t kCategoryDynamics = 2;
inline constexpr std::uint32_t kCategoryPitchShift = 4;
inline constexpr std::uint32_t kCategoryReverb = 8;
inline constexpr std::uint32_t kCategoryDelay = 16;
inline constexpr std::uint32_t kCategoryModulation = 32;
inline constexpr std::uint32_t kCategoryHarmonic = 64;
inline constexpr std::uint32_t kCategorySoundField = 512;
inline constexpr std::uint32_t kCategorySWGenerators = 2048;
inline constexpr std::uint32_t kCategoryEffect = 8192;

// Component properties (IPropertyMap::AddProperty). Four-character identifiers are passed as
// TypeID values.
inline constexpr PropertyID kPropertyManufacturerID = 11;
inline constexpr PropertyID kPropertyProductID = 12;
inline constexpr PropertyID kPropertyNativePlugInID = 13;
inline constexpr PropertyID kPropertyAudioSuitePlugInID = 14;
inline constexpr PropertyID kPropertyInputStemFormat = 51;
inline constexpr PropertyID kPropertyOutputStemFormat = 52;
// The host decides what the next four mean; we only fix the values passed under them. Each is
// named after the component-setup field whose value it carries.
inline constexpr PropertyID kPropertyExtra56Value = 56;      // ComponentSetup::extraProperty56Value
inline constexpr PropertyID kPropertyFlag60 = 60;            // ComponentSetup::property60Flag, 1 or 0
inline constexpr PropertyID kPropertyAudioSuiteGiven = 118;  // 1 whenever an AudioSuite id is given
inline constexpr PropertyID kPropertyFlag151 = 151;          // ComponentSetup::property151Flag, 1 if set

// MIDI node types (IComponentDescriptor::AddMIDINode).
inline constexpr std::int32_t kMidiNodeLocalInput = 0;
inline constexpr std::int32_t kMidiNodeLocalOutput = 1;
inline constexpr std::int32_t kMidiNodeGlobal = 2;
inline constexpr std::int32_t kMidiNodeTransport = 3;

// Roles of the factories handed over with IEffectDescriptor::AddProcPtr.
inline constexpr ProcPtrID kProcIDEffectParameters = 0;  // creates the IEffectParameters object
inline constexpr ProcPtrID kProcIDEffectGUI = 1;         // creates the IEffectGUI object

// Parameter types (IEffectParameters::GetParameterType) and orientation.
inline constexpr std::int32_t kParameterTypeDiscrete = 0;
inline constexpr std::int32_t kParameterTypeContinuous = 1;
inline constexpr std::int32_t kParameterOrientationDefault = 0;

// Version written by ACFGetSDKVersion.
inline constexpr std::uint64_t kSDKVersion = 0x0000020300BF7318ull;

// ---------------------------------------------------------------------------------------------
// Records crossing the boundary

// A state chunk as the host stores it: a 56-byte header followed by `size` data bytes. The host
// allocates kChunkHeaderSize + size bytes. Only `size` and the data are read or written by the
// plug-in.
//   GetChunk: on entry `size` announces the room for data (at least GetChunkSize); on success it
//             holds the number of bytes written. Nothing beyond the announced room is written.
//   SetChunk / CompareActiveChunk: `size` data bytes are read, never more.
struct PlugInChunk {
    std::int32_t size;
    std::int32_t version;
    TypeID manufacturerID;
    TypeID productID;
    TypeID plugInID;
    TypeID chunkID;
    char name[32];
    // data bytes follow at offset kChunkHeaderSize
};
inline constexpr std::size_t kChunkHeaderSize = 56;
static_assert(sizeof(PlugInChunk) == kChunkHeaderSize, "chunk header layout");

inline unsigned char* chunkData(PlugInChunk* chunk) {
    return reinterpret_cast<unsigned char*>(chunk) + kChunkHeaderSize;
}
inline const unsigned char* chunkData(const PlugInChunk* chunk) {
    return reinterpret_cast<const unsigned char*>(chunk) + kChunkHeaderSize;
}

// One MIDI packet of a MIDI node: timestamp in samples from the start of the render call.
struct MidiPacket {
    std::uint32_t timestamp;
    std::uint32_t length;  // valid bytes in data
    std::uint8_t data[4];
    Boolean isImmediate;
};

// What a MIDI-node field of the algorithm context points to: the packets of this render call.
struct MidiNode {
    MidiPacket* buffer;
    std::uint32_t bufferSize;  // number of packets
};

// ---------------------------------------------------------------------------------------------
// Callbacks handed to the host

// The algorithm context of one instance is an array of pointer-sized fields; the field registered
// under FieldIndex i is entry i. What each entry points to:
//   audio input / output   float* const*  one channel buffer per channel of the stem format
//   audio buffer length    std::int32_t*  number of samples in this call (at most 1024)
//   MIDI node              MidiNode*
//   private data           a host-owned block of the registered byte size, filled by
//                          IEffectParameters::ResetFieldData before the first render
//   meters                 float*         one value per meter identifier, written by the plug-in
using ContextField = void*;

// [audio thread] Renders every instance in [instancesBegin, instancesEnd); instancesEnd is
// instancesBegin + number of instances.
using RenderProc = void (*)(ContextField* const instancesBegin[], const void* instancesEnd);

// Optional per-instance and background procedures of a component; this plug-in passes null.
using InstanceInitProc = Result (*)(const void* instanceContext, std::int32_t action);
using BackgroundProc = Result (*)();

class IACFUnknown;

// [host thread] Factory handed over with AddProcPtr: returns a new object carrying one reference
// for the caller, or null.
using CreateObjectProc = IACFUnknown* (*)();

// ---------------------------------------------------------------------------------------------
// Component framework

// Base of every reference-counted object. Implemented by: both sides.
class IACFUnknown {
public:
    static constexpr UID kIID = {
        {0xc7, 0x91, 0xa4, 0x03, 0x43, 0x7a, 0x6d, 0x2f, 0x12, 0x68, 0x20, 0x0f, 0x42, 0xe4, 0x54, 0x02}};

    // [any thread] On success stores the object's implementation of iid in *outInterface with one
    // added reference and returns kSuccess; otherwise stores null and returns kErrorNoInterface.
    virtual Result QueryInterface(const UID& iid, void** outInterface) = 0;
    // [any thread] Returns the new reference count.
    virtual std::uint32_t AddRef() = 0;
    // [any thread] Returns the new reference count; the object is destroyed when it reaches 0.
    virtual std::uint32_t Release() = 0;

protected:
    ~IACFUnknown() = default;
};

// Queries unknown for interface I; null when unknown is null or refuses. The caller releases the
// result.
template <class I>
I* queryInterface(IACFUnknown* unknown) {
    void* out = nullptr;
    if (!unknown || unknown->QueryInterface(I::kIID, &out) != kSuccess) return nullptr;
    return static_cast<I*>(out);
}

// Text written by the callee into a caller-owned string. Implemented by: the caller (host side).
// Valid for the duration of the call it is passed to.
class IString {
public:
    // Replaces the contents with a copy of the zero-terminated text.
    virtual void Set(const char* text) = 0;
    // The current contents, zero-terminated.
    virtual const char* Get() = 0;

protected:
    ~IString() = default;
};

// ---------------------------------------------------------------------------------------------
// Host interfaces

// Process-wide host services. Implemented by: host; the unknown passed to ACFStartup may answer
// it. The plug-in keeps a reference to that unknown until ACFShutdown and calls nothing else on it.
class IHostServices : public IACFUnknown {
public:
    static constexpr UID kIID = {
        {0x21, 0x8e, 0x9e, 0x3e, 0x44, 0x58, 0x66, 0xaf, 0x64, 0xb7, 0xac, 0xca, 0xec, 0x74, 0xd9, 0x0c}};

protected:
    ~IHostServices() = default;
};

// The plug-in definition that the host receives from ACFRegisterPlugin. Implemented by: host;
// answered by the collection's QueryInterface.
class IACFPluginDefinition : public IACFUnknown {
public:
    static constexpr UID kIID = {
        {0x9a, 0x68, 0xcd, 0x2f, 0x8f, 0x91, 0x7e, 0x79, 0x81, 0x4e, 0xdd, 0x4a, 0x76, 0x3a, 0x0a, 0x76}};

protected:
    ~IACFPluginDefinition() = default;
};

// Named numeric properties of one component. Implemented by: host. Created by
// IComponentDescriptor::NewPropertyMap, owned by the host, valid as long as the collection.
class IPropertyMap {
public:
    virtual Result AddProperty(PropertyID property, PropertyValue value) = 0;

protected:
    ~IPropertyMap() = default;
};

// Description of one processing component (one channel layout). Implemented by: host. Created by
// IEffectDescriptor::NewComponentDescriptor, owned by the host, valid as long as the collection.
class IComponentDescriptor {
public:
    virtual Result AddAudioIn(FieldIndex field) = 0;
    virtual Result AddAudioOut(FieldIndex field) = 0;
    virtual Result AddAudioBufferLength(FieldIndex field) = 0;
    // nodeType is one of kMidiNode*; channelMask selects MIDI channels (bit n = channel n + 1).
    virtual Result AddMIDINode(FieldIndex field, std::int32_t nodeType, const char* name,
                               std::uint32_t channelMask) = 0;
    // A private block of byteSize bytes per instance; the host zero-fills it and lets the
    // effect-parameters object fill it through ResetFieldData.
    virtual Result AddPrivateData(FieldIndex field, std::int32_t byteSize) = 0;
    virtual Result AddMeters(FieldIndex field, const std::uint32_t* meterIDs, std::uint32_t count) = 0;
    // Returns a new, empty property map, or null.
    virtual IPropertyMap* NewPropertyMap() = 0;
    // The render callback for native (host-processor) rendering with its properties. initProc,
    // backgroundProc and outProcID may be null.
    virtual Result AddProcessProc_Native(RenderProc render, IPropertyMap* properties,
                                         InstanceInitProc initProc, BackgroundProc backgroundProc,
                                         std::uint32_t* outProcID) = 0;

protected:
    ~IComponentDescriptor() = default;
};

// Description of one effect (the plug-in). Implemented by: host. Created by
// ICollection::NewDescriptor, owned by the host, valid as long as the collection.
class IEffectDescriptor {
public:
    // Returns a new component descriptor, or null.
    virtual IComponentDescriptor* NewComponentDescriptor() = 0;
    virtual Result AddName(const char* name) = 0;
    virtual Result AddCategory(std::uint32_t categoryBits) = 0;
    // procID is one of kProcID*.
    virtual Result AddProcPtr(CreateObjectProc factory, ProcPtrID procID) = 0;
    virtual Result AddComponent(IComponentDescriptor* component) = 0;

protected:
    ~IEffectDescriptor() = default;
};

// The collection the plug-in describes itself into. Implemented by: host. The unknown passed to
// ACFRegisterPlugin answers it; the collection itself answers IACFPluginDefinition.
class ICollection : public IACFUnknown {
public:
    static constexpr UID kIID = {
        {0xa0, 0x75, 0x3b, 0x45, 0x87, 0x5f, 0xf1, 0xe8, 0xca, 0xee, 0xa9, 0xf2, 0xbb, 0x1c, 0x90, 0x0f}};

    // Returns a new effect descriptor, or null.
    virtual IEffectDescriptor* NewDescriptor() = 0;
    virtual Result AddEffect(const char* bundleID, IEffectDescriptor* effect) = 0;
    virtual Result AddPackageName(const char* name) = 0;
    virtual Result SetManufacturerName(const char* name) = 0;
    virtual Result SetPackageVersion(std::uint32_t version) = 0;

protected:
    ~ICollection() = default;
};

// Per-instance host state. Implemented by: host. The unknown passed to IEffectParameters::
// Initialize and IEffectGUI::Initialize answers it. The getters may be called on the audio
// thread and must not block there.
class IController : public IACFUnknown {
public:
    static constexpr UID kIID = {
        {0xa5, 0x5b, 0xb5, 0x3b, 0x20, 0xa5, 0xfa, 0x7e, 0xc2, 0x48, 0xb7, 0xe0, 0x96, 0xc4, 0xb9, 0x7d}};

    virtual Result GetSampleRate(float* outSampleRate) = 0;
    virtual Result GetInputStemFormat(StemFormat* outFormat) = 0;
    virtual Result GetOutputStemFormat(StemFormat* outFormat) = 0;
    // May be called from the audio thread after a sample-rate change.
    virtual Result SetSignalLatency(std::int32_t samples) = 0;

protected:
    ~IController() = default;
};

// The host's transport. Implemented by: host. Answered like IController; called on the audio
// thread and must not block there.
class ITransport : public IACFUnknown {
public:
    static constexpr UID kIID = {
        {0x8f, 0x04, 0x58, 0x11, 0xb7, 0x73, 0xfe, 0x89, 0x0d, 0x3d, 0x53, 0xda, 0xcc, 0xe8, 0x04, 0x5b}};

    virtual Result GetCurrentTempo(double* outBeatsPerMinute) = 0;
    virtual Result IsTransportPlaying(Boolean* outPlaying) = 0;
    virtual Result GetCurrentNativeSampleLocation(std::int64_t* outSample) = 0;

protected:
    ~ITransport() = default;
};

// The host's automation system. Implemented by: host. Answered by the unknown passed to
// IEffectParameters::Initialize; required by EffectInit and EffectUninit. After a set-value
// request the host sets the value back through IEffectParameters.
class IAutomationDelegate : public IACFUnknown {
public:
    static constexpr UID kIID = {
        {0x8e, 0x96, 0x80, 0x1e, 0x7c, 0xe1, 0xf4, 0x2e, 0x4d, 0xdf, 0x25, 0x0a, 0xc6, 0xeb, 0x54, 0x3d}};

    virtual Result RegisterParameter(ParamID id) = 0;
    virtual Result UnregisterParameter(ParamID id) = 0;
    virtual Result PostTouchRequest(ParamID id) = 0;
    virtual Result PostSetValueRequest(ParamID id, double normalizedValue) = 0;
    virtual Result PostReleaseRequest(ParamID id) = 0;

protected:
    ~IAutomationDelegate() = default;
};

// The host's container for the editor. Implemented by: host. Passed to IEffectGUI::
// SetViewContainer, owned by the host, valid until the next SetViewContainer call.
class IViewContainer {
public:
    // The native parent view (an NSView* on macOS), or null. Returns the pointer, not a Result.
    virtual void* GetPtr() = 0;

protected:
    ~IViewContainer() = default;
};

// ---------------------------------------------------------------------------------------------
// Plug-in objects

// The per-instance parameter, state and field object. Implemented by: plug-in; created by the
// kProcIDEffectParameters factory. The host calls Initialize before anything else, Uninitialize
// before the final Release. Parameter identifiers are "MasterBypassID" and the decimal indices
// "0", "1", ... of the plug-in's own parameters. Out arguments must not be null
// (kErrorNullObject otherwise).
class IEffectParameters : public IACFUnknown {
public:
    static constexpr UID kIID = {
        {0x75, 0x9c, 0x9a, 0xc2, 0xb2, 0x06, 0x57, 0x99, 0xa0, 0xc6, 0xe6, 0xba, 0x8a, 0x69, 0x1f, 0x8d}};

    // [host thread] host answers IController, ITransport and IAutomationDelegate.
    virtual Result Initialize(IACFUnknown* host) = 0;
    virtual Result Uninitialize() = 0;
    virtual Result NotificationReceived(TypeID type, const void* data, std::uint32_t size) = 0;

    // [host thread] Parameters.
    virtual Result GetNumberOfParameters(std::int32_t* outCount) = 0;
    virtual Result GetMasterBypassParameter(IString* outID) = 0;
    virtual Result GetParameterIsAutomatable(ParamID id, Boolean* outAutomatable) = 0;
    virtual Result GetParameterNumberOfSteps(ParamID id, std::int32_t* outSteps) = 0;
    virtual Result GetParameterName(ParamID id, IString* outName) = 0;
    virtual Result GetParameterNameOfLength(ParamID id, IString* outName, std::int32_t length) = 0;
    virtual Result GetParameterDefaultNormalizedValue(ParamID id, double* outValue) = 0;
    virtual Result SetParameterDefaultNormalizedValue(ParamID id, double value) = 0;
    virtual Result GetParameterType(ParamID id, std::int32_t* outType) = 0;
    virtual Result GetParameterOrientation(ParamID id, std::int32_t* outOrientation) = 0;
    virtual Result GetParameter(ParamID id, void** outParameter) = 0;
    virtual Result GetParameterIndex(ParamID id, std::int32_t* outIndex) = 0;
    virtual Result GetParameterIDFromIndex(std::int32_t index, IString* outID) = 0;
    virtual Result GetParameterValueInfo(ParamID id, std::int32_t selector, std::int32_t* outValue) = 0;
    virtual Result GetParameterValueFromString(ParamID id, double* outValue, const char* text) = 0;
    virtual Result GetParameterStringFromValue(ParamID id, double value, IString* outText,
                                               std::int32_t maxLength) = 0;
    virtual Result GetParameterValueString(ParamID id, IString* outText, std::int32_t maxLength) = 0;
    virtual Result GetParameterNormalizedValue(ParamID id, double* outValue) = 0;
    virtual Result SetParameterNormalizedValue(ParamID id, double value) = 0;
    virtual Result SetParameterNormalizedRelative(ParamID id, double delta) = 0;
    virtual Result TouchParameter(ParamID id) = 0;
    virtual Result ReleaseParameter(ParamID id) = 0;
    virtual Result UpdateParameterTouch(ParamID id, Boolean touched) = 0;
    virtual Result UpdateParameterNormalizedValue(ParamID id, double value, std::int32_t source) = 0;
    virtual Result UpdateParameterNormalizedRelative(ParamID id, double delta) = 0;
    virtual Result GenerateCoefficients() = 0;

    // [host thread] Fills the instance's block of a private-data field; size is the block's byte
    // size. Also makes the next render reset the plug-in.
    virtual Result ResetFieldData(FieldIndex field, void* data, std::uint32_t size) = 0;

    // [host thread] State chunks (see PlugInChunk for the size contract).
    virtual Result GetNumberOfChunks(std::int32_t* outCount) = 0;
    virtual Result GetChunkIDFromIndex(std::int32_t index, TypeID* outID) = 0;
    virtual Result GetChunkSize(TypeID id, std::uint32_t* outSize) = 0;
    virtual Result GetChunk(TypeID id, PlugInChunk* chunk) = 0;
    virtual Result SetChunk(TypeID id, const PlugInChunk* chunk) = 0;
    virtual Result CompareActiveChunk(const PlugInChunk* chunk, Boolean* outEqual) = 0;
    virtual Result GetNumberOfChanges(std::int32_t* outCount) = 0;

    // [host thread] Other host operations.
    virtual Result TimerWakeup() = 0;
    virtual Result GetCurveData(TypeID curveType, const float* values, std::uint32_t count,
                                float* outValues) = 0;
    virtual Result GetCurveDataMeterIds(TypeID curveType, std::uint32_t* outXMeterID,
                                        std::uint32_t* outYMeterID) = 0;
    virtual Result GetCurveDataDisplayRange(TypeID curveType, float* outXMin, float* outXMax, float* outYMin,
                                            float* outYMax) = 0;
    virtual Result GetCustomData(TypeID type, std::uint32_t size, void* data, std::uint32_t* outWritten) = 0;
    virtual Result SetCustomData(TypeID type, std::uint32_t size, const void* data) = 0;
    virtual Result DoMIDITransfers() = 0;
    virtual Result UpdateMIDINodes(FieldIndex field, const MidiPacket* packet) = 0;
    virtual Result UpdateControlMIDINodes(TypeID nodeID, const MidiPacket* packet) = 0;
    virtual Result RenderAudio_Hybrid(void* renderInfo) = 0;

protected:
    ~IEffectParameters() = default;
};

// The per-instance editor object. Implemented by: plug-in; created by the kProcIDEffectGUI
// factory. All calls on the host's user-interface thread.
class IEffectGUI : public IACFUnknown {
public:
    static constexpr UID kIID = {
        {0x53, 0xc1, 0x64, 0x91, 0xe9, 0xe6, 0x8f, 0x01, 0xea, 0x5a, 0xb8, 0xbe, 0x33, 0xf3, 0x4b, 0x22}};

    // host answers IController, ITransport and IEffectParameters (the same instance's object).
    virtual Result Initialize(IACFUnknown* host) = 0;
    virtual Result Uninitialize() = 0;
    virtual Result NotificationReceived(TypeID type, const void* data, std::uint32_t size) = 0;
    // A non-null container opens the editor inside it; null closes the editor.
    virtual Result SetViewContainer(IViewContainer* container) = 0;
    virtual Result GetViewSize(Point* outSize) = 0;
    virtual Result Draw(Rect* area) = 0;
    virtual Result TimerWakeup() = 0;
    virtual Result ParameterUpdated(ParamID id) = 0;
    virtual Result GetCustomLabel(TypeID selector, IString* outLabel) = 0;
    virtual Result SetControlHighlightInfo(ParamID id, Boolean highlighted, std::int32_t color) = 0;

protected:
    ~IEffectGUI() = default;
};

}  // namespace plugkit::aax::sdk
