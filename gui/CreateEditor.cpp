// The plug-in's editor factory lives with the editor, so that a library built without the editor
// (the LV2 audio library) can supply its own and never pull the window code in.
#include "gui/MultibandCompGUI.h"
#include "plugin/MultibandComp.h"
#include "plugkit/core/AlignedAlloc.h"

namespace plugin {

plugkit::client::IGraphics* MultibandComp::createGraphics() {
    return plugkit::core::mallocNew<tolvagui::MultibandCompGUI>(this);
}

}  // namespace plugin
