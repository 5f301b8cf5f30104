#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "plugkit/client/Parameter.h"

namespace plugkit::client {
namespace {

// A listener that knows whether it is registered: a call while it is not is a call after
// removeListener returned, which would reach a destroyed widget.
struct Watcher : IParameterListener {
    std::atomic<bool> registered{false};
    std::atomic<int> calls{0};
    std::atomic<int> lateCalls{0};
    int payload = 0;  // plain memory the callback writes, as a widget's state would be
    void hit() {
        if (!registered.load()) lateCalls.fetch_add(1);
        ++payload;
        calls.fetch_add(1);
    }
    void onParameterChanged(Parameter*) override { hit(); }
    void onBeginParameterEdit(Parameter*) override { hit(); }
    void onEndParameterEdit(Parameter*) override { hit(); }
};

// Widgets come and go on the editor thread while two host threads set the value and notify.
TEST(ParameterListenerThreads, EditorAddsAndRemovesWhileHostsNotify) {
    LinearFloatParameter p(0, "Gain", "dB", -12, 12, 0);
    Watcher steady;
    steady.registered = true;
    p.addListener(&steady);
    std::atomic<bool> stop{false};
    auto host = [&](double v) {
        while (!stop.load()) {
            p.setFromHost(v);
            p.notifyListeners();
        }
    };
    std::thread h1(host, 0.25), h2(host, 0.75);
    // On a loaded machine the host threads may start late: the editor begins once they notify and
    // goes on past its 1000 rounds until a widget has been notified (or a deadline passed).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (steady.calls.load() == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    std::vector<Watcher> widgets(8);
    const auto notified = [&] {
        for (Watcher& w : widgets)
            if (w.calls.load() > 0) return true;
        return false;
    };
    for (int round = 0; round < 1000 || (!notified() && std::chrono::steady_clock::now() < deadline);
         ++round) {
        Watcher& w = widgets[static_cast<std::size_t>(round % 8)];
        w.registered = true;
        p.addListener(&w);
        if (round % 3 == 0) std::this_thread::yield();
        p.removeListener(&w);
        w.registered = false;  // from here on a call would be a use after destruction
        w.payload = 0;         // the editor reuses the memory (a race if a callback still ran)
    }
    stop = true;
    h1.join();
    h2.join();
    int calls = 0, late = 0;
    for (Watcher& w : widgets) {
        calls += w.calls.load();
        late += w.lateCalls.load();
    }
    EXPECT_EQ(late, 0);
    EXPECT_GT(calls, 0) << "the widgets were never notified: the threads did not overlap";
    EXPECT_GT(steady.calls.load(), 0);
    EXPECT_EQ(p.listenerCount(), 1);
}

// Listeners that change the list from inside a notification, on the notifying thread.
struct SelfRemover : IParameterListener {
    Parameter* param = nullptr;
    IParameterListener* toAdd = nullptr;
    int calls = 0;
    void onParameterChanged(Parameter*) override {
        ++calls;
        param->removeListener(this);
        if (toAdd) param->addListener(toAdd);
    }
    void onBeginParameterEdit(Parameter*) override {}
    void onEndParameterEdit(Parameter*) override {}
};

TEST(ParameterListenerThreads, CallbacksMayRemoveThemselvesAndAddOthers) {
    BoolParameter p(0, "B", false);
    Watcher after, added;
    after.registered = added.registered = true;
    SelfRemover first;
    first.param = &p;
    first.toAdd = &added;
    p.addListener(&first);
    p.addListener(&after);
    p.setFromHost(1.0);
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(after.calls.load(), 1);  // not skipped by the removal before it
    EXPECT_EQ(added.calls.load(), 1);  // added during the loop: called in the same pass
    ASSERT_EQ(p.listenerCount(), 2);
    p.notifyListeners();
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(after.calls.load(), 2);
    EXPECT_EQ(added.calls.load(), 2);
}

}  // namespace
}  // namespace plugkit::client
