#include "platform/forms/graphics/DisplaySurface.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>
#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#include "platform/forms/graphics/ImageFiles.h"
#include "platform/system/Machine.h"
#include "platform/system/Process.h"
#include "platform/system/Text.h"

namespace win {
namespace {

// --- Headless ----------------------------------------------------------------------------

// The next free number of the folder's story (after the numbered files already there).
int NextSnapshotNumber(const std::filesystem::path& dir) {
  static std::map<std::string, int> next;
  auto it = next.find(dir.string());
  if (it == next.end()) {
    int highest = 0;
    std::error_code ec;
    for (auto& e : std::filesystem::directory_iterator(dir, ec)) {
      std::string n = e.path().filename().string();
      int number = 0;
      if (n.size() > 5 && n[4] == '-' &&
          std::from_chars(n.data(), n.data() + 4, number).ec == std::errc())
        highest = std::max(highest, number);
    }
    it = next.emplace(dir.string(), highest + 1).first;
  }
  return it->second++;
}

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
    std::filesystem::path folder(dir);
    std::filesystem::create_directories(folder, ec);
    try {
      SavePng(pixels, folder / (name + ".png"));
      char number[16];
      std::snprintf(number, sizeof number, "%04d-", NextSnapshotNumber(folder));
      std::filesystem::copy_file(folder / (name + ".png"), folder / (number + name + ".png"),
                                 std::filesystem::copy_options::overwrite_existing, ec);
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

// libX11 is loaded when a display is first used: a program without one (headless, or under
// a UI script) does not load it and the libraries it needs at every start.
// clang-format off
#define WI_X11_FUNCTIONS(F) \
  F(XOpenDisplay) \
  F(XSetIOErrorHandler) \
  F(XSetErrorHandler) \
  F(XInternAtom) \
  F(XFlush) \
  F(XChangeProperty) \
  F(XPending) \
  F(XSetInputFocus) \
  F(XSendEvent) \
  F(XUnmapWindow) \
  F(XUndefineCursor) \
  F(XTranslateCoordinates) \
  F(XSync) \
  F(XSetWMProtocols) \
  F(XSetWMNormalHints) \
  F(XSetWMHints) \
  F(XSetTransientForHint) \
  F(XSetClassHint) \
  F(XPutImage) \
  F(XPeekEvent) \
  F(XNextEvent) \
  F(XMoveResizeWindow) \
  F(XMapRaised) \
  F(XLookupString) \
  F(XGetWindowAttributes) \
  F(XGetImage) \
  F(XFreeGC) \
  F(XDestroyWindow) \
  F(XDefineCursor) \
  F(XCreateWindow) \
  F(XCreateImage) \
  F(XCreateGC) \
  F(XCreateFontCursor) \
  F(XCheckIfEvent) \
  F(XSetLocaleModifiers) \
  F(XSupportsLocale) \
  F(XOpenIM) \
  F(XCreateIC) \
  F(XDestroyIC) \
  F(XSetICFocus) \
  F(XUnsetICFocus) \
  F(XFilterEvent) \
  F(Xutf8LookupString) \
  F(XSetSelectionOwner) \
  F(XkbSetDetectableAutoRepeat)
// clang-format on

struct XLib {
// NOLINTNEXTLINE(bugprone-macro-parentheses): a function's name is not an expression
#define WI_X11_POINTER(name) decltype(&::name) name = nullptr;
  WI_X11_FUNCTIONS(WI_X11_POINTER)
#undef WI_X11_POINTER
} xlib;

// False when the library or one of its functions cannot be found: then there is no display.
bool LoadXLib() {
  static const bool loaded = [] {
    void* lib = ::dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return false;
#define WI_X11_LOAD(name) \
  if (!(xlib.name = reinterpret_cast<decltype(&::name)>(::dlsym(lib, #name)))) return false;
    WI_X11_FUNCTIONS(WI_X11_LOAD)
#undef WI_X11_LOAD
    return true;
  }();
  return loaded;
}

// The shape extension (libXext), loaded with the first shaped window; without it windows
// keep their rectangles.
struct XExt {
  decltype(&::XShapeQueryExtension) XShapeQueryExtension = nullptr;
  decltype(&::XShapeCombineRectangles) XShapeCombineRectangles = nullptr;
  decltype(&::XShapeCombineMask) XShapeCombineMask = nullptr;
};
const XExt* LoadXExt(Display* d) {
  static const XExt* ext = [d]() -> const XExt* {
    void* lib = ::dlopen("libXext.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return nullptr;
    static XExt e;
    e.XShapeQueryExtension =
        reinterpret_cast<decltype(e.XShapeQueryExtension)>(::dlsym(lib, "XShapeQueryExtension"));
    e.XShapeCombineRectangles = reinterpret_cast<decltype(e.XShapeCombineRectangles)>(
        ::dlsym(lib, "XShapeCombineRectangles"));
    e.XShapeCombineMask =
        reinterpret_cast<decltype(e.XShapeCombineMask)>(::dlsym(lib, "XShapeCombineMask"));
    int event = 0, error = 0;
    if (!e.XShapeQueryExtension || !e.XShapeCombineRectangles || !e.XShapeCombineMask ||
        !e.XShapeQueryExtension(d, &event, &error))
      return nullptr;
    return &e;
  }();
  return ext;
}

class X11Surface;
std::recursive_mutex xMutex;
Display* xDisplay = nullptr;
std::string xDisplayName;
struct Atoms {
  Atom wmDelete, wmProtocols, netWmName, utf8String, netWmType, netWmTypeDialog, netWmTypeNormal,
      netWmTypeTooltip, netWmPid, netActiveWindow, netWmState, netWmStateModal, motifWmHints,
      clipboard, targets, text;
} atoms;
// Never destroyed: surfaces still open at exit (held by the back-end's own static table)
// unregister themselves after every other static object is gone.
std::map<Window, X11Surface*>& Windows() {
  static auto* m = new std::map<Window, X11Surface*>;
  return *m;
}

// How the screen's pixels are made from 0x00RRGGBB words: as they are, or through the
// masks of a TrueColor visual of another depth.
struct PixelFormat {
  bool direct = true;
  int depth = 24;
  unsigned long red = 0xFF0000, green = 0xFF00, blue = 0xFF;
} xFormat;

unsigned long NativePixel(std::uint32_t rgb) {
  if (xFormat.direct) return rgb & 0xFFFFFF;
  auto part = [](unsigned long value, unsigned long mask) -> unsigned long {
    if (!mask) return 0;
    int shift = __builtin_ctzl(mask), bits = __builtin_popcountl(mask);
    unsigned long v = bits >= 8 ? value << (bits - 8) : value >> (8 - bits);
    return (v << shift) & mask;
  };
  return part((rgb >> 16) & 0xFF, xFormat.red) | part((rgb >> 8) & 0xFF, xFormat.green) |
         part(rgb & 0xFF, xFormat.blue);
}

// The pixel format of the screen; false when its visual is not TrueColor (a colour map of
// 256 entries or fewer cannot show the toolkit's colours).
bool ReadPixelFormat(Display* d) {
  Visual* v = DefaultVisual(d, DefaultScreen(d));
  int depth = DefaultDepth(d, DefaultScreen(d));
  if (v->c_class != TrueColor) return false;
  xFormat.depth = depth;
  xFormat.red = v->red_mask, xFormat.green = v->green_mask, xFormat.blue = v->blue_mask;
  xFormat.direct = (depth == 24 || depth == 32) && v->red_mask == 0xFF0000 &&
                   v->green_mask == 0xFF00 && v->blue_mask == 0xFF;
  return true;
}

// The server went away: nothing more can be shown or asked, so the program ends here, with
// whatever it had completed in place.
int DisplayLost(Display*) {
  std::string program = Machine::ProgramName();
  if (program.empty()) program = "programme";
  std::fprintf(stderr, "%s: la connexion à l'affichage X %s est perdue ; le programme s'arrête.\n",
               program.c_str(), xDisplayName.c_str());
  std::fflush(stderr);
  win::ExitNow(1);
}

// A refused request (focus on a window the window manager has not mapped yet, a window
// already gone) changes nothing worth stopping for.
int IgnoreError(Display*, XErrorEvent*) { return 0; }

Display* Connection() {
  if (xDisplay) return xDisplay;
  const char* d = std::getenv("DISPLAY");
  const char* headless = std::getenv("WI_HEADLESS");
  if ((headless && std::string(headless) == "1") || !d || !*d || !LoadXLib()) return nullptr;
  // A write to a display server that has gone would end the program by SIGPIPE, silently,
  // before the library calls DisplayLost; ignored, the write fails and DisplayLost says why.
  struct sigaction pipe {};
  if (::sigaction(SIGPIPE, nullptr, &pipe) == 0 && pipe.sa_handler == SIG_DFL) {
    pipe.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &pipe, nullptr);
  }
  xDisplay = xlib.XOpenDisplay(nullptr);
  if (!xDisplay) return nullptr;
  xDisplayName = d;
  if (!ReadPixelFormat(xDisplay)) {
    // Refused at once, before the program does anything it could not show.
    std::string program = Machine::ProgramName();
    std::fprintf(stderr,
                 "%s: l'affichage X %s n'offre pas de visuel TrueColor (profondeur %d) ; le "
                 "programme s'arrête.\n",
                 program.empty() ? "programme" : program.c_str(), d,
                 DefaultDepth(xDisplay, DefaultScreen(xDisplay)));
    std::fflush(stderr);
    std::_Exit(1);
  }
  // A held key repeats its press alone, as on Windows: Space held on a button clicks it once,
  // when it comes up.
  Bool detectable = False;
  xlib.XkbSetDetectableAutoRepeat(xDisplay, True, &detectable);
  xlib.XSetIOErrorHandler(DisplayLost);
  xlib.XSetErrorHandler(IgnoreError);
  auto atom = [](const char* n) { return xlib.XInternAtom(xDisplay, n, False); };
  atoms = Atoms{atom("WM_DELETE_WINDOW"),
                atom("WM_PROTOCOLS"),
                atom("_NET_WM_NAME"),
                atom("UTF8_STRING"),
                atom("_NET_WM_WINDOW_TYPE"),
                atom("_NET_WM_WINDOW_TYPE_DIALOG"),
                atom("_NET_WM_WINDOW_TYPE_NORMAL"),
                atom("_NET_WM_WINDOW_TYPE_TOOLTIP"),
                atom("_NET_WM_PID"),
                atom("_NET_ACTIVE_WINDOW"),
                atom("_NET_WM_STATE"),
                atom("_NET_WM_STATE_MODAL"),
                atom("_MOTIF_WM_HINTS"),
                atom("CLIPBOARD"),
                atom("TARGETS"),
                atom("TEXT")};
  return xDisplay;
}

// The input method that turns keys into text (dead keys, compose sequences, a server of
// the desktop's such as one XMODIFIERS names), opened once for the connection; null when
// none opens, and keys are then read through the plain lookup. It is opened in a UTF-8
// locale so that every character comes as UTF-8, whatever the program's own locale.
XIM InputMethod() {
  static XIM im = [] {
    std::string saved = std::setlocale(LC_CTYPE, nullptr);
    XIM opened = nullptr;
    for (const char* locale : {"", "C.UTF-8", "en_US.UTF-8"}) {
      const char* set = std::setlocale(LC_CTYPE, locale);
      if (!set || !std::strstr(set, "UTF-8") || !xlib.XSupportsLocale()) continue;
      // The desktop's input method first, else the built-in one (compose tables).
      for (const char* modifiers : {"", "@im=none"}) {
        if (!xlib.XSetLocaleModifiers(modifiers)) continue;
        if ((opened = xlib.XOpenIM(xDisplay, nullptr, nullptr, nullptr))) break;
      }
      if (opened) break;
    }
    std::setlocale(LC_CTYPE, saved.c_str());
    return opened;
  }();
  return im;
}

std::string Latin1ToUtf8(const char* s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) AppendUtf8(out, static_cast<unsigned char>(s[i]));
  return out;
}

// Latin-1 bytes of a UTF-8 text when every character has one (WM_NAME is a STRING).
bool ToLatin1(const std::string& utf8, std::string& out) {
  std::u16string w = Utf8ToUtf16(utf8);
  out.clear();
  for (char16_t c : w) {
    if (c > 0xFF) return false;
    out += char(c);
  }
  return true;
}

class X11Surface : public DisplaySurface {
 public:
  X11Surface(Display* d, const X11WindowOptions& o, IDisplayEvents* ev)
      : d_(d), events_(ev), fixed_(o.fixedSize), popup_(o.popup) {
    int screen = DefaultScreen(d);
    XSetWindowAttributes a{};
    a.background_pixel = NativePixel(o.background);
    a.override_redirect = o.popup ? True : False;
    a.bit_gravity = NorthWestGravity;
    // Where the server offers it, it keeps what a covered window shows, so that the window
    // comes back whole while the program is busy and answers no exposure.
    a.backing_store = WhenMapped;
    a.event_mask = ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask |
                   ButtonReleaseMask | PointerMotionMask | StructureNotifyMask | FocusChangeMask |
                   LeaveWindowMask;
    w_ = std::max(1, o.width), h_ = std::max(1, o.height);
    win_ = xlib.XCreateWindow(
        d, RootWindow(d, screen), o.x, o.y, unsigned(w_), unsigned(h_), 0, CopyFromParent,
        InputOutput, CopyFromParent,
        CWBackPixel | CWOverrideRedirect | CWBitGravity | CWEventMask | CWBackingStore, &a);
    SetTitleLocked(o.title);
    if (!o.popup) {
      Atom protocols[] = {atoms.wmDelete};
      xlib.XSetWMProtocols(d, win_, protocols, 1);
      std::string cls = o.className.empty() ? std::string("Program") : o.className;
      std::string instance = AsciiLower(cls);
      XClassHint ch{instance.data(), cls.data()};
      xlib.XSetClassHint(d, win_, &ch);
      XWMHints wh{};
      wh.flags = InputHint | StateHint;
      wh.input = True;
      wh.initial_state = NormalState;
      xlib.XSetWMHints(d, win_, &wh);
      SetSizeHints(o.x, o.y, o.placed);
      if (o.transientFor) xlib.XSetTransientForHint(d, win_, Window(o.transientFor));
      long pid = long(getpid());
      xlib.XChangeProperty(d, win_, atoms.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                           reinterpret_cast<unsigned char*>(&pid), 1);
      SetFunctions(o);
      if (o.modal)
        xlib.XChangeProperty(d, win_, atoms.netWmState, XA_ATOM, 32, PropModeReplace,
                             reinterpret_cast<unsigned char*>(&atoms.netWmStateModal), 1);
    }
    Atom type = o.popup    ? atoms.netWmTypeTooltip
                : o.dialog ? atoms.netWmTypeDialog
                           : atoms.netWmTypeNormal;
    xlib.XChangeProperty(d, win_, atoms.netWmType, XA_ATOM, 32, PropModeReplace,
                         reinterpret_cast<unsigned char*>(&type), 1);
    gc_ = xlib.XCreateGC(d, win_, 0, nullptr);
    if (XIM im = o.popup ? nullptr : InputMethod())
      ic_ = xlib.XCreateIC(im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                           win_, XNFocusWindow, win_, nullptr);
    Windows()[win_] = this;
  }
  ~X11Surface() override {
    std::lock_guard lock(xMutex);
    Windows().erase(win_);
    if (ic_) xlib.XDestroyIC(ic_);
    xlib.XFreeGC(d_, gc_);
    xlib.XDestroyWindow(d_, win_);
    xlib.XFlush(d_);
  }
  void Present(const Surface& px, const RECT* dirty) override {
    if (px.width <= 0 || px.height <= 0) return;
    std::lock_guard lock(xMutex);
    RECT r = dirty ? *dirty : RECT{0, 0, px.width, px.height};
    RECT all{0, 0, px.width, px.height};
    IntersectRect(&r, &r, &all);
    if (IsRectEmpty(&r)) return;
    if (xFormat.direct)
      PresentDirect(px, r);
    else
      PresentConverted(px, r);
    xlib.XFlush(d_);
  }
  void SetTitle(const std::string& t) override {
    std::lock_guard lock(xMutex);
    SetTitleLocked(t);
    xlib.XFlush(d_);
  }
  void SetBounds(int x, int y, int w, int h) override {
    std::lock_guard lock(xMutex);
    w_ = std::max(1, w), h_ = std::max(1, h);
    if (!popup_) SetSizeHints(x, y, true);
    xlib.XMoveResizeWindow(d_, win_, x, y, unsigned(w_), unsigned(h_));
    xlib.XFlush(d_);
  }
  void Show(bool v) override {
    std::lock_guard lock(xMutex);
    if (v == shown_) return;
    shown_ = v;
    if (v) {
      xlib.XMapRaised(d_, win_);
    } else {
      xlib.XUnmapWindow(d_, win_);
      // A window manager learns of a withdrawn window through this synthetic unmap.
      XEvent e{};
      e.xunmap.type = UnmapNotify;
      e.xunmap.event = RootWindow(d_, DefaultScreen(d_));
      e.xunmap.window = win_;
      xlib.XSendEvent(d_, e.xunmap.event, False, SubstructureRedirectMask | SubstructureNotifyMask,
                      &e);
      mapped_ = false;
      focusWanted_ = false;
    }
    xlib.XFlush(d_);
  }
  bool IsX11() const override { return true; }
  unsigned long NativeWindow() const override { return win_; }
  void SetBusyCursor(bool busy) override {
    std::lock_guard lock(xMutex);
    if (busy) {
      static Cursor watch = xlib.XCreateFontCursor(d_, XC_watch);
      xlib.XDefineCursor(d_, win_, watch);
    } else {
      xlib.XUndefineCursor(d_, win_);
    }
    xlib.XFlush(d_);
  }
  void Focus() override {
    std::lock_guard lock(xMutex);
    if (popup_) return;
    if (!mapped_) {
      focusWanted_ = true;
      return;
    }
    focusWanted_ = false;
    xlib.XSetInputFocus(d_, win_, RevertToParent, CurrentTime);
    // With a window manager: also ask it to activate (raise) the window.
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = win_;
    e.xclient.message_type = atoms.netActiveWindow;
    e.xclient.format = 32;
    e.xclient.data.l[0] = 1;  // from an application
    e.xclient.data.l[1] = CurrentTime;
    xlib.XSendEvent(d_, RootWindow(d_, DefaultScreen(d_)), False,
                    SubstructureRedirectMask | SubstructureNotifyMask, &e);
    xlib.XFlush(d_);
  }
  bool Viewable() const override { return mapped_; }
  void SetShape(const std::vector<RECT>& area) override {
    std::lock_guard lock(xMutex);
    const XExt* ext = LoadXExt(d_);
    if (!ext) return;
    if (area.empty()) {
      ext->XShapeCombineMask(d_, win_, ShapeBounding, 0, 0, None, ShapeSet);
    } else {
      std::vector<XRectangle> rects;
      rects.reserve(area.size());
      for (const RECT& r : area)
        rects.push_back(XRectangle{short(r.left), short(r.top),
                                   static_cast<unsigned short>(r.Width()),
                                   static_cast<unsigned short>(r.Height())});
      ext->XShapeCombineRectangles(d_, win_, ShapeBounding, 0, 0, rects.data(), int(rects.size()),
                                   ShapeSet, YXBanded);
    }
    xlib.XFlush(d_);
  }
  // Under the lock: the input context follows the window's keyboard focus.
  void FollowFocus(bool on) {
    if (!ic_) return;
    if (on)
      xlib.XSetICFocus(ic_);
    else
      xlib.XUnsetICFocus(ic_);
  }
  // Under the lock: the text a key press types (UTF-8) and its keysym.
  std::string TypedText(XKeyEvent* key, KeySym* sym) {
    char buf[64];
    if (ic_) {
      Status status = 0;
      int n = xlib.Xutf8LookupString(ic_, key, buf, sizeof buf, sym, &status);
      if (status == XLookupKeySym) return {};
      if (status != XLookupChars && status != XLookupBoth) *sym = 0;
      return status == XLookupChars || status == XLookupBoth ? std::string(buf, size_t(n))
                                                             : std::string();
    }
    int n = xlib.XLookupString(key, buf, sizeof buf, sym, nullptr);
    return Latin1ToUtf8(buf, n);
  }
  void Dispatch(const DisplayEvent& e) {
    if (events_) events_->OnDisplayEvent(*this, e);
  }
  // Called under the lock for structure events; returns the events to report.
  void Mapped(bool on) {
    mapped_ = on;
    if (on && focusWanted_) {
      focusWanted_ = false;
      xlib.XSetInputFocus(d_, win_, RevertToParent, CurrentTime);
    }
  }
  bool SizeChanged(int w, int h) {
    if (w == w_ && h == h_) return false;
    w_ = w, h_ = h;
    return true;
  }
  bool PositionChanged(POINT* p) {
    int x = 0, y = 0;
    Window child;
    xlib.XTranslateCoordinates(d_, win_, RootWindow(d_, DefaultScreen(d_)), 0, 0, &x, &y, &child);
    if (x == x_ && y == y_) return false;
    x_ = x, y_ = y;
    *p = POINT{x, y};
    return true;
  }

 private:
  void SetTitleLocked(const std::string& t) {
    std::string latin1;
    if (ToLatin1(t, latin1))
      xlib.XChangeProperty(d_, win_, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                           reinterpret_cast<const unsigned char*>(latin1.data()),
                           int(latin1.size()));
    else
      xlib.XChangeProperty(d_, win_, XA_WM_NAME, atoms.utf8String, 8, PropModeReplace,
                           reinterpret_cast<const unsigned char*>(t.data()), int(t.size()));
    xlib.XChangeProperty(d_, win_, atoms.netWmName, atoms.utf8String, 8, PropModeReplace,
                         reinterpret_cast<const unsigned char*>(t.data()), int(t.size()));
  }
  // The title bar's buttons as the Motif hints give them: moving always; resizing,
  // minimizing, maximizing and closing as the window allows.
  void SetFunctions(const X11WindowOptions& o) {
    constexpr long kFunctions = 1, kResize = 2, kMove = 4, kMinimize = 8, kMaximize = 16,
                   kClose = 32, kNone = 0;
    long hints[5] = {kFunctions,
                     kMove | (o.fixedSize ? kNone : kResize) | (o.minimizable ? kMinimize : kNone) |
                         (o.maximizable && !o.fixedSize ? kMaximize : kNone) |
                         (o.closable ? kClose : kNone),
                     0, 0, 0};
    xlib.XChangeProperty(d_, win_, atoms.motifWmHints, atoms.motifWmHints, 32, PropModeReplace,
                         reinterpret_cast<unsigned char*>(hints), 5);
  }
  // 24/32-bit TrueColor with the usual masks takes 0x00RRGGBB words as they are.
  void PresentDirect(const Surface& px, const RECT& r) {
    Visual* vis = DefaultVisual(d_, DefaultScreen(d_));
    XImage* img =
        xlib.XCreateImage(d_, vis, unsigned(xFormat.depth), ZPixmap, 0,
                          reinterpret_cast<char*>(const_cast<std::uint32_t*>(px.pixels.data())),
                          unsigned(px.width), unsigned(px.height), 32, px.width * 4);
    if (!img) return;
    xlib.XPutImage(d_, win_, gc_, img, r.left, r.top, r.left, r.top, unsigned(r.Width()),
                   unsigned(r.Height()));
    img->data = nullptr;  // the pixels are the surface's
    XDestroyImage(img);
  }
  // Any other TrueColor (16 bits...): each pixel through the visual's masks.
  void PresentConverted(const Surface& px, const RECT& r) {
    Visual* vis = DefaultVisual(d_, DefaultScreen(d_));
    XImage* img = xlib.XCreateImage(d_, vis, unsigned(xFormat.depth), ZPixmap, 0, nullptr,
                                    unsigned(r.Width()), unsigned(r.Height()), 32, 0);
    if (!img) return;
    img->data = static_cast<char*>(std::malloc(size_t(img->bytes_per_line) * size_t(r.Height())));
    if (!img->data) {
      XDestroyImage(img);
      return;
    }
    for (int y = 0; y < r.Height(); ++y) {
      const std::uint32_t* row = px.Row(r.top + y) + r.left;
      for (int x = 0; x < r.Width(); ++x) XPutPixel(img, x, y, NativePixel(row[x]));
    }
    xlib.XPutImage(d_, win_, gc_, img, 0, 0, r.left, r.top, unsigned(r.Width()),
                   unsigned(r.Height()));
    XDestroyImage(img);  // frees the converted pixels too
  }
  void SetSizeHints(int x, int y, bool placed) {
    XSizeHints sh{};
    sh.flags = PWinGravity;
    sh.win_gravity = StaticGravity;  // x, y are the client area's, the frame goes around it
    if (placed) {
      sh.flags |= USPosition | PPosition;
      sh.x = x, sh.y = y;
    }
    if (fixed_) {
      sh.flags |= PMinSize | PMaxSize;
      sh.min_width = sh.max_width = w_;
      sh.min_height = sh.max_height = h_;
    }
    xlib.XSetWMNormalHints(d_, win_, &sh);
  }
  Display* d_;
  Window win_;
  GC gc_;
  IDisplayEvents* events_;
  bool fixed_, popup_;
  XIC ic_ = nullptr;
  int w_ = 1, h_ = 1, x_ = -100000, y_ = -100000;
  bool shown_ = false, mapped_ = false, focusWanted_ = false;
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
    case XK_BackSpace:
      return 0x08;
    case XK_Tab:
    case XK_ISO_Left_Tab:
      return 0x09;
    case XK_Return:
    case XK_KP_Enter:
      return 0x0D;
    case XK_Shift_L:
    case XK_Shift_R:
      return 0x10;
    case XK_Control_L:
    case XK_Control_R:
      return 0x11;
    case XK_Alt_L:
    case XK_Alt_R:
      return 0x12;
    case XK_Pause:
      return 0x13;
    case XK_Escape:
      return 0x1B;
    case XK_space:
      return 0x20;
    case XK_Prior:
      return 0x21;
    case XK_Next:
      return 0x22;
    case XK_End:
      return 0x23;
    case XK_Home:
      return 0x24;
    case XK_Left:
      return 0x25;
    case XK_Up:
      return 0x26;
    case XK_Right:
      return 0x27;
    case XK_Down:
      return 0x28;
    case XK_Insert:
      return 0x2D;
    case XK_Delete:
      return 0x2E;
  }
  return 0;
}

// The clipboard this program owns: a window of its own that is never shown, and the text.
Window clipboardOwner = 0;
std::string clipboardText;

// Answers another program asking for the clipboard: its targets, or the text as UTF-8 (or
// Latin-1 as STRING when every character has one).
void AnswerSelectionRequest(const XSelectionRequestEvent& r) {
  XEvent reply{};
  reply.xselection.type = SelectionNotify;
  reply.xselection.requestor = r.requestor;
  reply.xselection.selection = r.selection;
  reply.xselection.target = r.target;
  reply.xselection.time = r.time;
  Atom property = r.property != None ? r.property : r.target;
  std::string latin1;
  if (r.selection != atoms.clipboard || r.owner != clipboardOwner) {
    property = None;
  } else if (r.target == atoms.targets) {
    Atom offered[] = {atoms.targets, atoms.utf8String, atoms.text, XA_STRING};
    xlib.XChangeProperty(xDisplay, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                         reinterpret_cast<unsigned char*>(offered), 4);
  } else if (r.target == atoms.utf8String || r.target == atoms.text) {
    xlib.XChangeProperty(xDisplay, r.requestor, property, atoms.utf8String, 8, PropModeReplace,
                         reinterpret_cast<const unsigned char*>(clipboardText.data()),
                         int(clipboardText.size()));
  } else if (r.target == XA_STRING && ToLatin1(clipboardText, latin1)) {
    xlib.XChangeProperty(xDisplay, r.requestor, property, XA_STRING, 8, PropModeReplace,
                         reinterpret_cast<const unsigned char*>(latin1.data()), int(latin1.size()));
  } else {
    property = None;
  }
  reply.xselection.property = property;
  xlib.XSendEvent(xDisplay, r.requestor, False, 0, &reply);
  xlib.XFlush(xDisplay);
}

bool IsInputEvent(const XEvent& ev) {
  switch (ev.type) {
    case KeyPress:
    case KeyRelease:
    case ButtonPress:
    case ButtonRelease:
    case MotionNotify:
      return true;
    case ClientMessage:
      return Atom(ev.xclient.data.l[0]) == atoms.wmDelete;
    default:
      return false;
  }
}

}  // namespace

bool DisplayAvailable() {
  std::lock_guard lock(xMutex);
  return Connection() != nullptr;
}

bool DisplayScreenSize(int* width, int* height) {
  std::lock_guard lock(xMutex);
  Display* d = Connection();
  if (!d) return false;
  *width = DisplayWidth(d, DefaultScreen(d));
  *height = DisplayHeight(d, DefaultScreen(d));
  return true;
}

int DisplayConnectionFd() {
  std::lock_guard lock(xMutex);
  return xDisplay ? ConnectionNumber(xDisplay) : -1;
}

std::unique_ptr<DisplaySurface> CreateHeadlessSurface(const std::string& title, IDisplayEvents*) {
  return std::make_unique<HeadlessSurface>(title);
}

std::unique_ptr<DisplaySurface> CreateX11Window(const X11WindowOptions& options,
                                                IDisplayEvents* events) {
  std::lock_guard lock(xMutex);
  Display* d = Connection();
  if (!d) return nullptr;
  return std::make_unique<X11Surface>(d, options, events);
}

std::unique_ptr<DisplaySurface> CreateX11Surface(const std::string& title, int x, int y, int w,
                                                 int h, IDisplayEvents* events) {
  X11WindowOptions o;
  o.title = title;
  o.x = x, o.y = y, o.width = w, o.height = h;
  o.placed = true;
  return CreateX11Window(o, events);
}

std::unique_ptr<DisplaySurface> CreateDisplaySurface(const std::string& title, int x, int y, int w,
                                                     int h, IDisplayEvents* events) {
  if (auto s = CreateX11Surface(title, x, y, w, h, events)) return s;
  return CreateHeadlessSurface(title, events);
}

void DiscardPendingInput() {
  std::lock_guard lock(xMutex);
  if (!xDisplay) return;
  // Everything the server received before this round trip is in the queue afterwards.
  xlib.XSync(xDisplay, False);
  XEvent ev;
  while (xlib.XCheckIfEvent(
      xDisplay, &ev, [](Display*, XEvent* e, XPointer) -> Bool { return IsInputEvent(*e); },
      nullptr)) {
  }
}

int PumpDisplayEvents(int timeoutMs) {
  int count = 0;
  for (;;) {
    XEvent ev;
    X11Surface* target = nullptr;
    std::vector<DisplayEvent> out;
    {
      std::unique_lock lock(xMutex);
      if (!xDisplay) return count;
      if (!xlib.XPending(xDisplay)) {
        if (timeoutMs <= 0 || count > 0) return count;
        pollfd p{ConnectionNumber(xDisplay), POLLIN, 0};
        lock.unlock();
        int r = poll(&p, 1, timeoutMs);
        lock.lock();
        timeoutMs = 0;
        // XPending reads the connection, so a server gone away is noticed here.
        if (r <= 0 || !xlib.XPending(xDisplay)) return count;
      }
      xlib.XNextEvent(xDisplay, &ev);
      // What the input method takes (a dead key) comes back as the text it makes.
      if (xlib.XFilterEvent(&ev, None)) continue;
      if (ev.type == SelectionRequest) {
        AnswerSelectionRequest(ev.xselectionrequest);
        continue;
      }
      if (ev.type == SelectionClear && ev.xselectionclear.window == clipboardOwner) {
        clipboardText.clear();
        continue;
      }
      auto it = Windows().find(ev.xany.window);
      if (it == Windows().end()) continue;
      target = it->second;
      DisplayEvent e;
      switch (ev.type) {
        case Expose:
          e.kind = DisplayEvent::Exposed;
          e.area = RECT{ev.xexpose.x, ev.xexpose.y, ev.xexpose.x + ev.xexpose.width,
                        ev.xexpose.y + ev.xexpose.height};
          out.push_back(e);
          break;
        case ConfigureNotify: {
          if (target->SizeChanged(ev.xconfigure.width, ev.xconfigure.height)) {
            e.kind = DisplayEvent::Resized;
            e.x = ev.xconfigure.width, e.y = ev.xconfigure.height;
            out.push_back(e);
          }
          POINT p;
          if (target->PositionChanged(&p)) {
            DisplayEvent m;
            m.kind = DisplayEvent::Moved;
            m.x = p.x, m.y = p.y;
            out.push_back(m);
          }
          break;
        }
        case MapNotify:
          target->Mapped(true);
          e.kind = DisplayEvent::Mapped;
          out.push_back(e);
          break;
        case UnmapNotify:
          target->Mapped(false);
          break;
        case MotionNotify: {
          // Only the latest position of a run of moves matters.
          XEvent next;
          if (xlib.XPending(xDisplay) &&
              (xlib.XPeekEvent(xDisplay, &next), next.type == MotionNotify) &&
              next.xmotion.window == ev.xmotion.window)
            continue;
          e.kind = DisplayEvent::MouseMove;
          e.x = ev.xmotion.x, e.y = ev.xmotion.y, e.shift = ShiftState(ev.xmotion.state);
          out.push_back(e);
          break;
        }
        case LeaveNotify:
          if (ev.xcrossing.mode != NotifyNormal || ev.xcrossing.detail == NotifyInferior) continue;
          e.kind = DisplayEvent::MouseLeave;
          out.push_back(e);
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
          out.push_back(e);
          break;
        case KeyPress:
        case KeyRelease: {
          KeySym sym = 0;
          std::string text;
          if (ev.type == KeyPress) {
            text = target->TypedText(&ev.xkey, &sym);
          } else {
            char buf[16];
            xlib.XLookupString(&ev.xkey, buf, sizeof buf, &sym, nullptr);
          }
          e.kind = ev.type == KeyPress ? DisplayEvent::KeyDown : DisplayEvent::KeyUp;
          e.key = VirtualKey(sym);
          e.shift = ShiftState(ev.xkey.state);
          // A composed character comes alone (no key of its own).
          if (e.key || ev.xkey.keycode) out.push_back(e);
          if (!text.empty()) {
            DisplayEvent c;
            c.kind = DisplayEvent::Char;
            c.text = text;
            c.shift = e.shift;
            out.push_back(c);
          }
          break;
        }
        case ClientMessage:
          if (ev.xclient.message_type != atoms.wmProtocols ||
              Atom(ev.xclient.data.l[0]) != atoms.wmDelete)
            continue;
          e.kind = DisplayEvent::CloseRequest;
          out.push_back(e);
          break;
        case FocusIn:
          if (ev.xfocus.mode != NotifyNormal && ev.xfocus.mode != NotifyWhileGrabbed) continue;
          target->FollowFocus(true);
          e.kind = DisplayEvent::GotFocus;
          out.push_back(e);
          break;
        case FocusOut:
          if (ev.xfocus.mode != NotifyNormal && ev.xfocus.mode != NotifyWhileGrabbed) continue;
          target->FollowFocus(false);
          e.kind = DisplayEvent::LostFocus;
          out.push_back(e);
          break;
        default:
          continue;
      }
    }
    // A handler may free the surface: look it up again before each event.
    for (auto& e : out) {
      {
        std::lock_guard lock(xMutex);
        auto it = Windows().find(ev.xany.window);
        if (it == Windows().end() || it->second != target) break;
      }
      target->Dispatch(e);
      ++count;
    }
  }
}

bool SetX11Clipboard(const std::string& utf8) {
  std::lock_guard lock(xMutex);
  Display* d = Connection();
  if (!d) return false;
  if (!clipboardOwner) {
    XSetWindowAttributes a{};
    a.override_redirect = True;
    clipboardOwner =
        xlib.XCreateWindow(d, RootWindow(d, DefaultScreen(d)), -10, -10, 1, 1, 0, CopyFromParent,
                           InputOutput, CopyFromParent, CWOverrideRedirect, &a);
  }
  clipboardText = utf8;
  xlib.XSetSelectionOwner(d, atoms.clipboard, clipboardOwner, CurrentTime);
  xlib.XFlush(d);
  return true;
}

bool ReadBackX11(const DisplaySurface& s, Surface& out) {
  if (!s.IsX11()) return false;
  std::lock_guard lock(xMutex);
  Window w = Window(s.NativeWindow());
  XWindowAttributes a;
  if (!xlib.XGetWindowAttributes(xDisplay, w, &a)) return false;
  XImage* img =
      xlib.XGetImage(xDisplay, w, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
  if (!img) return false;
  out = Surface(a.width, a.height);
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      out.Row(y)[x] = std::uint32_t(XGetPixel(img, x, y)) & 0xFFFFFF;
  XDestroyImage(img);
  return true;
}

}  // namespace win
