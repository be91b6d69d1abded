#pragma once
// The hint window: a borderless popup that shows a control's hint while the mouse rests on
// it. The application makes it from HintWindowClass, so a library may replace its look.
#include <string>

#include "platform/forms/Forms.h"
#include "platform/forms/graphics/Gdi.h"

namespace win {
inline constexpr DWORD WS_POPUP = 0x80000000, WS_BORDER = 0x00800000;
inline constexpr UINT CS_SAVEBITS = 0x0800;
inline constexpr UINT WM_NCHITTEST = 0x0084, WM_MBUTTONDBLCLK = 0x0209, WM_KEYFIRST = 0x0100,
                      WM_KEYLAST = 0x0108;
inline constexpr LRESULT HTTRANSPARENT = -1;
inline constexpr UINT CM_APPSYSCOMMAND = CM_BASE + 23;
}  // namespace win

// The window's creation parameters (style bits and class style).
struct TCreateParams {
  win::DWORD Style = 0;
  win::DWORD ExStyle = 0;
  win::UINT WindowClassStyle = 0;
};

class THintWindow : public TCustomControl {
  WI_CLASS(THintWindow, TCustomControl)
 public:
  explicit THintWindow(TComponent* owner);
  ~THintWindow() override;
  // Shows the hint in rect (screen coordinates).
  virtual void ActivateHint(const win::RECT& rect, const std::string& hint);
  // The rectangle the hint needs, at (0, 0).
  virtual win::RECT CalcHintRect(int maxWidth, const std::string& hint);
  // Whether the message hides the hint (keys, clicks, activation).
  virtual bool IsHintMsg(const TMessage& msg);
  virtual void CreateParams(TCreateParams& params);
  // Hides the window.
  virtual void ReleaseHandle() { Hide(); }
  TCreateParams Params() {
    TCreateParams p;
    CreateParams(p);
    return p;
  }
  // Paints the window onto s (resized to the window): what the screen would show.
  void PaintTo(win::Surface& s);
  // The same on a ground of another colour: what a paint leaves alone is not the window's.
  void PaintTo(win::Surface& s, std::uint32_t ground);

 protected:
  void Paint() override;
};

// The point of a control's client area in screen coordinates.
win::POINT ControlToScreen(const TControl* c, win::POINT p);
