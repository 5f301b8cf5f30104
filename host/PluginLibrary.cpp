#include "host/PluginLibrary.h"

#include <dlfcn.h>

#include <mutex>
#include <set>

#include "host/HostCollection.h"
#include "plugkit/aax/sdk/AAXEntryPoints.h"

namespace host {

// The process-wide host services object handed to ACFStartup.
class HostServices final : public sdk::IHostServices {
public:
    sdk::IACFUnknown* unknown() { return static_cast<sdk::IHostServices*>(this); }
    sdk::Result QueryInterface(const sdk::UID& iid, void** out) override {
        if (!out) return sdk::kErrorNullObject;
        *out = nullptr;
        if (!(iid == sdk::IHostServices::kIID)) return sdk::kErrorNoInterface;
        *out = static_cast<sdk::IHostServices*>(this);
        refs_.add();
        return sdk::kSuccess;
    }
    uint32_t AddRef() override { return refs_.add(); }
    uint32_t Release() override { return refs_.release(); }
    const HostRefCount& refs() const { return refs_; }

private:
    HostRefCount refs_;
};

struct PluginLibrary::Exports {
    sdk::ACFStartupProc startup = nullptr;
    sdk::ACFShutdownProc shutdown = nullptr;
    sdk::ACFRegisterPluginProc registerPlugin = nullptr;
    sdk::ACFRegisterComponentProc registerComponent = nullptr;
    sdk::ACFGetClassFactoryProc getClassFactory = nullptr;
    sdk::ACFCanUnloadNowProc canUnloadNow = nullptr;
    sdk::ACFGetSDKVersionProc getSDKVersion = nullptr;
    sdk::PlugkitEnumerateTFXProc enumerateTFX = nullptr;
};

namespace {

// dlopen hands out the same handle for a library that is already loaded; its entry points keep
// process-wide state (the host services), so one PluginLibrary per handle at a time.
std::mutex gOpenMutex;
std::set<void*> gOpenHandles;

template <class F>
bool resolve(void* handle, const char* name, F& out, std::string& missing) {
    out = reinterpret_cast<F>(::dlsym(handle, name));
    if (!out) {
        if (!missing.empty()) missing += ", ";
        missing += name;
    }
    return out != nullptr;
}

}  // namespace

std::unique_ptr<PluginLibrary> PluginLibrary::open(const std::string& path, std::string& error) {
    std::unique_ptr<PluginLibrary> lib(new PluginLibrary());
    lib->path_ = path;
    // A bare file name would make dlopen search the library path; load exactly the file given.
    const std::string loadPath = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = ::dlopen(loadPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        error = "cannot load plug-in library '" + path + "': " + (why ? why : "unknown error");
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(gOpenMutex);
        if (!gOpenHandles.insert(handle).second) {
            ::dlclose(handle);
            error = "plug-in library '" + path + "' is already open";
            return nullptr;
        }
    }
    lib->handle_ = handle;
    lib->exports_ = std::make_unique<Exports>();
    Exports& e = *lib->exports_;
    std::string missing;
    resolve(handle, "ACFStartup", e.startup, missing);
    resolve(handle, "ACFShutdown", e.shutdown, missing);
    resolve(handle, "ACFRegisterPlugin", e.registerPlugin, missing);
    resolve(handle, "ACFRegisterComponent", e.registerComponent, missing);
    resolve(handle, "ACFGetClassFactory", e.getClassFactory, missing);
    resolve(handle, "ACFCanUnloadNow", e.canUnloadNow, missing);
    resolve(handle, "ACFGetSDKVersion", e.getSDKVersion, missing);
    resolve(handle, "PlugkitEnumerateTFX", e.enumerateTFX, missing);
    if (!missing.empty()) {
        error = "'" + path + "' is not a plug-in library (missing " + missing + ")";
        return nullptr;  // the destructor unloads it without calling anything
    }

    lib->services_ = std::make_unique<HostServices>();
    if (e.startup(lib->services_->unknown()) != sdk::kSuccess) {
        error = "plug-in library '" + path + "' failed to start";
        return nullptr;
    }
    lib->started_ = true;

    const sdk::Result r = lib->describe(lib->description_);
    if (r != sdk::kSuccess || !lib->description_.effectAdded) {
        error = "plug-in library '" + path + "' failed to describe itself (result " + std::to_string(r) + ")";
        return nullptr;
    }
    if (lib->description_.components.empty()) {
        error = "plug-in library '" + path + "' describes no processing component";
        return nullptr;
    }
    return lib;
}

PluginLibrary::~PluginLibrary() { close(); }

sdk::Result PluginLibrary::describe(PluginDescription& out, bool refuseDescriptor) {
    HostCollection collection;
    collection.refuseDescriptors(refuseDescriptor);
    sdk::IACFPluginDefinition* definition = nullptr;
    const sdk::Result r = exports_->registerPlugin(collection.unknown(), &definition);
    if (definition) definition->Release();
    out = collection.takeDescription();
    out.registerResult = r;
    // The collection goes away here: the plug-in must not keep a reference to it.
    leakedHostRefs_ += collection.refs().outstanding();
    return r;
}

std::unique_ptr<PluginInstance> PluginLibrary::createInstance(int inputs, int outputs, double sampleRate,
                                                              std::string& error) const {
    auto factory = reinterpret_cast<sdk::CreateObjectProc>(description_.proc(sdk::kProcIDEffectParameters));
    if (!factory) {
        error = "the plug-in registered no effect-parameters factory";
        return nullptr;
    }
    sdk::IACFUnknown* unknown = factory();
    if (!unknown) {
        error = "the plug-in's factory created no object";
        return nullptr;
    }
    auto* effect = sdk::queryInterface<sdk::IEffectParameters>(unknown);
    unknown->Release();
    if (!effect) {
        error = "the plug-in's object is not an effect-parameters object";
        return nullptr;
    }
    std::unique_ptr<PluginInstance> instance(new PluginInstance(description_, effect));
    if (!instance->start(inputs, outputs, sampleRate, error)) return nullptr;
    return instance;
}

std::vector<PresetFile> PluginLibrary::enumeratePresets() const {
    std::vector<PresetFile> presets;
    auto callback = [](const char* name, const void* data, uint32_t size, void* user) {
        auto* list = static_cast<std::vector<PresetFile>*>(user);
        PresetFile p;
        p.name = name ? name : "";
        if (data && size > 0 && size <= (64u << 20)) {
            const auto* b = static_cast<const uint8_t*>(data);
            p.bytes.assign(b, b + size);
        }
        list->push_back(std::move(p));
    };
    exports_->enumerateTFX(callback, &presets);
    return presets;
}

int32_t PluginLibrary::canUnloadNow() const { return exports_->canUnloadNow(); }

sdk::Result PluginLibrary::sdkVersion(uint64_t& version) const { return exports_->getSDKVersion(&version); }

sdk::Result PluginLibrary::registerComponent(void*& outComponent) const {
    sdk::IACFUnknown* component = reinterpret_cast<sdk::IACFUnknown*>(0x1);  // must be overwritten
    const sdk::Result r = exports_->registerComponent(services_->unknown(), nullptr, &component);
    outComponent = component;
    return r;
}

sdk::Result PluginLibrary::getClassFactory(void*& outFactory) const {
    void* factory = reinterpret_cast<void*>(0x1);  // must be overwritten
    const sdk::Result r = exports_->getClassFactory(services_->unknown(), nullptr, nullptr, &factory);
    outFactory = factory;
    return r;
}

int32_t PluginLibrary::close() {
    if (!handle_) return lastCanUnload_;
    bool unload = true;
    if (started_) {
        lastCanUnload_ = exports_->canUnloadNow();
        exports_->shutdown();
        started_ = false;
        leakedHostRefs_ += services_->refs().outstanding();
        unload = lastCanUnload_ == 0 && leakedHostRefs_ == 0;
    }
    {
        std::lock_guard<std::mutex> lock(gOpenMutex);
        gOpenHandles.erase(handle_);
    }
    // A library with live objects (or holding our objects) must stay mapped: its code may still
    // run. The host objects it holds are then kept alive as well.
    if (unload) {
        ::dlclose(handle_);
    } else {
        (void)services_.release();  // deliberately leaked: the plug-in may still hold it
    }
    handle_ = nullptr;
    return lastCanUnload_;
}

}  // namespace host
