#include "host/PluginInstance.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "host/HostString.h"
#include "plugkit/aax/sdk/AAXEntryPoints.h"

namespace host {

namespace {

// Chunk records are 56 header bytes plus data; kept in 8-byte words for the header's alignment.
struct ChunkRecord {
    std::vector<uint64_t> words;
    explicit ChunkRecord(std::size_t dataBytes) : words((sdk::kChunkHeaderSize + dataBytes + 7) / 8, 0) {
        header()->size = static_cast<int32_t>(dataBytes);
        header()->chunkID = sdk::kChunkIDPlugkit;
    }
    sdk::PlugInChunk* header() { return reinterpret_cast<sdk::PlugInChunk*>(words.data()); }
    uint8_t* data() { return sdk::chunkData(header()); }
};

// The largest state chunk the host accepts from the plug-in or from a file.
constexpr std::size_t kMaxChunkBytes = 16u << 20;

}  // namespace

PluginInstance::PluginInstance(const PluginDescription& description, sdk::IEffectParameters* effect)
    : description_(description), host_(std::make_unique<InstanceHost>()), effect_(effect) {}

PluginInstance::~PluginInstance() {
    if (!effect_) return;
    if (initialized_) effect_->Uninitialize();
    host_->setEffectParameters(nullptr);
    effect_->Release();
    effect_ = nullptr;
}

bool PluginInstance::start(int inputs, int outputs, double sampleRate, std::string& error) {
    // The controller must answer with the configuration before Initialize: the plug-in reads the
    // sample rate there to report its latency.
    const ComponentDescription* c = description_.componentFor(inputs, outputs);
    if (c)
        host_->setConfiguration(c->inputStemFormat(), c->outputStemFormat(), static_cast<float>(sampleRate));
    host_->setEffectParameters(effect_);
    if (effect_->Initialize(host_->unknown()) != sdk::kSuccess) {
        error = "the plug-in instance failed to initialise";
        return false;
    }
    initialized_ = true;

    int32_t count = 0;
    if (effect_->GetNumberOfParameters(&count) != sdk::kSuccess || count < 0 || count > 100000) {
        error = "the plug-in reports no valid parameter count";
        return false;
    }
    HostString text;
    if (effect_->GetMasterBypassParameter(&text) == sdk::kSuccess) masterBypassId_ = text.str();
    parameters_.clear();
    for (int32_t i = 0; i < count; ++i) {
        ParameterInfo p;
        text.clear();
        if (effect_->GetParameterIDFromIndex(i, &text) != sdk::kSuccess) continue;
        p.id = text.str();
        text.clear();
        effect_->GetParameterName(p.id.c_str(), &text);
        p.name = text.str();
        effect_->GetParameterDefaultNormalizedValue(p.id.c_str(), &p.defaultNormalized);
        text.clear();
        effect_->GetParameterStringFromValue(p.id.c_str(), p.defaultNormalized, &text, 32);
        p.defaultText = text.str();
        effect_->GetParameterNumberOfSteps(p.id.c_str(), &p.steps);
        effect_->GetParameterType(p.id.c_str(), &p.type);
        parameters_.push_back(std::move(p));
    }

    // Room for the widest layout so that no layout change reallocates the pointer arrays.
    int maxIn = 0, maxOut = 0;
    for (const auto& comp : description_.components) {
        maxIn = std::max(maxIn, comp.inputs());
        maxOut = std::max(maxOut, comp.outputs());
    }
    inPtrs_.assign(static_cast<std::size_t>(maxIn), nullptr);
    outPtrs_.assign(static_cast<std::size_t>(maxOut), nullptr);
    return configure(inputs, outputs, sampleRate, error);
}

bool PluginInstance::configure(int inputs, int outputs, double sampleRate, std::string& error) {
    const ComponentDescription* c = description_.componentFor(inputs, outputs);
    if (!c) {
        error = "illegal channel layout: " + std::to_string(inputs) + " in, " + std::to_string(outputs) +
                " out is not supported by the plug-in";
        return false;
    }
    if (!(sampleRate >= 1.0 && sampleRate <= 1.0e6)) {
        error = "unsupported sample rate " + std::to_string(sampleRate);
        return false;
    }
    if (!c->renderCallback) {
        error = "the plug-in's component for this layout has no render callback";
        return false;
    }
    const bool newComponent = c != component_;
    component_ = c;
    inputs_ = inputs;
    outputs_ = outputs;
    sampleRate_ = sampleRate;
    host_->setConfiguration(c->inputStemFormat(), c->outputStemFormat(), static_cast<float>(sampleRate));
    if (newComponent) buildContext();
    return true;
}

void PluginInstance::buildContext() {
    uint32_t slots = 0;
    std::size_t privateFields = 0, midiFields = 0, meterCount = 0;
    for (const auto& f : component_->fields) {
        slots = std::max(slots, f.index + 1);
        if (f.kind == FieldRegistration::Kind::PrivateData) ++privateFields;
        if (f.kind == FieldRegistration::Kind::MidiNode) ++midiFields;
        if (f.kind == FieldRegistration::Kind::Meters) meterCount += f.meterIds.size();
    }
    context_.assign(slots, nullptr);
    privateBlocks_.assign(privateFields, {});
    midiNodes_.assign(midiFields, sdk::MidiNode{nullptr, 0});
    meters_.assign(std::max<std::size_t>(meterCount, 1), 0.0f);

    std::size_t nextPrivate = 0, nextMidi = 0, nextMeter = 0;
    for (const auto& f : component_->fields) {
        void*& slot = context_[f.index];
        switch (f.kind) {
            case FieldRegistration::Kind::AudioIn:
                slot = inPtrs_.data();
                break;
            case FieldRegistration::Kind::AudioOut:
                slot = outPtrs_.data();
                break;
            case FieldRegistration::Kind::BufferLength:
                slot = &bufferLength_;
                break;
            case FieldRegistration::Kind::MidiNode:
                slot = &midiNodes_[nextMidi++];
                break;
            case FieldRegistration::Kind::Meters:
                slot = meters_.data() + nextMeter;
                nextMeter += f.meterIds.size();
                break;
            case FieldRegistration::Kind::PrivateData: {
                auto& block = privateBlocks_[nextPrivate++];
                block.assign((std::max<uint32_t>(f.size, 1) + 7) / 8, 0);
                slot = block.data();
                break;
            }
        }
    }
    // Let the plug-in fill every private block (it stores its object in one of them).
    for (const auto& f : component_->fields) {
        if (f.kind != FieldRegistration::Kind::PrivateData) continue;
        effect_->ResetFieldData(static_cast<sdk::FieldIndex>(f.index), context_[f.index], f.size);
    }
}

// ---------------------------------------------------------------------------------------------
// Parameters

const ParameterInfo* PluginInstance::findParameter(const std::string& nameOrId) const {
    for (const auto& p : parameters_)
        if (p.id == nameOrId) return &p;
    for (const auto& p : parameters_)
        if (p.name == nameOrId) return &p;
    return nullptr;
}

sdk::Result PluginInstance::getNormalized(const std::string& id, double& value) const {
    return effect_->GetParameterNormalizedValue(id.c_str(), &value);
}

sdk::Result PluginInstance::setNormalized(const std::string& id, double value) {
    if (!std::isfinite(value)) return sdk::kErrorInvalidStringConversion;
    return effect_->SetParameterNormalizedValue(id.c_str(), value);
}

sdk::Result PluginInstance::valueString(const std::string& id, std::string& text) const {
    HostString s;
    const sdk::Result r = effect_->GetParameterValueString(id.c_str(), &s, 32);
    text = s.str();
    return r;
}

sdk::Result PluginInstance::stringFromValue(const std::string& id, double normalized,
                                            std::string& text) const {
    HostString s;
    const sdk::Result r = effect_->GetParameterStringFromValue(id.c_str(), normalized, &s, 32);
    text = s.str();
    return r;
}

sdk::Result PluginInstance::valueFromString(const std::string& id, const std::string& text,
                                            double& normalized) const {
    // Master Bypass converts every text but "on" to off; a host that is told "of" or "yes" must
    // not silently switch the bypass off.
    if (!masterBypassId_.empty() && id == masterBypassId_ && text != "on" && text != "off") {
        int32_t index = 0;
        if (effect_->GetParameterIndex(id.c_str(), &index) != sdk::kSuccess)
            return sdk::kErrorInvalidParameterID;
        return sdk::kErrorInvalidStringConversion;
    }
    // "nan", "inf" and the like read as numbers but name no value.
    if (!text.empty()) {
        char* end = nullptr;
        const double v = std::strtod(text.c_str(), &end);
        if (end == text.c_str() + text.size() && !std::isfinite(v)) return sdk::kErrorInvalidStringConversion;
    }
    double n = 0.0;
    const sdk::Result r = effect_->GetParameterValueFromString(id.c_str(), &n, text.c_str());
    if (r != sdk::kSuccess) return r;
    if (!std::isfinite(n) || n < 0.0 || n > 1.0) return sdk::kErrorInvalidStringConversion;
    normalized = n;
    return sdk::kSuccess;
}

sdk::Result PluginInstance::setFromString(const std::string& id, const std::string& text) {
    double n = 0.0;
    const sdk::Result r = valueFromString(id, text, n);
    return r != sdk::kSuccess ? r : setNormalized(id, n);
}

void PluginInstance::setBypass(bool bypassed) {
    if (!masterBypassId_.empty()) setNormalized(masterBypassId_, bypassed ? 1.0 : 0.0);
}

// ---------------------------------------------------------------------------------------------
// State

sdk::Result PluginInstance::getChunk(std::vector<uint8_t>& bytes) const {
    uint32_t size = 0;
    sdk::Result r = effect_->GetChunkSize(sdk::kChunkIDPlugkit, &size);
    if (r != sdk::kSuccess) return r;
    if (size > kMaxChunkBytes) return sdk::kErrorIncorrectSize;
    ChunkRecord record(size);
    r = effect_->GetChunk(sdk::kChunkIDPlugkit, record.header());
    if (r != sdk::kSuccess) return r;
    const int32_t written = record.header()->size;
    if (written < 0 || static_cast<uint32_t>(written) > size) return sdk::kErrorIncorrectSize;
    bytes.assign(record.data(), record.data() + written);
    return sdk::kSuccess;
}

sdk::Result PluginInstance::setChunk(const std::vector<uint8_t>& bytes) {
    if (bytes.size() > kMaxChunkBytes) return sdk::kErrorIncorrectSize;
    std::vector<uint8_t> before;
    const bool canRestore = getChunk(before) == sdk::kSuccess;
    ChunkRecord record(bytes.size());
    if (!bytes.empty()) std::memcpy(record.data(), bytes.data(), bytes.size());
    const sdk::Result r = effect_->SetChunk(sdk::kChunkIDPlugkit, record.header());
    if (r != sdk::kSuccess && canRestore) {
        ChunkRecord previous(before.size());
        if (!before.empty()) std::memcpy(previous.data(), before.data(), before.size());
        effect_->SetChunk(sdk::kChunkIDPlugkit, previous.header());
    }
    return r;
}

sdk::Result PluginInstance::compareChunk(const std::vector<uint8_t>& bytes, bool& equal) const {
    if (bytes.size() > kMaxChunkBytes) return sdk::kErrorIncorrectSize;
    ChunkRecord record(bytes.size());
    if (!bytes.empty()) std::memcpy(record.data(), bytes.data(), bytes.size());
    sdk::Boolean eq = 0;
    const sdk::Result r = effect_->CompareActiveChunk(record.header(), &eq);
    equal = eq != 0;
    return r;
}

int32_t PluginInstance::numberOfChanges() const {
    int32_t n = 0;
    effect_->GetNumberOfChanges(&n);
    return n;
}

// ---------------------------------------------------------------------------------------------
// Rendering

void PluginInstance::renderBlock(int frames, bool nullPrivateData) {
    bufferLength_ = frames;
    sdk::ContextField* fields = reinterpret_cast<sdk::ContextField*>(context_.data());
    void* saved[8] = {};
    std::size_t nSaved = 0;
    if (nullPrivateData) {
        for (const auto& f : component_->fields)
            if (f.kind == FieldRegistration::Kind::PrivateData && nSaved < 8) {
                saved[nSaved++] = context_[f.index];
                context_[f.index] = nullptr;
            }
    }
    sdk::ContextField* const batch[1] = {fields};
    auto render = reinterpret_cast<sdk::RenderProc>(component_->renderCallback);
    render(batch, batch + 1);
    if (nullPrivateData) {
        std::size_t i = 0;
        for (const auto& f : component_->fields)
            if (f.kind == FieldRegistration::Kind::PrivateData && i < nSaved) context_[f.index] = saved[i++];
    }
    host_->advance(frames);
}

void PluginInstance::render(const float* const* in, float* const* out, int64_t frames) {
    int64_t done = 0;
    while (done < frames) {
        const int n = static_cast<int>(std::min<int64_t>(kMaxHostBlock, frames - done));
        for (int c = 0; c < inputs_; ++c) inPtrs_[static_cast<std::size_t>(c)] = in[c] + done;
        for (int c = 0; c < outputs_; ++c) outPtrs_[static_cast<std::size_t>(c)] = out[c] + done;
        renderBlock(n, false);
        done += n;
    }
}

void PluginInstance::renderWithoutPrivateData(const float* const* in, float* const* out, int frames) {
    frames = std::clamp(frames, 0, kMaxHostBlock);
    for (int c = 0; c < inputs_; ++c) inPtrs_[static_cast<std::size_t>(c)] = in[c];
    for (int c = 0; c < outputs_; ++c) outPtrs_[static_cast<std::size_t>(c)] = out[c];
    renderBlock(frames, true);
}

}  // namespace host
