#pragma once
// Shared services of the visual controls: frame styles and side sets, colour arithmetic in
// hue/saturation/lightness (0..240 scale), frame painters, font helpers, the frame
// controller that pushes one set of frame settings into many controls, and the process-wide
// blink clock. The drawing functions hold no state: each works on what it is given.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/forms/Classes.h"
#include "platform/forms/Controls.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Messages.h"
#include "platform/forms/graphics/Graphics.h"

// --- Shared types ----------------------------------------------------------------------------

// Stored in form descriptions by these names, in this order (ordinals 0..9).
enum TFrameStyle {
  fsNone,
  fsFlat,
  fsGroove,
  fsBump,
  fsLowered,
  fsButtonDown,
  fsRaised,
  fsButtonUp,
  fsStatus,
  fsPopup
};
const std::vector<std::string>& FrameStyleNames();

enum TSide { sdLeft, sdTop, sdRight, sdBottom };
const std::vector<std::string>& SideNames();

// Caption styles and vertical placement of labels and painted buttons.
enum TTextStyle { tsNormal, tsRaised, tsRecessed, tsShadow };
enum TAlignmentVertical { avTop, avCenter, avBottom };

// A set of sides in one byte: bit 1 << TSide (sdLeft 1, sdTop 2, sdRight 4, sdBottom 8).
class TSides {
 public:
  constexpr TSides() = default;
  constexpr TSides(std::initializer_list<TSide> sides) {
    for (TSide s : sides) bits_ |= std::uint8_t(1u << s);
  }
  static constexpr TSides FromBits(unsigned bits) {
    TSides r;
    r.bits_ = std::uint8_t(bits & 15u);
    return r;
  }
  constexpr unsigned Bits() const { return bits_; }
  constexpr bool Contains(TSide s) const { return bits_ & (1u << s); }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr TSides& Include(TSide s) { return bits_ |= std::uint8_t(1u << s), *this; }
  constexpr TSides& Exclude(TSide s) { return bits_ &= std::uint8_t(~(1u << s)), *this; }
  friend constexpr bool operator==(TSides, TSides) = default;

 private:
  std::uint8_t bits_ = 0;
};
inline constexpr TSides AllSides{sdLeft, sdTop, sdRight, sdBottom};

// The vendor tag every control publishes as `About`; never stored.
enum TVcAboutInfo { aiVisualControls };

// Private messages of the blink clock (wParam of CM_BLINK: 1 blink colour, 0 normal colour).
inline constexpr win::UINT CM_ISBLINKING = win::CM_BASE + 1000;  // 0xB3E8
inline constexpr win::UINT CM_BLINK = win::CM_BASE + 1001;       // 0xB3E9

// --- Property-table helpers --------------------------------------------------------------------
// Controls register their frame properties through these so that every unit stores them the
// same way (TFrameStyle by name, TSides as a set of side names, About never stored).

template <class T>
TPropInfo& FrameStyleProp(TPropList& p, const std::string& name, TFrameStyle (T::*get)() const,
                          void (T::*set)(TFrameStyle), TFrameStyle def) {
  return p.Enum<T, TFrameStyle>(name, get, set, FrameStyleNames(), def);
}

// The stored value of a side set: the names of its members.
TValue SidesToValue(TSides sides);

template <class T>
TPropInfo& SidesProp(TPropList& p, const std::string& name, TSides (T::*get)() const,
                     void (T::*set)(TSides), TSides def) {
  TPropInfo info;
  info.name = name;
  info.kind = pkSet;
  info.names = SideNames();
  info.def = SidesToValue(def);
  info.get = [get](TPersistent* o) { return SidesToValue((static_cast<T*>(o)->*get)()); };
  info.set = [set](TPersistent* o, const TValue& v) {
    (static_cast<T*>(o)->*set)(TSides::FromBits(unsigned(v.i)));
  };
  return p.Add(std::move(info));
}

// Sets one frame setting of a framed control, repainting the frame when it changed.
template <class C, class V>
void SetFrameSetting(C* control, V& field, V v) {
  if (v == field) return;
  field = v;
  control->RepaintFrame();
}

// A framed control's own frame settings (and colour) are stored only while no frame controller
// governs them.
template <class T>
bool FrameSettingsStored(const TPersistent* o) {
  auto* c = static_cast<const T*>(o);
  return !(c->FrameController() && c->UseFrameController());
}

// The frame properties of a framed control, FrameColor to FrameVisible: each stored when it
// differs from its default and the control's own settings are stored.
template <class T>
void FrameProps(TPropList& p) {
  auto frame = [](TPropInfo& info) {
    auto def = info.def;
    auto get = info.get;
    info.stored = [def, get](TPersistent* o) {
      return FrameSettingsStored<T>(o) && !(def && *def == get(o));
    };
  };
  frame(p.Color("FrameColor", &T::FrameColor, &T::SetFrameColor, clBtnShadow));
  p.Component("FrameController", &T::FrameController, &T::SetFrameController);
  frame(p.Bool("FrameFlat", &T::FrameFlat, &T::SetFrameFlat, false));
  frame(
      FrameStyleProp<T>(p, "FrameFlatStyle", &T::FrameFlatStyle, &T::SetFrameFlatStyle, fsStatus));
  frame(FrameStyleProp<T>(p, "FrameFocusStyle", &T::FrameFocusStyle, &T::SetFrameFocusStyle,
                          fsLowered));
  frame(SidesProp<T>(p, "FrameSides", &T::FrameSides, &T::SetFrameSides, AllSides));
  frame(FrameStyleProp<T>(p, "FrameStyle", &T::FrameStyle, &T::SetFrameStyle, fsFlat));
  frame(p.Bool("FrameVisible", &T::FrameVisible, &T::SetFrameVisible, false));
}

// `About`: one value, read and ignored, never written.
TPropInfo& AboutProp(TPropList& p);

// --- Numbers and colours -----------------------------------------------------------------------

inline int MinInt(int a, int b) { return a < b ? a : b; }
inline int MaxInt(int a, int b) { return a > b ? a : b; }

// Hue, saturation and lightness on 0..240. The colour is resolved to RGB first.
void ColorToHSL(TColor color, std::uint8_t& hue, std::uint8_t& saturation, std::uint8_t& lightness);
// A plain RGB colour; a lightness above 240 is allowed (components clamp to full).
TColor HSLToColor(std::uint8_t hue, std::uint8_t saturation, std::uint8_t lightness);
// The colour with its lightness moved by delta (clamped to 0..255), hue and saturation kept.
TColor ShadeColor(TColor color, int delta);

// --- Frames ------------------------------------------------------------------------------------
// Rectangles are (left, top, right, bottom), right and bottom exclusive. Each painter returns
// the area left inside what it drew.

TRect DrawSides(TCanvas* canvas, const TRect& rect, TColor upperLeft, TColor lowerRight,
                TSides sides);
TRect DrawBevel(TCanvas* canvas, const TRect& rect, TColor upperLeft, TColor lowerRight, int width,
                TSides sides);
// Frame in system colours.
TRect DrawBorder(TCanvas* canvas, const TRect& rect, TFrameStyle style, TSides sides);
// Same shapes in shades of a base colour.
TRect DrawColorBorder(TCanvas* canvas, const TRect& rect, TColor baseColor, TFrameStyle style,
                      TSides sides);
// The non-client frame of edits and list boxes over the whole window (0, 0, width, height):
// a two-pixel ring in the control colour, then the style on top of it.
void DrawFrame(TCanvas* canvas, int width, int height, TFrameStyle style, TColor controlColor,
               TColor frameColor, TSides sides);

// --- Fonts ---------------------------------------------------------------------------------------

// A new font handle turned by angle degrees; the caller deletes it (win::DeleteObject).
win::HFONT CreateRotatedFont(const TFont* font, int angle);
win::HFONT CreateRotatedFont(const TCanvasFont* font, int angle);
// Text-metric height + 2.
int GetFontHeight(const TFont* font);
int GetFontHeight(const TCanvasFont* font);
// Width of the 52 Latin letters / 52, rounded.
int GetAvgCharWidth(const TFont* font);
int GetAvgCharWidth(const TCanvasFont* font);

// --- Windows versions ----------------------------------------------------------------------------

// Windows 95 or NT 4.0 (version 4.0 exactly).
bool IsWindows40();
// Version 4 or later: 3-D borders and the newer control looks.
bool NewStyleControls();

// --- Enter as Tab --------------------------------------------------------------------------------

// Enter turned into Tab: a Tab key-down posted to the control's own window.
void PostTabKey(TWinControl* control);
// A Tab key-down that reached the control itself: its form moves the focus as for the Tab
// key (Shift held: backwards). True when the form took it.
bool FormTakesTab(TWinControl* control);

// --- Frame controller ----------------------------------------------------------------------------

// Change kinds of a push: 0 all settings, else the one setting named.
enum TVcFrameChange {
  fcAll,
  fcColor,
  fcParentColor,
  fcFlatButtons,
  fcFrameColor,
  fcFrameFlat,
  fcFrameFlatStyle,
  fcFrameFocusStyle,
  fcFrameSides,
  fcFrameStyle,
  fcFrameVisible
};

// Holds one set of frame settings and writes them, by published-property name, into every
// control registered with it whose `UseFrameController` is True. Missing or mistyped
// properties of a control are skipped.
class TVcFrameController : public TComponent {
  WI_CLASS(TVcFrameController, TComponent)
 public:
  explicit TVcFrameController(TComponent* owner);
  ~TVcFrameController() override;

  void AddControl(TControl* control);
  void RemoveControl(TControl* control);
  int ControlCount() const { return FControls ? int(FControls->size()) : 0; }
  TControl* Controls(int i) const { return FControls->at(size_t(i)); }
  virtual void UpdateControl(TControl* control, int change);
  virtual void UpdateControls(int change);

  TVcAboutInfo About() const { return aiVisualControls; }
  void SetAbout(TVcAboutInfo) {}
  int Color() const { return FColor; }
  virtual void SetColor(int v);
  bool ParentColor() const { return FParentColor; }
  virtual void SetParentColor(bool v);
  bool FlatButtons() const { return FFlatButtons; }
  virtual void SetFlatButtons(bool v);
  int FrameColor() const { return FFrameColor; }
  virtual void SetFrameColor(int v);
  bool FrameFlat() const { return FFrameFlat; }
  virtual void SetFrameFlat(bool v);
  TFrameStyle FrameFlatStyle() const { return FFrameFlatStyle; }
  virtual void SetFrameFlatStyle(TFrameStyle v);
  TFrameStyle FrameFocusStyle() const { return FFrameFocusStyle; }
  virtual void SetFrameFocusStyle(TFrameStyle v);
  TSides FrameSides() const { return FFrameSides; }
  virtual void SetFrameSides(TSides v);
  TFrameStyle FrameStyle() const { return FFrameStyle; }
  virtual void SetFrameStyle(TFrameStyle v);
  bool FrameVisible() const { return FFrameVisible; }
  virtual void SetFrameVisible(bool v);

  void Loaded() override;

 protected:
  void Notification(TComponent* c, TOperation op) override;

 private:
  // Keeps a new setting and tells the controls of the change.
  template <class T>
  void Change(T& field, T v, int change) {
    if (v == field) return;
    field = v;
    UpdateControls(change);
  }

  std::vector<TControl*>* FControls = nullptr;  // from the first AddControl to the last Remove
  int FColor = clWindow;
  bool FParentColor = false;
  bool FFlatButtons = true;
  int FFrameColor = clBtnShadow;
  bool FFrameFlat = false;
  TFrameStyle FFrameFlatStyle = fsStatus;
  TFrameStyle FFrameFocusStyle = fsLowered;
  TSides FFrameSides = AllSides;
  TFrameStyle FFrameStyle = fsFlat;
  bool FFrameVisible = false;
};

// --- Blink clock ---------------------------------------------------------------------------------

// One timer for every blinking control, so that they blink in step. Each tick asks every
// registered control CM_ISBLINKING and sends CM_BLINK with the new state to those answering 1.
class TVcBlinkingControlsList : public TObject {
 public:
  TVcBlinkingControlsList();
  ~TVcBlinkingControlsList() override;
  TVcBlinkingControlsList(const TVcBlinkingControlsList&) = delete;
  TVcBlinkingControlsList& operator=(const TVcBlinkingControlsList&) = delete;

  void Add(TControl* control);
  void Remove(TControl* control);
  int Count() const { return int(FControls.size()); }
  TControl* Items(int i) const { return FControls.at(size_t(i)); }
  int IntervalOn() const { return FIntervalOn; }
  void SetIntervalOn(int v) { FIntervalOn = v; }
  int IntervalOff() const { return FIntervalOff; }
  void SetIntervalOff(int v) { FIntervalOff = v; }
  bool BlinkState() const { return FState; }
  TTimer* Timer() const { return FTimer; }
  void TimerFired(TObject* sender);

 private:
  TTimer* FTimer = nullptr;
  std::vector<TControl*> FControls;
  int FIntervalOn = 500;
  int FIntervalOff = 500;
  bool FState = true;
};

// The shared instance (null while no blinking control exists). A control creates it when
// empty and registers; on leaving it removes itself and calls FreeBlinkingControlsListIfEmpty.
extern TVcBlinkingControlsList* BlinkingControlsList;
// Creates the shared instance when there is none; returns it.
TVcBlinkingControlsList* NeedBlinkingControlsList();
void FreeBlinkingControlsListIfEmpty();
