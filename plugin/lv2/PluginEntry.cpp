// Binds the Tolva Multiband Compressor to the LV2 binding: its client, its LV2 identity, and the
// library's one exported entry point.
#include "lv2/core/lv2.h"
#include "plugin/MultibandComp.h"
#include "plugin/lv2/TolvaLV2.h"
#include "plugkit/lv2/LV2Bundle.h"
#include "plugkit/lv2/LV2Descriptors.h"

plugkit::client::Client* plugkitCreateClient() {
    return plugkit::client::Client::create<plugin::MultibandComp>();
}

plugkit::lv2::BundleInfo plugkitLV2Bundle() {
    return {plugin::kTolvaLV2URI, plugin::kTolvaLV2Binary, plugin::kTolvaLV2UIBinary};
}

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return plugkit::lv2::descriptorAt(index);
}
