#include "plugkit/window/CocoaWindow.h"

#include <dlfcn.h>

#include <cstddef>
#include <cstring>
#include <mutex>

#include "plugkit/core/FPControl.h"
#include "plugkit/core/Fatal.h"
#include "plugkit/window/CocoaEvents.h"

// Objective-C through the C runtime: every message is objc_msgSend (objc_msgSend_stret for
// structures returned in memory, objc_msgSendSuper for the superclass) cast to the exact prototype
// of the method, selectors registered by name at each use. x86-64 calling conventions.
namespace plugkit::window {

namespace {

using id = void*;
using SEL = void*;
using Class = void*;
using BOOL = signed char;
constexpr BOOL YES = 1;
constexpr BOOL NO = 0;

struct NSPoint {
    double x, y;
};
struct NSSize {
    double width, height;
};
struct NSRect {
    NSPoint origin;
    NSSize size;
};
struct ObjcSuper {
    id receiver;
    Class superClass;
};

// The runtime and framework functions, resolved once per process and never released.
struct CocoaFunctions {
    void (*objc_registerClassPair)(Class);
    BOOL (*class_addIvar)(Class, const char*, std::size_t, std::uint8_t, const char*);
    BOOL (*class_addMethod)(Class, SEL, void (*)(), const char*);
    Class (*objc_allocateClassPair)(Class, const char*, std::size_t);
    void (*objc_disposeClassPair)(Class);
    id (*objc_getClass)(const char*);
    id (*objc_lookUpClass)(const char*);
    void* objc_msgSend;
    void* objc_msgSendSuper;
    void* objc_msgSend_stret;
    const char* (*object_getClassName)(id);
    void* (*object_getInstanceVariable)(id, const char*, void**);
    void* (*object_setInstanceVariable)(id, const char*, void*);
    SEL (*sel_registerName)(const char*);
    void* (*class_getInstanceMethod)(Class, SEL);
    void* (*method_setImplementation)(void*, void*);
    BOOL (*class_addProtocol)(Class, void*);
    void* (*objc_getProtocol)(const char*);
    void* (*objc_allocateProtocol)(const char*);
    void (*objc_registerProtocol)(void*);
    BOOL (*class_conformsToProtocol)(Class, void*);
    void (*protocol_addMethodDescription)(void*, SEL, const char*, BOOL, BOOL);
    void (*NSLog)(id, ...);
    void* (*NSAllocateMemoryPages)(std::size_t);
    void (*NSDeallocateMemoryPages)(void*, std::size_t);
    BOOL (*NSApplicationLoad)();
    id runLoopMode;  // "kCFRunLoopCommonModes" as an NSString, retained for the life of the process
};

// The loaded framework: its handle and the resolved functions.
struct CocoaLoader {
    void* library = nullptr;
    CocoaFunctions fn{};
};
CocoaLoader gCocoa;
std::once_flag gCocoaOnce;

template <class F>
void resolve(F& slot, const char* name) {
    void* p = dlsym(gCocoa.library, name);
    if (!p) core::fatalError("Cocoa: a runtime function does not resolve");
    static_assert(sizeof(F) == sizeof(void*));
    std::memcpy(&slot, &p, sizeof(p));
}

SEL sel(const char* name) { return gCocoa.fn.sel_registerName(name); }
id cls(const char* name) { return gCocoa.fn.objc_getClass(name); }

// Sends selector to receiver with args, returning R (R up to 16 bytes, returned in registers).
template <class R = void, class... A>
R send(id receiver, const char* selector, A... args) {
    using Fn = R (*)(id, SEL, A...);
    Fn f;
    std::memcpy(&f, &gCocoa.fn.objc_msgSend, sizeof(f));
    return f(receiver, sel(selector), args...);
}

// Sends a message whose structure result is returned in memory (NSRect).
template <class R, class... A>
R sendStret(id receiver, const char* selector, A... args) {
    using Fn = R (*)(id, SEL, A...);
    Fn f;
    std::memcpy(&f, &gCocoa.fn.objc_msgSend_stret, sizeof(f));
    return f(receiver, sel(selector), args...);
}

template <class... A>
void sendSuper(id receiver, Class superClass, const char* selector, A... args) {
    ObjcSuper super{receiver, superClass};
    using Fn = void (*)(ObjcSuper*, SEL, A...);
    Fn f;
    std::memcpy(&f, &gCocoa.fn.objc_msgSendSuper, sizeof(f));
    f(&super, sel(selector), args...);
}

void acquireCocoaFunctions() {
    std::call_once(gCocoaOnce, [] {
        gCocoa.library = dlopen("/System/Library/Frameworks/Cocoa.framework/Cocoa", RTLD_NOW);
        if (!gCocoa.library) core::fatalError("Cocoa: the framework does not load");
        CocoaFunctions& f = gCocoa.fn;
        resolve(f.objc_registerClassPair, "objc_registerClassPair");
        resolve(f.class_addIvar, "class_addIvar");
        resolve(f.class_addMethod, "class_addMethod");
        resolve(f.objc_allocateClassPair, "objc_allocateClassPair");
        resolve(f.objc_disposeClassPair, "objc_disposeClassPair");
        resolve(f.objc_getClass, "objc_getClass");
        resolve(f.objc_lookUpClass, "objc_lookUpClass");
        resolve(f.objc_msgSend, "objc_msgSend");
        resolve(f.objc_msgSendSuper, "objc_msgSendSuper");
        resolve(f.objc_msgSend_stret, "objc_msgSend_stret");
        resolve(f.object_getClassName, "object_getClassName");
        resolve(f.object_getInstanceVariable, "object_getInstanceVariable");
        resolve(f.object_setInstanceVariable, "object_setInstanceVariable");
        resolve(f.sel_registerName, "sel_registerName");
        resolve(f.class_getInstanceMethod, "class_getInstanceMethod");
        resolve(f.method_setImplementation, "method_setImplementation");
        resolve(f.class_addProtocol, "class_addProtocol");
        resolve(f.objc_getProtocol, "objc_getProtocol");
        resolve(f.objc_allocateProtocol, "objc_allocateProtocol");
        resolve(f.objc_registerProtocol, "objc_registerProtocol");
        resolve(f.class_conformsToProtocol, "class_conformsToProtocol");
        resolve(f.protocol_addMethodDescription, "protocol_addMethodDescription");
        resolve(f.NSLog, "NSLog");
        resolve(f.NSAllocateMemoryPages, "NSAllocateMemoryPages");
        resolve(f.NSDeallocateMemoryPages, "NSDeallocateMemoryPages");
        resolve(f.NSApplicationLoad, "NSApplicationLoad");
        // stringWithCharacters: gives an autoreleased string; the global keeps it, so it is retained.
        static const char kMode[] = "kCFRunLoopCommonModes";
        std::uint16_t chars[sizeof(kMode) - 1];
        for (std::size_t i = 0; i < sizeof(chars) / sizeof(chars[0]); ++i) chars[i] = kMode[i];
        id mode = send<id>(cls("NSString"),
                           "stringWithCharacters:length:", static_cast<const std::uint16_t*>(chars),
                           static_cast<std::uint64_t>(sizeof(chars) / sizeof(chars[0])));
        f.runLoopMode = send<id>(mode, "retain");
    });
}

// Milliseconds of NSDate's reference clock, truncated to 32 bits.
std::uint32_t cocoaNowMs() {
    const double seconds = send<double>(cls("NSDate"), "timeIntervalSinceReferenceDate");
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(seconds * 1000));
}

}  // namespace

// The view class's methods. Each runs under the floating-point entry guard and reaches its window
// through the instance variable "this"; a message that arrives after the window was destroyed finds
// no window and does nothing.
struct CocoaViewHandlers {
    static CocoaWindow* windowOf(id self) {
        void* record = nullptr;
        gCocoa.fn.object_getInstanceVariable(self, "this", &record);
        return record ? static_cast<CocoaWindow::View*>(record)->window : nullptr;
    }

    static Point position(CocoaWindow* w, id self, id event) {
        const NSPoint inWindow = send<NSPoint>(event, "locationInWindow");
        const NSPoint p = send<NSPoint>(self, "convertPoint:fromView:", inWindow, static_cast<id>(nullptr));
        return cocoaMousePosition(p.x, p.y, w->height_);
    }

    static MouseState state(id event) {
        return cocoaMouseState(send<std::uint64_t>(cls("NSEvent"), "pressedMouseButtons"),
                               send<std::uint64_t>(event, "modifierFlags"));
    }

    static Key key(id event) {
        const auto keyCode = send<std::uint16_t>(event, "keyCode");
        id chars = send<id>(event, "charactersIgnoringModifiers");
        const auto length = chars ? send<std::uint64_t>(chars, "length") : 0;
        const auto first = length ? send<std::uint16_t>(chars, "characterAtIndex:", std::uint64_t{0}) : 0;
        return cocoaTranslateKey(keyCode, length, first);
    }

    static void keyDown(id self, SEL, id event) {
        core::FPStateGuard guard;
        if (CocoaWindow* w = windowOf(self); w && !w->listener_->onKeyDown(key(event)))
            sendSuper(self, cls("NSView"), "keyDown:", event);
    }
    static void keyUp(id self, SEL, id event) {
        core::FPStateGuard guard;
        if (CocoaWindow* w = windowOf(self)) w->listener_->onKeyUp(key(event));
    }

    static void click(id self, id event, MouseButton button) {
        CocoaWindow* w = windowOf(self);
        if (!w) return;
        w->moves_.restart();
        const Point p = position(w, self, event);
        const bool isDouble = send<std::int64_t>(event, "clickCount") >= 2;
        w->listener_->onMouseClick(p.x, p.y, button, isDouble, state(event));
    }
    static void release(id self, id event, MouseButton button) {
        CocoaWindow* w = windowOf(self);
        if (!w) return;
        const Point p = position(w, self, event);
        w->listener_->onMouseRelease(p.x, p.y, button, state(event));
    }
    static void mouseDown(id self, SEL, id event) {
        core::FPStateGuard guard;
        click(self, event, MouseButton::left);
    }
    static void mouseUp(id self, SEL, id event) {
        core::FPStateGuard guard;
        release(self, event, MouseButton::left);
    }
    static void rightMouseDown(id self, SEL, id event) {
        core::FPStateGuard guard;
        click(self, event, MouseButton::right);
    }
    static void rightMouseUp(id self, SEL, id event) {
        core::FPStateGuard guard;
        release(self, event, MouseButton::right);
    }
    static void otherMouseDown(id self, SEL, id event) {
        core::FPStateGuard guard;
        if (cocoaOtherButtonIsMiddle(send<std::int64_t>(event, "buttonNumber")))
            click(self, event, MouseButton::middle);
    }
    static void otherMouseUp(id self, SEL, id event) {
        core::FPStateGuard guard;
        if (cocoaOtherButtonIsMiddle(send<std::int64_t>(event, "buttonNumber")))
            release(self, event, MouseButton::middle);
    }
    static void mouseMoved(id self, SEL, id event) {
        core::FPStateGuard guard;
        CocoaWindow* w = windowOf(self);
        if (!w) return;
        const Point p = position(w, self, event);
        const Point d = w->moves_.move(p.x, p.y);
        w->listener_->onMouseMove(p.x, p.y, d.x, d.y, state(event));
    }
    static void scrollWheel(id self, SEL, id event) {
        core::FPStateGuard guard;
        CocoaWindow* w = windowOf(self);
        if (!w) return;
        const Point p = position(w, self, event);
        w->listener_->onMouseWheel(p.x, p.y, cocoaWheelDelta(send<double>(event, "deltaX")),
                                   cocoaWheelDelta(send<double>(event, "deltaY")), state(event));
    }
    static BOOL yes(id, SEL) {
        core::FPStateGuard guard;
        return YES;
    }
    static BOOL yesFor(id, SEL, id) {
        core::FPStateGuard guard;
        return YES;
    }
    static void viewDidMoveToWindow(id self, SEL) {
        core::FPStateGuard guard;
        if (id window = send<id>(self, "window")) {
            send<BOOL>(window, "makeFirstResponder:", self);
            send<void>(window, "setAcceptsMouseMovedEvents:", YES);
        }
    }
    static void drawRect(id self, SEL, NSRect rect) {
        core::FPStateGuard guard;
        if (CocoaWindow* w = windowOf(self))
            w->drawRect(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
    }
    static void onTimer(id self, SEL, id) {
        core::FPStateGuard guard;
        if (CocoaWindow* w = windowOf(self)) w->onTimer();
    }
    static void mouseEntered(id, SEL, id) {
        core::FPStateGuard guard;
        send<void>(send<id>(cls("NSCursor"), "arrowCursor"), "push");
    }
    static void mouseExited(id, SEL, id) {
        core::FPStateGuard guard;
        send<void>(cls("NSCursor"), "pop");
    }

    template <class F>
    static void add(Class c, const char* selector, F* handler, const char* types) {
        void (*imp)();
        std::memcpy(&imp, &handler, sizeof(imp));
        gCocoa.fn.class_addMethod(c, sel(selector), imp, types);
    }

    // Creates and registers the view class named name (a subclass of NSView).
    static Class registerSubclass(const char* name) {
        Class c = gCocoa.fn.objc_allocateClassPair(cls("NSView"), name, 0);
        static constexpr char kEvent[] = "v@:@";
        add(c, "keyDown:", &keyDown, kEvent);
        add(c, "keyUp:", &keyUp, kEvent);
        add(c, "mouseDown:", &mouseDown, kEvent);
        add(c, "mouseUp:", &mouseUp, kEvent);
        add(c, "rightMouseDown:", &rightMouseDown, kEvent);
        add(c, "rightMouseUp:", &rightMouseUp, kEvent);
        add(c, "otherMouseDown:", &otherMouseDown, kEvent);
        add(c, "otherMouseUp:", &otherMouseUp, kEvent);
        add(c, "mouseMoved:", &mouseMoved, kEvent);
        add(c, "mouseDragged:", &mouseMoved, kEvent);
        add(c, "rightMouseDragged:", &mouseMoved, kEvent);
        add(c, "otherMouseDragged:", &mouseMoved, kEvent);
        add(c, "acceptsFirstResponder", &yes, "b@:");
        add(c, "isOpaque", &yes, "b@:");
        add(c, "acceptsFirstMouse:", &yesFor, "b@:@");
        add(c, "viewDidMoveToWindow", &viewDidMoveToWindow, "v@:");
        add(c, "drawRect:", &drawRect, "v@:{_NSRect={_NSPoint=dd}{_NSSize=dd}}");
        add(c, "onTimer:", &onTimer, kEvent);
        add(c, "mouseEntered:", &mouseEntered, kEvent);
        add(c, "mouseExited:", &mouseExited, kEvent);
        add(c, "scrollWheel:", &scrollWheel, kEvent);
        gCocoa.fn.class_addIvar(c, "this", sizeof(void*), 3, "^v");
        gCocoa.fn.objc_registerClassPair(c);
        return c;
    }
};

CocoaWindow::CocoaWindow(WindowUsage usage, void* parent, IWindowListener* listener, int width, int height)
    : listener_(listener),
      askedWidth_(width),
      askedHeight_(height),
      isHostWindow_(usage == WindowUsage::host) {
    acquireCocoaFunctions();
    gCocoa.fn.NSApplicationLoad();
    colorSpace_ = send<id>(cls("NSColorSpace"), "sRGBColorSpace");
    cgColorSpace_ = send<void*>(colorSpace_, "CGColorSpace");
    timeAtCreationMs_ = lastTimeMs_ = cocoaNowMs();
    if (!isHostWindow_) {
        initView(width, height);
        if (parent) send<void>(parent, "addSubview:", view_.object);
        return;
    }
    application_ = send<id>(cls("NSApplication"), "sharedApplication");
    send<BOOL>(application_, "setActivationPolicy:", std::int64_t{0});
    const NSRect frame{{0, 0}, {static_cast<double>(width), static_cast<double>(height)}};
    nsWindow_ =
        send<id>(send<id>(cls("NSWindow"), "alloc"), "initWithContentRect:styleMask:backing:defer:", frame,
                 std::uint64_t{0}, std::uint64_t{2}, NO);
    send<void>(nsWindow_, "makeKeyAndOrderFront:", static_cast<id>(nullptr));
    send<void>(application_, "activateIgnoringOtherApps:", YES);
}

void CocoaWindow::initView(int width, int height) {
    char name[kCocoaViewClassNameSize];
    makeCocoaViewClassName(name);
    Class c = CocoaViewHandlers::registerSubclass(name);
    id object = send<id>(c, "alloc");
    view_.window = this;
    view_.runLoopMode = gCocoa.fn.runLoopMode;
    gCocoa.fn.object_setInstanceVariable(object, "this", &view_);
    const NSRect frame{{0, 0}, {static_cast<double>(width), static_cast<double>(height)}};
    view_.object = send<id>(object, "initWithFrame:", frame);
    view_.timer =
        send<id>(cls("NSTimer"), "timerWithTimeInterval:target:selector:userInfo:repeats:", 1.0 / 60,
                 view_.object, sel("onTimer:"), static_cast<id>(nullptr), YES);
    send<void>(send<id>(cls("NSRunLoop"), "currentRunLoop"), "addTimer:forMode:", view_.timer,
               view_.runLoopMode);
}

CocoaWindow::~CocoaWindow() {
    terminated_ = true;
    if (isHostWindow_) {
        nsWindow_ = nullptr;
        return;
    }
    send<void>(view_.timer, "invalidate");
    // The system may still hold the view and send it a queued message: it must find no window.
    gCocoa.fn.object_setInstanceVariable(view_.object, "this", nullptr);
    send<void>(view_.object, "removeFromSuperview");
    send<void>(view_.object, "release");
    view_ = View{};
}

void CocoaWindow::onTimer() {
    const std::uint32_t now = cocoaNowMs();
    listener_->onAnimate((now - lastTimeMs_) * 0.001, (now - timeAtCreationMs_) * 0.001);
    lastTimeMs_ = now;
    listener_->recomputeDirtyAreas();
    firstRepaintPending_ = false;
    const Box dirty = listener_->getDirtyRectangle();
    const NSRect bounds = sendStret<NSRect>(view_.object, "bounds");
    CocoaRect r;
    if (!cocoaRepaintRect(dirty, bounds.size.height, &r)) return;
    send<void>(view_.object, "setNeedsDisplayInRect:", NSRect{{r.x, r.y}, {r.width, r.height}});
}

void CocoaWindow::drawRect(double x, double y, double w, double h) {
    id ciContext = send<id>(send<id>(cls("NSGraphicsContext"), "currentContext"), "CIContext");
    if (askedWidth_ != width_ || askedHeight_ != height_) {
        width_ = askedWidth_;
        height_ = askedHeight_;
        buffer_ = listener_->onResized(width_, height_);
    }
    if (firstRepaintPending_) {
        firstRepaintPending_ = false;
        listener_->recomputeDirtyAreas();
    }
    listener_->onDraw(WindowPixelFormat::argb);
    if (buffer_.empty()) return;
    // The buffer's own pitch, so a listener whose rows are padded is still shown right.
    imageData_ = send<id>(cls("NSData"),
                          "dataWithBytesNoCopy:length:freeWhenDone:", static_cast<void*>(buffer_.pixels),
                          static_cast<std::uint64_t>(buffer_.h * buffer_.pitch), NO);
    static constexpr int kCIFormatARGB8 = 23;
    id image = send<id>(cls("CIImage"), "imageWithBitmapData:bytesPerRow:size:format:colorSpace:", imageData_,
                        static_cast<std::uint64_t>(buffer_.pitch),
                        NSSize{static_cast<double>(buffer_.w), static_cast<double>(buffer_.h)},
                        kCIFormatARGB8, cgColorSpace_);
    const NSRect rect{{x, y}, {w, h}};
    send<void>(ciContext, "drawImage:inRect:fromRect:", image, rect, rect);
}

void CocoaWindow::waitEventAndDispatch() {
    if (!isHostWindow_) core::fatalError("Cocoa: waitEventAndDispatch on a plug-in view");
    id event = send<id>(nsWindow_, "nextEventMatchingMask:", ~std::uint64_t{0});
    send<void>(application_, "sendEvent:", event);
}

std::uint32_t CocoaWindow::getTimeMs() { return cocoaNowMs(); }

void* CocoaWindow::systemHandle() {
    return isHostWindow_ ? send<id>(nsWindow_, "contentView") : view_.object;
}

}  // namespace plugkit::window
