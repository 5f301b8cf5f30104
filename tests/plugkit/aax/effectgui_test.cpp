// The editor object: its view-container life cycle against a client's editor, including the
// orders a careless host may use.

#include <gtest/gtest.h>

#include <cmath>

#include "plugin/MultibandComp.h"
#include "plugkit/aax/AAXClient.h"
#include "plugkit/aax/AAXEffectGUI.h"
#include "plugkit/aax/LiveObjects.h"
#include "tests/plugkit/aax/HostDoubles.h"

using namespace aaxtest;
namespace aax = plugkit::aax;
namespace pc = plugkit::client;

namespace {

struct EditorLog {
    int created = 0, opened = 0, closed = 0;
    void* lastParent = nullptr;
};

class EditorDouble final : public pc::IGraphics {
public:
    explicit EditorDouble(EditorLog& log) : log_(log) {}
    void* openUI(void* parent, void*, pc::DAW, pc::GraphicsBackend) override {
        ++log_.opened;
        log_.lastParent = parent;
        return parent;
    }
    void closeUI() override { ++log_.closed; }
    void getGUISize(int* w, int* h) override { *w = 800, *h = 450; }

private:
    EditorLog& log_;
};

class ClientWithEditor final : public plugin::MultibandComp {
public:
    EditorLog* log = nullptr;
    pc::IGraphics* createGraphics() override {
        ++log->created;
        return plugkit::core::mallocNew<EditorDouble>(*log);
    }
};

// The per-instance host unknown of an editor object: controller and transport from HostInstance,
// effect parameters from the instance's AAXClient.
struct GuiHost final : sdk::IACFUnknown {
    HostInstance instance;
    sdk::IEffectParameters* effect = nullptr;
    sdk::Result QueryInterface(const sdk::UID& iid, void** out) override {
        if (iid == sdk::IEffectParameters::kIID) {
            *out = nullptr;
            return effect ? effect->QueryInterface(iid, out) : sdk::kErrorNoInterface;
        }
        return instance.QueryInterface(iid, out);
    }
    std::uint32_t AddRef() override { return instance.AddRef(); }
    std::uint32_t Release() override { return instance.Release(); }
};

struct Container final : sdk::IViewContainer {
    void* parent;
    explicit Container(void* p) : parent(p) {}
    void* GetPtr() override { return parent; }
};

sdk::IEffectGUI* newEditorObject() {
    sdk::IACFUnknown* unknown = aax::AAXEffectGUI::create();
    sdk::IEffectGUI* gui = sdk::queryInterface<sdk::IEffectGUI>(unknown);
    unknown->Release();
    return gui;
}

}  // namespace

TEST(AAXEffectGUI, ContainerLifeCycleKeepsOpenAndCloseInPairs) {
    const int liveBefore = aax::liveObjectCount();
    EditorLog log;
    auto* client = pc::Client::create<ClientWithEditor>();
    client->log = &log;
    auto* effect = plugkit::core::mallocNew<aax::AAXClient>(client);
    GuiHost host;
    host.effect = effect;
    ASSERT_EQ(effect->Initialize(host.instance.unknown()), 0);

    sdk::IEffectGUI* gui = newEditorObject();
    EXPECT_EQ(gui->Initialize(nullptr), sdk::kErrorNotInitialized);
    ASSERT_EQ(gui->Initialize(&host), 0);
    sdk::Point size{-1.0f, -1.0f};
    EXPECT_EQ(gui->GetViewSize(&size), 0);
    EXPECT_EQ(size.horz, -1.0f);                   // no editor yet: nothing written
    EXPECT_EQ(gui->SetViewContainer(nullptr), 0);  // a close before any open does nothing
    EXPECT_EQ(log.closed, 0);

    Container a(reinterpret_cast<void*>(0x1234)), b(nullptr);
    EXPECT_EQ(gui->SetViewContainer(&a), 0);
    EXPECT_EQ(log.lastParent, a.parent);
    EXPECT_EQ(gui->SetViewContainer(&b), 0);  // replaces the open view: closed first
    EXPECT_EQ(log.opened, 2);
    EXPECT_EQ(log.closed, 1);
    EXPECT_EQ(gui->GetViewSize(&size), 0);
    EXPECT_EQ(size.horz, 800.0f);
    EXPECT_EQ(size.vert, 450.0f);

    // The audio thread holding the editor: the size is not reported, and nothing waits.
    ASSERT_NE(client->editorTryAcquire(), nullptr);
    size = {-1.0f, -1.0f};
    EXPECT_EQ(gui->GetViewSize(&size), 0);
    EXPECT_EQ(size.horz, -1.0f);
    client->editorRelease();

    EXPECT_EQ(gui->Uninitialize(), 0);  // closes the view still open
    EXPECT_EQ(log.closed, 2);
    EXPECT_EQ(gui->Release(), 0u);
    EXPECT_EQ(log.created, 1);

    effect->Uninitialize();
    effect->Release();
    EXPECT_EQ(aax::liveObjectCount(), liveBefore);
    EXPECT_EQ(host.instance.refs, 1);
}

TEST(AAXEffectGUI, HostWithoutEffectParametersOpensNothing) {
    GuiHost host;  // answers no effect parameters
    sdk::IEffectGUI* gui = newEditorObject();
    ASSERT_EQ(gui->Initialize(&host), 0);
    Container c(nullptr);
    EXPECT_EQ(gui->SetViewContainer(&c), 0);
    sdk::Point size{-1.0f, -1.0f};
    EXPECT_EQ(gui->GetViewSize(&size), 0);
    EXPECT_EQ(size.vert, -1.0f);
    sdk::IString* label = nullptr;
    EXPECT_EQ(gui->GetCustomLabel(0, label), sdk::kErrorNullObject);
    EXPECT_EQ(gui->Release(), 0u);  // released while open: closes without a client
    EXPECT_EQ(host.instance.refs, 1);
}
