// The UI library's one exported entry point: the plug-in's editor as an LV2 X11 UI.
#include "lv2/ui/ui.h"
#include "plugkit/lv2/ui/LV2UI.h"

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return plugkit::lv2::uiDescriptorAt(index);
}
