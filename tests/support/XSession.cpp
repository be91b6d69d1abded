#include "tests/support/XSession.h"

// The toolkit's headers first: Xlib's macros would break them.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "platform/forms/graphics/ImageFiles.h"

extern char** environ;

namespace xsession {
namespace {

using Clock = std::chrono::steady_clock;

Display* D(void* p) { return static_cast<Display*>(p); }

// withParent: the child is stopped when this process ends, however it ends.
pid_t Spawn(const std::vector<std::string>& args, const std::string& display, int keepFd = -1,
            bool withParent = false) {
  const pid_t parent = getpid();
  pid_t pid = fork();
  if (pid != 0) return pid;
  if (withParent && (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent)) _exit(0);
  int null = open("/dev/null", O_RDWR);
  dup2(null, 0), dup2(null, 1), dup2(null, 2);
  for (int fd = 3; fd < 256; ++fd)
    if (fd != keepFd) close(fd);
  if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

void Stop(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) {
      pid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  pid = -1;
}

bool OnPath(const char* program) {
  return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Every window below `w`, depth first.
void Walk(Display* d, Window w, const std::function<void(Window)>& f) {
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &n)) return;
  for (unsigned i = 0; i < n; ++i) {
    f(children[i]);
    Walk(d, children[i], f);
  }
  if (children) XFree(children);
}

std::string TextProperty(Display* d, Window w, Atom a) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, a, 0, 1024, False, AnyPropertyType, &type, &format, &count, &after,
                         &data) != Success ||
      !data)
    return {};
  std::string s(reinterpret_cast<char*>(data), count);
  XFree(data);
  return s;
}

bool Viewable(Display* d, Window w) {
  XWindowAttributes wa;
  return XGetWindowAttributes(d, w, &wa) && wa.map_state == IsViewable;
}

}  // namespace

bool HaveXvfb() { return OnPath("Xvfb"); }
bool HaveWindowManager() { return OnPath("openbox"); }

XServer::XServer(bool withWindowManager, int width, int height, int depth) {
  StartServer(width, height, depth);
  if (withWindowManager && !display_.empty() && !StartWindowManager()) display_.clear();
}

XServer::XServer(int width, int height, bool endsWithProcess) : endsWithProcess_(endsWithProcess) {
  StartServer(width, height);
}

XServer& XServer::ForThisProcess(bool withWindowManager) {
  static XServer* server = new XServer(1024, 768, true);  // never destroyed: see above
  if (server->display_.empty()) return *server;
  if (!withWindowManager) {
    Stop(server->wm_);
  } else if (server->wm_ <= 0 && !server->StartWindowManager()) {
    Stop(server->wm_);
    static XServer failed(0, 0, true);  // no display, for the caller to report
    return failed;
  }
  server->UseInThisProcess();
  return *server;
}

void XServer::StartServer(int width, int height, int depth) {
  if (width <= 0) return;
  int fds[2];
  if (pipe(fds) != 0) return;
  std::string screen =
      std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
  xvfb_ = Spawn(
      {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp"},
      "", fds[1], endsWithProcess_);
  close(fds[1]);
  // The server writes its display number once it accepts clients.
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  for (auto until = Clock::now() + std::chrono::seconds(30);
       Clock::now() < until && number.find('\n') == std::string::npos;) {
    if (poll(&p, 1, 200) <= 0) continue;
    char buf[16];
    ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    number.append(buf, size_t(n));
  }
  close(fds[0]);
  if (number.find('\n') == std::string::npos) return;
  display_ = ":" + number.substr(0, number.find('\n'));
}

bool XServer::StartWindowManager() {
  wm_ = Spawn({"openbox", "--sm-disable", "--debug"}, display_, -1, endsWithProcess_);
  // Ready once it announces itself on the root window.
  ::Display* d = XOpenDisplay(display_.c_str());
  if (!d) return false;
  Window probe = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
  Atom wmState = XInternAtom(d, "WM_STATE", False);
  bool ready = false;
  for (auto until = Clock::now() + std::chrono::seconds(30); !ready && Clock::now() < until;) {
    XMapWindow(d, probe);
    XSync(d, False);
    ready = !TextProperty(d, probe, wmState).empty();
    if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  XDestroyWindow(d, probe);
  XCloseDisplay(d);
  return ready;
}

XServer::~XServer() {
  Stop(wm_);
  Stop(xvfb_);
}

bool XServer::UseInThisProcess() const {
  if (display_.empty()) return false;
  setenv("DISPLAY", display_.c_str(), 1);
  unsetenv("WI_HEADLESS");
  return true;
}

void XServer::Kill() {
  if (xvfb_ > 0) {
    kill(xvfb_, SIGKILL);
    waitpid(xvfb_, nullptr, 0);
    xvfb_ = -1;
  }
  Stop(wm_);
}

bool XClient::Open(const std::string& display) {
  Close();
  // Windows come and go while the person looks at them: a request on one just gone fails,
  // which is no reason to end the test.
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  dpy_ = XOpenDisplay(display.c_str());
  int ev, err, major, minor;
  if (dpy_ && !XTestQueryExtension(D(dpy_), &ev, &err, &major, &minor)) Close();
  return dpy_ != nullptr;
}

void XClient::Close() {
  if (dpy_) XCloseDisplay(D(dpy_));
  dpy_ = nullptr;
}

unsigned long XClient::FindWindow(const std::string& title) {
  Display* d = D(dpy_);
  Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
  unsigned long found = 0;
  Walk(d, DefaultRootWindow(d), [&](Window w) {
    if (found || !Viewable(d, w)) return;
    std::string name = TextProperty(d, w, netName);
    if (name.empty()) name = TextProperty(d, w, XA_WM_NAME);
    if (name == title && TextProperty(d, w, XInternAtom(d, "WM_CLASS", False)).size()) found = w;
  });
  return found;
}

unsigned long XClient::WaitForWindow(const std::string& title, int seconds) {
  for (auto until = Clock::now() + std::chrono::seconds(seconds); Clock::now() < until;) {
    if (unsigned long w = FindWindow(title)) return w;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return 0;
}

bool XClient::WaitUntilGone(unsigned long window, int seconds) {
  for (auto until = Clock::now() + std::chrono::seconds(seconds); Clock::now() < until;) {
    if (!Viewable(D(dpy_), Window(window))) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

bool XClient::RootPosition(unsigned long window, int* x, int* y) {
  Window child;
  return XTranslateCoordinates(D(dpy_), Window(window), DefaultRootWindow(D(dpy_)), 0, 0, x, y,
                               &child);
}

void XClient::MoveTo(unsigned long window, int x, int y) {
  int rx = 0, ry = 0;
  RootPosition(window, &rx, &ry);
  XTestFakeMotionEvent(D(dpy_), DefaultScreen(D(dpy_)), rx + x, ry + y, CurrentTime);
  XSync(D(dpy_), False);
}

void XClient::Click(unsigned long window, int x, int y) {
  MoveTo(window, x, y);
  XTestFakeButtonEvent(D(dpy_), 1, True, CurrentTime);
  XTestFakeButtonEvent(D(dpy_), 1, False, CurrentTime);
  XSync(D(dpy_), False);
}

void XClient::Button(int button, bool down) {
  XTestFakeButtonEvent(D(dpy_), unsigned(button), down ? True : False, CurrentTime);
  XSync(D(dpy_), False);
}

void XClient::Key(const std::string& keysym, const std::string& modifiers) {
  Display* d = D(dpy_);
  std::vector<KeyCode> held;
  const std::pair<const char*, const char*> keys[] = {{"shift", "Shift_L"},
                                                      {"alt", "Alt_L"},
                                                      {"control", "Control_L"},
                                                      {"altgr", "ISO_Level3_Shift"}};
  std::string rest = modifiers;
  while (!rest.empty()) {
    std::string name = rest.substr(0, rest.find('+'));
    rest = rest.size() > name.size() ? rest.substr(name.size() + 1) : "";
    for (auto& [m, sym] : keys)
      if (name == m) held.push_back(XKeysymToKeycode(d, XStringToKeysym(sym)));
  }
  KeyCode code = XKeysymToKeycode(d, XStringToKeysym(keysym.c_str()));
  for (KeyCode k : held) XTestFakeKeyEvent(d, k, True, CurrentTime);
  XTestFakeKeyEvent(d, code, True, CurrentTime);
  XTestFakeKeyEvent(d, code, False, CurrentTime);
  for (auto it = held.rbegin(); it != held.rend(); ++it)
    XTestFakeKeyEvent(d, *it, False, CurrentTime);
  XSync(d, False);
}

void XClient::RepeatKeys(int delayMs, int intervalMs) {
  XkbSetAutoRepeatRate(D(dpy_), XkbUseCoreKbd, unsigned(delayMs), unsigned(intervalMs));
  XSync(D(dpy_), False);
}

void XClient::Press(const std::string& keysym, bool down) {
  Display* d = D(dpy_);
  XTestFakeKeyEvent(d, XKeysymToKeycode(d, XStringToKeysym(keysym.c_str())), down ? True : False,
                    CurrentTime);
  XSync(d, False);
}

void XClient::Type(const std::string& text) {
  for (char c : text) {
    std::string name(1, c);
    if (c == ' ') name = "space";
    bool upper = c >= 'A' && c <= 'Z';
    Key(name, upper ? "shift" : "");
  }
}

void XClient::Sync() { XSync(D(dpy_), False); }

unsigned long XClient::Root() { return DefaultRootWindow(D(dpy_)); }

void XClient::Cover(unsigned long window) {
  Display* d = D(dpy_);
  XWindowAttributes wa;
  int x = 0, y = 0;
  if (!XGetWindowAttributes(d, Window(window), &wa) || !RootPosition(window, &x, &y)) return;
  XSetWindowAttributes a{};
  a.override_redirect = True;
  a.background_pixel = BlackPixel(d, DefaultScreen(d));
  Window cover = XCreateWindow(d, DefaultRootWindow(d), x, y, unsigned(wa.width),
                               unsigned(wa.height), 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWOverrideRedirect | CWBackPixel, &a);
  XMapRaised(d, cover);
  XSync(d, False);
  for (auto until = Clock::now() + std::chrono::seconds(5);
       !Viewable(d, cover) && Clock::now() < until;)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  XDestroyWindow(d, cover);
  XSync(d, False);
}

Picture XClient::Grab(unsigned long window) {
  Picture p;
  XWindowAttributes wa;
  if (!XGetWindowAttributes(D(dpy_), Window(window), &wa)) return p;
  XImage* img = XGetImage(D(dpy_), Window(window), 0, 0, unsigned(wa.width), unsigned(wa.height),
                          AllPlanes, ZPixmap);
  if (!img) return p;
  p.width = wa.width, p.height = wa.height;
  p.pixels.resize(std::size_t(wa.width) * std::size_t(wa.height));
  for (int y = 0; y < wa.height; ++y)
    for (int x = 0; x < wa.width; ++x)
      p.pixels[std::size_t(y) * std::size_t(wa.width) + std::size_t(x)] =
          std::uint32_t(XGetPixel(img, x, y) & 0xFFFFFF);
  XDestroyImage(img);
  return p;
}

std::string XClient::Property(unsigned long window, const std::string& name) {
  return TextProperty(D(dpy_), Window(window), XInternAtom(D(dpy_), name.c_str(), False));
}

bool XClient::Class(unsigned long window, std::string* instance, std::string* cls) {
  XClassHint ch{};
  if (!XGetClassHint(D(dpy_), Window(window), &ch)) return false;
  *instance = ch.res_name ? ch.res_name : "";
  *cls = ch.res_class ? ch.res_class : "";
  if (ch.res_name) XFree(ch.res_name);
  if (ch.res_class) XFree(ch.res_class);
  return true;
}

unsigned long XClient::TransientFor(unsigned long window) {
  Window owner = 0;
  if (!XGetTransientForHint(D(dpy_), Window(window), &owner)) return 0;
  return owner;
}

bool XClient::SizeHints(unsigned long window, int* minW, int* minH, int* maxW, int* maxH) {
  XSizeHints sh{};
  long supplied = 0;
  if (!XGetWMNormalHints(D(dpy_), Window(window), &sh, &supplied)) return false;
  *minW = sh.flags & PMinSize ? sh.min_width : 0;
  *minH = sh.flags & PMinSize ? sh.min_height : 0;
  *maxW = sh.flags & PMaxSize ? sh.max_width : 0;
  *maxH = sh.flags & PMaxSize ? sh.max_height : 0;
  return true;
}

bool XClient::OverrideRedirect(unsigned long window) {
  XWindowAttributes wa;
  return XGetWindowAttributes(D(dpy_), Window(window), &wa) && wa.override_redirect;
}

unsigned long XClient::TopLevel(unsigned long window) {
  Display* d = D(dpy_);
  Window w = Window(window);
  for (;;) {
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &n)) return w;
    if (children) XFree(children);
    if (parent == root) return w;
    w = parent;
  }
}

bool XClient::IsAbove(unsigned long a, unsigned long b) {
  Display* d = D(dpy_);
  Window ta = TopLevel(a), tb = TopLevel(b);
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) return false;
  int ia = -1, ib = -1;  // bottom to top
  for (unsigned i = 0; i < n; ++i) {
    if (children[i] == ta) ia = int(i);
    if (children[i] == tb) ib = int(i);
  }
  if (children) XFree(children);
  return ia >= 0 && ib >= 0 && ia > ib;
}

unsigned long XClient::FocusWindow() {
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(D(dpy_), &focus, &revert);
  if (focus <= PointerRoot) return 0;
  // A window manager may focus its frame: the client inside with a WM_CLASS is meant.
  Display* d = D(dpy_);
  if (!TextProperty(d, focus, XInternAtom(d, "WM_CLASS", False)).empty()) return focus;
  unsigned long client = 0;
  Walk(d, focus, [&](Window w) {
    if (!client && !TextProperty(d, w, XInternAtom(d, "WM_CLASS", False)).empty()) client = w;
  });
  return client ? client : focus;
}

bool XClient::ClickCloseBox(unsigned long window) {
  Display* d = D(dpy_);
  // The rightmost small square button above the client area, or none.
  auto closeBox = [&](int* bx, int* by, int* size) {
    int cx = 0, cy = 0;
    if (!RootPosition(window, &cx, &cy)) return false;
    Window frame = Window(TopLevel(window));
    if (frame == Window(window)) return false;
    *bx = -1;
    Walk(d, frame, [&](Window w) {
      XWindowAttributes wa;
      if (!XGetWindowAttributes(d, w, &wa) || wa.map_state != IsViewable ||
          wa.c_class != InputOutput)
        return;
      int x = 0, y = 0;
      Window child;
      XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child);
      if (wa.width < 8 || wa.width > 40 || std::abs(wa.width - wa.height) > 4 || y + wa.height > cy)
        return;
      if (x > *bx) *bx = x, *by = y, *size = wa.width;
    });
    return *bx >= 0;
  };
  // A loaded machine shows the window before its manager has finished its frame: the button
  // is taken once the manager has told the frame's extents and two looks agree.
  const Atom extents = XInternAtom(d, "_NET_FRAME_EXTENTS", False);
  int bestX = -1, bestY = 0, bestSize = 0;
  for (auto until = Clock::now() + std::chrono::seconds(5); Clock::now() < until;) {
    int x = -1, y = 0, size = 0;
    if (!TextProperty(d, Window(window), extents).empty() && closeBox(&x, &y, &size)) {
      if (x == bestX && y == bestY && size == bestSize) break;
      bestX = x, bestY = y, bestSize = size;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (bestX < 0) return false;
  XTestFakeMotionEvent(d, DefaultScreen(d), bestX + bestSize / 2, bestY + bestSize / 2,
                       CurrentTime);
  XTestFakeButtonEvent(d, 1, True, CurrentTime);
  XTestFakeButtonEvent(d, 1, False, CurrentTime);
  XSync(d, False);
  return true;
}

std::vector<unsigned long> XClient::Popups() {
  Display* d = D(dpy_);
  std::vector<unsigned long> out;
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) return out;
  for (unsigned i = 0; i < n; ++i) {
    XWindowAttributes wa;
    // (A window manager keeps tiny ones of its own.)
    if (XGetWindowAttributes(d, children[i], &wa) && wa.map_state == IsViewable &&
        wa.override_redirect && wa.c_class == InputOutput && wa.width > 1 && wa.height > 1)
      out.push_back(children[i]);
  }
  if (children) XFree(children);
  return out;
}

namespace {
int Diff(const Picture& shot, const Picture& expected, int ox, int oy) {
  if (shot.width <= 0 || shot.width + ox > expected.width || shot.height + oy > expected.height)
    return std::max(1, shot.width * shot.height);
  int diff = 0;
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x)
      diff += shot.At(x, y) != (expected.At(ox + x, oy + y) & 0xFFFFFF);
  return diff;
}
}  // namespace

int PictureDiff(XClient& x, unsigned long window, const Picture& expected, int ox, int oy) {
  return Diff(x.Grab(window), expected, ox, oy);
}

int WaitForPicture(XClient& x, unsigned long window, const Picture& expected, int ox, int oy,
                   int seconds, const std::string& dumpPrefix) {
  int diff = -1;
  Picture shot;
  auto until = Clock::now() + std::chrono::seconds(seconds);
  do {
    shot = x.Grab(window);
    diff = Diff(shot, expected, ox, oy);
    if (diff == 0) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  } while (Clock::now() < until);
  if (!dumpPrefix.empty() && shot.width > 0) {
    auto save = [](const Picture& p, const std::string& file) {
      win::Surface s(p.width, p.height);
      for (int y = 0; y < p.height; ++y)
        for (int x0 = 0; x0 < p.width; ++x0) s.Row(y)[x0] = p.At(x0, y);
      win::SavePng(s, file);
    };
    save(shot, dumpPrefix + "-screen.png");
    save(expected, dumpPrefix + "-expected.png");
  }
  return diff;
}

pid_t StartProgram(const std::string& program, const std::string& display, const std::string& pc,
                   const std::vector<std::string>& extraEnv, const std::string& outFile,
                   const std::string& errFile) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string v = *e;
    std::string name = v.substr(0, v.find('='));
    if (name != "DISPLAY" && name != "WI_HEADLESS" && name != "WI_SNAPSHOT_DIR" &&
        name != "WINPC" && name != "WI_UI_SCRIPT")
      env.push_back(v);
  }
  env.push_back("DISPLAY=" + display);
  env.push_back("WINPC=" + pc);
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> envp;
  envp.reserve(env.size() + 1);
  for (auto& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::string path = program;
  pid_t child = fork();
  if (child == 0) {
    int e = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int o = outFile.empty() ? e : open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(o, 1), dup2(e, 2);
    char* argv[] = {path.data(), nullptr};
    execve(path.c_str(), argv, envp.data());
    _exit(127);
  }
  return child;
}

int WaitForExit(pid_t& pid, int seconds) {
  for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
       std::chrono::steady_clock::now() < until;) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      pid = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return -1;
}

}  // namespace xsession
