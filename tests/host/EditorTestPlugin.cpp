// A plug-in library for the editor-hosting tests: the Tolva plug-in whose real editor counts how
// the binding drives it, read back through tolvaTestEditorCounts.

#include <atomic>

#include "gui/MultibandCompGUI.h"
#include "plugin/MultibandComp.h"
#include "plugkit/aax/ClientFactory.h"
#include "plugkit/core/AlignedAlloc.h"

namespace {

std::atomic<int> gCreated{0}, gOpened{0}, gClosed{0}, gDestroyed{0};
std::atomic<void*> gParents[2] = {nullptr, nullptr};

class CountingEditor final : public tolvagui::MultibandCompGUI {
public:
    explicit CountingEditor(plugin::MultibandComp* plugin) : MultibandCompGUI(plugin) {}
    ~CountingEditor() override { ++gDestroyed; }
    void* openUI(void* parent, void* control, plugkit::client::DAW daw,
                 plugkit::client::GraphicsBackend backend) override {
        const int n = gOpened++;
        if (n < 2) gParents[n] = parent;
        opening_ = true;  // opening closes a window still open first: not the binding's close
        void* handle = MultibandCompGUI::openUI(parent, control, daw, backend);
        opening_ = false;
        return handle;
    }
    void closeUI() override {
        if (!opening_) ++gClosed;
        MultibandCompGUI::closeUI();
    }

private:
    bool opening_ = false;
};

class EditorTestClient final : public plugin::MultibandComp {
public:
    plugkit::client::IGraphics* createGraphics() override {
        ++gCreated;
        return plugkit::core::mallocNew<CountingEditor>(this);
    }
};

}  // namespace

// counts: created, opened, closed, destroyed; parents: the parent views of the first two opens.
extern "C" __attribute__((visibility("default"))) void tolvaTestEditorCounts(int counts[4],
                                                                             void* parents[2]) {
    counts[0] = gCreated;
    counts[1] = gOpened;
    counts[2] = gClosed;
    counts[3] = gDestroyed;
    parents[0] = gParents[0];
    parents[1] = gParents[1];
}

plugkit::client::Client* plugkitCreateClient() { return plugkit::client::Client::create<EditorTestClient>(); }
