#pragma once

namespace plugkit::client {
class Client;
}

// [host thread] Creates the plug-in's client, fully initialised (Client::create). Defined by the
// plug-in, called by the binding whenever it needs a client: for each instance, and for a
// temporary one while describing the plug-in or enumerating its presets. The binding destroys
// the client with core::destroyFree.
plugkit::client::Client* plugkitCreateClient();
