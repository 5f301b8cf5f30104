#include "plugkit/lv2/TurtleWriter.h"

#include <cmath>
#include <cstring>

#include "plugkit/client/Client.h"
#include "plugkit/client/Parameter.h"

namespace plugkit::lv2 {

namespace {

constexpr int kSymbolSize = 64;

// A gain's minus infinity is announced as this many dB, below the floor of 24-bit audio.
constexpr double kGainFloorDb = -144.0;

void writeString(std::FILE* out, const char* text) {
    std::fputc('"', out);
    for (const char* c = text ? text : ""; *c; ++c) {
        switch (*c) {
            case '"':
                std::fputs("\\\"", out);
                break;
            case '\\':
                std::fputs("\\\\", out);
                break;
            case '\n':
                std::fputs("\\n", out);
                break;
            case '\r':
                std::fputs("\\r", out);
                break;
            case '\t':
                std::fputs("\\t", out);
                break;
            default:
                std::fputc(*c, out);
        }
    }
    std::fputc('"', out);
}

// A port value as the float the host will hand back, with enough digits to read it back exactly.
void writeNumber(std::FILE* out, double value) {
    if (!std::isfinite(value)) value = value < 0 ? kGainFloorDb : 0.0;
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(static_cast<float>(value)));
    // Turtle reads digits without a point or exponent as an integer; keep every value a decimal.
    if (!std::strpbrk(text, ".e")) std::strncat(text, ".0", sizeof text - std::strlen(text) - 1);
    std::fputs(text, out);
}

// True when text can stand inside <...> as an absolute IRI.
bool isPlainIRI(const char* text) {
    if (!text || !*text || !std::strstr(text, ":")) return false;
    for (const char* c = text; *c; ++c)
        if (static_cast<unsigned char>(*c) <= ' ' || std::strchr("<>\"{}|^`\\", *c)) return false;
    return true;
}

const char* unitFor(const char* label) {
    static const char* const kUnits[][2] = {{"dB", "units:db"}, {"ms", "units:ms"},   {"s", "units:s"},
                                            {"Hz", "units:hz"}, {"kHz", "units:khz"}, {"%", "units:pc"}};
    for (const auto& u : kUnits)
        if (label && std::strcmp(label, u[0]) == 0) return u[1];
    return nullptr;
}

}  // namespace

TurtleWriter::TurtleWriter(client::Client& client, BundleInfo bundle, const char* pluginFile)
    : client_(client), bundle_(bundle), pluginFile_(pluginFile) {
    variantCount_ = listVariants(client_, bundle_.uri, variants_, kMaxVariants);
}

bool TurtleWriter::checkSymbols() const {
    const int n = client_.paramCount();
    char a[kSymbolSize];
    char b[kSymbolSize];
    for (int i = 0; i < n; ++i) {
        portSymbol(client_.param(i)->name(), a, sizeof a);
        if (std::strcmp(a, "enabled") == 0 || std::strcmp(a, "latency") == 0) return false;
        for (int j = 0; j < i; ++j) {
            portSymbol(client_.param(j)->name(), b, sizeof b);
            if (std::strcmp(a, b) == 0) return false;
        }
    }
    client::PresetBank* bank = client_.presetBank();
    for (int i = 0; bank && i < bank->presetCount(); ++i) {
        uriSlug(bank->preset(i)->name(), a, sizeof a);
        for (int j = 0; j < i; ++j) {
            uriSlug(bank->preset(j)->name(), b, sizeof b);
            if (std::strcmp(a, b) == 0) return false;
        }
    }
    return variantCount_ > 0 && isPlainIRI(bundle_.uri);
}

void TurtleWriter::presetURI(int index, char* out, int size) const {
    char s[kSymbolSize];
    uriSlug(client_.presetBank()->preset(index)->name(), s, sizeof s);
    std::snprintf(out, static_cast<std::size_t>(size), "%s/presets/%s", bundle_.uri, s);
}

void TurtleWriter::writePrefixes(std::FILE* out) const {
    std::fputs(
        "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
        "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
        "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
        "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
        "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
        "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
        "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
        "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
        "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
        "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
        "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n",
        out);
}

void TurtleWriter::writeAppliesTo(std::FILE* out) const {
    std::fputs("    lv2:appliesTo ", out);
    for (int v = 0; v < variantCount_; ++v) std::fprintf(out, "%s<%s>", v ? " , " : "", variants_[v].uri);
    std::fputs(" ;\n", out);
}

bool TurtleWriter::writeManifest(std::FILE* out) {
    if (!checkSymbols()) return false;
    writePrefixes(out);
    char ui[Variant::kMaxURI + 8];
    uiURI(bundle_.uri, ui, sizeof ui);
    const bool hasUI = bundle_.uiBinaryName && *bundle_.uiBinaryName && client_.hasGUI();
    for (int v = 0; v < variantCount_; ++v) {
        std::fprintf(out, "<%s>\n    a lv2:Plugin ;\n    lv2:binary <%s> ;\n", variants_[v].uri,
                     bundle_.binaryName);
        if (hasUI) std::fprintf(out, "    ui:ui <%s> ;\n", ui);
        std::fprintf(out, "    rdfs:seeAlso <%s> .\n\n", pluginFile_);
    }
    // The editor in a library of its own, in the host's X11 window, driven by the host's idle calls.
    if (hasUI)
        std::fprintf(out,
                     "<%s>\n    a ui:X11UI ;\n    ui:binary <%s> ;\n"
                     "    lv2:requiredFeature ui:idleInterface ;\n"
                     "    lv2:optionalFeature ui:parent , ui:resize ;\n"
                     "    lv2:extensionData ui:idleInterface .\n\n",
                     ui, bundle_.uiBinaryName);
    client::PresetBank* bank = client_.presetBank();
    char uri[Variant::kMaxURI + kSymbolSize];
    for (int p = 0; bank && p < bank->presetCount(); ++p) {
        presetURI(p, uri, sizeof uri);
        std::fprintf(out, "<%s>\n    a pset:Preset ;\n", uri);
        writeAppliesTo(out);
        std::fprintf(out, "    rdfs:seeAlso <%s> .\n\n", kPresetsFile);
    }
    return std::ferror(out) == 0;
}

const char* TurtleWriter::pluginClass() const {
    // The framework's category codes, as the other binding maps them to its host's categories.
    const std::int32_t category = client_.info().category;
    if (category >= client::kCategoryGeneratorFirst && category <= client::kCategoryGeneratorLast)
        return "lv2:GeneratorPlugin";
    switch (category) {
        case client::kCategoryDelay:
            return "lv2:DelayPlugin";
        case client::kCategoryHarmonic:
            return "lv2:DistortionPlugin";
        case client::kCategoryDynamics:
            return "lv2:DynamicsPlugin";
        case client::kCategoryEQ:
            return "lv2:EQPlugin";
        case client::kCategorySoundField:
            return "lv2:SpatialPlugin";
        case client::kCategoryModulation:
            return "lv2:ModulatorPlugin";
        case client::kCategoryPitchShift:
            return "lv2:PitchPlugin";
        case client::kCategoryReverb:
            return "lv2:ReverbPlugin";
        default:
            return nullptr;
    }
}

void TurtleWriter::writeParameterPort(std::FILE* out, int index) {
    client::Parameter* p = client_.param(index);
    char symbol[kSymbolSize];
    portSymbol(p->name(), symbol, sizeof symbol);
    std::fprintf(out,
                 "    lv2:port [\n        a lv2:InputPort , lv2:ControlPort ;\n        lv2:index %d ;\n"
                 "        lv2:symbol \"%s\" ;\n        lv2:name ",
                 index, symbol);
    writeString(out, p->name());
    double min = 0.0, max = 1.0, def = 0.0;
    const char* properties[4] = {};
    int propertyCount = 0;
    const client::EnumParameter* enumeration = nullptr;
    if (auto* f = dynamic_cast<client::FloatParameter*>(p)) {
        min = f->minValue();
        max = f->maxValue();
        def = f->defaultValue();
        if (dynamic_cast<client::LogFloatParameter*>(p)) properties[propertyCount++] = "pprops:logarithmic";
    } else if (auto* i = dynamic_cast<client::IntegerParameter*>(p)) {
        min = i->minValue();
        max = i->maxValue();
        def = i->defaultValue();
        properties[propertyCount++] = "lv2:integer";
        enumeration = dynamic_cast<const client::EnumParameter*>(p);
        if (enumeration) properties[propertyCount++] = "lv2:enumeration";
    } else if (auto* b = dynamic_cast<client::BoolParameter*>(p)) {
        def = b->defaultValue() ? 1.0 : 0.0;
        properties[propertyCount++] = "lv2:toggled";
        properties[propertyCount++] = "lv2:integer";
    }
    if (!p->isAutomatable()) properties[propertyCount++] = "pprops:notAutomatic";
    std::fputs(" ;\n        lv2:default ", out);
    writeNumber(out, def);
    std::fputs(" ;\n        lv2:minimum ", out);
    writeNumber(out, min);
    std::fputs(" ;\n        lv2:maximum ", out);
    writeNumber(out, max);
    if (const char* unit = unitFor(p->label())) {
        std::fprintf(out, " ;\n        units:unit %s", unit);
    } else if (p->label() && *p->label()) {
        std::fputs(" ;\n        units:unit [ a units:Unit ; rdfs:label ", out);
        writeString(out, p->label());
        std::fputs(" ; units:symbol ", out);
        writeString(out, p->label());
        std::fputs(" ]", out);
    }
    for (int k = 0; k < propertyCount; ++k)
        std::fprintf(out, "%s%s", k ? " , " : " ;\n        lv2:portProperty ", properties[k]);
    for (int k = 0; enumeration && k < enumeration->count(); ++k) {
        std::fputs(" ;\n        lv2:scalePoint [ rdfs:label ", out);
        writeString(out, enumeration->possibleValue(k));
        std::fprintf(out, " ; rdf:value %d.0 ]", enumeration->minValue() + k);
    }
    std::fputs("\n    ] ;\n", out);
}

void TurtleWriter::writeFixedPorts(std::FILE* out, const Variant& v) const {
    std::fprintf(
        out,
        "    lv2:port [\n        a lv2:InputPort , lv2:ControlPort ;\n        lv2:index %d ;\n"
        "        lv2:symbol \"enabled\" ;\n        lv2:name \"Enabled\" ;\n"
        "        lv2:designation lv2:enabled ;\n        lv2:default 1.0 ;\n        lv2:minimum 0.0 ;\n"
        "        lv2:maximum 1.0 ;\n        lv2:portProperty lv2:toggled , lv2:integer\n    ] ;\n",
        v.ports.enabledPort());
    std::fprintf(
        out,
        "    lv2:port [\n        a lv2:OutputPort , lv2:ControlPort ;\n        lv2:index %d ;\n"
        "        lv2:symbol \"latency\" ;\n        lv2:name \"Latency\" ;\n"
        "        lv2:designation lv2:latency ;\n        lv2:minimum 0.0 ;\n        lv2:maximum 192000.0 ;\n"
        "        units:unit units:frame ;\n"
        "        lv2:portProperty lv2:reportsLatency , lv2:integer , pprops:notOnGUI\n    ] ;\n",
        v.ports.latencyPort());
}

void TurtleWriter::writeAudioPorts(std::FILE* out, const Variant& v) const {
    for (int dir = 0; dir < 2; ++dir) {
        const int count = dir == 0 ? v.ports.inputs : v.ports.outputs;
        const int first = dir == 0 ? v.ports.firstInput() : v.ports.firstOutput();
        const char* kind = dir == 0 ? "InputPort" : "OutputPort";
        const char* word = dir == 0 ? "in" : "out";
        const char* name = dir == 0 ? "In" : "Out";
        for (int c = 0; c < count; ++c) {
            char symbol[24];
            char label[24];
            if (count == 1) {
                std::snprintf(symbol, sizeof symbol, "%s", word);
                std::snprintf(label, sizeof label, "%s", name);
            } else if (count == 2) {
                std::snprintf(symbol, sizeof symbol, "%s_%c", word, c == 0 ? 'l' : 'r');
                std::snprintf(label, sizeof label, "%s %c", name, c == 0 ? 'L' : 'R');
            } else {
                std::snprintf(symbol, sizeof symbol, "%s_%d", word, c + 1);
                std::snprintf(label, sizeof label, "%s %d", name, c + 1);
            }
            std::fprintf(out,
                         "    lv2:port [\n        a lv2:%s , lv2:AudioPort ;\n        lv2:index %d ;\n"
                         "        lv2:symbol \"%s\" ;\n        lv2:name \"%s\"\n    ]",
                         kind, first + c, symbol, label);
            const bool last = dir == 1 && c == count - 1;
            std::fputs(last ? " .\n\n" : " ;\n", out);
        }
    }
}

bool TurtleWriter::writePlugins(std::FILE* out) {
    if (!checkSymbols()) return false;
    const client::PluginInfo& info = client_.info();
    writePrefixes(out);
    for (int v = 0; v < variantCount_; ++v) {
        const Variant& variant = variants_[v];
        const char* cls = pluginClass();
        std::fprintf(out, "<%s>\n    a lv2:Plugin%s%s ;\n    doap:name ", variant.uri, cls ? " , " : "",
                     cls ? cls : "");
        char name[160];
        if (variant.main)
            std::snprintf(name, sizeof name, "%s", info.productName);
        else
            std::snprintf(name, sizeof name, "%s (%s)", info.productName, variant.label);
        writeString(out, name);
        std::fputs(" ;\n    doap:maintainer [\n        foaf:name ", out);
        writeString(out, info.makerName);
        if (isPlainIRI(info.homepage)) std::fprintf(out, " ;\n        foaf:homepage <%s>", info.homepage);
        char mailto[160];
        std::snprintf(mailto, sizeof mailto, "mailto:%s", info.supportEmail ? info.supportEmail : "");
        if (info.supportEmail && *info.supportEmail && isPlainIRI(mailto))
            std::fprintf(out, " ;\n        foaf:mbox <%s>", mailto);
        std::fputs("\n    ] ;\n", out);
        if (isPlainIRI(info.homepage)) std::fprintf(out, "    doap:homepage <%s> ;\n", info.homepage);
        // LV2 carries the major version in the URI; minor and micro are announced.
        std::fprintf(out, "    lv2:minorVersion %d ;\n    lv2:microVersion %d ;\n", info.versionMinor,
                     info.versionPatch);
        std::fprintf(out, "    rdfs:comment \"%d.%d.%d, %s\" ;\n", info.versionMajor, info.versionMinor,
                     info.versionPatch, variant.label);
        std::fputs(
            "    lv2:optionalFeature lv2:hardRTCapable , urid:map ;\n"
            "    lv2:extensionData state:interface ;\n",
            out);
        for (int i = 0; i < client_.paramCount(); ++i) writeParameterPort(out, i);
        writeFixedPorts(out, variant);
        writeAudioPorts(out, variant);
    }
    return std::ferror(out) == 0;
}

bool TurtleWriter::writePresets(std::FILE* out) {
    if (!checkSymbols()) return false;
    writePrefixes(out);
    client::PresetBank* bank = client_.presetBank();
    char uri[Variant::kMaxURI + kSymbolSize];
    char symbol[kSymbolSize];
    for (int p = 0; bank && p < bank->presetCount(); ++p) {
        const client::Preset* preset = bank->preset(p);
        presetURI(p, uri, sizeof uri);
        std::fprintf(out, "<%s>\n    a pset:Preset ;\n", uri);
        writeAppliesTo(out);
        std::fputs("    rdfs:label ", out);
        writeString(out, preset->name());
        const int n =
            preset->valueCount() < client_.paramCount() ? preset->valueCount() : client_.paramCount();
        for (int i = 0; i < n; ++i) {
            client::Parameter* param = client_.param(i);
            portSymbol(param->name(), symbol, sizeof symbol);
            std::fprintf(out, " ;\n    lv2:port [ lv2:symbol \"%s\" ; pset:value ", symbol);
            writeNumber(out, plainFromNormalized(*param, static_cast<double>(preset->value(i))));
            std::fputs(" ]", out);
        }
        std::fputs(" .\n\n", out);
    }
    return std::ferror(out) == 0;
}

bool TurtleWriter::writeBundle(const char* directory, char* error, int errorSize) {
    using Writer = bool (TurtleWriter::*)(std::FILE*);
    const struct {
        const char* name;
        Writer write;
    } files[] = {{kManifestFile, &TurtleWriter::writeManifest},
                 {pluginFile_, &TurtleWriter::writePlugins},
                 {kPresetsFile, &TurtleWriter::writePresets}};
    const auto size = static_cast<std::size_t>(errorSize);
    if (!checkSymbols()) {
        std::snprintf(error, size,
                      "cannot describe the plug-in: no layout, a bad URI, or two parameters "
                      "or presets with the same symbol");
        return false;
    }
    for (const auto& f : files) {
        char path[4096];
        std::snprintf(path, sizeof path, "%s/%s", directory, f.name);
        std::FILE* out = std::fopen(path, "w");
        if (!out) {
            std::snprintf(error, size, "cannot write %s", path);
            return false;
        }
        const bool ok = (this->*f.write)(out);
        if (std::fclose(out) != 0 || !ok) {
            std::snprintf(error, size, "failed writing %s", path);
            return false;
        }
    }
    return true;
}

}  // namespace plugkit::lv2
