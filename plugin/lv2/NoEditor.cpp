// The LV2 audio library has no editor: hosts show it from the UI library of the bundle, which talks
// to the plug-in through its ports. Defining the factory here keeps the editor and X11 out of it.
#include "plugin/MultibandComp.h"

namespace plugin {

plugkit::client::IGraphics* MultibandComp::createGraphics() { return nullptr; }

}  // namespace plugin
