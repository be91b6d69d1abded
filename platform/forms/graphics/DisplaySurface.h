#pragma once
// Where a top-level window's pixels go: a real X11 window, or (headless) nowhere but an
// optional PNG snapshot per window in the folder named by WI_SNAPSHOT_DIR.
//
// Event interface for the message loop: the toolkit gives each surface an IDisplayEvents
// and calls PumpDisplayEvents (or polls DisplayConnectionFd) from its loop; the surface
// reports mouse and keyboard input, exposure, resizing and close requests in window
// client coordinates. Key codes are virtual-key codes (VK_ values); characters come
// separately as UTF-8 text, as WM_CHAR follows WM_KEYDOWN.
#include <memory>
#include <string>

#include "platform/forms/graphics/Gdi.h"

namespace win {

struct DisplayEvent {
  enum Kind { MouseMove, MouseDown, MouseUp, MouseWheel, KeyDown, KeyUp, Char, Exposed, Resized, CloseRequest, GotFocus, LostFocus };
  Kind kind = MouseMove;
  int x = 0, y = 0;           // mouse position; Resized: new width and height
  int button = 0;             // 1 left, 2 middle, 3 right
  int wheelDelta = 0;         // multiples of 120, positive away from the user
  UINT key = 0;               // virtual-key code
  UINT shift = 0;             // MK_SHIFT 4, MK_CONTROL 8, MK_LBUTTON 1, MK_RBUTTON 2, MK_MBUTTON 0x10; Alt: 0x20
  std::string text;           // Char: the character typed
  RECT area;                  // Exposed: the area to repaint
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
};

// An X11 window when a display can be opened (DISPLAY set, WI_HEADLESS unset), else a
// headless surface. `events` may be null and must outlive the surface.
std::unique_ptr<DisplaySurface> CreateDisplaySurface(const std::string& title, int x, int y, int w, int h,
                                                     IDisplayEvents* events);
std::unique_ptr<DisplaySurface> CreateHeadlessSurface(const std::string& title, IDisplayEvents* events);
// Null when no display can be opened.
std::unique_ptr<DisplaySurface> CreateX11Surface(const std::string& title, int x, int y, int w, int h,
                                                 IDisplayEvents* events);
bool DisplayAvailable();
// Dispatches pending X11 events to their surfaces, waiting up to timeoutMs (0: no wait)
// for the first. Returns the number dispatched.
int PumpDisplayEvents(int timeoutMs);
// The X11 connection's file descriptor, or -1 (for poll-based loops).
int DisplayConnectionFd();
// Reads back a window's pixels from the X server (tests).
bool ReadBackX11(const DisplaySurface& s, Surface& out);

}  // namespace win
