#pragma once

// The base of the VST 3 module interface as seen on x86-64 Linux with g++ or clang: scalar types,
// result codes, 16-byte interface and class identifiers, the reference-counted FUnknown and the
// plug-in factory a module hands to its host. Every interface is a class of pure virtual functions
// without a destructor: the vtable order (bases first, then the methods in declaration order) is
// the ABI between host and plug-in, so nothing is ever reordered or added in between. Structures
// have natural alignment; the static_asserts pin their sizes and offsets.

#include <cstddef>
#include <cstdint>

namespace plugkit::vst3::sdk {

using int8 = char;
using uint8 = std::uint8_t;
using int16 = std::int16_t;
using uint16 = std::uint16_t;
using int32 = std::int32_t;
using uint32 = std::uint32_t;
using int64 = std::int64_t;
using uint64 = std::uint64_t;
using tresult = int32;
using TSize = int64;
using TBool = uint8;  // 0 false, anything else true
using char8 = char;
using char16 = char16_t;  // UTF-16 in host byte order
using TChar = char16;
using FIDString = const char8*;  // an identifier text, or 16 raw identifier bytes (createInstance)
using String128 = TChar[128];    // always zero-terminated
using TUID = char[16];

// Result codes of every call (the plain enumeration used outside Windows).
enum : tresult {
    kNoInterface = -1,
    kResultOk = 0,
    kResultTrue = 0,
    kResultFalse = 1,
    kInvalidArgument = 2,
    kNotImplemented = 3,
    kInternalError = 4,
    kNotInitialized = 5,
    kOutOfMemory = 6,
};

// An interface or class identifier: the four 32-bit numbers it is written as, each stored most
// significant byte first. Identifiers cross the boundary as 16 raw bytes and are compared as
// bytes, never as texts (they may hold zero bytes).
struct Uid {
    unsigned char bytes[16];

    static constexpr Uid of(uint32 l1, uint32 l2, uint32 l3, uint32 l4) {
        Uid id{};
        const uint32 words[4] = {l1, l2, l3, l4};
        for (int w = 0; w < 4; ++w)
            for (int b = 0; b < 4; ++b)
                id.bytes[4 * w + b] = static_cast<unsigned char>(words[w] >> (24 - 8 * b));
        return id;
    }
    // True when the 16 bytes at other equal this identifier; a null pointer matches nothing.
    bool matches(const void* other) const {
        if (!other) return false;
        const auto* p = static_cast<const unsigned char*>(other);
        for (int i = 0; i < 16; ++i)
            if (p[i] != bytes[i]) return false;
        return true;
    }
    const char* raw() const { return reinterpret_cast<const char*>(bytes); }
};

class FUnknown {
public:
    // Stores the interface iid of this object in *obj with one reference added (kResultOk), or
    // nullptr (kNoInterface).
    virtual tresult queryInterface(const TUID iid, void** obj) = 0;
    virtual uint32 addRef() = 0;
    virtual uint32 release() = 0;
    static constexpr Uid iid = Uid::of(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
};

class IPluginBase : public FUnknown {
public:
    virtual tresult initialize(FUnknown* context) = 0;
    virtual tresult terminate() = 0;
    static constexpr Uid iid = Uid::of(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
};

struct PFactoryInfo {
    enum : int32 { kNoFlags = 0, kClassesDiscardable = 1, kComponentNonDiscardable = 8, kUnicode = 16 };
    char8 vendor[64];
    char8 url[256];
    char8 email[128];
    int32 flags;
};

struct PClassInfo {
    static constexpr int32 kManyInstances = 0x7FFFFFFF;
    TUID cid;
    int32 cardinality;
    char8 category[32];
    char8 name[64];
};

struct PClassInfo2 {
    TUID cid;
    int32 cardinality;
    char8 category[32];
    char8 name[64];
    uint32 classFlags;
    char8 subCategories[128];
    char8 vendor[64];
    char8 version[64];
    char8 sdkVersion[64];
};

struct PClassInfoW {
    TUID cid;
    int32 cardinality;
    char8 category[32];
    char16 name[64];
    uint32 classFlags;
    char8 subCategories[128];
    char16 vendor[64];
    char16 version[64];
    char16 sdkVersion[64];
};

class IPluginFactory : public FUnknown {
public:
    virtual tresult getFactoryInfo(PFactoryInfo* info) = 0;
    virtual int32 countClasses() = 0;
    virtual tresult getClassInfo(int32 index, PClassInfo* info) = 0;
    // cid and iid point to 16 raw identifier bytes each.
    virtual tresult createInstance(FIDString cid, FIDString iid, void** obj) = 0;
    static constexpr Uid iid = Uid::of(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
};

class IPluginFactory2 : public IPluginFactory {
public:
    virtual tresult getClassInfo2(int32 index, PClassInfo2* info) = 0;
    static constexpr Uid iid = Uid::of(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
};

class IPluginFactory3 : public IPluginFactory2 {
public:
    virtual tresult getClassInfoUnicode(int32 index, PClassInfoW* info) = 0;
    virtual tresult setHostContext(FUnknown* context) = 0;
    static constexpr Uid iid = Uid::of(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
};

// The module's three exports (extern "C", default visibility).
using ModuleEntryProc = bool (*)(void* sharedLibraryHandle);
using ModuleExitProc = bool (*)();
using GetPluginFactoryProc = IPluginFactory* (*)();

inline constexpr const char* kVstAudioEffectClass = "Audio Module Class";
inline constexpr const char* kVstComponentControllerClass = "Component Controller Class";
inline constexpr const char* kVstVersionString = "VST 3.7.14";

// Each of the four numbers most significant byte first.
static_assert(FUnknown::iid.bytes[7] == 0x00 && FUnknown::iid.bytes[8] == 0xC0 &&
              FUnknown::iid.bytes[15] == 0x46);
static_assert(sizeof(TBool) == 1 && sizeof(TChar) == 2 && sizeof(String128) == 256);
static_assert(sizeof(PFactoryInfo) == 452 && offsetof(PFactoryInfo, flags) == 448);
static_assert(sizeof(PClassInfo) == 116 && offsetof(PClassInfo, name) == 52);
static_assert(sizeof(PClassInfo2) == 440 && offsetof(PClassInfo2, classFlags) == 116 &&
              offsetof(PClassInfo2, sdkVersion) == 376);
static_assert(sizeof(PClassInfoW) == 696 && offsetof(PClassInfoW, classFlags) == 180 &&
              offsetof(PClassInfoW, vendor) == 312 && offsetof(PClassInfoW, sdkVersion) == 568);

}  // namespace plugkit::vst3::sdk
