#include <dlfcn.h>
#include <gtest/gtest.h>

#include "gui/EditorLayout.h"
#include "host/PluginEditor.h"
#include "host/PluginLibrary.h"

namespace sdk = plugkit::aax::sdk;

namespace {

struct EditorCounts {
    int created = 0, opened = 0, closed = 0, destroyed = 0;
    void* parents[2] = {nullptr, nullptr};
};

// Reads the editor double's counters from the already loaded test library.
EditorCounts readCounts() {
    void* handle = dlopen(TOLVA_EDITOR_TEST_PLUGIN, RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(handle, nullptr);
    EditorCounts c;
    if (!handle) return c;
    auto fn = reinterpret_cast<void (*)(int*, void**)>(dlsym(handle, "tolvaTestEditorCounts"));
    EXPECT_NE(fn, nullptr);
    int counts[4] = {};
    if (fn) fn(counts, c.parents);
    c.created = counts[0], c.opened = counts[1], c.closed = counts[2], c.destroyed = counts[3];
    dlclose(handle);
    return c;
}

}  // namespace

// Open in an X11 parent, close, reopen in a headless window the host drives: the binding creates the
// plug-in's editor once, opens it twice, closes it once, reports its size, and the client destroys
// it with the instance.
TEST(PluginEditor, OpensClosesAndReopensOneEditorThroughTheBinding) {
    std::string error;
    auto lib = host::PluginLibrary::open(TOLVA_EDITOR_TEST_PLUGIN, error);
    ASSERT_TRUE(lib) << error;
    auto instance = lib->createInstance(2, 2, 48000.0, error);
    ASSERT_TRUE(instance) << error;
    auto editor = host::PluginEditor::create(lib->description(), *instance, error);
    ASSERT_TRUE(editor) << error;

    int width = -1, height = -1;
    EXPECT_FALSE(editor->size(width, height));  // no editor before the first open
    const unsigned long x11Window = 0x3a00007;
    host::ViewContainer x11 = host::ViewContainer::forX11Window(x11Window);
    ASSERT_EQ(editor->open(x11.GetPtr()), sdk::kSuccess);
    ASSERT_TRUE(editor->size(width, height));
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 450);
    ASSERT_EQ(editor->close(), sdk::kSuccess);
    EXPECT_EQ(editor->window(), nullptr);
    ASSERT_EQ(editor->openDriven(0), sdk::kSuccess);  // headless

    EditorCounts c = readCounts();
    EXPECT_EQ(c.created, 1);
    EXPECT_EQ(c.opened, 2);
    EXPECT_EQ(c.closed, 1);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(c.parents[0]), x11Window);
    EXPECT_NE(c.parents[1], nullptr);
    plugkit::window::IHostedWindow* window = editor->window();
    ASSERT_NE(window, nullptr);  // the editor's window registered with the host
    EXPECT_EQ(window->tick(1.0 / 60),
              plugkit::graphics::Box(0, 0, tolvagui::layout::kWidth, tolvagui::layout::kHeight));
    EXPECT_EQ(window->pixels().w, 800);
    EXPECT_EQ(window->pixels().h, 450);
    EXPECT_EQ(window->pixels().pixel(5, 5).a, 255);
    ASSERT_TRUE(editor->size(width, height));
    EXPECT_EQ(width, 800);

    ASSERT_EQ(editor->close(), sdk::kSuccess);
    EXPECT_EQ(editor->window(), nullptr);  // the window withdrew when it closed
    editor.reset();
    c = readCounts();
    EXPECT_EQ(c.closed, 2);
    EXPECT_EQ(c.destroyed, 0);  // the editor stays with the client
    EXPECT_EQ(host::describeEditor(lib->description(), *instance), "800 x 450");
    instance.reset();
    EXPECT_EQ(readCounts().destroyed, 1);
    EXPECT_EQ(lib->close(), 0);
    EXPECT_EQ(lib->leakedHostReferences(), 0);
}

// The plug-in's own library: a second open replaces the first view, the editor reports its size
// after an open, and nothing leaks.
TEST(PluginEditor, PluginReportsItsEditor) {
    std::string error;
    auto lib = host::PluginLibrary::open(TOLVA_TEST_PLUGIN, error);
    ASSERT_TRUE(lib) << error;
    auto instance = lib->createInstance(2, 2, 48000.0, error);
    ASSERT_TRUE(instance) << error;
    {
        auto editor = host::PluginEditor::create(lib->description(), *instance, error);
        ASSERT_TRUE(editor) << error;
        int width = -1, height = -1;
        EXPECT_FALSE(editor->size(width, height));
        EXPECT_EQ(editor->openDriven(0), sdk::kSuccess);
        plugkit::window::IHostedWindow* first = editor->window();
        EXPECT_NE(first, nullptr);
        EXPECT_EQ(editor->openDriven(0), sdk::kSuccess);  // a second container replaces the first
        EXPECT_NE(editor->window(), nullptr);
        EXPECT_TRUE(editor->size(width, height));
        EXPECT_EQ(height, 450);
        EXPECT_EQ(editor->close(), sdk::kSuccess);
    }
    EXPECT_EQ(host::describeEditor(lib->description(), *instance), "800 x 450");
    instance.reset();
    EXPECT_EQ(lib->close(), 0);
    EXPECT_EQ(lib->leakedHostReferences(), 0);
}
