#include "plugkit/aax/AAXClient.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <thread>

#include "plugkit/aax/AAXDescription.h"
#include "plugkit/aax/ClientFactory.h"
#include "plugkit/aax/sdk/AAXEntryPoints.h"
#include "plugkit/client/Client.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/HostCallGuard.h"

namespace plugkit::aax {

namespace {

// Writes the first n characters of text into out (texts of any length).
void setCut(sdk::IString* out, const char* text, std::size_t n) {
    const std::size_t length = std::strlen(text);
    if (n >= length) {
        out->Set(text);
        return;
    }
    char small[128];
    char* buffer = n < sizeof(small) ? small : static_cast<char*>(std::malloc(n + 1));
    if (!buffer) core::outOfMemory();
    std::memcpy(buffer, text, n);
    buffer[n] = 0;
    out->Set(buffer);
    if (buffer != small) std::free(buffer);
}

double clampUnit(double x) { return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x); }

}  // namespace

void AAXParameterListener::onParameterChanged(client::Parameter*) {
    changeCount_.fetch_add(1, std::memory_order_acq_rel);
}

// --- Lifecycle --------------------------------------------------------------------------------

AAXClient::AAXClient(client::Client* client)
    : client_(client),
      hostCommand_(core::mallocNew<AAXHostCommand>()),
      parameterListener_(core::mallocNew<AAXParameterListener>(changeCount_)),
      lastSampleRate_(std::numeric_limits<float>::quiet_NaN()),
      outputScratch_(64) {
    client_->setHostCommand(hostCommand_);
    for (int i = 0; i < client_->paramCount(); ++i) client_->param(i)->addListener(parameterListener_);
    // Sized once for every layout the plug-in accepts, so that rendering never allocates.
    inputPointers_.reserve(static_cast<std::size_t>(client_->maxInputs()));
    outputPointers_.reserve(static_cast<std::size_t>(client_->maxOutputs()));
    outputScratch_.resize(static_cast<std::size_t>(client_->maxOutputs()) * kMaxBlockFrames);
}

AAXClient::~AAXClient() {
    for (int i = 0; i < client_->paramCount(); ++i) client_->param(i)->removeListener(parameterListener_);
    core::destroyFree(parameterListener_);
    core::destroyFree(client_);
    core::destroyFree(hostCommand_);
}

sdk::IACFUnknown* AAXClient::create() {
    core::HostCallGuard guard;
    client::Client* client = plugkitCreateClient();
    if (!client) return nullptr;
    AAXClient* object = core::mallocNew<AAXClient>(client);
    return static_cast<sdk::IEffectParameters*>(object);
}

sdk::Result AAXClient::QueryInterface(const sdk::UID& iid, void** outInterface) {
    if (!outInterface) return sdk::kErrorNullObject;
    *outInterface = nullptr;
    if (iid == sdk::IACFUnknown::kIID || iid == sdk::IEffectParameters::kIID) {
        *outInterface = static_cast<sdk::IEffectParameters*>(this);
    } else if (iid == IClientAccess::kIID) {
        *outInterface = static_cast<IClientAccess*>(this);
    } else {
        return sdk::kErrorNoInterface;
    }
    addReference();
    return sdk::kSuccess;
}

std::uint32_t AAXClient::AddRef() { return addReference(); }

std::uint32_t AAXClient::Release() {
    const std::uint32_t remaining = dropReference();
    if (remaining == 0) core::destroyFree(this);
    return remaining;
}

void AAXClient::stopRenderingWithHost() {
    hostReady_.store(false, std::memory_order_seq_cst);
    // A render pass is short and never blocks, so waiting for the ones in flight is brief.
    while (rendersInFlight_.load(std::memory_order_acquire) != 0) std::this_thread::yield();
}

sdk::Result AAXClient::Initialize(sdk::IACFUnknown* host) {
    if (!host) return sdk::kErrorNotInitialized;
    stopRenderingWithHost();
    controller_.reset(sdk::queryInterface<sdk::IController>(host));
    automationDelegate_.reset(sdk::queryInterface<sdk::IAutomationDelegate>(host));
    hostCommand_->setAutomationDelegate(automationDelegate_.get());
    transport_.reset(sdk::queryInterface<sdk::ITransport>(host));
    hostReady_.store(true, std::memory_order_seq_cst);
    return EffectInit();
}

sdk::Result AAXClient::Uninitialize() {
    stopRenderingWithHost();
    EffectUninit();
    hostCommand_->setAutomationDelegate(nullptr);
    automationDelegate_.reset();
    transport_.reset();
    controller_.reset();
    return sdk::kSuccess;
}

sdk::Result AAXClient::EffectInit() {
    needsReset_.store(true, std::memory_order_release);
    bypassed_.store(false, std::memory_order_release);
    if (automationDelegate_) {
        char id[16];
        for (int i = 0; i < client_->paramCount(); ++i) {
            AAXHostCommand::formatParamID(i, id);
            automationDelegate_->RegisterParameter(id);
        }
    }
    float sampleRate = 0.0f;
    if (controller_ && controller_->GetSampleRate(&sampleRate) == sdk::kSuccess &&
        std::isfinite(sampleRate) && sampleRate > 0.0f)
        controller_->SetSignalLatency(client_->latencySamples(sampleRate));
    return sdk::kSuccess;
}

sdk::Result AAXClient::EffectUninit() {
    if (automationDelegate_) {
        char id[16];
        for (int i = 0; i < client_->paramCount(); ++i) {
            AAXHostCommand::formatParamID(i, id);
            automationDelegate_->UnregisterParameter(id);
        }
    }
    return sdk::kSuccess;
}

sdk::Result AAXClient::NotificationReceived(sdk::TypeID, const void*, std::uint32_t) { return sdk::kSuccess; }

// --- Parameters -------------------------------------------------------------------------------

int AAXClient::resolveID(sdk::ParamID id) const {
    if (!id) return kInvalidID;
    if (std::strcmp(id, kMasterBypassID) == 0) return kMasterBypass;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(id, &end, 10);
    if (errno == ERANGE || end == id || *end != 0 || value < 0 || value >= client_->paramCount())
        return kInvalidID;
    return static_cast<int>(value);
}

sdk::Result AAXClient::GetNumberOfParameters(std::int32_t* outCount) {
    if (!outCount) return sdk::kErrorNullObject;
    *outCount = client_->paramCount() + 1;
    return sdk::kSuccess;
}

sdk::Result AAXClient::GetMasterBypassParameter(sdk::IString* outID) {
    if (!outID) return sdk::kErrorNullObject;
    outID->Set(kMasterBypassID);
    return sdk::kSuccess;
}

sdk::Result AAXClient::GetParameterIsAutomatable(sdk::ParamID, sdk::Boolean* outAutomatable) {
    if (!outAutomatable) return sdk::kErrorNullObject;
    *outAutomatable = 1;
    return sdk::kSuccess;
}

sdk::Result AAXClient::GetParameterNumberOfSteps(sdk::ParamID id, std::int32_t* outSteps) {
    if (!outSteps) return sdk::kErrorNullObject;
    const int index = resolveID(id);
    if (index == kInvalidID) return sdk::kErrorInvalidParameterID;
    if (index == kMasterBypass) {
        *outSteps = 2;
        return sdk::kSuccess;
    }
    client::Parameter* p = client_->param(index);
    if (!p->isDiscrete()) {
        *outSteps = kContinuousSteps;
    } else if (auto* integer = dynamic_cast<client::IntegerParameter*>(p)) {
        const long long steps = static_cast<long long>(integer->maxValue()) - integer->minValue() + 1;
        *outSteps = steps > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(steps);
    } else {
        *outSteps = 2;  // BoolParameter
    }
    return sdk::kSuccess;
}

sdk::Result AAXClient::GetParameterName(sdk::ParamID id, sdk::IString* outName) {
    if (!outName) return sdk::kErrorNullObject;
    const int index = resolveID(id);
    if (index == kInvalidID) return sdk::kErrorInvalidParameterID;
    outName->Set(index == kMasterBypass ? kMasterBypassName : client_->param(index)->name());
    return sdk::kSuccess;
}

sdk::Result AAXClient::GetParameterNameOfLength(sdk::ParamID id, sdk::IString* outName, std::int32_t length) {
    if (!outName) return sdk::kErrorNullObject;
    const int index = resolveID(id);
    if (index == kInvalidID) return sdk::kErrorInvalidParameterID;
    const char* name = index == kMasterBypass ? kMasterBypassName : client_->param(index)->name();
    setCut(outName, name, length > 0 ? static_cast<std::size_t>(length) : 0);
    return sdk::kSuccess;
}

sdk::Result AAXClient::GetParameterDefaultNormalizedValue(sdk::ParamID id, double* outValue) {
    if (!outValue) return sdk::kErrorNullObject;
    const int index = resolveID(id);
    if (index == kInvalidID) return sdk::kErrorInvalidParameterID;
    *outValue = index == kMasterBypass ? 0.0 : client_->param(index)->getNormalizedDefault();
    return sdk::kSuccess;
}

sdk::Result AAXClient::SetParameterDefaultNormalizedValue(sdk::ParamID, double) {
    return sdk::kErrorUnimplemented;
}

sdk::Result AAXClient::GetParameterType(sdk::ParamID id, std::int32_t* outType) {
    if (!outType) return sdk::kErrorNullObject;
    const int index = resolveID(id);
    if (index == kInvalidID) return sdk::kErrorInvalidParameterID;
    *outType = index == kMasterBypass || client_->param(index)->isDiscrete() ? sdk::kParameterTypeDiscrete
                                                                             : sdk::kParameterTypeContinuous;
    return sdk::kSuccess;
}

sdk::Result AAXClient::GetParameterOrientation(sdk::ParamID id, std::int32_t* outOrientation) {
    if (!outOrientation) return sdk::kErrorNullObject;
    if (resolveID(id) == kInvalidID) return sdk::kErrorInvalidParameterID;
    *outOrientation = sdk::kParameterOrientationDefault;
    return sdk::kSuccess;
}

sdk::Result AAXClient::GetParameter(sdk::ParamID, void** outParameter) {
    if (outParameter) *outParameter = nullptr;
    return sdk::kErrorInvalidParameterID;
}

sdk::Result AAXClient::GetParameterIndex(sdk::ParamID id, std::int32_t* outIndex) {
    if (!outIndex) return sdk::kErrorNullObject;
    const int index = resolveID(id);
    if (index == kInvalidID) return sdk::kErrorInvalidParameterID;
    *outIndex = index == kMasterBypass ? 0 : index + 1;
    return sdk::kSuccess;
}

sdk::Result AAXClient::GetParameterIDFromIndex(std::int32_t index, sdk::IString* outID) {
    if (!outID) return sdk::kErrorNullObject;
    if (index < 0 || index > client_->paramCount()) return sdk::kErrorInvalidParameterIndex;
    if (index == 0) {
        outID->Set(kMasterBypassID);
    } else {
        char id[16];
        AAXHostCommand::formatParamID(index - 1, id);
        outID->Set(id);
    }
    return sdk::kSuccess;
}

sdk::Result AAXClient::GetParameterValueInfo(sdk::ParamID, std::int32_t, std::int32_t* outValue) {
    if (outValue) *outValue = 0;
    return sdk::kErrorUnimplemented;
}

sdk::Result AAXClient::GetParameterValueFromString(sdk::ParamID id, double* outValue, const char* text) {
    if (!outValue) return sdk::kErrorNullObject;
    const int index = resolveID(id);
    if (index == kInvalidID) return sdk::kErrorInvalidParameterID;
    if (index == kMasterBypass) {
        *outValue = text && std::strcmp(text, "on") == 0 ? 1.0 : 0.0;
        return sdk::kSuccess;
    }
    double normalized = 0.0;
    if (!text || !client_->param(index)->normalizedValueFromString(text, normalized))
        return sdk::kErrorInvalidStringConversion;
    *outValue = normalized;
    return sdk::kSuccess;
}

sdk::Result AAXClient::GetParameterStringFromValue(sdk::ParamID id, double value, sdk::IString* outText,
                                                   std::int32_t) {
    if (!outText) return sdk::kErrorNullObject;
    const int index = resolveID(id);
    if (index == kInvalidID) return sdk::kErrorInvalidParameterID;
    if (index == kMasterBypass) {
        outText->Set(value >= 0.5 ? "on" : "off");
        return sdk::kSuccess;
    }
    char text[kValueStringCapacity] = {};
    client_->param(index)->stringFromNormalizedValue(value, text, kValueStringCapacity);
    text[kValueStringCapacity - 1] = 0;
    outText->Set(text);
    return sdk::kSuccess;
}

sdk::Result AAXClient::GetParameterValueString(sdk::ParamID id, sdk::IString* outText,
                                               std::int32_t maxLength) {
    if (!outText) return sdk::kErrorNullObject;
    const int index = resolveID(id);
    if (index == kInvalidID) return sdk::kErrorInvalidParameterID;
    if (index == kMasterBypass) {
        outText->Set(isBypassed() ? "on" : "off");
        return sdk::kSuccess;
    }
    char text[kValueStringCapacity] = {};
    const int size = maxLength < kValueStringCapacity ? maxLength : kValueStringCapacity;
    if (size >= 1) client_->param(index)->toDisplayN(text, size);
    text[kValueStringCapacity - 1] = 0;
    outText->Set(text);
    return sdk::kSuccess;
}

sdk::Result AAXClient::GetParameterNormalizedValue(sdk::ParamID id, double* outValue) {
    if (!outValue) return sdk::kErrorNullObject;
    const int index = resolveID(id);
    if (index == kInvalidID) return sdk::kErrorInvalidParameterID;
    *outValue = index == kMasterBypass ? (isBypassed() ? 1.0 : 0.0) : client_->param(index)->getNormalized();
    return sdk::kSuccess;
}

void AAXClient::setBypassFromNormalized(double value) {
    bypassed_.store(value >= 0.5, std::memory_order_release);
}

sdk::Result AAXClient::setNormalized(sdk::ParamID id, double value) {
    const int index = resolveID(id);
    if (index == kInvalidID) return sdk::kErrorInvalidParameterID;
    if (std::isnan(value)) return sdk::kSuccess;
    if (index == kMasterBypass)
        setBypassFromNormalized(value);
    else
        client_->param(index)->setFromHost(value);
    return sdk::kSuccess;
}

sdk::Result AAXClient::setNormalizedRelative(sdk::ParamID id, double delta) {
    const int index = resolveID(id);
    if (index == kInvalidID) return sdk::kErrorInvalidParameterID;
    if (std::isnan(delta)) return sdk::kSuccess;
    if (index == kMasterBypass) {
        setBypassFromNormalized((isBypassed() ? 1.0 : 0.0) + delta);
    } else {
        client::Parameter* p = client_->param(index);
        p->setFromHost(clampUnit(p->getNormalized() + delta));
    }
    return sdk::kSuccess;
}

sdk::Result AAXClient::SetParameterNormalizedValue(sdk::ParamID id, double value) {
    return setNormalized(id, value);
}

sdk::Result AAXClient::SetParameterNormalizedRelative(sdk::ParamID id, double delta) {
    return setNormalizedRelative(id, delta);
}

sdk::Result AAXClient::UpdateParameterNormalizedValue(sdk::ParamID id, double value, std::int32_t) {
    return setNormalized(id, value);
}

sdk::Result AAXClient::UpdateParameterNormalizedRelative(sdk::ParamID id, double delta) {
    return setNormalizedRelative(id, delta);
}

sdk::Result AAXClient::TouchParameter(sdk::ParamID) { return sdk::kSuccess; }
sdk::Result AAXClient::ReleaseParameter(sdk::ParamID) { return sdk::kSuccess; }
sdk::Result AAXClient::UpdateParameterTouch(sdk::ParamID, sdk::Boolean) { return sdk::kSuccess; }
sdk::Result AAXClient::GenerateCoefficients() { return sdk::kSuccess; }

// --- Fields -----------------------------------------------------------------------------------

sdk::Result AAXClient::ResetFieldData(sdk::FieldIndex field, void* data, std::uint32_t size) {
    needsReset_.store(true, std::memory_order_release);
    if (field != kFieldPrivateData) return sdk::kSuccess;
    if (!data) return sdk::kErrorNullObject;
    if (size < sizeof(AAXClient*)) return sdk::kErrorIncorrectSize;
    AAXClient* self = this;
    std::memcpy(data, &self, sizeof(self));
    return sdk::kSuccess;
}

// --- Chunks -----------------------------------------------------------------------------------

sdk::Result AAXClient::GetNumberOfChunks(std::int32_t* outCount) {
    if (!outCount) return sdk::kErrorNullObject;
    *outCount = 1;
    return sdk::kSuccess;
}

sdk::Result AAXClient::GetChunkIDFromIndex(std::int32_t index, sdk::TypeID* outID) {
    if (!outID) return sdk::kErrorNullObject;
    if (index != 0) {
        *outID = 0;
        return sdk::kErrorInvalidChunkIndex;
    }
    *outID = sdk::kChunkIDPlugkit;
    return sdk::kSuccess;
}

sdk::Result AAXClient::GetChunkSize(sdk::TypeID id, std::uint32_t* outSize) {
    if (!outSize) return sdk::kErrorNullObject;
    if (id != sdk::kChunkIDPlugkit) {
        *outSize = 0;
        return sdk::kErrorInvalidChunkID;
    }
    const client::ChunkBytes chunk = client_->presetBank()->getStateChunkFromCurrentState();
    *outSize = static_cast<std::uint32_t>(chunk.size());
    return sdk::kSuccess;
}

sdk::Result AAXClient::GetChunk(sdk::TypeID id, sdk::PlugInChunk* chunk) {
    if (!chunk) return sdk::kErrorNullObject;
    if (id != sdk::kChunkIDPlugkit) return sdk::kErrorInvalidChunkID;
    const client::ChunkBytes state = client_->presetBank()->getStateChunkFromCurrentState();
    // Hosts give room for GetChunkSize bytes and may leave the size field at 0; only a record that
    // announces a smaller room (or a negative one) is refused.
    const bool smallerRoom = chunk->size > 0 && static_cast<std::size_t>(chunk->size) < state.size();
    if (chunk->size < 0 || smallerRoom) return sdk::kErrorIncorrectSize;
    if (!state.empty()) std::memcpy(sdk::chunkData(chunk), state.data(), state.size());
    chunk->size = static_cast<std::int32_t>(state.size());
    return sdk::kSuccess;
}

sdk::Result AAXClient::SetChunk(sdk::TypeID id, const sdk::PlugInChunk* chunk) {
    if (!chunk) return sdk::kErrorNullObject;
    if (id != sdk::kChunkIDPlugkit || chunk->size < 0) return sdk::kErrorInvalidChunkID;
    const client::ChunkResult loaded =
        client_->presetBank()->loadStateChunk(sdk::chunkData(chunk), static_cast<std::size_t>(chunk->size));
    return loaded.ok ? sdk::kSuccess : sdk::kErrorInvalidChunkID;
}

sdk::Result AAXClient::CompareActiveChunk(const sdk::PlugInChunk* chunk, sdk::Boolean* outEqual) {
    if (!outEqual) return sdk::kErrorNullObject;
    *outEqual = 0;
    if (!chunk || chunk->size < 0) return sdk::kSuccess;
    const client::ChunkBytes state = client_->presetBank()->getStateChunkFromCurrentState();
    if (static_cast<std::size_t>(chunk->size) != state.size()) return sdk::kSuccess;
    *outEqual = state.empty() || std::memcmp(sdk::chunkData(chunk), state.data(), state.size()) == 0;
    return sdk::kSuccess;
}

sdk::Result AAXClient::GetNumberOfChanges(std::int32_t* outCount) {
    if (!outCount) return sdk::kErrorNullObject;
    *outCount = static_cast<std::int32_t>(changeCount_.load(std::memory_order_acquire) & 0x7FFFFFFFu);
    return sdk::kSuccess;
}

// --- Other host operations --------------------------------------------------------------------

sdk::Result AAXClient::TimerWakeup() { return sdk::kSuccess; }

sdk::Result AAXClient::GetCurveData(sdk::TypeID, const float*, std::uint32_t, float*) {
    return sdk::kErrorUnimplemented;
}

sdk::Result AAXClient::GetCurveDataMeterIds(sdk::TypeID, std::uint32_t*, std::uint32_t*) {
    return sdk::kErrorUnimplemented;
}

sdk::Result AAXClient::GetCurveDataDisplayRange(sdk::TypeID, float*, float*, float*, float*) {
    return sdk::kErrorUnimplemented;
}

sdk::Result AAXClient::GetCustomData(sdk::TypeID, std::uint32_t, void*, std::uint32_t* outWritten) {
    if (outWritten) *outWritten = 0;
    return sdk::kSuccess;
}

sdk::Result AAXClient::SetCustomData(sdk::TypeID, std::uint32_t, const void*) { return sdk::kSuccess; }
sdk::Result AAXClient::DoMIDITransfers() { return sdk::kSuccess; }
sdk::Result AAXClient::UpdateMIDINodes(sdk::FieldIndex, const sdk::MidiPacket*) { return sdk::kSuccess; }
sdk::Result AAXClient::UpdateControlMIDINodes(sdk::TypeID, const sdk::MidiPacket*) { return sdk::kSuccess; }
sdk::Result AAXClient::RenderAudio_Hybrid(void*) { return sdk::kErrorUnimplemented; }

}  // namespace plugkit::aax
