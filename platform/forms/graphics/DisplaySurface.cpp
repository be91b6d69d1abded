#include "platform/forms/graphics/DisplaySurface.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#include "platform/forms/graphics/ImageFiles.h"
#include "platform/system/Utf8.h"

namespace win {
namespace {

// --- Headless ----------------------------------------------------------------------------

class HeadlessSurface : public DisplaySurface {
 public:
  explicit HeadlessSurface(std::string title) : title_(std::move(title)) {}
  void Present(const Surface& pixels, const RECT*) override {
    const char* dir = std::getenv("WI_SNAPSHOT_DIR");
    if (!dir || !*dir || !visible_) return;
    std::string name = title_.empty() ? "window" : title_;
    for (char& c : name)
      if (std::strchr("\\/:*?\"<>|", c) || static_cast<unsigned char>(c) < 32) c = '_';
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    try {
      SavePng(pixels, std::filesystem::path(dir) / (name + ".png"));
    } catch (...) {
      // A snapshot that cannot be written must not stop the program.
    }
  }
  void SetTitle(const std::string& t) override { title_ = t; }
  void SetBounds(int, int, int, int) override {}
  void Show(bool v) override { visible_ = v; }
  bool IsX11() const override { return false; }

 private:
  std::string title_;
  bool visible_ = true;
};

// --- X11 -------------------------------------------------------------------------------------

class X11Surface;
std::mutex xMutex;
Display* xDisplay = nullptr;
Atom wmDelete = 0;
// Never destroyed: surfaces still open at exit (held by the back-end's own static table)
// unregister themselves after every other static object is gone.
std::map<Window, X11Surface*>& Windows() {
  static auto* m = new std::map<Window, X11Surface*>;
  return *m;
}

Display* Connection() {
  if (xDisplay) return xDisplay;
  const char* d = std::getenv("DISPLAY");
  if (std::getenv("WI_HEADLESS") || !d || !*d) return nullptr;
  xDisplay = XOpenDisplay(nullptr);
  if (xDisplay) wmDelete = XInternAtom(xDisplay, "WM_DELETE_WINDOW", False);
  return xDisplay;
}

class X11Surface : public DisplaySurface {
 public:
  X11Surface(Display* d, const std::string& title, int x, int y, int w, int h, IDisplayEvents* ev)
      : d_(d), events_(ev) {
    int screen = DefaultScreen(d);
    win_ = XCreateSimpleWindow(d, RootWindow(d, screen), x, y, unsigned(std::max(1, w)), unsigned(std::max(1, h)), 0,
                               BlackPixel(d, screen), WhitePixel(d, screen));
    XSelectInput(d, win_, ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                              PointerMotionMask | StructureNotifyMask | FocusChangeMask);
    XSetWMProtocols(d, win_, &wmDelete, 1);
    XStoreName(d, win_, title.c_str());
    gc_ = XCreateGC(d, win_, 0, nullptr);
    Windows()[win_] = this;
  }
  ~X11Surface() override {
    std::lock_guard lock(xMutex);
    Windows().erase(win_);
    XFreeGC(d_, gc_);
    XDestroyWindow(d_, win_);
    XFlush(d_);
  }
  void Present(const Surface& px, const RECT* dirty) override {
    if (px.width <= 0 || px.height <= 0) return;
    std::lock_guard lock(xMutex);
    int depth = DefaultDepth(d_, DefaultScreen(d_));
    Visual* vis = DefaultVisual(d_, DefaultScreen(d_));
    // 24/32-bit TrueColor takes 0x00RRGGBB words as they are.
    XImage* img = XCreateImage(d_, vis, unsigned(depth), ZPixmap, 0,
                               reinterpret_cast<char*>(const_cast<std::uint32_t*>(px.pixels.data())),
                               unsigned(px.width), unsigned(px.height), 32, px.width * 4);
    if (!img) return;
    RECT r = dirty ? *dirty : RECT{0, 0, px.width, px.height};
    RECT all{0, 0, px.width, px.height};
    IntersectRect(&r, &r, &all);
    if (!IsRectEmpty(&r))
      XPutImage(d_, win_, gc_, img, r.left, r.top, r.left, r.top, unsigned(r.Width()), unsigned(r.Height()));
    img->data = nullptr;  // the pixels are the surface's
    XDestroyImage(img);
    XSync(d_, False);
  }
  void SetTitle(const std::string& t) override {
    std::lock_guard lock(xMutex);
    XStoreName(d_, win_, t.c_str());
    XFlush(d_);
  }
  void SetBounds(int x, int y, int w, int h) override {
    std::lock_guard lock(xMutex);
    XMoveResizeWindow(d_, win_, x, y, unsigned(std::max(1, w)), unsigned(std::max(1, h)));
    XFlush(d_);
  }
  void Show(bool v) override {
    std::lock_guard lock(xMutex);
    if (v) XMapRaised(d_, win_);
    else XUnmapWindow(d_, win_);
    XSync(d_, False);
  }
  bool IsX11() const override { return true; }
  unsigned long NativeWindow() const override { return win_; }
  void Dispatch(const DisplayEvent& e) {
    if (events_) events_->OnDisplayEvent(*this, e);
  }

 private:
  Display* d_;
  Window win_;
  GC gc_;
  IDisplayEvents* events_;
};

UINT ShiftState(unsigned state) {
  UINT s = 0;
  if (state & ShiftMask) s |= 0x4;
  if (state & ControlMask) s |= 0x8;
  if (state & Button1Mask) s |= 0x1;
  if (state & Button3Mask) s |= 0x2;
  if (state & Button2Mask) s |= 0x10;
  if (state & Mod1Mask) s |= 0x20;
  return s;
}

UINT VirtualKey(KeySym k) {
  if (k >= XK_a && k <= XK_z) return UINT('A' + (k - XK_a));
  if (k >= XK_A && k <= XK_Z) return UINT(k);
  if (k >= XK_0 && k <= XK_9) return UINT(k);
  if (k >= XK_F1 && k <= XK_F12) return UINT(0x70 + (k - XK_F1));
  if (k >= XK_KP_0 && k <= XK_KP_9) return UINT(0x60 + (k - XK_KP_0));
  switch (k) {
    case XK_BackSpace: return 0x08;
    case XK_Tab: case XK_ISO_Left_Tab: return 0x09;
    case XK_Return: case XK_KP_Enter: return 0x0D;
    case XK_Shift_L: case XK_Shift_R: return 0x10;
    case XK_Control_L: case XK_Control_R: return 0x11;
    case XK_Alt_L: case XK_Alt_R: return 0x12;
    case XK_Pause: return 0x13;
    case XK_Escape: return 0x1B;
    case XK_space: return 0x20;
    case XK_Prior: return 0x21;
    case XK_Next: return 0x22;
    case XK_End: return 0x23;
    case XK_Home: return 0x24;
    case XK_Left: return 0x25;
    case XK_Up: return 0x26;
    case XK_Right: return 0x27;
    case XK_Down: return 0x28;
    case XK_Insert: return 0x2D;
    case XK_Delete: return 0x2E;
  }
  return 0;
}

std::string Latin1ToUtf8(const char* s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) AppendUtf8(out, static_cast<unsigned char>(s[i]));
  return out;
}

}  // namespace

bool DisplayAvailable() {
  std::lock_guard lock(xMutex);
  return Connection() != nullptr;
}

int DisplayConnectionFd() {
  std::lock_guard lock(xMutex);
  return xDisplay ? ConnectionNumber(xDisplay) : -1;
}

std::unique_ptr<DisplaySurface> CreateHeadlessSurface(const std::string& title, IDisplayEvents*) {
  return std::make_unique<HeadlessSurface>(title);
}

std::unique_ptr<DisplaySurface> CreateX11Surface(const std::string& title, int x, int y, int w, int h,
                                                 IDisplayEvents* events) {
  std::lock_guard lock(xMutex);
  Display* d = Connection();
  if (!d) return nullptr;
  return std::make_unique<X11Surface>(d, title, x, y, w, h, events);
}

std::unique_ptr<DisplaySurface> CreateDisplaySurface(const std::string& title, int x, int y, int w, int h,
                                                     IDisplayEvents* events) {
  if (auto s = CreateX11Surface(title, x, y, w, h, events)) return s;
  return CreateHeadlessSurface(title, events);
}

int PumpDisplayEvents(int timeoutMs) {
  int count = 0;
  for (;;) {
    XEvent ev;
    X11Surface* target = nullptr;
    {
      std::lock_guard lock(xMutex);
      if (!xDisplay) return count;
      if (!XPending(xDisplay)) {
        if (timeoutMs <= 0 || count > 0) return count;
        pollfd p{ConnectionNumber(xDisplay), POLLIN, 0};
        xMutex.unlock();
        int r = poll(&p, 1, timeoutMs);
        xMutex.lock();
        timeoutMs = 0;
        if (r <= 0 || !XPending(xDisplay)) return count;
      }
      XNextEvent(xDisplay, &ev);
      auto it = Windows().find(ev.xany.window);
      if (it != Windows().end()) target = it->second;
    }
    if (!target) continue;
    DisplayEvent e;
    switch (ev.type) {
      case Expose:
        e.kind = DisplayEvent::Exposed;
        e.area = RECT{ev.xexpose.x, ev.xexpose.y, ev.xexpose.x + ev.xexpose.width, ev.xexpose.y + ev.xexpose.height};
        break;
      case ConfigureNotify:
        e.kind = DisplayEvent::Resized;
        e.x = ev.xconfigure.width, e.y = ev.xconfigure.height;
        break;
      case MotionNotify:
        e.kind = DisplayEvent::MouseMove;
        e.x = ev.xmotion.x, e.y = ev.xmotion.y, e.shift = ShiftState(ev.xmotion.state);
        break;
      case ButtonPress:
      case ButtonRelease:
        e.x = ev.xbutton.x, e.y = ev.xbutton.y, e.shift = ShiftState(ev.xbutton.state);
        if (ev.xbutton.button == 4 || ev.xbutton.button == 5) {
          if (ev.type == ButtonRelease) continue;
          e.kind = DisplayEvent::MouseWheel;
          e.wheelDelta = ev.xbutton.button == 4 ? 120 : -120;
        } else {
          e.kind = ev.type == ButtonPress ? DisplayEvent::MouseDown : DisplayEvent::MouseUp;
          e.button = int(ev.xbutton.button);
        }
        break;
      case KeyPress:
      case KeyRelease: {
        char buf[16];
        KeySym sym = 0;
        int n = XLookupString(&ev.xkey, buf, sizeof buf, &sym, nullptr);
        e.kind = ev.type == KeyPress ? DisplayEvent::KeyDown : DisplayEvent::KeyUp;
        e.key = VirtualKey(sym);
        e.shift = ShiftState(ev.xkey.state);
        target->Dispatch(e);
        ++count;
        if (ev.type == KeyPress && n > 0) {
          DisplayEvent c;
          c.kind = DisplayEvent::Char;
          c.text = Latin1ToUtf8(buf, n);
          c.shift = e.shift;
          target->Dispatch(c);
        }
        continue;
      }
      case ClientMessage:
        if (Atom(ev.xclient.data.l[0]) != wmDelete) continue;
        e.kind = DisplayEvent::CloseRequest;
        break;
      case FocusIn: e.kind = DisplayEvent::GotFocus; break;
      case FocusOut: e.kind = DisplayEvent::LostFocus; break;
      default: continue;
    }
    target->Dispatch(e);
    ++count;
  }
}

bool ReadBackX11(const DisplaySurface& s, Surface& out) {
  if (!s.IsX11()) return false;
  std::lock_guard lock(xMutex);
  Window w = Window(s.NativeWindow());
  XWindowAttributes a;
  if (!XGetWindowAttributes(xDisplay, w, &a)) return false;
  XImage* img = XGetImage(xDisplay, w, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
  if (!img) return false;
  out = Surface(a.width, a.height);
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) out.Row(y)[x] = std::uint32_t(XGetPixel(img, x, y)) & 0xFFFFFF;
  XDestroyImage(img);
  return true;
}

}  // namespace win
