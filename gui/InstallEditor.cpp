// Linked into each product that shows the editor (the AAX library, the LV2 UI library, and the
// programs that build the editor in-process): installs MultibandCompGUI as the plug-in's editor
// factory while the library or program loads, before a host can create an instance. The plug-in
// library itself has no editor (plugin/EditorFactory.h).
#include "gui/MultibandCompGUI.h"
#include "plugin/EditorFactory.h"
#include "plugin/MultibandComp.h"
#include "plugkit/core/AlignedAlloc.h"

namespace tolvagui {

namespace {

plugkit::client::IGraphics* createEditor(plugin::MultibandComp& plugin) {
    return plugkit::core::mallocNew<MultibandCompGUI>(&plugin);
}

[[maybe_unused]] const bool installed = (plugin::setEditorFactory(&createEditor), true);

}  // namespace

}  // namespace tolvagui
