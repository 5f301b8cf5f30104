// Build-time generator: instantiates the plug-in's client and writes the bundle's manifest.ttl,
// plug-in description and presets from it, so the Turtle files never list parameters by hand.
//   tolva_lv2_ttl <bundle directory>
#include <cstdio>

#include "plugkit/client/Client.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/lv2/LV2Bundle.h"
#include "plugkit/lv2/TurtleWriter.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <bundle directory>\n", argv[0]);
        return 2;
    }
    plugkit::client::Client* client = plugkitCreateClient();
    if (!client) {
        std::fprintf(stderr, "error: cannot create the plug-in\n");
        return 1;
    }
    plugkit::lv2::TurtleWriter writer(*client, plugkitLV2Bundle(), "tolva.ttl");
    char error[512];
    const bool ok = writer.writeBundle(argv[1], error, sizeof error);
    plugkit::core::destroyFree(client);
    if (!ok) {
        std::fprintf(stderr, "error: %s\n", error);
        return 1;
    }
    return 0;
}
