// The bundle description of a client with one parameter of every class, read back with lilv:
// integer and enumeration ports with scale points, units, a gain's floor, layouts and presets; and
// clients that cannot be described (clashing or reserved symbols) are refused before any file.
#include "plugkit/lv2/TurtleWriter.h"

#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <cstdlib>
#include <string>

#include "lv2/core/lv2.h"
#include "lv2/port-props/port-props.h"
#include "lv2/units/units.h"
#include "tests/plugkit/client/TestPlugin.h"

namespace {

using plugkit::client::Client;
using plugkit::client::testing::TestPlugin;

const char* const kURI = "https://pel.audio/plugins/test";

std::string bundleDir(const char* name) {
    const std::string dir = ::testing::TempDir() + name + ".lv2";
    std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
    return dir;
}

struct World {
    LilvWorld* world = lilv_world_new();
    explicit World(const std::string& dir) {
        LilvNode* bundle = lilv_new_file_uri(world, nullptr, (dir + "/").c_str());
        lilv_world_load_bundle(world, bundle);
        lilv_node_free(bundle);
    }
    ~World() { lilv_world_free(world); }
    const LilvPlugin* plugin(const std::string& uri) const {
        LilvNode* n = lilv_new_uri(world, uri.c_str());
        const LilvPlugin* p = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), n);
        lilv_node_free(n);
        return p;
    }
    bool is(const LilvPlugin* p, const LilvPort* port, const char* predicate, const char* value) const {
        LilvNode* pred = lilv_new_uri(world, predicate);
        LilvNode* val = lilv_new_uri(world, value);
        LilvNodes* values = lilv_port_get_value(p, port, pred);
        const bool found = values && lilv_nodes_contains(values, val);
        lilv_nodes_free(values);
        lilv_node_free(val);
        lilv_node_free(pred);
        return found;
    }
};

TEST(TurtleWriter, DescribesEveryParameterClass) {
    TestPlugin* client = Client::create<TestPlugin>();
    const std::string dir = bundleDir("every_class");
    plugkit::lv2::TurtleWriter writer(*client, {kURI, "test.so"}, "test.ttl");
    char error[256] = "";
    ASSERT_TRUE(writer.writeBundle(dir.c_str(), error, sizeof error)) << error;
    plugkit::core::destroyFree(client);

    World w(dir);
    ASSERT_EQ(lilv_plugins_size(lilv_world_get_all_plugins(w.world)), 2u);
    const LilvPlugin* p = w.plugin(kURI);  // stereo, the widest layout
    ASSERT_NE(p, nullptr);
    ASSERT_NE(w.plugin(std::string(kURI) + "/mono"), nullptr);
    EXPECT_EQ(lilv_plugin_get_num_ports(p), 8u + 2 + 2 + 2);

    float mins[14], maxs[14], defs[14];
    lilv_plugin_get_port_ranges_float(p, mins, maxs, defs);
    auto port = [&](const char* symbol) {
        LilvNode* s = lilv_new_string(w.world, symbol);
        const LilvPort* found = lilv_plugin_get_port_by_symbol(p, s);
        lilv_node_free(s);
        return found;
    };
    const LilvPort* steps = port("steps");
    ASSERT_NE(steps, nullptr);
    EXPECT_TRUE(w.is(p, steps, LV2_CORE__portProperty, LV2_CORE__integer));
    EXPECT_EQ(mins[3], -10.0f);
    EXPECT_EQ(maxs[3], 10.0f);

    const LilvPort* mode = port("mode");
    EXPECT_TRUE(w.is(p, mode, LV2_CORE__portProperty, LV2_CORE__enumeration));
    EXPECT_EQ(defs[4], 1.0f);
    LilvScalePoints* points = lilv_port_get_scale_points(p, mode);
    ASSERT_NE(points, nullptr);
    EXPECT_EQ(lilv_scale_points_size(points), 3u);
    LILV_FOREACH(scale_points, it, points) {
        const LilvScalePoint* sp = lilv_scale_points_get(points, it);
        const float v = lilv_node_as_float(lilv_scale_point_get_value(sp));
        EXPECT_EQ(std::string(1, static_cast<char>('A' + static_cast<int>(v))),
                  lilv_node_as_string(lilv_scale_point_get_label(sp)));
    }
    lilv_scale_points_free(points);

    EXPECT_TRUE(w.is(p, port("bypass"), LV2_CORE__portProperty, LV2_CORE__toggled));
    EXPECT_TRUE(w.is(p, port("mix"), LV2_UNITS__unit, LV2_UNITS__pc));
    EXPECT_TRUE(w.is(p, port("out"), LV2_UNITS__unit, LV2_UNITS__db));
    EXPECT_EQ(mins[6], -144.0f);  // a gain's minus infinity
    EXPECT_EQ(maxs[6], 12.0f);
    EXPECT_TRUE(w.is(p, port("freq"), LV2_CORE__portProperty, LV2_PORT_PROPS__logarithmic));
    EXPECT_FALSE(w.is(p, port("curve"), LV2_CORE__portProperty, LV2_PORT_PROPS__logarithmic));
}

// A client whose parameters cannot all get distinct symbols, or take a reserved one.
class Clashing : public TestPlugin {
public:
    explicit Clashing(const char* second) : second_(second) {}
    plugkit::core::Vec<plugkit::client::Parameter*> buildParameters() override {
        plugkit::core::Vec<plugkit::client::Parameter*> p;
        p.pushBack(
            plugkit::core::mallocNew<plugkit::client::LinearFloatParameter>(0, "Gain", "dB", -1.0, 0.0, 0.0));
        p.pushBack(plugkit::core::mallocNew<plugkit::client::LinearFloatParameter>(1, second_, "dB", -1.0,
                                                                                   0.0, 0.0));
        return p;
    }
    plugkit::core::Vec<plugkit::client::Preset*> buildPresets() override {
        plugkit::core::Vec<plugkit::client::Preset*> presets;
        presets.pushBack(makeDefaultPreset());
        return presets;
    }

private:
    const char* second_;
};

TEST(TurtleWriter, RefusesClientsWithoutDistinctSymbols) {
    for (const char* second : {"GAIN!", "Enabled", "latency"}) {
        Clashing* client = Client::create<Clashing>(second);
        const std::string dir = bundleDir("clash");
        plugkit::lv2::TurtleWriter writer(*client, {kURI, "test.so"}, "test.ttl");
        char error[256] = "";
        EXPECT_FALSE(writer.writeBundle(dir.c_str(), error, sizeof error)) << second;
        EXPECT_NE(std::string(error).find("same symbol"), std::string::npos);
        EXPECT_NE(std::system(("test -e '" + dir + "/manifest.ttl'").c_str()), 0);
        plugkit::core::destroyFree(client);
    }
}

}  // namespace
