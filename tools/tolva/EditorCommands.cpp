// tolva editor and tolva gui: the plug-in's editor opened the way a host opens it (editor factory,
// view container, editor object), in a window this host drives: headless for a picture, or a child
// of an X11 window of this host, pumped by this host's event loop, while a second thread loops
// audio through the plug-in at real-time pace (no audio device: the output is dropped).
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "host/DemoMix.h"
#include "host/PluginEditor.h"
#include "host/WavFile.h"
#include "tools/tolva/Commands.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

// Last: Xlib's macros (None, Status) clash with names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace tolva {

namespace {

using plugkit::window::IHostedWindow;

bool encodePng(plugkit::graphics::ImageRef<const plugkit::graphics::RGBA8> image, std::vector<uint8_t>& png) {
    png.clear();
    const int ok = stbi_write_png_to_func(
        [](void* out, void* data, int size) {
            auto* bytes = static_cast<uint8_t*>(data);
            auto* vec = static_cast<std::vector<uint8_t>*>(out);
            vec->insert(vec->end(), bytes, bytes + size);
        },
        &png, image.w, image.h, 4, image.pixels, static_cast<int>(image.pitch));
    return ok != 0 && !png.empty();
}

// Channel buffers for rendering blocks of at most block frames.
struct Buffers {
    std::vector<std::vector<float>> in, out;
    std::vector<float*> inPtr, outPtr;
    Buffers(int inputs, int outputs, int block)
        : in(static_cast<std::size_t>(inputs), std::vector<float>(static_cast<std::size_t>(block))),
          out(static_cast<std::size_t>(outputs), std::vector<float>(static_cast<std::size_t>(block))) {
        for (auto& b : in) inPtr.push_back(b.data());
        for (auto& b : out) outPtr.push_back(b.data());
    }
};

// Copies frames of audio from position pos on into the buffers, wrapping at the end.
void fillLooped(const host::AudioData& audio, int64_t& pos, Buffers& buffers, int frames) {
    const int64_t total = audio.frames();
    for (int i = 0; i < frames; ++i) {
        for (std::size_t c = 0; c < buffers.in.size(); ++c)
            buffers.in[c][static_cast<std::size_t>(i)] = audio.samples[c][static_cast<std::size_t>(pos)];
        if (++pos >= total) pos = 0;
    }
}

// The audio the editor command feeds or the gui command loops: the file, or the demo mix.
bool loadAudio(const std::string& path, host::AudioData& audio, int& exitCode) {
    std::string error;
    if (path.empty()) {
        audio = host::makeDemoMix(10.0, 48000.0);
        return true;
    }
    if (!host::readAudioFile(path, audio, error)) {
        exitCode = fail(kExitInput, error);
        return false;
    }
    if (audio.samples.size() != 1 && audio.samples.size() != 2) {
        exitCode =
            fail(kExitInput, "unsupported input '" + path + "': " + std::to_string(audio.samples.size()) +
                                 " channels (1 or 2 are supported)");
        return false;
    }
    if (audio.frames() == 0) {
        exitCode = fail(kExitInput, "input '" + path + "' holds no audio");
        return false;
    }
    return true;
}

// A plug-in instance set up from the options, for inputs channels at rate.
std::unique_ptr<host::PluginInstance> makeInstance(const Options& options, host::PluginLibrary& lib,
                                                   int inputs, double rate, int& exitCode) {
    const int outputs = options.outputs > 0 ? options.outputs : inputs;
    if (!lib.description().componentFor(inputs, outputs)) {
        exitCode = fail(kExitInput, "illegal channel layout: " + std::to_string(inputs) + " in, " +
                                        std::to_string(outputs) + " out is not supported by the plug-in");
        return nullptr;
    }
    std::string error;
    auto instance = lib.createInstance(inputs, outputs, rate, error);
    if (!instance) {
        exitCode = fail(kExitInternal, error);
        return nullptr;
    }
    exitCode = applySettings(options, lib, *instance);
    if (exitCode != kExitOk) return nullptr;
    return instance;
}

using Clock = std::chrono::steady_clock;

// Renders blocks of the looped audio on its own thread, each no earlier than its time: a stand-in
// for an audio device's callback. Falling behind by more than half a second restarts the clock.
class RealtimeLoop {
public:
    RealtimeLoop(host::PluginInstance& instance, const host::AudioData& audio, int block)
        : instance_(instance), audio_(audio), block_(block) {
        in_.assign(audio.samples.size(), std::vector<float>(static_cast<std::size_t>(block)));
        out_.assign(static_cast<std::size_t>(instance.outputs()),
                    std::vector<float>(static_cast<std::size_t>(block)));
        for (auto& b : in_) inPtr_.push_back(b.data());
        for (auto& b : out_) outPtr_.push_back(b.data());
        thread_ = std::thread([this] { run(); });
    }
    ~RealtimeLoop() {
        stop_.store(true, std::memory_order_release);
        thread_.join();
    }
    int64_t framesRendered() const { return rendered_.load(std::memory_order_acquire); }

private:
    void run() {
        const auto period = std::chrono::duration<double>(block_ / audio_.sampleRate);
        auto due = Clock::now();
        int64_t pos = 0;
        const int64_t total = audio_.frames();
        while (!stop_.load(std::memory_order_acquire)) {
            for (int i = 0; i < block_; ++i) {
                for (std::size_t c = 0; c < in_.size(); ++c)
                    in_[c][static_cast<std::size_t>(i)] = audio_.samples[c][static_cast<std::size_t>(pos)];
                if (++pos >= total) pos = 0;
            }
            instance_.render(inPtr_.data(), outPtr_.data(), block_);
            rendered_.fetch_add(block_, std::memory_order_acq_rel);
            due += std::chrono::duration_cast<Clock::duration>(period);
            const auto now = Clock::now();
            if (now - due > std::chrono::milliseconds(500)) due = now;
            std::this_thread::sleep_until(due);
        }
    }

    host::PluginInstance& instance_;
    const host::AudioData& audio_;
    const int block_;
    std::vector<std::vector<float>> in_, out_;
    std::vector<float*> inPtr_, outPtr_;
    std::atomic<bool> stop_{false};
    std::atomic<int64_t> rendered_{0};
    std::thread thread_;
};

// The host's own top-level window that the editor opens in; closing it ends the session.
struct HostWindow {
    Display* display = nullptr;
    Window window = 0;
    Atom deleteWindow = 0;

    bool open(int width, int height) {
        display = XOpenDisplay(nullptr);
        if (!display) return false;
        const int screen = DefaultScreen(display);
        window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                                     static_cast<unsigned>(height), 0, BlackPixel(display, screen),
                                     BlackPixel(display, screen));
        XStoreName(display, window, "Tolva Multiband Compressor");
        deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display, window, &deleteWindow, 1);
        XSelectInput(display, window, StructureNotifyMask);
        fixSize(width, height);
        XMapWindow(display, window);
        XSync(display, False);
        return true;
    }
    // The editor has a fixed size: the window manager is asked not to change it.
    void fixSize(int width, int height) {
        XSizeHints* hints = XAllocSizeHints();
        hints->flags = PMinSize | PMaxSize;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
        XSetWMNormalHints(display, window, hints);
        XFree(hints);
        XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    }
    // Handles what waits on the host's connection; false once the window was asked to close.
    bool handleEvents() {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow)
                return false;
            if (event.type == DestroyNotify && event.xdestroywindow.window == window) return false;
        }
        return true;
    }
    ~HostWindow() {
        if (!display) return;
        if (window) XDestroyWindow(display, window);
        XCloseDisplay(display);
    }
};

// Pumps the host's and the editor's windows until the host window closes, the editor's window
// ends, or the time limit passes.
void runEventLoop(HostWindow& host, plugkit::window::IHostedWindow& editor, double limitSeconds) {
    const auto start = Clock::now();
    for (;;) {
        pollfd fds[2] = {{ConnectionNumber(host.display), POLLIN, 0},
                         {editor.eventFileDescriptor(), POLLIN, 0}};
        poll(fds, 2, 50);
        const bool closing = !host.handleEvents();
        // Input the editor was sent before the close request is still handled.
        editor.dispatchPendingEvents();
        if (closing || editor.terminated()) return;
        if (limitSeconds > 0 && std::chrono::duration<double>(Clock::now() - start).count() > limitSeconds)
            return;
    }
}

// What the session changed, as the host sees it: the automation it received and every parameter
// that no longer shows its default.
void printSessionReport(host::PluginInstance& instance, double seconds) {
    const auto stats = instance.host().automationStats();
    std::printf("played: %.1f s\n", seconds);
    std::printf("automation: %d touches, %d set values, %d releases, %d set values outside a touch\n",
                stats.touches, stats.setValues, stats.releases, stats.setWithoutTouch);
    for (const auto& p : instance.parameters()) {
        std::string text;
        if (instance.valueString(p.id, text) == 0 && text != p.defaultText)
            std::printf("changed: %s = %s\n", p.name.c_str(), text.c_str());
    }
    std::fflush(stdout);
}

}  // namespace

int runEditor(const Options& options) {
    int code = kExitOk;
    host::AudioData audio;
    const bool feeding = !options.feed.empty();
    if (feeding && !loadAudio(options.feed, audio, code)) return code;
    auto lib = loadPlugin(options, code);
    if (!lib) return code;
    const int inputs = feeding ? static_cast<int>(audio.samples.size()) : 2;
    auto instance = makeInstance(options, *lib, inputs, feeding ? audio.sampleRate : 48000.0, code);
    if (!instance) return code;

    std::string error;
    auto editor = host::PluginEditor::create(lib->description(), *instance, error);
    if (!editor) return fail(kExitInternal, error);
    editor->openDriven(0);
    IHostedWindow* window = editor->window();
    if (!window) return fail(kExitInternal, "the plug-in opened no editor window");
    window->tick(1.0 / 60);

    if (feeding) {
        // The display keeps the levels of the last blocks it was handed: render the whole file
        // with the editor open, ticking it as a 60 Hz timer would.
        Buffers buffers(inputs, instance->outputs(), options.block);
        int64_t pos = 0, sinceTick = 0;
        const auto tickFrames = static_cast<int64_t>(audio.sampleRate / 60);
        for (int64_t done = 0; done < audio.frames();) {
            const int n = static_cast<int>(std::min<int64_t>(options.block, audio.frames() - done));
            fillLooped(audio, pos, buffers, n);
            instance->render(buffers.inPtr.data(), buffers.outPtr.data(), n);
            done += n;
            if ((sinceTick += n) >= tickFrames) {
                window->tick(static_cast<double>(sinceTick) / audio.sampleRate);
                sinceTick = 0;
            }
        }
    }
    window->tick(1.0 / 60);

    std::vector<uint8_t> png;
    const auto pixels = window->pixels();
    if (pixels.empty() || !encodePng(pixels, png)) return fail(kExitInternal, "the editor drew nothing");
    if (!host::writeFileAtomically(options.positional[0], png, error)) return fail(kExitInput, error);
    if (!options.quiet)
        std::fprintf(stderr, "editor: %d x %d%s -> %s\n", pixels.w, pixels.h,
                     feeding ? " with live levels" : "", options.positional[0].c_str());
    editor.reset();
    instance.reset();
    lib->close();
    return kExitOk;
}

int runGui(const Options& options) {
    int code = kExitOk;
    host::AudioData audio;
    if (!loadAudio(options.positional.empty() ? "" : options.positional[0], audio, code)) return code;
    auto lib = loadPlugin(options, code);
    if (!lib) return code;
    auto instance =
        makeInstance(options, *lib, static_cast<int>(audio.samples.size()), audio.sampleRate, code);
    if (!instance) return code;

    std::string error;

    auto editor = host::PluginEditor::create(lib->description(), *instance, error);
    if (!editor) return fail(kExitInternal, error);
    int width = 800, height = 450;
    HostWindow window;
    if (!window.open(width, height))
        return fail(kExitInternal, "cannot open the X display (is DISPLAY set?)");
    editor->openDriven(window.window);
    plugkit::window::IHostedWindow* view = editor->window();
    if (!view) return fail(kExitInternal, "the plug-in opened no editor window");
    if (editor->size(width, height))
        window.fixSize(width * view->scaleFactor(), height * view->scaleFactor());
    XFlush(window.display);

    int64_t frames = 0;
    {
        RealtimeLoop loop(*instance, audio, options.block);
        runEventLoop(window, *view, options.secondsGiven ? options.seconds : 0.0);
        frames = loop.framesRendered();
    }
    editor->close();
    printSessionReport(*instance, static_cast<double>(frames) / audio.sampleRate);
    editor.reset();
    instance.reset();
    lib->close();
    return kExitOk;
}

}  // namespace tolva
