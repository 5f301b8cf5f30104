// State: a saved chunk restored into a randomised instance gives the same chunk bytes and the same
// audio; truncated, corrupted and foreign chunks are refused and change nothing. Refusals are
// checked through the plug-in's own SetChunk, without the host library's restore-on-refusal.
#include <cstring>

#include "plugkit/aax/sdk/AAXEntryPoints.h"
#include "tools/tolva/validate/Checks.h"

namespace tolva::validate {

namespace sdk = plugkit::aax::sdk;

namespace {

// Hands bytes to the plug-in's SetChunk in a host record, as a host would.
sdk::Result rawSetChunk(host::PluginInstance& p, sdk::TypeID id, const std::vector<uint8_t>& bytes) {
    std::vector<uint64_t> words((sdk::kChunkHeaderSize + bytes.size() + 7) / 8, 0);
    auto* record = reinterpret_cast<sdk::PlugInChunk*>(words.data());
    record->size = static_cast<int32_t>(bytes.size());
    record->chunkID = id;
    if (!bytes.empty()) std::memcpy(sdk::chunkData(record), bytes.data(), bytes.size());
    return p.effectParameters()->SetChunk(id, record);
}

std::vector<float> renderSignal(host::PluginInstance& p) {
    const int64_t frames = static_cast<int64_t>(p.sampleRate() * 0.3);
    Buffers in(p.inputs(), frames), out(p.outputs(), frames);
    makeTestSignal(in, p.sampleRate(), 0.8f, 7);
    renderRange(p, in, out, 512, 0, frames, false);
    std::vector<float> all;
    for (int c = 0; c < out.channels(); ++c)
        all.insert(all.end(), out.channel(c).begin(), out.channel(c).end());
    return all;
}

std::string firstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return std::to_string(a.size()) + " bytes became " + std::to_string(b.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return "byte " + std::to_string(i) + " differs";
    return "";
}

std::string roundTrip(Session& session, const Layout& layout) {
    auto a = session.instance(layout, 48000.0, "state round trip");
    auto b = session.instance(layout, 48000.0, "state round trip");
    if (!a || !b) return "no instance";
    randomize(session, *a);
    randomize(session, *b);
    std::vector<uint8_t> saved, restored, again;
    if (a->getChunk(saved) != 0) return "no chunk";
    if (b->setChunk(saved) != 0) return "its own chunk is refused";
    if (b->getChunk(restored) != 0) return "no chunk after a restore";
    std::string diff = firstDifference(saved, restored);
    if (!diff.empty()) return "restored into another instance: " + diff;
    // The chunk holds the values as stored; both instances restored from it render alike.
    randomize(session, *a);
    if (a->setChunk(saved) != 0 || a->getChunk(again) != 0) return "a second restore failed";
    diff = firstDifference(saved, again);
    if (!diff.empty()) return "save, randomise, restore: " + diff;
    if (renderSignal(*a) != renderSignal(*b))
        return "two instances restored from one chunk render different audio";
    return "";
}

// Every refused chunk must leave the state as it was.
std::string refusals(Session& session, const Layout& layout) {
    auto p = session.instance(layout, 48000.0, "state refusal");
    if (!p) return "no instance";
    randomize(session, *p);
    std::vector<uint8_t> saved, now;
    if (p->getChunk(saved) != 0 || saved.empty()) return "no chunk";
    auto unchanged = [&](const std::string& what) -> std::string {
        if (p->getChunk(now) != 0 || now != saved) return what + " was refused but changed the state";
        return "";
    };
    auto mustRefuse = [&](const std::vector<uint8_t>& bytes, sdk::TypeID id, const std::string& what) {
        if (rawSetChunk(*p, id, bytes) == 0) {
            p->setChunk(saved);
            return what + " was accepted";
        }
        return unchanged(what);
    };
    const std::size_t step = session.strictness() >= 5 ? 1 : 3;
    for (std::size_t n = 0; n < saved.size(); n += step) {
        const std::string problem =
            mustRefuse(std::vector<uint8_t>(saved.begin(), saved.begin() + static_cast<long>(n)),
                       sdk::kChunkIDPlugkit, "the chunk cut to " + std::to_string(n) + " bytes");
        if (!problem.empty()) return problem;
    }
    for (std::size_t i = 0; i < 4 && i < saved.size(); ++i) {
        auto bad = saved;
        bad[i] ^= 0x5A;
        const std::string problem =
            mustRefuse(bad, sdk::kChunkIDPlugkit, "a chunk with byte " + std::to_string(i) + " corrupted");
        if (!problem.empty()) return problem;
    }
    std::string problem = mustRefuse(saved, host::fourCC("Xtrn"), "the chunk under a foreign identifier");
    if (!problem.empty()) return problem;
    for (int i = 0; i < 4 * session.strictness(); ++i) {
        std::vector<uint8_t> foreign(static_cast<std::size_t>(session.uniform() * 400));
        for (auto& byte : foreign) byte = static_cast<uint8_t>(session.rng()());
        if (foreign.size() >= 4 && std::memcmp(foreign.data(), saved.data(), 4) == 0) foreign[0] ^= 1;
        problem = mustRefuse(foreign, sdk::kChunkIDPlugkit,
                             "random bytes (" + std::to_string(foreign.size()) + ")");
        if (!problem.empty()) return problem;
    }
    // Flips anywhere: a chunk the plug-in refuses must change nothing (an accepted one may).
    for (int i = 0; i < 20 * session.strictness(); ++i) {
        auto bad = saved;
        bad[static_cast<std::size_t>(session.uniform() * bad.size())] ^=
            static_cast<uint8_t>(1 + session.rng()() % 255);
        if (rawSetChunk(*p, sdk::kChunkIDPlugkit, bad) != 0) {
            problem = unchanged("a chunk with a corrupted byte");
            if (!problem.empty()) return problem;
        } else if (p->setChunk(saved) != 0) {
            return "the saved chunk is refused after a corrupted one was accepted";
        }
    }
    return "";
}

}  // namespace

void checkState(Session& session) {
    const Layout layout = session.mainLayout();
    std::string problem;
    const int rounds = session.strictness();
    for (int i = 0; i < rounds && problem.empty(); ++i) problem = roundTrip(session, layout);
    if (problem.empty())
        session.pass("state round trip", std::to_string(rounds) + " random states: same bytes, same audio");
    else
        session.fail("state round trip", problem);

    problem = refusals(session, layout);
    if (problem.empty())
        session.pass("state refusal", "truncated, corrupted and foreign chunks refused without change");
    else
        session.fail("state refusal", problem);
}

}  // namespace tolva::validate
