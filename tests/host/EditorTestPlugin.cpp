// A plug-in library for the editor-hosting tests: the Tolva plug-in with an editor double that
// counts how the binding drives it, read back through tolvaTestEditorCounts.

#include <atomic>

#include "plugin/MultibandComp.h"
#include "plugkit/aax/ClientFactory.h"
#include "plugkit/core/AlignedAlloc.h"

namespace {

std::atomic<int> gCreated{0}, gOpened{0}, gClosed{0}, gDestroyed{0};
std::atomic<void*> gParents[2] = {nullptr, nullptr};

class CountingEditor final : public plugkit::client::IGraphics {
public:
    ~CountingEditor() override { ++gDestroyed; }
    void* openUI(void* parent, void*, plugkit::client::DAW, plugkit::client::GraphicsBackend) override {
        const int n = gOpened++;
        if (n < 2) gParents[n] = parent;
        return parent;
    }
    void closeUI() override { ++gClosed; }
    void getGUISize(int* width, int* height) override {
        *width = 800;
        *height = 450;
    }
};

class EditorTestClient final : public plugin::MultibandComp {
public:
    plugkit::client::IGraphics* createGraphics() override {
        ++gCreated;
        return plugkit::core::mallocNew<CountingEditor>();
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
