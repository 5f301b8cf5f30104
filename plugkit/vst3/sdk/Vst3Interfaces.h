#pragma once

// The VST 3 interfaces of an audio effect and of its host on x86-64 Linux: the component and its
// audio processor, the edit controller with its units and programs, the host's callbacks,
// messages, streams, parameter queues, events, the editor view and the Linux run loop, with the
// structures and constants they exchange. Same rules as Vst3Base.h: pure virtual methods in ABI
// order, no destructors, natural alignment pinned by static_asserts.

#include "plugkit/vst3/sdk/Vst3Base.h"

namespace plugkit::vst3::sdk {

using ParamID = uint32;     // plug-in ids 0..0x7FFFFFFF
using ParamValue = double;  // normalized, 0..1
using MediaType = int32;
using BusDirection = int32;
using BusType = int32;
using IoMode = int32;
using UnitID = int32;
using ProgramListID = int32;
using CtrlNumber = int16;
using TSamples = int64;
using TQuarterNotes = double;
using Sample32 = float;
using Sample64 = double;
using SampleRate = double;
using SpeakerArrangement = uint64;
using CString = const char8*;
using AttrID = const char*;

inline constexpr ParamID kNoParamId = 0xFFFFFFFF;

enum : MediaType { kAudio = 0, kEvent = 1 };
enum : BusDirection { kInput = 0, kOutput = 1 };
enum : BusType { kMain = 0, kAux = 1 };
enum : int32 { kRealtime = 0, kPrefetch = 1, kOffline = 2 };  // process modes
enum : int32 { kSample32 = 0, kSample64 = 1 };                // symbolic sample sizes
enum : uint32 { kNoTail = 0, kInfiniteTail = 0xFFFFFFFF };
enum : int32 { kIBSeekSet = 0, kIBSeekCur = 1, kIBSeekEnd = 2 };
enum : int32 { kRootUnitId = 0, kNoParentUnitId = -1, kNoProgramListId = -1 };

namespace speaker {
inline constexpr SpeakerArrangement kEmpty = 0;
inline constexpr SpeakerArrangement kMono = 1u << 19;  // its own bit, not the left speaker's
inline constexpr SpeakerArrangement kStereo = 0x3;     // left | right
}  // namespace speaker

namespace bus_flags {
enum : uint32 { kDefaultActive = 1, kIsControlVoltage = 2 };
}
namespace component_flags {
enum : uint32 { kDistributable = 1, kSimpleModeSupported = 2 };
}
namespace parameter_flags {
enum : int32 {
    kNoFlags = 0,
    kCanAutomate = 0x1,
    kIsReadOnly = 0x2,
    kIsWrapAround = 0x4,
    kIsList = 0x8,
    kIsHidden = 0x10,
    kIsProgramChange = 0x8000,
    kIsBypass = 0x10000,
};
}
namespace restart_flags {
enum : int32 {
    kReloadComponent = 0x1,
    kIoChanged = 0x2,
    kParamValuesChanged = 0x4,
    kLatencyChanged = 0x8,
    kParamTitlesChanged = 0x10,
};
}

inline constexpr const char* kEditorViewType = "editor";
inline constexpr const char* kPlatformTypeX11EmbedWindowID = "X11EmbedWindowID";

struct BusInfo {
    MediaType mediaType;
    BusDirection direction;
    int32 channelCount;
    String128 name;
    BusType busType;
    uint32 flags;
};

struct RoutingInfo {
    MediaType mediaType;
    int32 busIndex;
    int32 channel;  // -1: all
};

struct ProcessSetup {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 maxSamplesPerBlock;
    SampleRate sampleRate;
};

struct AudioBusBuffers {
    int32 numChannels;
    uint64 silenceFlags;  // bit n: channel n is silent
    union {
        Sample32** channelBuffers32;
        Sample64** channelBuffers64;
    };
};

struct Chord {
    uint8 keyNote;
    uint8 rootNote;
    int16 chordMask;
};

struct FrameRate {
    uint32 framesPerSecond;
    uint32 flags;
};

struct ProcessContext {
    enum : uint32 {
        kPlaying = 0x2,
        kCycleActive = 0x4,
        kRecording = 0x8,
        kSystemTimeValid = 0x100,
        kProjectTimeMusicValid = 0x200,
        kTempoValid = 0x400,
        kBarPositionValid = 0x800,
        kCycleValid = 0x1000,
        kTimeSigValid = 0x2000,
        kSmpteValid = 0x4000,
        kClockValid = 0x8000,
        kContTimeValid = 0x20000,
        kChordValid = 0x40000,
    };
    uint32 state;
    SampleRate sampleRate;
    TSamples projectTimeSamples;
    int64 systemTime;
    TSamples continousTimeSamples;
    TQuarterNotes projectTimeMusic;
    TQuarterNotes barPositionMusic;
    TQuarterNotes cycleStartMusic;
    TQuarterNotes cycleEndMusic;
    double tempo;
    int32 timeSigNumerator;
    int32 timeSigDenominator;
    Chord chord;
    int32 smpteOffsetSubframes;
    FrameRate frameRate;
    int32 samplesToNextClock;
};

class IParameterChanges;
class IEventList;

struct ProcessData {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 numSamples;
    int32 numInputs;
    int32 numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;  // may be null
    IEventList* inputEvents;                    // may be null
    IEventList* outputEvents;                   // may be null
    ProcessContext* processContext;             // may be null
};

// An event, laid out only so that a list of them can be skipped.
struct Event {
    int32 busIndex;
    int32 sampleOffset;
    TQuarterNotes ppqPosition;
    uint16 flags;
    uint16 type;
    alignas(8) unsigned char payload[24];
};

struct ParameterInfo {
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32 stepCount;  // 0 continuous, 1 toggle, n: n + 1 values
    ParamValue defaultNormalizedValue;
    UnitID unitId;
    int32 flags;
};

struct UnitInfo {
    UnitID id;
    UnitID parentUnitId;
    String128 name;
    ProgramListID programListId;
};

struct ProgramListInfo {
    ProgramListID id;
    String128 name;
    int32 programCount;
};

struct ViewRect {
    int32 left, top, right, bottom;
};

// Streams and parameter changes.

class IBStream : public FUnknown {
public:
    // numBytesRead / numBytesWritten may be null; a read may return fewer bytes than asked.
    virtual tresult read(void* buffer, int32 numBytes, int32* numBytesRead) = 0;
    virtual tresult write(void* buffer, int32 numBytes, int32* numBytesWritten) = 0;
    virtual tresult seek(int64 pos, int32 mode, int64* result) = 0;
    virtual tresult tell(int64* pos) = 0;
    static constexpr Uid iid = Uid::of(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
};

class IParamValueQueue : public FUnknown {
public:
    virtual ParamID getParameterId() = 0;
    virtual int32 getPointCount() = 0;
    virtual tresult getPoint(int32 index, int32& sampleOffset, ParamValue& value) = 0;
    virtual tresult addPoint(int32 sampleOffset, ParamValue value, int32& index) = 0;
    static constexpr Uid iid = Uid::of(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
};

class IParameterChanges : public FUnknown {
public:
    virtual int32 getParameterCount() = 0;
    virtual IParamValueQueue* getParameterData(int32 index) = 0;
    virtual IParamValueQueue* addParameterData(const ParamID& id, int32& index) = 0;
    static constexpr Uid iid = Uid::of(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
};

class IEventList : public FUnknown {
public:
    virtual int32 getEventCount() = 0;
    virtual tresult getEvent(int32 index, Event& e) = 0;
    virtual tresult addEvent(Event& e) = 0;
    static constexpr Uid iid = Uid::of(0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);
};

// The processor side.

class IComponent : public IPluginBase {
public:
    virtual tresult getControllerClassId(TUID classId) = 0;
    virtual tresult setIoMode(IoMode mode) = 0;
    virtual int32 getBusCount(MediaType type, BusDirection dir) = 0;
    virtual tresult getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) = 0;
    virtual tresult getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
    virtual tresult activateBus(MediaType type, BusDirection dir, int32 index, TBool state) = 0;
    virtual tresult setActive(TBool state) = 0;
    virtual tresult setState(IBStream* state) = 0;
    virtual tresult getState(IBStream* state) = 0;
    static constexpr Uid iid = Uid::of(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
};

class IAudioProcessor : public FUnknown {
public:
    virtual tresult setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                       int32 numOuts) = 0;
    virtual tresult getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) = 0;
    virtual tresult canProcessSampleSize(int32 symbolicSampleSize) = 0;
    virtual uint32 getLatencySamples() = 0;
    virtual tresult setupProcessing(ProcessSetup& setup) = 0;
    virtual tresult setProcessing(TBool state) = 0;
    virtual tresult process(ProcessData& data) = 0;
    virtual uint32 getTailSamples() = 0;
    static constexpr Uid iid = Uid::of(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
};

class IProcessContextRequirements : public FUnknown {
public:
    virtual uint32 getProcessContextRequirements() = 0;
    static constexpr Uid iid = Uid::of(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
};

// The host's callbacks.

class IComponentHandler : public FUnknown {
public:
    virtual tresult beginEdit(ParamID id) = 0;
    virtual tresult performEdit(ParamID id, ParamValue valueNormalized) = 0;
    virtual tresult endEdit(ParamID id) = 0;
    virtual tresult restartComponent(int32 flags) = 0;
    static constexpr Uid iid = Uid::of(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
};

class IComponentHandler2 : public FUnknown {
public:
    virtual tresult setDirty(TBool state) = 0;
    virtual tresult requestOpenEditor(FIDString name) = 0;
    virtual tresult startGroupEdit() = 0;
    virtual tresult finishGroupEdit() = 0;
    static constexpr Uid iid = Uid::of(0xF040B4B3, 0xA36045EC, 0xABCDC045, 0xB4D5A2CC);
};

class IUnitHandler : public FUnknown {
public:
    virtual tresult notifyUnitSelection(UnitID unitId) = 0;
    virtual tresult notifyProgramListChange(ProgramListID listId, int32 programIndex) = 0;
    static constexpr Uid iid = Uid::of(0x4B5147F8, 0x4654486B, 0x8DAB30BA, 0x163A3C56);
};

class IHostApplication : public FUnknown {
public:
    virtual tresult getName(String128 name) = 0;
    virtual tresult createInstance(TUID cid, TUID iid, void** obj) = 0;
    static constexpr Uid iid = Uid::of(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);
};

class IPlugInterfaceSupport : public FUnknown {
public:
    virtual tresult isPlugInterfaceSupported(const TUID iid) = 0;
    static constexpr Uid iid = Uid::of(0x4FB58B9E, 0x9EAA4E0F, 0xAB361C1C, 0xCCB56FEA);
};

// Messages between the two halves.

class IAttributeList : public FUnknown {
public:
    virtual tresult setInt(AttrID id, int64 value) = 0;
    virtual tresult getInt(AttrID id, int64& value) = 0;
    virtual tresult setFloat(AttrID id, double value) = 0;
    virtual tresult getFloat(AttrID id, double& value) = 0;
    virtual tresult setString(AttrID id, const TChar* string) = 0;
    virtual tresult getString(AttrID id, TChar* string, uint32 sizeInBytes) = 0;
    virtual tresult setBinary(AttrID id, const void* data, uint32 sizeInBytes) = 0;
    virtual tresult getBinary(AttrID id, const void*& data, uint32& sizeInBytes) = 0;
    static constexpr Uid iid = Uid::of(0x1E5F0AEB, 0xCC7F4533, 0xA2544011, 0x38AD5EE4);
};

class IMessage : public FUnknown {
public:
    virtual FIDString getMessageID() = 0;
    virtual void setMessageID(FIDString id) = 0;
    virtual IAttributeList* getAttributes() = 0;  // no reference added
    static constexpr Uid iid = Uid::of(0x936F033B, 0xC6C047DB, 0xBB0882F8, 0x13C1E613);
};

class IConnectionPoint : public FUnknown {
public:
    virtual tresult connect(IConnectionPoint* other) = 0;
    virtual tresult disconnect(IConnectionPoint* other) = 0;
    virtual tresult notify(IMessage* message) = 0;
    static constexpr Uid iid = Uid::of(0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1);
};

// The editor view and the Linux run loop.

class IPlugView;

class IPlugFrame : public FUnknown {
public:
    virtual tresult resizeView(IPlugView* view, ViewRect* newSize) = 0;
    static constexpr Uid iid = Uid::of(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
};

class IPlugView : public FUnknown {
public:
    virtual tresult isPlatformTypeSupported(FIDString type) = 0;
    virtual tresult attached(void* parent, FIDString type) = 0;  // X11: the parent Window id
    virtual tresult removed() = 0;
    virtual tresult onWheel(float distance) = 0;
    virtual tresult onKeyDown(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult onKeyUp(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult getSize(ViewRect* size) = 0;
    virtual tresult onSize(ViewRect* newSize) = 0;
    virtual tresult onFocus(TBool state) = 0;
    virtual tresult setFrame(IPlugFrame* frame) = 0;
    virtual tresult canResize() = 0;
    virtual tresult checkSizeConstraint(ViewRect* rect) = 0;
    static constexpr Uid iid = Uid::of(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
};

class IPlugViewContentScaleSupport : public FUnknown {
public:
    virtual tresult setContentScaleFactor(float factor) = 0;
    static constexpr Uid iid = Uid::of(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);
};

namespace linux_ui {

class IEventHandler : public FUnknown {
public:
    virtual void onFDIsSet(int fd) = 0;
    static constexpr Uid iid = Uid::of(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
};

class ITimerHandler : public FUnknown {
public:
    virtual void onTimer() = 0;
    static constexpr Uid iid = Uid::of(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
};

class IRunLoop : public FUnknown {
public:
    virtual tresult registerEventHandler(IEventHandler* handler, int fd) = 0;
    virtual tresult unregisterEventHandler(IEventHandler* handler) = 0;
    virtual tresult registerTimer(ITimerHandler* handler, uint64 milliseconds) = 0;
    virtual tresult unregisterTimer(ITimerHandler* handler) = 0;
    static constexpr Uid iid = Uid::of(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
};

}  // namespace linux_ui

// The controller side.

class IEditController : public IPluginBase {
public:
    virtual tresult setComponentState(IBStream* state) = 0;
    virtual tresult setState(IBStream* state) = 0;
    virtual tresult getState(IBStream* state) = 0;
    virtual int32 getParameterCount() = 0;
    virtual tresult getParameterInfo(int32 paramIndex, ParameterInfo& info) = 0;
    virtual tresult getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) = 0;
    virtual tresult getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) = 0;
    virtual ParamValue normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
    virtual ParamValue plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
    virtual ParamValue getParamNormalized(ParamID id) = 0;
    virtual tresult setParamNormalized(ParamID id, ParamValue value) = 0;
    virtual tresult setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* createView(FIDString name) = 0;  // a new reference, or nullptr
    static constexpr Uid iid = Uid::of(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
};

class IEditController2 : public FUnknown {
public:
    virtual tresult setKnobMode(int32 mode) = 0;
    virtual tresult openHelp(TBool onlyCheck) = 0;
    virtual tresult openAboutBox(TBool onlyCheck) = 0;
    static constexpr Uid iid = Uid::of(0x7F4EFE59, 0xF3204967, 0xAC27A3AE, 0xAFB63038);
};

class IUnitInfo : public FUnknown {
public:
    virtual int32 getUnitCount() = 0;
    virtual tresult getUnitInfo(int32 unitIndex, UnitInfo& info) = 0;
    virtual int32 getProgramListCount() = 0;
    virtual tresult getProgramListInfo(int32 listIndex, ProgramListInfo& info) = 0;
    virtual tresult getProgramName(ProgramListID listId, int32 programIndex, String128 name) = 0;
    virtual tresult getProgramInfo(ProgramListID listId, int32 programIndex, CString attributeId,
                                   String128 attributeValue) = 0;
    virtual tresult hasProgramPitchNames(ProgramListID listId, int32 programIndex) = 0;
    virtual tresult getProgramPitchName(ProgramListID listId, int32 programIndex, int16 midiPitch,
                                        String128 name) = 0;
    virtual UnitID getSelectedUnit() = 0;
    virtual tresult selectUnit(UnitID unitId) = 0;
    virtual tresult getUnitByBus(MediaType type, BusDirection dir, int32 busIndex, int32 channel,
                                 UnitID& unitId) = 0;
    virtual tresult setUnitProgramData(int32 listOrUnitId, int32 programIndex, IBStream* data) = 0;
    static constexpr Uid iid = Uid::of(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);
};

static_assert(IComponent::iid.bytes[0] == 0xE8 && IComponent::iid.bytes[3] == 0x31 &&
              IComponent::iid.bytes[4] == 0xF2 && IComponent::iid.bytes[7] == 0x01 &&
              IComponent::iid.bytes[15] == 0x02);
static_assert(sizeof(BusInfo) == 276 && offsetof(BusInfo, busType) == 268 && offsetof(BusInfo, flags) == 272);
static_assert(sizeof(RoutingInfo) == 12);
static_assert(sizeof(ProcessSetup) == 24 && offsetof(ProcessSetup, sampleRate) == 16);
static_assert(sizeof(AudioBusBuffers) == 24 && offsetof(AudioBusBuffers, silenceFlags) == 8 &&
              offsetof(AudioBusBuffers, channelBuffers32) == 16);
static_assert(sizeof(ProcessData) == 80 && offsetof(ProcessData, inputs) == 24 &&
              offsetof(ProcessData, inputParameterChanges) == 40 &&
              offsetof(ProcessData, processContext) == 72);
static_assert(sizeof(Chord) == 4 && sizeof(FrameRate) == 8);
static_assert(sizeof(ProcessContext) == 112 && offsetof(ProcessContext, sampleRate) == 8 &&
              offsetof(ProcessContext, tempo) == 72 && offsetof(ProcessContext, chord) == 88 &&
              offsetof(ProcessContext, smpteOffsetSubframes) == 92 &&
              offsetof(ProcessContext, frameRate) == 96 &&
              offsetof(ProcessContext, samplesToNextClock) == 104);
static_assert(sizeof(Event) == 48 && offsetof(Event, flags) == 16 && offsetof(Event, payload) == 24);
static_assert(sizeof(ParameterInfo) == 792 && offsetof(ParameterInfo, title) == 4 &&
              offsetof(ParameterInfo, units) == 516 && offsetof(ParameterInfo, stepCount) == 772 &&
              offsetof(ParameterInfo, defaultNormalizedValue) == 776 &&
              offsetof(ParameterInfo, flags) == 788);
static_assert(sizeof(UnitInfo) == 268 && offsetof(UnitInfo, programListId) == 264);
static_assert(sizeof(ProgramListInfo) == 264 && offsetof(ProgramListInfo, programCount) == 260);
static_assert(sizeof(ViewRect) == 16);

}  // namespace plugkit::vst3::sdk
