#pragma once
// Where a window's pixels go: a real X11 window, or (headless) nowhere but an optional PNG
// snapshot per window in the folder named by WI_SNAPSHOT_DIR.
//
// Event interface for the message loop: the toolkit gives each surface an IDisplayEvents
// and calls PumpDisplayEvents (or polls DisplayConnectionFd) from its loop; the surface
// reports mouse and keyboard input, exposure, moves and resizes and close requests in window
// client coordinates. Key codes are virtual-key codes (VK_ values); characters come
// separately as UTF-8 text, as WM_CHAR follows WM_KEYDOWN.
//
// A lost X server (killed, connection closed) ends the process at once: a clear message on
// stderr and exit code 1. Nothing is left half-done by it, since the program only talks to
// the server between its own calls.
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/graphics/Gdi.h"

namespace win {

struct DisplayEvent {
  enum Kind {
    MouseMove,
    MouseDown,
    MouseUp,
    MouseWheel,
    KeyDown,
    KeyUp,
    Char,
    Exposed,
    Resized,
    CloseRequest,
    GotFocus,
    LostFocus,
    MouseLeave,
    Mapped,
    Moved
  };
  Kind kind = MouseMove;
  int x = 0, y = 0;    // mouse position; Resized: new width and height; Moved: the client
                       // area's top-left on the screen
  int button = 0;      // 1 left, 2 middle, 3 right
  int wheelDelta = 0;  // multiples of 120, positive away from the user
  UINT key = 0;        // virtual-key code
  UINT shift =
      0;  // MK_SHIFT 4, MK_CONTROL 8, MK_LBUTTON 1, MK_RBUTTON 2, MK_MBUTTON 0x10; Alt: 0x20
  std::string text;  // Char: the character typed
  RECT area;         // Exposed: the area to repaint
  // True for what a person does (mouse, keys, the close box); the rest is the window's life.
  bool IsInput() const { return kind <= Char || kind == CloseRequest || kind == MouseLeave; }
};

class DisplaySurface;
class IDisplayEvents {
 public:
  virtual ~IDisplayEvents() = default;
  virtual void OnDisplayEvent(DisplaySurface& surface, const DisplayEvent& e) = 0;
};

class DisplaySurface {
 public:
  virtual ~DisplaySurface() = default;
  // Shows the pixels (the whole surface, or the dirty part of it).
  virtual void Present(const Surface& pixels, const RECT* dirty = nullptr) = 0;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetBounds(int x, int y, int w, int h) = 0;
  virtual void Show(bool visible) = 0;
  virtual bool IsX11() const = 0;
  virtual unsigned long NativeWindow() const { return 0; }
  // The hourglass over the window (or the normal arrow).
  virtual void SetBusyCursor(bool) {}
  // Gives the window the keyboard focus (and asks the window manager to activate it).
  virtual void Focus() {}
  // True once the window is on the screen (mapped by the server, framed by a window manager).
  virtual bool Viewable() const { return false; }
  // The window's outline, as rectangles of its area (a window region on Windows); empty: the
  // whole rectangle.
  virtual void SetShape(const std::vector<RECT>&) {}
};

// How a top-level window presents itself to the window manager.
struct X11WindowOptions {
  std::string title;                        // UTF-8: _NET_WM_NAME, and WM_NAME
  std::string className;                    // WM_CLASS (instance and class name)
  int x = 0, y = 0, width = 1, height = 1;  // the client area, in screen coordinates
  bool placed = false;     // x, y chosen by the program; else the window manager places it
  bool fixedSize = false;  // the window manager offers no resizing
  bool popup = false;      // hints, balloons, menus: no frame, above the other windows
  bool dialog = false;     // a dialog window (with transientFor: kept above its owner)
  bool modal = false;      // a dialog that holds its owner until it is answered
  // What the window manager offers on the title bar.
  bool minimizable = true, maximizable = true, closable = true;
  unsigned long transientFor = 0;
  std::uint32_t background = 0xC0C0C0;  // shown where nothing was drawn yet
};

// An X11 window when a display can be opened (DISPLAY set, WI_HEADLESS unset), else a
// headless surface. `events` may be null and must outlive the surface.
std::unique_ptr<DisplaySurface> CreateDisplaySurface(const std::string& title, int x, int y, int w,
                                                     int h, IDisplayEvents* events);
// Headless: Present writes <title>.png into WI_SNAPSHOT_DIR (when set and the surface is
// shown), and beside it a numbered copy NNNN-<title>.png, numbered across every surface of
// the process after those already in the folder, so the folder keeps the run's story.
std::unique_ptr<DisplaySurface> CreateHeadlessSurface(const std::string& title,
                                                      IDisplayEvents* events);
// Null when no display can be opened.
std::unique_ptr<DisplaySurface> CreateX11Surface(const std::string& title, int x, int y, int w,
                                                 int h, IDisplayEvents* events);
std::unique_ptr<DisplaySurface> CreateX11Window(const X11WindowOptions& options,
                                                IDisplayEvents* events);
bool DisplayAvailable();
// The screen's size in pixels (false without a display).
bool DisplayScreenSize(int* width, int* height);
// Dispatches pending X11 events to their surfaces, waiting up to timeoutMs (0: no wait)
// for the first. Returns the number dispatched.
int PumpDisplayEvents(int timeoutMs);
// Throws away the mouse and keyboard input the server has sent so far and not yet handled
// (what a person did while the program was busy).
void DiscardPendingInput();
// The X11 connection's file descriptor, or -1 (for poll-based loops).
int DisplayConnectionFd();
// Makes the text (UTF-8) the desktop's clipboard (the CLIPBOARD selection), served while the
// program handles its events; false without a display.
bool SetX11Clipboard(const std::string& utf8);

// Reads back a window's pixels from the X server (tests).
bool ReadBackX11(const DisplaySurface& s, Surface& out);

}  // namespace win
