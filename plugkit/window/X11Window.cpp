#include "plugkit/window/X11Window.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/XShm.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/FPControl.h"
#include "plugkit/core/Fatal.h"
#include "plugkit/window/X11Events.h"

namespace plugkit::window {

struct X11Window::System {
    Display* display = nullptr;
    Window window = 0;
    Window parent = 0;  // 0 for a top-level window
    bool windowGone = false;
    Visual* visual = nullptr;
    int depth = 0;
    Colormap colormap = 0;
    bool ownsColormap = false;
    Atom wmDelete = 0;
    Cursor cursor = 0;
    GC gc = nullptr;
    XImage* image = nullptr;
    XShmSegmentInfo shm{};
    bool shmAttached = false;
    int timerFd = -1;
    int epollFd = -1;
};

namespace {

// Xlib reports errors to one process-wide handler whose default ends the process. An ErrorTrap
// catches the errors of one display for the duration of a few requests (a parent that no longer
// exists must not end the host); errors of other connections still reach the handler that was
// installed before. Traps are taken one at a time across the process.
std::mutex gTrapMutex;
std::atomic<Display*> gTrapDisplay{nullptr};
std::atomic<int> gTrapError{0};
std::atomic<XErrorHandler> gPreviousHandler{nullptr};

int trapHandler(Display* display, XErrorEvent* e) {
    if (display == gTrapDisplay.load()) {
        int none = 0;
        gTrapError.compare_exchange_strong(none, e->error_code);
        return 0;
    }
    const XErrorHandler previous = gPreviousHandler.load();
    return previous ? previous(display, e) : 0;
}

class ErrorTrap {
public:
    explicit ErrorTrap(Display* display) : lock_(gTrapMutex), display_(display) {
        gTrapError = 0;
        gTrapDisplay = display;
        gPreviousHandler = XSetErrorHandler(trapHandler);
    }
    ~ErrorTrap() {
        XSync(display_, False);
        XSetErrorHandler(gPreviousHandler.load());
        gTrapDisplay = nullptr;
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits until the server handled every request so far; the first error code since the trap
    // was set, 0 when none.
    int sync() {
        XSync(display_, False);
        return gTrapError.load();
    }

private:
    std::lock_guard<std::mutex> lock_;
    Display* display_;
};

std::uint32_t monotonicMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000);
}

bool isRGB888(const Visual* v) {
    return v->c_class == TrueColor && v->red_mask == 0xff0000 && v->green_mask == 0xff00 &&
           v->blue_mask == 0xff;
}

constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            KeyPressMask | KeyReleaseMask | StructureNotifyMask;

}  // namespace

X11Window* X11Window::create(void* parent, IWindowListener* listener, int width, int height) {
    if (!listener || width <= 0 || height <= 0) return nullptr;
    void* raw = std::malloc(sizeof(X11Window));
    if (!raw) core::outOfMemory();
    auto* w = new (raw) X11Window(listener, width, height);
    if (!w->open(reinterpret_cast<unsigned long>(parent))) {
        core::destroyFree(w);
        return nullptr;
    }
    return w;
}

X11Window::X11Window(IWindowListener* listener, int width, int height)
    : listener_(listener), askedWidth_(width), askedHeight_(height) {
    x_ = core::mallocNew<System>();
    timeAtCreationMs_ = lastTimeMs_ = monotonicMs();
}

bool X11Window::open(unsigned long parent) {
    Display* d = x_->display = XOpenDisplay(nullptr);
    if (!d || !chooseVisual()) return false;
    format_ = ImageByteOrder(d) == LSBFirst ? WindowPixelFormat::bgra : WindowPixelFormat::argb;
    scale_ = chooseScale();
    if (!createXWindow(parent)) return false;
    x_->cursor = XCreateFontCursor(d, XC_left_ptr);
    XDefineCursor(d, x_->window, x_->cursor);
    XkbSetDetectableAutoRepeat(d, True, nullptr);  // a held key repeats presses, not release-press pairs
    x_->gc = XCreateGC(d, x_->window, 0, nullptr);
    if (!createImage() || !startTimer()) return false;
    XMapWindow(d, x_->window);
    XFlush(d);
    return true;
}

bool X11Window::chooseVisual() {
    Display* d = x_->display;
    const int screen = DefaultScreen(d);
    x_->visual = DefaultVisual(d, screen);
    x_->depth = DefaultDepth(d, screen);
    x_->colormap = DefaultColormap(d, screen);
    if (isRGB888(x_->visual) && x_->depth == 24) return true;
    XVisualInfo info{};
    if (!XMatchVisualInfo(d, screen, 24, TrueColor, &info) || !isRGB888(info.visual)) return false;
    x_->visual = info.visual;
    x_->depth = 24;
    x_->colormap = XCreateColormap(d, RootWindow(d, screen), info.visual, AllocNone);
    x_->ownsColormap = true;
    return true;
}

int X11Window::chooseScale() {
    Display* d = x_->display;
    const int screen = DefaultScreen(d);
    ScaleInputs in;
    in.forced = std::getenv("TOLVA_UI_SCALE");
    in.gdkScale = std::getenv("GDK_SCALE");
    in.qtScaleFactor = std::getenv("QT_SCALE_FACTOR");
    in.xftDpi = parseXftDpi(XResourceManagerString(d));
    if (DisplayWidthMM(d, screen) > 0)
        in.serverDpi = DisplayWidth(d, screen) * 25.4 / DisplayWidthMM(d, screen);
    in.editorWidth = askedWidth_;
    in.editorHeight = askedHeight_;
    in.screenWidth = DisplayWidth(d, screen);
    in.screenHeight = DisplayHeight(d, screen);
    return chooseScaleFactor(in);
}

bool X11Window::createXWindow(unsigned long parent) {
    Display* d = x_->display;
    const unsigned w = static_cast<unsigned>(askedWidth_ * scale_),
                   h = static_cast<unsigned>(askedHeight_ * scale_);
    {
        ErrorTrap trap(d);
        XWindowAttributes parentAttributes{};
        if (parent && (!XGetWindowAttributes(d, parent, &parentAttributes) || trap.sync() != 0)) return false;
        x_->parent = parent;
        XSetWindowAttributes a{};
        a.background_pixmap = None;  // no clearing by the server: every exposed pixel is painted
        a.border_pixel = 0;
        a.colormap = x_->colormap;
        a.event_mask = kEventMask;
        x_->window =
            XCreateWindow(d, parent ? parent : DefaultRootWindow(d), 0, 0, w, h, 0, x_->depth, InputOutput,
                          x_->visual, CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &a);
        if (trap.sync() != 0) {
            x_->window = 0;
            return false;
        }
    }
    if (parent) return true;
    XStoreName(d, x_->window, "Editor");
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) core::outOfMemory();
    hints->flags = PMinSize | PMaxSize;  // the editor has one size
    hints->min_width = hints->max_width = static_cast<int>(w);
    hints->min_height = hints->max_height = static_cast<int>(h);
    XSetWMNormalHints(d, x_->window, hints);
    XFree(hints);
    x_->wmDelete = XInternAtom(d, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(d, x_->window, &x_->wmDelete, 1);
    return true;
}

bool X11Window::startTimer() {
    x_->timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    x_->epollFd = epoll_create1(EPOLL_CLOEXEC);
    if (x_->timerFd < 0 || x_->epollFd < 0) return false;
    const itimerspec period{{0, 1000000000 / 60}, {0, 1000000000 / 60}};
    if (timerfd_settime(x_->timerFd, 0, &period, nullptr) != 0) return false;
    for (int fd : {ConnectionNumber(x_->display), x_->timerFd}) {
        epoll_event e{};
        e.events = EPOLLIN;
        e.data.fd = fd;
        if (epoll_ctl(x_->epollFd, EPOLL_CTL_ADD, fd, &e) != 0) return false;
    }
    return true;
}

bool X11Window::createImage() {
    Display* d = x_->display;
    const unsigned w = static_cast<unsigned>(askedWidth_ * scale_),
                   h = static_cast<unsigned>(askedHeight_ * scale_);
    const char* noShm = std::getenv("TOLVA_X11_NO_SHM");
    if (!(noShm && std::strcmp(noShm, "1") == 0) && XShmQueryExtension(d)) {
        XImage* image = XShmCreateImage(d, x_->visual, x_->depth, ZPixmap, nullptr, &x_->shm, w, h);
        if (image) {
            x_->shm.shmid =
                shmget(IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * h, IPC_CREAT | 0600);
            void* addr = x_->shm.shmid >= 0 ? shmat(x_->shm.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
            if (addr != reinterpret_cast<void*>(-1)) {
                x_->shm.shmaddr = image->data = static_cast<char*>(addr);
                x_->shm.readOnly = False;
                ErrorTrap trap(d);
                XShmAttach(d, &x_->shm);
                x_->shmAttached = trap.sync() == 0;  // fails on a remote display
            }
            // Marked for removal now: the segment lives until both sides have detached.
            if (x_->shm.shmid >= 0) shmctl(x_->shm.shmid, IPC_RMID, nullptr);
            if (x_->shmAttached) {
                x_->image = image;
            } else {
                if (addr != reinterpret_cast<void*>(-1)) shmdt(addr);
                image->data = nullptr;
                XDestroyImage(image);
            }
        }
    }
    if (!x_->image) {
        XImage* image = XCreateImage(d, x_->visual, x_->depth, ZPixmap, 0, nullptr, w, h, 32, 0);
        if (!image) return false;
        image->data = static_cast<char*>(std::calloc(static_cast<std::size_t>(image->bytes_per_line), h));
        if (!image->data) core::outOfMemory();
        x_->image = image;
    }
    return x_->image->bits_per_pixel == 32;
}

X11Window::~X11Window() {
    terminated_ = true;
    if (Display* d = x_->display) {
        {
            ErrorTrap trap(d);  // the window may be gone already, destroyed with its parent
            if (x_->shmAttached) XShmDetach(d, &x_->shm);
            if (x_->gc) XFreeGC(d, x_->gc);
            if (x_->window && !x_->windowGone) XDestroyWindow(d, x_->window);
            if (x_->cursor) XFreeCursor(d, x_->cursor);
            if (x_->ownsColormap) XFreeColormap(d, x_->colormap);
        }
        if (x_->image) {
            if (x_->shmAttached) {
                shmdt(x_->shm.shmaddr);
                x_->image->data = nullptr;
            }
            XDestroyImage(x_->image);  // frees the data of an image without shared memory
        }
        XCloseDisplay(d);
    }
    if (x_->timerFd >= 0) close(x_->timerFd);
    if (x_->epollFd >= 0) close(x_->epollFd);
    core::destroyFree(x_);
}

std::uint32_t X11Window::getTimeMs() { return monotonicMs(); }

void* X11Window::systemHandle() { return reinterpret_cast<void*>(x_->window); }

int X11Window::eventFileDescriptor() { return x_->epollFd; }

bool X11Window::usesSharedMemory() const { return x_->shmAttached; }

bool X11Window::readTimer() {
    std::uint64_t expirations = 0;
    return read(x_->timerFd, &expirations, sizeof(expirations)) == sizeof(expirations) && expirations > 0;
}

void X11Window::waitEventAndDispatch() {
    core::FPStateGuard guard;  // an entry from the host, like every system entry of the macOS view
    Display* d = x_->display;
    for (;;) {
        if (XPending(d) > 0) {
            XEvent e;
            XNextEvent(d, &e);
            handleEvent(e);
            return;
        }
        if (readTimer()) {
            tick();  // ticks missed while busy are not made up: one tick, with the real dt
            return;
        }
        pollfd fds[2] = {{ConnectionNumber(d), POLLIN, 0}, {x_->timerFd, POLLIN, 0}};
        poll(fds, 2, -1);
    }
}

void X11Window::dispatchPendingEvents() {
    core::FPStateGuard guard;
    Display* d = x_->display;
    while (XPending(d) > 0) {
        XEvent e;
        XNextEvent(d, &e);
        handleEvent(e);
    }
    if (readTimer()) tick();
    XFlush(d);
}

void X11Window::tick() {
    const std::uint32_t now = monotonicMs();
    listener_->onAnimate((now - lastTimeMs_) * 0.001, (now - timeAtCreationMs_) * 0.001);
    lastTimeMs_ = now;
    listener_->recomputeDirtyAreas();
    firstRepaintPending_ = false;
    const Box dirty = listener_->getDirtyRectangle();
    if (!dirty.empty()) paint(dirty);
}

void X11Window::paint(const Box& editorArea) {
    if (askedWidth_ != width_ || askedHeight_ != height_) {
        width_ = askedWidth_;
        height_ = askedHeight_;
        buffer_ = listener_->onResized(width_, height_);
    }
    if (firstRepaintPending_) {
        firstRepaintPending_ = false;
        listener_->recomputeDirtyAreas();
    }
    listener_->onDraw(format_);
    if (buffer_.empty()) return;
    // Until the image holds one whole frame, the whole buffer goes over, whatever area changed.
    const Box area =
        imageFilled_ ? editorArea.intersection(Box(0, 0, width_, height_)) : Box(0, 0, width_, height_);
    copyEnlarged(buffer_.asConst(), area, reinterpret_cast<std::uint8_t*>(x_->image->data),
                 x_->image->bytes_per_line, scale_);
    imageFilled_ = true;
    showFromImage(toWindowArea(area, scale_));
}

void X11Window::showFromImage(const Box& windowArea) {
    const Box a = windowArea.intersection(Box(0, 0, x_->image->width, x_->image->height));
    if (a.empty() || x_->windowGone) return;
    Display* d = x_->display;
    ErrorTrap trap(d);
    if (x_->shmAttached)
        XShmPutImage(d, x_->window, x_->gc, x_->image, a.min.x, a.min.y, a.min.x, a.min.y,
                     static_cast<unsigned>(a.width()), static_cast<unsigned>(a.height()), False);
    else
        XPutImage(d, x_->window, x_->gc, x_->image, a.min.x, a.min.y, a.min.x, a.min.y,
                  static_cast<unsigned>(a.width()), static_cast<unsigned>(a.height()));
    // The sync also keeps the next frame from writing the shared image while the server reads it.
    if (trap.sync() != 0) x_->windowGone = terminated_ = true;
}

void X11Window::handleEvent(XEvent& e) {
    switch (e.type) {
        case Expose:
            if (!imageFilled_) {
                paint(Box(0, 0, askedWidth_, askedHeight_));
            } else {
                const XExposeEvent& x = e.xexpose;
                showFromImage(Box(x.x, x.y, x.x + x.width, x.y + x.height));
            }
            break;
        case ButtonPress:
        case ButtonRelease:
            handleButton(e, e.type == ButtonPress);
            break;
        case MotionNotify: {
            const XMotionEvent& m = e.xmotion;
            const int x = toEditorCoordinate(m.x, scale_), y = toEditorCoordinate(m.y, scale_);
            const Point delta = moves_.move(x, y);
            listener_->onMouseMove(x, y, delta.x, delta.y, x11MouseState(m.state, extra1Down_, extra2Down_));
            break;
        }
        case KeyPress:
        case KeyRelease:
            handleKey(e, e.type == KeyPress);
            break;
        case ClientMessage:
            if (x_->wmDelete && static_cast<Atom>(e.xclient.data.l[0]) == x_->wmDelete) terminated_ = true;
            break;
        case DestroyNotify:
            if (e.xdestroywindow.window == x_->window) x_->windowGone = terminated_ = true;
            break;
        default:
            break;
    }
}

void X11Window::handleButton(XEvent& e, bool press) {
    const XButtonEvent& b = e.xbutton;
    const int x = toEditorCoordinate(b.x, scale_), y = toEditorCoordinate(b.y, scale_);
    const X11ButtonAction action = classifyX11Button(b.button);
    // The event's state is the one before the event; the listener gets the one after it.
    MouseState state = x11MouseState(b.state, extra1Down_, extra2Down_);
    switch (action.kind) {
        case X11ButtonAction::click:
            state.setButton(action.button, press);
            if (!press) {
                listener_->onMouseRelease(x, y, action.button, state);
                break;
            }
            {
                // Keys go to the editor once it was clicked, as to a view that became first responder.
                ErrorTrap trap(x_->display);
                XSetInputFocus(x_->display, x_->window, RevertToParent, b.time);
            }
            moves_.restart();
            listener_->onMouseClick(x, y, action.button, clicks_.press(action.button, x, y, b.time), state);
            break;
        case X11ButtonAction::wheel:
            if (press) listener_->onMouseWheel(x, y, action.wheelDeltaX, action.wheelDeltaY, state);
            break;
        case X11ButtonAction::extra:
            (action.extraIndex == 1 ? extra1Down_ : extra2Down_) = press;
            break;
        case X11ButtonAction::none:
            break;
    }
}

void X11Window::handleKey(XEvent& e, bool press) {
    KeySym keysym = NoSymbol;
    char text[8];
    XLookupString(&e.xkey, text, sizeof(text), &keysym, nullptr);
    const Key key = translateX11KeySym(keysym);
    if (!press) {
        listener_->onKeyUp(key);
        return;
    }
    if (listener_->onKeyDown(key) || !x_->parent) return;
    // An unused key goes on to the host's window, which may use it for its own shortcuts.
    XEvent forwarded = e;
    forwarded.xkey.window = x_->parent;
    ErrorTrap trap(x_->display);
    XSendEvent(x_->display, x_->parent, True, KeyPressMask, &forwarded);
}

}  // namespace plugkit::window
