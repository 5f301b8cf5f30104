#include "plugin/EditorFactory.h"

#include <atomic>

#include "plugin/MultibandComp.h"

namespace plugin {

namespace {
// Constant-initialised, so that an installer running in another object's static initialisation
// finds it ready.
std::atomic<EditorFactory> gEditorFactory{nullptr};
}  // namespace

void setEditorFactory(EditorFactory factory) noexcept {
    gEditorFactory.store(factory, std::memory_order_release);
}

EditorFactory editorFactory() noexcept { return gEditorFactory.load(std::memory_order_acquire); }

plugkit::client::IGraphics* MultibandComp::createGraphics() {
    const EditorFactory factory = editorFactory();
    return factory ? factory(*this) : nullptr;
}

}  // namespace plugin
