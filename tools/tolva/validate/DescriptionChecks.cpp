// Description sanity: what the plug-in tells a host scanning it, and its parameters' identifiers,
// names, defaults and text conversions.
#include <cmath>
#include <set>

#include "tools/tolva/validate/Checks.h"

namespace tolva::validate {

namespace {

std::string describeProblems(const host::PluginDescription& d) {
    if (d.registerResult != 0) return "ACFRegisterPlugin returned " + std::to_string(d.registerResult);
    if (d.names.empty() || d.names.front().empty()) return "no effect name";
    for (const auto& n : d.names)
        if (n.empty() || n.size() > 63) return "effect name of " + std::to_string(n.size()) + " characters";
    if (d.manufacturerName.empty()) return "no manufacturer name";
    if (d.packageNames.empty()) return "no package name";
    if (d.categories.empty() || d.categories.front() == 0) return "no category";
    if (d.bundleId.empty()) return "no bundle identifier";
    if (d.components.empty()) return "no processing component";
    std::set<std::pair<int, int>> layouts;
    std::set<uint32_t> nativeIds;
    for (const auto& c : d.components) {
        const std::string where =
            "component " + std::to_string(c.inputs()) + "in/" + std::to_string(c.outputs()) + "out";
        if (c.inputs() < 1 || c.outputs() < 1) return where + ": no channels";
        if (!layouts.insert({c.inputs(), c.outputs()}).second) return where + ": layout described twice";
        if (!c.renderCallback) return where + ": no render callback";
        if (c.result != 0) return where + ": the host refused part of it (" + std::to_string(c.result) + ")";
        if (!c.hasProperty(host::property::kManufacturerID) || !c.hasProperty(host::property::kProductID))
            return where + ": no manufacturer or product identifier";
        if (c.nativeId() == 0 || !nativeIds.insert(c.nativeId()).second)
            return where + ": native identifier missing or not unique";
    }
    return "";
}

std::string parameterProblems(host::PluginInstance& p) {
    const auto& params = p.parameters();
    if (params.empty()) return "no parameters";
    std::set<std::string> ids, names;
    bool bypassListed = p.masterBypassId().empty();
    for (std::size_t i = 0; i < params.size(); ++i) {
        const auto& q = params[i];
        const std::string where = "parameter '" + q.id + "'";
        if (q.id.empty() || !ids.insert(q.id).second) return where + ": identifier empty or repeated";
        if (q.name.empty() || !names.insert(q.name).second) return where + ": name empty or repeated";
        if (!(q.defaultNormalized >= 0.0 && q.defaultNormalized <= 1.0))
            return where + ": default outside 0..1";
        if (q.steps < 2) return where + ": " + std::to_string(q.steps) + " steps";
        double now = -1.0;
        if (p.getNormalized(q.id, now) != 0 || std::fabs(now - q.defaultNormalized) > 1e-6)
            return where + ": a new instance does not start at the default";
        int32_t index = -1;
        if (p.effectParameters()->GetParameterIndex(q.id.c_str(), &index) != 0 || index != int32_t(i))
            return where + ": index " + std::to_string(index) + " differs from its position " +
                   std::to_string(i);
        bypassListed = bypassListed || q.id == p.masterBypassId();
    }
    if (!bypassListed) return "the master bypass '" + p.masterBypassId() + "' is not among the parameters";
    double v = 0.0;
    if (p.getNormalized("no such parameter", v) == 0) return "an unknown identifier is accepted";
    return "";
}

// Text of n, read back, shown again: the same text, and the value shown after setting it.
std::string textProblem(host::PluginInstance& p, const host::ParameterInfo& q, double n) {
    std::string text, again, shown;
    if (p.stringFromValue(q.id, n, text) != 0 || text.empty()) return "no text for " + std::to_string(n);
    double back = -1.0;
    if (p.valueFromString(q.id, text, back) != 0) return "its own text '" + text + "' is refused";
    if (p.stringFromValue(q.id, back, again) != 0 || again != text)
        return "'" + text + "' reads back as '" + again + "'";
    if (p.setNormalized(q.id, n) != 0 || p.valueString(q.id, shown) != 0 || shown != text)
        return "set to " + std::to_string(n) + " it shows '" + shown + "', not '" + text + "'";
    return "";
}

}  // namespace

void checkDescription(Session& session) {
    const std::string problem = describeProblems(session.library().description());
    if (problem.empty()) {
        host::PluginDescription again;
        session.library().describe(again);
        const auto& d = session.library().description();
        if (again.names != d.names || again.components.size() != d.components.size())
            session.fail("description", "a second description differs from the first");
        else
            session.pass("description",
                         d.names.front() + ", " + std::to_string(d.components.size()) + " layouts");
    } else {
        session.fail("description", problem);
    }

    auto p = session.instance(session.mainLayout(), 48000.0, "parameters");
    if (!p) return;
    const std::string paramProblem = parameterProblems(*p);
    if (paramProblem.empty())
        session.pass("parameters", std::to_string(p->parameters().size()) + " parameters");
    else
        session.fail("parameters", paramProblem);

    const int randomValues = 2 * session.strictness();
    int tried = 0;
    for (const auto& q : p->parameters()) {
        std::vector<double> values = {0.0, 1.0, q.defaultNormalized};
        for (int i = 0; i < randomValues; ++i) values.push_back(session.uniform());
        for (double n : values) {
            ++tried;
            const std::string problem = textProblem(*p, q, n);
            if (!problem.empty()) {
                session.fail("text round trip", "parameter '" + q.name + "': " + problem);
                return;
            }
        }
    }
    session.pass("text round trip", std::to_string(tried) + " values");
}

}  // namespace tolva::validate
