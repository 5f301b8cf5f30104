#include "host/lv2/BlockHost.h"

#include <lilv/lilv.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "lv2/atom/atom.h"
#include "lv2/buf-size/buf-size.h"
#include "lv2/options/options.h"
#include "lv2/presets/presets.h"
#include "lv2/state/state.h"
#include "lv2/urid/urid.h"

namespace host::lv2 {

namespace {

constexpr std::size_t kAtomCapacity = 8192;

enum class PortKind { control, audio, atom, cv };

struct Port {
    PortKind kind = PortKind::control;
    bool input = true;
    std::string symbol;
    float value = 0.0f;                     // control ports
    std::vector<std::uint64_t> atomBuffer;  // atom ports, 8-byte aligned
    std::vector<float> cvBuffer;            // CV ports
};

}  // namespace

struct BlockHost::Impl {
    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    LilvInstance* instance = nullptr;
    std::vector<Port> ports;
    std::vector<std::uint32_t> audioIn;   // port indices
    std::vector<std::uint32_t> audioOut;  // port indices
    std::vector<float> silence;
    std::vector<float> discard;
    int maxBlock = 0;
    std::int32_t blockLengths[3] = {0, 0, 0};  // min, max, nominal
    float sampleRate = 0.0f;

    std::vector<std::string> uris;
    std::unordered_map<std::string, LV2_URID> ids;
    LV2_URID_Map map{this, mapURI};
    LV2_URID_Unmap unmap{this, unmapURI};
    std::vector<LV2_Options_Option> options;
    LV2_Feature mapFeature{LV2_URID__map, &map};
    LV2_Feature unmapFeature{LV2_URID__unmap, &unmap};
    LV2_Feature optionsFeature{LV2_OPTIONS__options, nullptr};
    LV2_Feature boundedFeature{LV2_BUF_SIZE__boundedBlockLength, nullptr};
    const LV2_Feature* features[5] = {&mapFeature, &unmapFeature, &optionsFeature, &boundedFeature, nullptr};

    static LV2_URID mapURI(LV2_URID_Map_Handle handle, const char* uri) {
        auto* self = static_cast<Impl*>(handle);
        auto it = self->ids.find(uri);
        if (it != self->ids.end()) return it->second;
        self->uris.emplace_back(uri);
        const auto id = static_cast<LV2_URID>(self->uris.size());
        self->ids.emplace(uri, id);
        return id;
    }
    static const char* unmapURI(LV2_URID_Unmap_Handle handle, LV2_URID urid) {
        auto* self = static_cast<Impl*>(handle);
        return urid >= 1 && urid <= self->uris.size() ? self->uris[urid - 1].c_str() : nullptr;
    }
    LV2_URID id(const char* uri) { return mapURI(this, uri); }

    ~Impl() {
        if (instance) {
            lilv_instance_deactivate(instance);
            lilv_instance_free(instance);
        }
        if (world) lilv_world_free(world);
    }

    Port* findControl(const std::string& symbol) {
        for (Port& p : ports)
            if (p.kind == PortKind::control && p.symbol == symbol) return &p;
        return nullptr;
    }

    bool describePorts(std::string& error);
    void prepareAtoms();
    void connectFixedPorts();
    std::vector<const LilvNode*> presets() const;
};

bool BlockHost::Impl::describePorts(std::string& error) {
    const std::uint32_t n = lilv_plugin_get_num_ports(plugin);
    std::vector<float> mins(n), maxs(n), defs(n);
    lilv_plugin_get_port_ranges_float(plugin, mins.data(), maxs.data(), defs.data());
    LilvNode* inputClass = lilv_new_uri(world, LILV_URI_INPUT_PORT);
    LilvNode* controlClass = lilv_new_uri(world, LILV_URI_CONTROL_PORT);
    LilvNode* audioClass = lilv_new_uri(world, LILV_URI_AUDIO_PORT);
    LilvNode* atomClass = lilv_new_uri(world, LV2_ATOM__AtomPort);
    LilvNode* cvClass = lilv_new_uri(world, LILV_URI_CV_PORT);
    LilvNode* optional = lilv_new_uri(world, LV2_CORE__connectionOptional);
    ports.assign(n, Port{});
    bool ok = true;
    for (std::uint32_t i = 0; i < n && ok; ++i) {
        const LilvPort* lp = lilv_plugin_get_port_by_index(plugin, i);
        Port& p = ports[i];
        p.symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, lp));
        p.input = lilv_port_is_a(plugin, lp, inputClass);
        if (lilv_port_is_a(plugin, lp, controlClass)) {
            p.kind = PortKind::control;
            p.value = std::isnan(defs[i]) ? (std::isnan(mins[i]) ? 0.0f : mins[i]) : defs[i];
        } else if (lilv_port_is_a(plugin, lp, audioClass)) {
            p.kind = PortKind::audio;
            (p.input ? audioIn : audioOut).push_back(i);
        } else if (lilv_port_is_a(plugin, lp, atomClass)) {
            p.kind = PortKind::atom;
            p.atomBuffer.assign(kAtomCapacity / sizeof(std::uint64_t), 0);
        } else if (lilv_port_is_a(plugin, lp, cvClass)) {
            p.kind = PortKind::cv;
            p.cvBuffer.assign(static_cast<std::size_t>(maxBlock), 0.0f);
        } else if (!lilv_port_has_property(plugin, lp, optional)) {
            error = "port \"" + p.symbol + "\" is of a kind this host does not know";
            ok = false;
        }
    }
    for (LilvNode* node : {inputClass, controlClass, audioClass, atomClass, cvClass, optional})
        lilv_node_free(node);
    return ok;
}

void BlockHost::Impl::prepareAtoms() {
    for (Port& p : ports) {
        if (p.kind != PortKind::atom) continue;
        auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(p.atomBuffer.data());
        if (p.input) {  // an empty event sequence
            seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
            seq->atom.type = id(LV2_ATOM__Sequence);
            seq->body.unit = 0;
            seq->body.pad = 0;
        } else {  // room for the plug-in's events
            seq->atom.size = static_cast<std::uint32_t>(kAtomCapacity - sizeof(LV2_Atom));
            seq->atom.type = id(LV2_ATOM__Chunk);
        }
    }
}

void BlockHost::Impl::connectFixedPorts() {
    for (std::uint32_t i = 0; i < ports.size(); ++i) {
        Port& p = ports[i];
        if (p.kind == PortKind::control) lilv_instance_connect_port(instance, i, &p.value);
        if (p.kind == PortKind::atom) lilv_instance_connect_port(instance, i, p.atomBuffer.data());
        if (p.kind == PortKind::cv) lilv_instance_connect_port(instance, i, p.cvBuffer.data());
    }
}

std::vector<const LilvNode*> BlockHost::Impl::presets() const {
    std::vector<const LilvNode*> out;
    LilvNode* presetClass = lilv_new_uri(world, LV2_PRESETS__Preset);
    LilvNodes* related = lilv_plugin_get_related(plugin, presetClass);
    LILV_FOREACH(nodes, it, related) {
        const LilvNode* node = lilv_nodes_get(related, it);
        lilv_world_load_resource(world, node);
        out.push_back(lilv_node_duplicate(node));
    }
    lilv_nodes_free(related);
    lilv_node_free(presetClass);
    return out;
}

BlockHost::BlockHost() : impl_(std::make_unique<Impl>()) {
    impl_->world = lilv_world_new();
    lilv_world_load_all(impl_->world);
}

BlockHost::~BlockHost() = default;

bool BlockHost::load(const std::string& uri, double sampleRate, int maxBlock, std::string& error) {
    Impl& m = *impl_;
    if (m.instance || maxBlock <= 0) {
        error = "a plug-in is already loaded, or the block length is not positive";
        return false;
    }
    LilvNode* node = lilv_new_uri(m.world, uri.c_str());
    m.plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(m.world), node);
    lilv_node_free(node);
    if (!m.plugin) {
        error = "no LV2 plug-in " + uri + " (LV2_PATH?)";
        return false;
    }
    m.maxBlock = maxBlock;
    m.blockLengths[0] = 1;
    m.blockLengths[1] = maxBlock;
    m.blockLengths[2] = maxBlock;
    m.sampleRate = static_cast<float>(sampleRate);
    m.silence.assign(static_cast<std::size_t>(maxBlock), 0.0f);
    m.discard.assign(static_cast<std::size_t>(maxBlock), 0.0f);
    if (!m.describePorts(error)) return false;
    const LV2_URID intType = m.id(LV2_ATOM__Int);
    m.options = {{LV2_OPTIONS_INSTANCE, 0, m.id(LV2_BUF_SIZE__minBlockLength), sizeof(std::int32_t), intType,
                  &m.blockLengths[0]},
                 {LV2_OPTIONS_INSTANCE, 0, m.id(LV2_BUF_SIZE__maxBlockLength), sizeof(std::int32_t), intType,
                  &m.blockLengths[1]},
                 {LV2_OPTIONS_INSTANCE, 0, m.id(LV2_BUF_SIZE__nominalBlockLength), sizeof(std::int32_t),
                  intType, &m.blockLengths[2]},
                 {LV2_OPTIONS_INSTANCE, 0, m.id(LV2_CORE__sampleRate), sizeof(float), m.id(LV2_ATOM__Float),
                  &m.sampleRate},
                 {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    m.optionsFeature.data = m.options.data();
    m.instance = lilv_plugin_instantiate(m.plugin, sampleRate, m.features);
    if (!m.instance) {
        error = "the plug-in " + uri + " could not be instantiated";
        return false;
    }
    m.connectFixedPorts();
    lilv_instance_activate(m.instance);
    return true;
}

int BlockHost::audioInputs() const { return static_cast<int>(impl_->audioIn.size()); }
int BlockHost::audioOutputs() const { return static_cast<int>(impl_->audioOut.size()); }
int BlockHost::maxBlock() const { return impl_->maxBlock; }

std::vector<std::string> BlockHost::controlSymbols() const {
    std::vector<std::string> out;
    for (const Port& p : impl_->ports)
        if (p.kind == PortKind::control && p.input) out.push_back(p.symbol);
    return out;
}

bool BlockHost::setControl(const std::string& symbol, float value) {
    Port* p = impl_->findControl(symbol);
    if (!p || !p->input) return false;
    p->value = value;
    return true;
}

float BlockHost::control(const std::string& symbol) const {
    const Port* p = impl_->findControl(symbol);
    return p ? p->value : NAN;
}

std::vector<std::pair<std::string, std::string>> BlockHost::presets() const {
    std::vector<std::pair<std::string, std::string>> out;
    LilvNode* label = lilv_new_uri(impl_->world, LILV_NS_RDFS "label");
    for (const LilvNode* node : impl_->presets()) {
        LilvNode* text = lilv_world_get(impl_->world, node, label, nullptr);
        out.emplace_back(lilv_node_as_uri(node), text ? lilv_node_as_string(text) : "");
        lilv_node_free(text);
        lilv_node_free(const_cast<LilvNode*>(node));
    }
    lilv_node_free(label);
    return out;
}

namespace {

void setPortValue(const char* symbol, void* user, const void* value, std::uint32_t size, std::uint32_t type) {
    auto* self = static_cast<BlockHost::Impl*>(user);
    float v = NAN;
    if (size == sizeof(float) && type == self->id(LV2_ATOM__Float)) std::memcpy(&v, value, sizeof v);
    if (size == sizeof(double) && type == self->id(LV2_ATOM__Double)) {
        double d;
        std::memcpy(&d, value, sizeof d);
        v = static_cast<float>(d);
    }
    if (size == sizeof(std::int32_t) &&
        (type == self->id(LV2_ATOM__Int) || type == self->id(LV2_ATOM__Bool))) {
        std::int32_t i;
        std::memcpy(&i, value, sizeof i);
        v = static_cast<float>(i);
    }
    Port* port = self->findControl(symbol);
    if (!std::isnan(v) && port && port->input) port->value = v;
}

const void* getPortValue(const char* symbol, void* user, std::uint32_t* size, std::uint32_t* type) {
    auto* self = static_cast<BlockHost::Impl*>(user);
    const Port* port = self->findControl(symbol);
    const float* value = port && port->input ? &port->value : nullptr;
    *size = value ? sizeof(float) : 0;
    *type = value ? self->id(LV2_ATOM__Float) : 0;
    return value;
}

}  // namespace

bool BlockHost::applyPreset(const std::string& labelOrURI, std::string& error) {
    Impl& m = *impl_;
    for (const auto& [uri, label] : presets()) {
        if (label != labelOrURI && uri != labelOrURI) continue;
        LilvNode* node = lilv_new_uri(m.world, uri.c_str());
        LilvState* state = lilv_state_new_from_world(m.world, &m.map, node);
        lilv_node_free(node);
        if (!state) break;
        lilv_state_restore(state, m.instance, setPortValue, &m, 0, m.features);
        lilv_state_free(state);
        return true;
    }
    error = "no preset \"" + labelOrURI + "\"";
    return false;
}

std::string BlockHost::saveState() {
    Impl& m = *impl_;
    LilvState* state =
        lilv_state_new_from_instance(m.plugin, m.instance, &m.map, nullptr, nullptr, nullptr, nullptr,
                                     getPortValue, &m, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, m.features);
    if (!state) return {};
    char* text = lilv_state_to_string(m.world, &m.map, &m.unmap, state, "urn:tolva:lv2host:state", nullptr);
    std::string out = text ? text : "";
    lilv_free(text);
    lilv_state_free(state);
    return out;
}

bool BlockHost::restoreState(const std::string& turtle, std::string& error) {
    Impl& m = *impl_;
    LilvState* state = lilv_state_new_from_string(m.world, &m.map, turtle.c_str());
    if (!state) {
        error = "unreadable state";
        return false;
    }
    lilv_state_restore(state, m.instance, setPortValue, &m, 0, m.features);
    lilv_state_free(state);
    return true;
}

void BlockHost::runBlock(const float* const* in, float* const* out, int frames) {
    Impl& m = *impl_;
    for (std::size_t c = 0; c < m.audioIn.size(); ++c)
        lilv_instance_connect_port(m.instance, m.audioIn[c],
                                   in && in[c] ? const_cast<float*>(in[c]) : m.silence.data());
    for (std::size_t c = 0; c < m.audioOut.size(); ++c)
        lilv_instance_connect_port(m.instance, m.audioOut[c], out && out[c] ? out[c] : m.discard.data());
    m.prepareAtoms();
    lilv_instance_run(m.instance, static_cast<std::uint32_t>(frames));
}

void BlockHost::process(const float* const* in, float* const* out, long frames) {
    const std::size_t nIn = impl_->audioIn.size();
    const std::size_t nOut = impl_->audioOut.size();
    std::vector<const float*> ins(nIn);
    std::vector<float*> outs(nOut);
    for (long done = 0; done < frames;) {
        const int n = static_cast<int>(frames - done < maxBlock() ? frames - done : maxBlock());
        for (std::size_t c = 0; c < nIn; ++c) ins[c] = in && in[c] ? in[c] + done : nullptr;
        for (std::size_t c = 0; c < nOut; ++c) outs[c] = out && out[c] ? out[c] + done : nullptr;
        runBlock(ins.data(), outs.data(), n);
        done += n;
    }
}

}  // namespace host::lv2
