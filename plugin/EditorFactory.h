#pragma once

namespace plugkit::client {
class IGraphics;
}

namespace plugin {

class MultibandComp;

// The editor is a library of its own (gui/) that depends on the plug-in, never the other way: the
// plug-in builds its editor through this factory, which each product that shows the editor
// installs when it loads (gui/InstallEditor.cpp, linked into the AAX library and the LV2 UI
// library). Without a factory the plug-in has no editor: MultibandComp::createGraphics returns null.
// Returns an editor made with core::mallocNew; the client owns it from then on.
using EditorFactory = plugkit::client::IGraphics* (*)(MultibandComp& plugin);

// [any thread] Installs the factory for every instance in this library or program (null removes
// it); install it before an instance is asked for its editor.
void setEditorFactory(EditorFactory factory) noexcept;
// [any thread] The installed factory, or null.
EditorFactory editorFactory() noexcept;

}  // namespace plugin
