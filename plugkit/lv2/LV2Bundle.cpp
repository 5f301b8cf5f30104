#include "plugkit/lv2/LV2Bundle.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "plugkit/client/Client.h"
#include "plugkit/client/Parameter.h"

namespace plugkit::lv2 {

namespace {

void channelWord(int channels, char* out, std::size_t size) {
    if (channels == 1)
        std::snprintf(out, size, "Mono");
    else if (channels == 2)
        std::snprintf(out, size, "Stereo");
    else
        std::snprintf(out, size, "%d Channels", channels);
}

void layoutLabel(const client::LegalIO& io, char* out, std::size_t size) {
    char in[24];
    char outWord[24];
    channelWord(io.inputs, in, sizeof in);
    channelWord(io.outputs, outWord, sizeof outWord);
    if (io.inputs == io.outputs)
        std::snprintf(out, size, "%s", in);
    else
        std::snprintf(out, size, "%s to %s", in, outWord);
}

bool wider(const client::LegalIO& a, const client::LegalIO& b) {
    return a.outputs != b.outputs ? a.outputs > b.outputs : a.inputs > b.inputs;
}

}  // namespace

int listVariants(const client::Client& client, const char* baseURI, Variant* out, int capacity) {
    const int n = client.legalIOCount();
    if (n <= 0 || capacity <= 0) return 0;
    int mainIndex = 0;
    for (int i = 1; i < n; ++i)
        if (wider(client.legalIOs()[i], client.legalIOs()[mainIndex])) mainIndex = i;

    int count = 0;
    for (int k = 0; k < n && count < capacity; ++k) {
        // The main layout first, then the others in the client's order.
        const int i = k == 0 ? mainIndex : (k <= mainIndex ? k - 1 : k);
        const client::LegalIO io = client.legalIOs()[i];
        if (io.inputs < 0 || io.outputs < 0) continue;
        Variant& v = out[count];
        v = Variant{};
        v.ports = PortLayout{client.paramCount(), io.inputs, io.outputs};
        v.main = k == 0;
        layoutLabel(io, v.label, sizeof v.label);
        int written;
        if (v.main) {
            written = std::snprintf(v.uri, sizeof v.uri, "%s", baseURI);
        } else {
            char slug[Variant::kMaxLabel];
            uriSlug(v.label, slug, sizeof slug);
            written = std::snprintf(v.uri, sizeof v.uri, "%s/%s", baseURI, slug);
        }
        if (written < 0 || written >= static_cast<int>(sizeof v.uri)) continue;
        ++count;
    }
    return count;
}

void portSymbol(const char* name, char* out, std::size_t size) {
    if (!out || size == 0) return;
    std::size_t n = 0;
    bool pendingUnderscore = false;
    for (const char* c = name ? name : ""; *c && n + 1 < size; ++c) {
        char ch = *c;
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
        const bool alnum = (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9');
        if (!alnum) {
            pendingUnderscore = n > 0;
            continue;
        }
        if (pendingUnderscore && n + 2 < size) out[n++] = '_';
        pendingUnderscore = false;
        if (n == 0 && ch >= '0' && ch <= '9' && n + 2 < size) out[n++] = '_';
        out[n++] = ch;
    }
    if (n == 0 && size > 1) out[n++] = 'p';
    out[n] = '\0';
}

void uriSlug(const char* name, char* out, std::size_t size) {
    if (!out || size == 0) return;
    portSymbol(name, out, size);
    const char* from = out[0] == '_' ? out + 1 : out;  // no digit guard in a path
    char* to = out;
    for (; *from; ++from) *to++ = *from == '_' ? '-' : *from;
    *to = '\0';
}

void stateKeyURI(const char* baseURI, char* out, std::size_t size) {
    std::snprintf(out, size, "%s#state", baseURI ? baseURI : "");
}

void uiURI(const char* baseURI, char* out, std::size_t size) {
    std::snprintf(out, size, "%s#ui", baseURI ? baseURI : "");
}

double normalizedFromPlain(client::Parameter& parameter, double plain) {
    if (std::isnan(plain)) return plain;
    double n = plain >= 0.5 ? 1.0 : 0.0;
    if (auto* f = dynamic_cast<client::FloatParameter*>(&parameter)) n = f->toNormalized(plain);
    if (auto* i = dynamic_cast<client::IntegerParameter*>(&parameter)) n = i->toNormalized(plain);
    return std::clamp(n, 0.0, 1.0);
}

double plainFromNormalized(client::Parameter& parameter, double normalized) {
    if (auto* f = dynamic_cast<client::FloatParameter*>(&parameter)) return f->fromNormalized(normalized);
    if (auto* i = dynamic_cast<client::IntegerParameter*>(&parameter)) return i->fromNormalized(normalized);
    return normalized >= 0.5 ? 1.0 : 0.0;
}

}  // namespace plugkit::lv2
