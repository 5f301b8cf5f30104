// tolva gui under a real X server (xvfb-run; skipped without a display unless
// TOLVA_REQUIRE_DISPLAY=1): the editor opens inside tolva's window, and a knob drag and a solo
// click sent through the server with XTest reach the host as automation gestures and values.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gui/EditorLayout.h"
#include "tests/support/X11TestDisplay.h"

namespace {

using Clock = std::chrono::steady_clock;

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class TolvaGuiTest : public plugkit::testing::X11Test {
protected:
    void SetUp() override {
        X11Test::SetUp();
        outFile_ =
            (std::filesystem::temp_directory_path() / ("tolva_gui_" + std::to_string(getpid()))).string();
    }
    void TearDown() override {
        if (child_ > 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        X11Test::TearDown();
        std::filesystem::remove(outFile_);
    }

    void start(const std::vector<std::string>& args) {
        child_ = fork();
        if (child_ == 0) {
            const int o = open(outFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(o, 1);
            std::vector<char*> argv{const_cast<char*>(TOLVA_TEST_BINARY), const_cast<char*>("--plugin"),
                                    const_cast<char*>(TOLVA_TEST_PLUGIN)};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(TOLVA_TEST_BINARY, argv.data());
            _exit(127);
        }
    }

    // tolva's top-level window, once it and the editor inside it are on screen; 0 after 10 s.
    Window findWindow() {
        const auto end = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < end) {
            Window root = DefaultRootWindow(display_), parent = 0, *children = nullptr;
            unsigned n = 0;
            XQueryTree(display_, root, &root, &parent, &children, &n);
            Window found = 0;
            for (unsigned i = 0; i < n && !found; ++i) {
                char* name = nullptr;
                if (XFetchName(display_, children[i], &name) && name) {
                    if (std::strcmp(name, "Tolva Multiband Compressor") == 0 && editorShown(children[i]))
                        found = children[i];
                    XFree(name);
                }
            }
            if (children) XFree(children);
            if (found) return found;
            sleepMs(20);
        }
        return 0;
    }
    bool editorShown(Window w) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned n = 0;
        XQueryTree(display_, w, &root, &parent, &children, &n);
        bool shown = false;
        for (unsigned i = 0; i < n; ++i) {
            XWindowAttributes a{};
            XGetWindowAttributes(display_, children[i], &a);
            shown = shown || (a.map_state == IsViewable && a.width == 800 && a.height == 450);
        }
        if (children) XFree(children);
        return shown;
    }

    // Pointer to editor pixel (x, y) of the window at (ox, oy) on the root.
    void moveTo(int ox, int oy, int x, int y) {
        moveToRoot(ox + x, oy + y);
        sleepMs(40);
    }
    void button(bool press) {
        X11Test::button(1, press);
        sleepMs(60);
    }

    // Waits for tolva to end (10 s at most) and returns its exit code.
    int waitExit() {
        const auto end = Clock::now() + std::chrono::seconds(10);
        int status = 0;
        while (Clock::now() < end) {
            if (waitpid(child_, &status, WNOHANG) == child_) {
                child_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            sleepMs(20);
        }
        return -1;
    }

    pid_t child_ = -1;
    std::string outFile_;
};

TEST_F(TolvaGuiTest, KnobDragAndSoloClickReachTheHost) {
    start({"gui", "--seconds", "60"});
    const Window window = findWindow();
    ASSERT_NE(window, 0u) << "tolva gui showed no editor";
    sleepMs(300);  // a few frames with moving meters
    int ox = 0, oy = 0;
    Window child = 0;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &ox, &oy, &child);

    namespace layout = tolvagui::layout;
    const auto knob = layout::middle(layout::bandKnob(0));  // band 1's attack knob
    moveTo(ox, oy, knob.x, knob.y);
    button(true);
    for (int y = knob.y - 8; y >= knob.y - 40; y -= 8) moveTo(ox, oy, knob.x, y);
    button(false);
    const auto solo = layout::middle(layout::inBand(layout::kSoloSwitch, 2));  // band 3's solo switch
    moveTo(ox, oy, solo.x, solo.y);
    button(true);
    button(false);
    sleepMs(200);

    // Closing the window ends the session; tolva then reports what the host saw.
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    XSendEvent(display_, window, False, NoEventMask, &close);
    XFlush(display_);
    ASSERT_EQ(waitExit(), 0);

    std::ifstream in(outFile_);
    std::stringstream text;
    text << in.rdbuf();
    const std::string out = text.str();
    int touches = -1, sets = -1, releases = -1, outside = -1;
    const auto at = out.find("automation: ");
    ASSERT_NE(at, std::string::npos) << out;
    ASSERT_EQ(std::sscanf(out.c_str() + at,
                          "automation: %d touches, %d set values, %d releases, %d set values outside a touch",
                          &touches, &sets, &releases, &outside),
              4)
        << out;
    EXPECT_EQ(touches, 2) << out;  // one gesture per control
    EXPECT_EQ(releases, 2) << out;
    EXPECT_GE(sets, 3) << out;  // several drag steps and the switch
    EXPECT_EQ(outside, 0) << out;
    EXPECT_NE(out.find("changed: Attack L = "), std::string::npos) << out;
    EXPECT_NE(out.find("changed: Solo High-mid = "), std::string::npos) << out;
    EXPECT_EQ(out.find("changed: ", out.find("changed: ") + 1), out.find("changed: Solo High-mid"))
        << "only the two controls changed:\n"
        << out;
}

}  // namespace
