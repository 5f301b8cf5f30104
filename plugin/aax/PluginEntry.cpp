// Binds the Tolva Multiband Compressor to the AAX binding: the binding creates its clients here.

#include "plugin/MultibandComp.h"
#include "plugkit/aax/ClientFactory.h"

plugkit::client::Client* plugkitCreateClient() {
    return plugkit::client::Client::create<plugin::MultibandComp>();
}
