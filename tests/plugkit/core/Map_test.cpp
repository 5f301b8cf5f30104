#include "plugkit/core/Map.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>

#include "plugkit/core/Set.h"

using plugkit::core::Map;
using plugkit::core::Set;

namespace {

// Counts live instances so the tests see every entry destroyed exactly once.
struct Tracked {
    static inline int live = 0;
    int v;
    explicit Tracked(int x = 0) : v(x) { ++live; }
    Tracked(const Tracked& o) : v(o.v) { ++live; }
    Tracked& operator=(const Tracked&) = default;
    ~Tracked() { --live; }
};

template <class M, class Model>
void expectSameAsModel(const M& map, const Model& model) {
    ASSERT_EQ(map.size(), model.size());
    auto it = model.begin();
    for (const auto& e : map) {
        ASSERT_NE(it, model.end());
        EXPECT_EQ(e.key, it->first);
        EXPECT_EQ(e.value.v, it->second);
        ++it;
    }
}

}  // namespace

TEST(Map, RandomOperationsMatchStdMapAndKeepInvariants) {
    std::mt19937 rng(1234);
    {
        Map<int, Tracked> map;
        std::map<int, int> model;
        for (int step = 0; step < 20000; ++step) {
            const int key = static_cast<int>(rng() % 500);
            const int op = static_cast<int>(rng() % 10);
            if (op < 5) {
                const int value = static_cast<int>(rng());
                EXPECT_EQ(map.insert(key, Tracked(value)), model.find(key) == model.end());
                model[key] = value;
            } else if (op < 8) {
                EXPECT_EQ(map.remove(key), model.erase(key) == 1);
            } else {
                const Tracked* found = map.find(key);
                auto m = model.find(key);
                ASSERT_EQ(found != nullptr, m != model.end());
                if (found) {
                    EXPECT_EQ(found->v, m->second);
                }
                EXPECT_EQ(map.contains(key), m != model.end());
            }
            if (step % 97 == 0) {
                ASSERT_TRUE(map.validate());
                expectSameAsModel(map, model);
            }
            EXPECT_EQ(Tracked::live, static_cast<int>(model.size()));
        }
        ASSERT_TRUE(map.validate());
        expectSameAsModel(map, model);

        // Sequential keys are the classic worst case for an unbalanced tree.
        map.clear();
        EXPECT_EQ(Tracked::live, 0);
        for (int i = 0; i < 4096; ++i) map.insert(i, Tracked(i));
        ASSERT_TRUE(map.validate());
        for (int i = 0; i < 4096; i += 2) EXPECT_TRUE(map.remove(i));
        ASSERT_TRUE(map.validate());
        EXPECT_EQ(map.size(), 2048u);
    }
    EXPECT_EQ(Tracked::live, 0) << "destruction must destroy every value";
}

TEST(Map, OwnedValuesAndMoves) {
    Map<std::string, std::unique_ptr<int>> map;
    map.insert(std::string("b"), std::make_unique<int>(2));
    map.insert(std::string("a"), std::make_unique<int>(1));
    map.insert(std::string("b"), std::make_unique<int>(3));  // replaces
    ASSERT_NE(map.find("b"), nullptr);
    EXPECT_EQ(**map.find("b"), 3);
    EXPECT_EQ(map.find("zz"), nullptr);

    Map<std::string, std::unique_ptr<int>> moved(std::move(map));
    EXPECT_EQ(moved.size(), 2u);
    EXPECT_EQ(map.size(), 0u);  // NOLINT: a moved-from map is empty and usable
    map.insert(std::string("c"), std::make_unique<int>(4));
    moved = std::move(map);
    EXPECT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved.begin()->key, "c");
}

TEST(Set, RandomOperationsMatchStdSetAndKeepInvariants) {
    std::mt19937 rng(99);
    Set<int> set;
    std::set<int> model;
    for (int step = 0; step < 20000; ++step) {
        const int key = static_cast<int>(rng() % 300);
        switch (rng() % 3) {
            case 0:
                EXPECT_EQ(set.insert(key), model.insert(key).second);
                break;
            case 1:
                EXPECT_EQ(set.remove(key), model.erase(key) == 1);
                break;
            default:
                EXPECT_EQ(set.contains(key), model.count(key) == 1);
                break;
        }
        if (step % 101 == 0) {
            ASSERT_TRUE(set.validate());
            ASSERT_EQ(set.size(), model.size());
            auto it = model.begin();
            for (int k : set) EXPECT_EQ(k, *it++);
        }
    }
    set.clear();
    EXPECT_EQ(set.size(), 0u);
    EXPECT_EQ(set.begin(), set.end());
}
