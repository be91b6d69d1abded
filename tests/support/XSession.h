#pragma once
// A display for the tests, and the person in front of it: an Xvfb server of the test's own
// (on the first free display, found through -displayfd), optionally a window manager on it,
// and a second X client that clicks, types and looks at windows the way a person does
// (XTest input through the server, so what lies on top receives it). Kept apart from the
// toolkit's headers because Xlib's macros clash with the toolkit's names.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace xsession {

bool HaveXvfb();
bool HaveWindowManager();

// Starts a program on `display` as a person starts it: the test's environment without its
// display, PC and UI-script settings, then WINPC=`pc` and `extraEnv`; stdout goes to `outFile`
// (to `errFile` when empty), stderr to `errFile`. The child's pid.
pid_t StartProgram(const std::string& program, const std::string& display, const std::string& pc,
                   const std::vector<std::string>& extraEnv, const std::string& outFile,
                   const std::string& errFile);
// The program's exit code (128 + the signal when one ended it), or -1 while it still runs
// after `seconds`; pid becomes -1 once it has ended.
int WaitForExit(pid_t& pid, int seconds);

// An Xvfb server, and the window manager when asked for one; both stop with the object.
class XServer {
 public:
  explicit XServer(bool withWindowManager = false, int width = 1024, int height = 768,
                   int depth = 24);
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;
  // The server of this process's own windows, already in use (UseInThisProcess). The toolkit
  // keeps its one display connection for the life of the process, so every test showing
  // windows in-process shares this server, which must outlive them all: it starts on first
  // use, runs the window manager only while a test asks for one, and ends with the process.
  // Display() is empty when it could not start.
  static XServer& ForThisProcess(bool withWindowManager = false);
  // ":N", or empty when the server (or the window manager) did not start.
  const std::string& Display() const { return display_; }
  // The server goes away at once, as if it crashed.
  void Kill();
  // Points this process's windows at the server (DISPLAY set, headless mode off); false when
  // the server did not start.
  bool UseInThisProcess() const;

 private:
  XServer(int width, int height, bool endsWithProcess);
  void StartServer(int width, int height, int depth = 24);
  bool StartWindowManager();
  pid_t xvfb_ = -1, wm_ = -1;
  bool endsWithProcess_ = false;
  std::string display_;
};

// Pixels as the screen shows them: 0x00RRGGBB rows, top to bottom.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const {
    return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
  }
};

class XClient {
 public:
  XClient() = default;
  ~XClient() { Close(); }
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;
  bool Open(const std::string& display);
  void Close();

  // A viewable client window with this title (_NET_WM_NAME, else WM_NAME), at any depth
  // (a window manager puts clients inside its frames); 0 when there is none.
  unsigned long FindWindow(const std::string& title);
  // Waits for it; 0 after `seconds`.
  unsigned long WaitForWindow(const std::string& title, int seconds = 20);
  // Waits until the window is no longer viewable (or gone); false after `seconds`.
  bool WaitUntilGone(unsigned long window, int seconds = 20);

  // The pointer moves to (x, y) of the window's client area; the server sends the moves
  // and enter/leave events to what lies there.
  void MoveTo(unsigned long window, int x, int y);
  // Presses and releases the left button there.
  void Click(unsigned long window, int x, int y);
  // Presses (down) or releases a button where the pointer is: 1 the left one, 4 and 5 the
  // wheel turned away from and towards the person.
  void Button(int button, bool down);
  // Presses and releases a key by its keysym name ("Return", "Escape", "Tab", "n"...), with
  // "shift", "alt", "control" or "altgr" held when named in `modifiers` ("alt",
  // "shift+control").
  void Key(const std::string& keysym, const std::string& modifiers = "");
  // How a held key repeats: first after delayMs, then every intervalMs.
  void RepeatKeys(int delayMs, int intervalMs);
  // Presses (down) or releases one key alone.
  void Press(const std::string& keysym, bool down);
  // Types plain ASCII text.
  void Type(const std::string& text);
  // Waits until the server has handled everything sent so far.
  void Sync();

  // Covers the window's client area with a window of the person's own, above it, and takes
  // it away again: what lay under it is uncovered.
  void Cover(unsigned long window);

  Picture Grab(unsigned long window);
  // The screen's root window (Grab of it: what the screen shows).
  unsigned long Root();
  // Where the window's client area lies on the screen.
  bool RootPosition(unsigned long window, int* x, int* y);
  // Text properties (_NET_WM_NAME: UTF-8; WM_NAME: Latin-1 as stored).
  std::string Property(unsigned long window, const std::string& name);
  // WM_CLASS: instance and class.
  bool Class(unsigned long window, std::string* instance, std::string* cls);
  unsigned long TransientFor(unsigned long window);
  // WM_NORMAL_HINTS' minimum and maximum size (0 when unset).
  bool SizeHints(unsigned long window, int* minW, int* minH, int* maxW, int* maxH);
  // True when the override-redirect flag is set.
  bool OverrideRedirect(unsigned long window);
  // True when a's top-level frame lies above b's in the stacking order.
  bool IsAbove(unsigned long a, unsigned long b);
  // The client window holding the keyboard focus (the focus window or its client inside).
  unsigned long FocusWindow();
  // Clicks the window manager's close box of the window (the rightmost small button of its
  // title bar); false when none is found.
  bool ClickCloseBox(unsigned long window);
  // Viewable override-redirect windows of the screen (hints, popups).
  std::vector<unsigned long> Popups();

 private:
  unsigned long TopLevel(unsigned long window);
  void* dpy_ = nullptr;
};

// The number of pixels where the window differs from `expected` (from ox, oy on).
int PictureDiff(XClient& x, unsigned long window, const Picture& expected, int ox, int oy);

// Waits until the window shows `expected` from (ox, oy) on, over the window's size; returns
// the number of differing pixels of the last look (0: equal). On a difference both pictures
// are saved as PNG under `dumpPrefix` (-screen.png, -expected.png) when it is not empty.
int WaitForPicture(XClient& x, unsigned long window, const Picture& expected, int ox, int oy,
                   int seconds, const std::string& dumpPrefix = "");

}  // namespace xsession
