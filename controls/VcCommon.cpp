#include "controls/VcCommon.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstring>

#include "platform/system/SystemInfo.h"

// --- Shared types ----------------------------------------------------------------------------

const std::vector<std::string>& FrameStyleNames() {
  static const std::vector<std::string> names = {
      "fsNone",       "fsFlat",   "fsGroove",   "fsBump",   "fsLowered",
      "fsButtonDown", "fsRaised", "fsButtonUp", "fsStatus", "fsPopup"};
  return names;
}

const std::vector<std::string>& SideNames() {
  static const std::vector<std::string> names = {"sdLeft", "sdTop", "sdRight", "sdBottom"};
  return names;
}

TValue SidesToValue(TSides sides) {
  TValue v;
  v.kind = TValue::vSet;
  v.i = sides.Bits();
  const auto& names = SideNames();
  for (size_t i = 0; i < names.size(); ++i)
    if (sides.Bits() & (1u << i)) v.set.push_back(names[i]);
  return v;
}

TPropInfo& AboutProp(TPropList& p) {
  TPropInfo info;
  info.name = "About";
  info.kind = pkEnum;
  info.names = {"aiVisualControls"};
  info.def = TValue::Ident("aiVisualControls");
  info.get = [](TPersistent*) { return TValue::Ident("aiVisualControls"); };
  info.set = [](TPersistent*, const TValue&) {};
  info.stored = [](TPersistent*) { return false; };
  return p.Add(std::move(info));
}

// --- Colours -------------------------------------------------------------------------------------

namespace {

// Rounds halves to the even neighbour whatever the caller's rounding mode.
int RoundEven(double x) {
  int old = std::fegetround();
  std::fesetround(FE_TONEAREST);
  double r = std::nearbyint(x);
  std::fesetround(old);
  return int(r);
}

std::uint8_t ToByte(int v) { return std::uint8_t(std::clamp(v, 0, 255)); }

}  // namespace

void ColorToHSL(TColor color, std::uint8_t& hue, std::uint8_t& saturation,
                std::uint8_t& lightness) {
  win::COLORREF rgb = ColorToRGB(color);
  double r = (rgb & 0xFF) / 255.0, g = ((rgb >> 8) & 0xFF) / 255.0,
         b = ((rgb >> 16) & 0xFF) / 255.0;
  double mx = std::max({r, g, b}), mn = std::min({r, g, b});
  double l = (mx + mn) / 2, h = 0, s = 0;
  if (mx != mn) {
    double d = mx - mn;
    s = l < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
    if (r == mx)
      h = (g - b) / d;
    else if (g == mx)
      h = 2 + (b - r) / d;
    else
      h = 4 + (r - g) / d;
    h /= 6;
    if (h < 0) h += 1;
  }
  hue = ToByte(RoundEven(h * 240));
  saturation = ToByte(RoundEven(s * 240));
  lightness = ToByte(RoundEven(l * 240));
}

TColor HSLToColor(std::uint8_t hue, std::uint8_t saturation, std::uint8_t lightness) {
  double h = hue / 239.0, s = saturation / 240.0, l = lightness / 240.0;
  double m2 = l < 0.5 ? l * (1 + s) : l + s - l * s;
  if (m2 <= 0) return clBlack;
  double m1 = 2 * l - m2;
  int t = int(std::trunc(h * 6));
  double f = h * 6 - t;
  double rise = m1 + (m2 - m1) * f, fall = m2 - (m2 - m1) * f;
  double r, g, b;
  switch (t) {
    case 1:
      r = fall, g = m2, b = m1;
      break;
    case 2:
      r = m1, g = m2, b = rise;
      break;
    case 3:
      r = m1, g = fall, b = m2;
      break;
    case 4:
      r = rise, g = m1, b = m2;
      break;
    case 5:
      r = m2, g = m1, b = fall;
      break;
    default:
      r = m2, g = rise, b = m1;
      break;  // sector 0, and a hue of 239 or more
  }
  // Lightness above 240 pushes components past 1; they clamp to full.
  auto byte = [](double c) {
    return unsigned(std::clamp(RoundEven(std::min(c, 1.0) * 255), 0, 255));
  };
  return TColor(byte(r) | (byte(g) << 8) | (byte(b) << 16));
}

TColor ShadeColor(TColor color, int delta) {
  std::uint8_t h, s, l;
  ColorToHSL(color, h, s, l);
  int nl = delta < 0 ? MaxInt(l + delta, 0) : MinInt(l + delta, 255);
  return HSLToColor(h, s, std::uint8_t(nl));
}

// --- Frames --------------------------------------------------------------------------------------

TRect DrawSides(TCanvas* canvas, const TRect& rect, TColor upperLeft, TColor lowerRight,
                TSides sides) {
  TRect r = rect;
  canvas->Pen().SetColor(upperLeft);
  if (sides.Contains(sdLeft)) {
    canvas->MoveTo(r.left, r.top);
    canvas->LineTo(r.left, r.bottom);
  }
  if (sides.Contains(sdTop)) {
    canvas->MoveTo(r.left, r.top);
    canvas->LineTo(r.right, r.top);
  }
  canvas->Pen().SetColor(lowerRight);
  if (sides.Contains(sdRight)) {
    canvas->MoveTo(r.right - 1, r.top);
    canvas->LineTo(r.right - 1, r.bottom);
  }
  if (sides.Contains(sdBottom)) {
    canvas->MoveTo(r.left, r.bottom - 1);
    canvas->LineTo(r.right, r.bottom - 1);
  }
  if (sides.Contains(sdLeft)) ++r.left;
  if (sides.Contains(sdTop)) ++r.top;
  if (sides.Contains(sdRight)) --r.right;
  if (sides.Contains(sdBottom)) --r.bottom;
  return r;
}

TRect DrawBevel(TCanvas* canvas, const TRect& rect, TColor upperLeft, TColor lowerRight, int width,
                TSides sides) {
  canvas->Pen().SetWidth(1);
  TRect r = rect;
  for (int i = 0; i < width; ++i) r = DrawSides(canvas, r, upperLeft, lowerRight, sides);
  return r;
}

namespace {

// The etched line of fsGroove and fsBump: two one-pixel lines, the outer pair in A on the
// upper-left and B on the lower-right, with the corners where the two cross fixed up first.
TRect DrawEtched(TCanvas* canvas, const TRect& r, TColor a, TColor b, TSides sides) {
  bool L = sides.Contains(sdLeft), T = sides.Contains(sdTop), R = sides.Contains(sdRight),
       B = sides.Contains(sdBottom);
  if (R) canvas->SetPixels(r.right - 1, r.top, b);
  if (T && !R) canvas->SetPixels(r.right - 1, r.top, a);
  if (B) canvas->SetPixels(r.left, r.bottom - 1, b);
  if (L && !B) canvas->SetPixels(r.left, r.bottom - 1, a);
  if (T && !L) canvas->SetPixels(r.left, r.top + 1, b);
  if (L && !T) canvas->SetPixels(r.left + 1, r.top, b);
  if (B && !R) canvas->SetPixels(r.right - 1, r.bottom - 2, a);
  if (R && !B) canvas->SetPixels(r.right - 2, r.bottom - 1, a);
  DrawSides(canvas, Rect(r.left + 1, r.top + 1, r.right, r.bottom), b, b, sides);
  DrawSides(canvas, Rect(r.left, r.top, r.right - 1, r.bottom - 1), a, a, sides);
  TRect out = r;
  if (L) out.left += 2;
  if (T) out.top += 2;
  if (R) out.right -= 2;
  if (B) out.bottom -= 2;
  return out;
}

struct TRing {
  TColor ul, lr;
};

// Both painters share the shapes; only the colours differ. `pair` gives the one-line and
// etched colours, `rings` the outer and inner pair of the two-ring styles.
TRect DrawStyled(TCanvas* canvas, const TRect& rect, TFrameStyle style, TSides sides, TRing pair,
                 TRing outer, TRing inner) {
  switch (style) {
    case fsNone:
      return rect;
    case fsFlat:
    case fsStatus:
    case fsPopup:
      return DrawSides(canvas, rect, pair.ul, pair.lr, sides);
    case fsGroove:
    case fsBump:
      return DrawEtched(canvas, rect, pair.ul, pair.lr, sides);
    case fsLowered:
    case fsRaised:
    case fsButtonDown:
    case fsButtonUp: {
      TRect r = DrawBevel(canvas, rect, outer.ul, outer.lr, 1, sides);
      return DrawBevel(canvas, r, inner.ul, inner.lr, 1, sides);
    }
  }
  return rect;
}

}  // namespace

TRect DrawBorder(TCanvas* canvas, const TRect& rect, TFrameStyle style, TSides sides) {
  TRing pair{}, outer{}, inner{};
  switch (style) {
    case fsFlat:
      pair = {clWindowFrame, clWindowFrame};
      break;
    case fsGroove:
      pair = {clBtnShadow, clBtnHighlight};
      break;
    case fsBump:
      pair = {clBtnHighlight, clBtnShadow};
      break;
    case fsStatus:
      pair = {clBtnShadow, clBtnHighlight};
      break;
    case fsPopup:
      pair = {clBtnHighlight, clBtnShadow};
      break;
    case fsLowered:
      outer = {clBtnShadow, clBtnHighlight}, inner = {clBtnText, cl3DLight};
      break;
    case fsRaised:
      outer = {cl3DLight, clBtnText}, inner = {clBtnHighlight, clBtnShadow};
      break;
    case fsButtonDown:
      outer = {clBtnText, clBtnText}, inner = {clBtnShadow, clBtnShadow};
      break;
    case fsButtonUp:
      outer = {clBtnHighlight, cl3DDkShadow}, inner = {cl3DLight, clBtnShadow};
      break;
    case fsNone:
      break;
  }
  return DrawStyled(canvas, rect, style, sides, pair, outer, inner);
}

TRect DrawColorBorder(TCanvas* canvas, const TRect& rect, TColor baseColor, TFrameStyle style,
                      TSides sides) {
  if (style == fsNone) return rect;
  auto sh = [baseColor](int delta) { return ShadeColor(baseColor, delta); };
  TRing pair{}, outer{}, inner{};
  switch (style) {
    case fsFlat:
      pair = {sh(-50), sh(-50)};
      break;
    case fsStatus:
      pair = {sh(-50), sh(100)};
      break;
    case fsPopup:
      pair = {sh(100), sh(-50)};
      break;
    case fsGroove:
      pair = {sh(-50), sh(100)};
      break;
    case fsBump:
      pair = {sh(100), sh(-50)};
      break;
    case fsLowered:
      outer = {sh(-50), sh(100)}, inner = {sh(-100), sh(50)};
      break;
    case fsRaised:
      outer = {sh(50), sh(-100)}, inner = {sh(100), sh(-50)};
      break;
    case fsButtonDown:
      outer = {sh(-100), sh(-100)}, inner = {sh(-50), sh(-50)};
      break;
    case fsButtonUp:
      outer = {sh(100), sh(-100)}, inner = {sh(40), sh(-50)};
      break;
    case fsNone:
      break;
  }
  return DrawStyled(canvas, rect, style, sides, pair, outer, inner);
}

void DrawFrame(TCanvas* canvas, int width, int height, TFrameStyle style, TColor controlColor,
               TColor frameColor, TSides sides) {
  TRect r = Rect(0, 0, width, height);
  DrawBevel(canvas, r, controlColor, controlColor, 2, AllSides);
  if (style == fsFlat)
    DrawSides(canvas, r, frameColor, frameColor, sides);
  else if (controlColor == clWindow)
    DrawBorder(canvas, r, style, sides);
  else
    DrawColorBorder(canvas, r, controlColor, style, sides);
}

// --- Fonts ---------------------------------------------------------------------------------------

namespace {

win::LOGFONT LogFontOf(const TFont* font) {
  win::LOGFONT lf;
  lf.lfHeight = font->Height();
  unsigned st = font->Style();
  lf.lfWeight = (st & 1) ? 700 : 400;
  lf.lfItalic = (st & 2) != 0;
  lf.lfUnderline = (st & 4) != 0;
  lf.lfStrikeOut = (st & 8) != 0;
  lf.lfCharSet = win::BYTE(font->Charset());
  std::strncpy(lf.lfFaceName, font->Name().c_str(), win::LF_FACESIZE - 1);
  return lf;
}

win::HFONT Rotated(win::LOGFONT lf, int angle) {
  lf.lfWidth = 0;
  lf.lfEscapement = angle * 10;
  lf.lfOrientation = 0;
  lf.lfCharSet = 1;
  lf.lfOutPrecision = lf.lfClipPrecision = lf.lfQuality = 0;
  return win::CreateFontIndirect(&lf);
}

// Runs fn on a screen DC with the font selected; everything is released afterwards.
template <class F>
int WithFont(const win::LOGFONT& lf, F fn) {
  win::HDC dc = win::CreateScreenDC();
  win::HFONT f = win::CreateFontIndirect(&lf);
  win::HGDIOBJ old = win::SelectObject(dc, f);
  int result = fn(dc);
  win::SelectObject(dc, old);
  win::DeleteObject(f);
  win::DeleteDC(dc);
  return result;
}

int FontHeight(const win::LOGFONT& lf) {
  return WithFont(lf, [](win::HDC dc) {
    win::TEXTMETRIC tm;
    win::GetTextMetrics(dc, &tm);
    return int(tm.tmHeight) + 2;
  });
}

int AvgCharWidth(const win::LOGFONT& lf) {
  return WithFont(lf, [](win::HDC dc) {
    win::SIZE sz{};
    win::GetTextExtentPoint32(
        dc, std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"), &sz);
    return RoundEven(sz.cx / 52.0);
  });
}

}  // namespace

win::HFONT CreateRotatedFont(const TFont* font, int angle) {
  return Rotated(LogFontOf(font), angle);
}
win::HFONT CreateRotatedFont(const TCanvasFont* font, int angle) {
  return Rotated(font->LogFont(), angle);
}
int GetFontHeight(const TFont* font) { return FontHeight(LogFontOf(font)); }
int GetFontHeight(const TCanvasFont* font) { return FontHeight(font->LogFont()); }
int GetAvgCharWidth(const TFont* font) { return AvgCharWidth(LogFontOf(font)); }
int GetAvgCharWidth(const TCanvasFont* font) { return AvgCharWidth(font->LogFont()); }

// --- Windows versions ----------------------------------------------------------------------------

namespace {
win::OSVERSIONINFO WindowsVersion() {
  win::OSVERSIONINFO v;
  if (!win::GetVersionEx(&v)) v = win::OSVERSIONINFO{};
  return v;
}
}  // namespace

bool IsWindows40() {
  win::OSVERSIONINFO v = WindowsVersion();
  return v.dwMajorVersion == 4 && v.dwMinorVersion == 0;
}

bool NewStyleControls() { return WindowsVersion().dwMajorVersion >= 4; }

// --- Enter as Tab --------------------------------------------------------------------------------

void PostTabKey(TWinControl* control) {
  win::PostMessage(control->Handle(), win::WM_KEYDOWN, win::VK_TAB, 0);
}

bool FormTakesTab(TWinControl* control) {
  TWinControl* form = control->ParentForm();
  return form && form != control &&
         form->Perform(win::CM_DIALOGKEY, win::VK_TAB, KeyboardShiftState()) != 0;
}

// --- Frame controller ----------------------------------------------------------------------------

TVcFrameController::TVcFrameController(TComponent* owner) : TComponent(owner) {}

// The controls learn of the end through their free notification and forget the controller.
TVcFrameController::~TVcFrameController() {
  delete FControls;
  FControls = nullptr;
}

void TVcFrameController::AddControl(TControl* control) {
  if (!control) return;
  if (!FControls) FControls = new std::vector<TControl*>;
  if (std::find(FControls->begin(), FControls->end(), control) != FControls->end()) return;
  FControls->push_back(control);
  // A control that goes away without leaving must not stay listed.
  control->FreeNotification(this);
  UpdateControl(control, fcAll);
}

void TVcFrameController::RemoveControl(TControl* control) {
  if (!FControls) return;
  auto it = std::find(FControls->begin(), FControls->end(), control);
  if (it == FControls->end()) return;
  FControls->erase(it);
  if (FControls->empty()) {
    delete FControls;
    FControls = nullptr;
  }
}

void TVcFrameController::Notification(TComponent* c, TOperation op) {
  TComponent::Notification(c, op);
  if (op == opRemove && FControls) {
    auto it = std::find(FControls->begin(), FControls->end(), c);
    if (it != FControls->end()) RemoveControl(*it);
  }
}

namespace {

// Writes one value into a published property of the control, when it exists with a write
// method and one of the expected kinds; anything else is skipped.
void Push(TControl* control, const char* name, std::initializer_list<TPropKind> kinds,
          const TValue& v) {
  const TPropInfo* p = control->ClassInfo()->FindProp(name);
  if (!p || !p->set) return;
  if (std::find(kinds.begin(), kinds.end(), p->kind) == kinds.end()) return;
  p->set(control, v);
}

TValue IntValue(std::int64_t i) { return TValue::Int(i); }
TValue BoolValue(bool b) {
  TValue v = TValue::Bool(b);
  v.i = b;
  return v;
}
TValue StyleValue(TFrameStyle s) {
  TValue v = TValue::Ident(FrameStyleNames()[size_t(s)]);
  v.i = s;
  return v;
}

}  // namespace

void TVcFrameController::UpdateControl(TControl* control, int change) {
  if (!control) return;
  const TPropInfo* use = control->ClassInfo()->FindProp("UseFrameController");
  if (!use || !use->get || (use->kind != pkBool && use->kind != pkEnum)) return;
  if (use->get(control).s != "True") return;

  const auto colorKinds = {pkColor, pkInteger};
  const auto enumKinds = {pkBool, pkEnum};
  auto one = [&](int kind) {
    switch (kind) {
      case fcColor:
        Push(control, "Color", colorKinds, IntValue(FColor));
        break;
      case fcParentColor:
        Push(control, "ParentColor", enumKinds, BoolValue(FParentColor));
        break;
      case fcFlatButtons:
        Push(control, "FlatButtons", enumKinds, BoolValue(FFlatButtons));
        break;
      case fcFrameColor:
        Push(control, "FrameColor", colorKinds, IntValue(FFrameColor));
        break;
      case fcFrameFlat:
        Push(control, "FrameFlat", enumKinds, BoolValue(FFrameFlat));
        break;
      case fcFrameFlatStyle:
        Push(control, "FrameFlatStyle", {pkEnum}, StyleValue(FFrameFlatStyle));
        break;
      case fcFrameFocusStyle:
        Push(control, "FrameFocusStyle", {pkEnum}, StyleValue(FFrameFocusStyle));
        break;
      case fcFrameSides:
        Push(control, "FrameSides", {pkSet}, SidesToValue(FFrameSides));
        break;
      case fcFrameStyle:
        Push(control, "FrameStyle", {pkEnum}, StyleValue(FFrameStyle));
        break;
      case fcFrameVisible:
        Push(control, "FrameVisible", enumKinds, BoolValue(FFrameVisible));
        break;
      default:
        break;
    }
  };
  if (change != fcAll) {
    one(change);
    return;
  }
  one(fcParentColor);
  if (!FParentColor) one(fcColor);
  for (int k : {fcFlatButtons, fcFrameColor, fcFrameFlat, fcFrameFlatStyle, fcFrameFocusStyle,
                fcFrameSides, fcFrameStyle, fcFrameVisible})
    one(k);
}

void TVcFrameController::UpdateControls(int change) {
  if (!FControls) return;
  // A push may make a control leave; walk a copy.
  std::vector<TControl*> controls = *FControls;
  for (TControl* c : controls) UpdateControl(c, change);
}

void TVcFrameController::Loaded() {
  TComponent::Loaded();
  UpdateControls(fcAll);
}

void TVcFrameController::SetColor(int v) {
  if (v == FColor) return;
  FColor = v;
  FParentColor = false;
  UpdateControls(fcColor);
}

void TVcFrameController::SetParentColor(bool v) {
  if (v == FParentColor) return;
  FParentColor = v;
  UpdateControls(fcParentColor);
  if (!v) UpdateControls(fcColor);
}

void TVcFrameController::SetFlatButtons(bool v) { Change(FFlatButtons, v, fcFlatButtons); }

void TVcFrameController::SetFrameColor(int v) { Change(FFrameColor, v, fcFrameColor); }

void TVcFrameController::SetFrameFlat(bool v) {
  if (v == FFrameFlat) return;
  FFrameFlat = v;
  if (v) {
    SetFrameVisible(true);
    if (!IsLoading()) {
      FFrameSides = AllSides;
      FFrameStyle = FFrameFlatStyle;
    }
  }
  UpdateControls(fcFrameFlat);
}

void TVcFrameController::SetFrameFlatStyle(TFrameStyle v) {
  Change(FFrameFlatStyle, v, fcFrameFlatStyle);
}

void TVcFrameController::SetFrameFocusStyle(TFrameStyle v) {
  Change(FFrameFocusStyle, v, fcFrameFocusStyle);
}

void TVcFrameController::SetFrameSides(TSides v) { Change(FFrameSides, v, fcFrameSides); }

void TVcFrameController::SetFrameStyle(TFrameStyle v) { Change(FFrameStyle, v, fcFrameStyle); }

void TVcFrameController::SetFrameVisible(bool v) { Change(FFrameVisible, v, fcFrameVisible); }

void TVcFrameController::DefineProps(TPropList& p) {
  using C = TVcFrameController;
  AboutProp(p);
  p.Color("Color", &C::Color, &C::SetColor, clWindow).stored = [](TPersistent* o) {
    auto* c = static_cast<C*>(o);
    return !c->ParentColor() && c->Color() != clWindow;
  };
  p.Bool("FlatButtons", &C::FlatButtons, &C::SetFlatButtons, true);
  p.Color("FrameColor", &C::FrameColor, &C::SetFrameColor, clBtnShadow);
  FrameStyleProp<C>(p, "FrameFlatStyle", &C::FrameFlatStyle, &C::SetFrameFlatStyle, fsStatus);
  FrameStyleProp<C>(p, "FrameFocusStyle", &C::FrameFocusStyle, &C::SetFrameFocusStyle, fsLowered);
  p.Bool("FrameFlat", &C::FrameFlat, &C::SetFrameFlat, false);
  SidesProp<C>(p, "FrameSides", &C::FrameSides, &C::SetFrameSides, AllSides);
  FrameStyleProp<C>(p, "FrameStyle", &C::FrameStyle, &C::SetFrameStyle, fsFlat);
  p.Bool("FrameVisible", &C::FrameVisible, &C::SetFrameVisible, false);
  p.Bool("ParentColor", &C::ParentColor, &C::SetParentColor, false);
}

WI_REGISTER_CLASS(TVcFrameController);

// --- Blink clock ---------------------------------------------------------------------------------

TVcBlinkingControlsList* BlinkingControlsList = nullptr;

TVcBlinkingControlsList::TVcBlinkingControlsList() {
  FTimer = new TTimer(nullptr);
  FTimer->SetInterval(FIntervalOff);
  FTimer->OnTimer = [this](TObject* sender) { TimerFired(sender); };
  FTimer->SetEnabled(true);
}

TVcBlinkingControlsList::~TVcBlinkingControlsList() { delete FTimer; }

void TVcBlinkingControlsList::Add(TControl* control) {
  if (control && std::find(FControls.begin(), FControls.end(), control) == FControls.end())
    FControls.push_back(control);
}

void TVcBlinkingControlsList::Remove(TControl* control) {
  auto it = std::find(FControls.begin(), FControls.end(), control);
  if (it != FControls.end()) FControls.erase(it);
}

void TVcBlinkingControlsList::TimerFired(TObject*) {
  FState = !FState;
  FTimer->SetInterval(FState ? FIntervalOn : FIntervalOff);
  int n = Count();
  // A control may leave while it is told; never read past the list's end.
  for (int i = 0; i < n && i < Count(); ++i) {
    TControl* c = FControls[size_t(i)];
    if (c->Perform(CM_ISBLINKING, 0, 0) == 1) c->Perform(CM_BLINK, FState ? 1 : 0, 0);
  }
}

TVcBlinkingControlsList* NeedBlinkingControlsList() {
  if (!BlinkingControlsList) BlinkingControlsList = new TVcBlinkingControlsList;
  return BlinkingControlsList;
}

void FreeBlinkingControlsListIfEmpty() {
  if (BlinkingControlsList && BlinkingControlsList->Count() == 0) {
    delete BlinkingControlsList;
    BlinkingControlsList = nullptr;
  }
}
