// Instances opened and closed repeatedly: with the library loaded afresh each time (cold) and with
// it kept loaded (warm). The plug-in's live-object count must come back to 0 and every host
// reference must be given back.
#include <vector>

#include "tools/tolva/validate/Checks.h"

namespace tolva::validate {

namespace {

// Creates an instance of every layout, renders one block through each, destroys them.
std::string useEveryLayout(Session& session) {
    std::vector<std::unique_ptr<host::PluginInstance>> alive;
    for (const Layout& l : session.layouts()) {
        std::string error;
        auto p = session.library().createInstance(l.inputs, l.outputs, 44100.0, error);
        if (!p) return "no instance for " + l.text() + ": " + error;
        Buffers in(l.inputs, 256), out(l.outputs, 256);
        makeTestSignal(in, 44100.0, 0.5f, 1);
        p->render(in.in(0), out.out(0), 256);
        alive.push_back(std::move(p));
    }
    const int32_t live = session.library().canUnloadNow();
    if (live < static_cast<int32_t>(alive.size()))
        return "the plug-in counts " + std::to_string(live) + " live objects for " +
               std::to_string(alive.size()) + " instances";
    for (auto& p : alive)
        if (p->host().refs().overReleases() != 0)
            return "the plug-in released a host object more often than it referenced it";
    return "";
}

}  // namespace

void checkLifecycle(Session& session) {
    const int cycles = 1 + session.strictness();
    std::string problem;
    for (int i = 0; i < cycles && problem.empty(); ++i) {
        const int32_t live = session.close();
        if (live != 0) {
            problem = "cycle " + std::to_string(i) + ": " + std::to_string(live) + " live objects at unload";
            break;
        }
        if (!session.open()) return;
        problem = useEveryLayout(session);
    }
    if (problem.empty())
        session.pass("lifecycle cold", std::to_string(cycles) + " loads, every layout each time");
    else
        session.fail("lifecycle cold", problem);

    problem.clear();
    const int rounds = 3 * session.strictness();
    for (int i = 0; i < rounds && problem.empty(); ++i) problem = useEveryLayout(session);
    if (problem.empty() && session.library().canUnloadNow() != 0)
        problem =
            std::to_string(session.library().canUnloadNow()) + " live objects after every instance is gone";
    if (problem.empty()) {
        const int32_t live = session.close();
        if (live != 0)
            problem = std::to_string(live) + " live objects at unload";
        else if (session.leakedAtLastClose() != 0)
            problem = std::to_string(session.leakedAtLastClose()) + " host references kept at unload";
        if (!session.open()) return;
    }
    if (problem.empty())
        session.pass("lifecycle warm", std::to_string(rounds) + " rounds of instances, live count back to 0");
    else
        session.fail("lifecycle warm", problem);
}

}  // namespace tolva::validate
