#include "buttons/VcRadChk.h"

#include <cstring>
#include <map>
#include <vector>

#include "controls/VcGrafx.h"
#include "platform/forms/ControlPaint.h"
#include "platform/forms/Forms.h"
#include "platform/forms/graphics/BitmapResources.h"
#include "platform/system/Clock.h"
#include "platform/system/Text.h"

// --- Built-in strips -----------------------------------------------------------------------

namespace {

// Frames are drawn from 13 x 13 templates of roles: '.' around the glyph, 'a' outer
// upper-left edge, 'b' inner upper-left, 'c' inner lower-right, 'd' outer lower-right,
// 'i' inside, 'x' the mark. Each frame gives every role a colour letter of the map below.
const char* const kColors =
    ". 808000\n"  // olive: transparent
    "t 008080\n"  // teal: takes the window colour
    "g 808080\n"
    "k 000000\n"
    "w FFFFFF\n"
    "l C0C0C0\n";

const char* const kRadio[13] = {
    "....aaaa.....", "..aabbbbaa...", ".abbiiiibbd..", ".abiiiiiicd..", "abiiixxiiicd.",
    "abiixxxxiicd.", "abiixxxxiicd.", "abiiixxiiicd.", ".abiiiiiicd..", ".acciiiiccd..",
    "..ddccccdd...", "....dddd.....", ".............",
};
const char* const kCheck[13] = {
    "aaaaaaaaaaaad", "abbbbbbbbbbcd", "abiiiiiiiiicd", "abiiiiiiixicd", "abiiiiiixxicd",
    "abixiiixxxicd", "abixxixxxiicd", "abixxxxxiiicd", "abiixxxiiiicd", "abiiixiiiiicd",
    "abiiiiiiiiicd", "abccccccccccd", "ddddddddddddd",
};

// Role colours of one frame: a b c d i x.
struct Frame {
  const char* roles;
};

std::string Strip(const char* const tmpl[13], const std::vector<Frame>& frames) {
  std::string map = std::string(kColors) + "\n";
  for (int y = 0; y < 13; ++y) {
    for (const Frame& f : frames)
      for (int x = 0; x < 13; ++x) {
        char ch = tmpl[y][x];
        const char* roleNames = "abcdix";
        const char* p = std::strchr(roleNames, ch);
        map += p && ch ? f.roles[p - roleNames] : '.';
      }
    map += '\n';
  }
  return map;
}

// 3-D look: grey and black upper-left, light and white lower-right; teal inside unless
// pressed or disabled (button face).
const std::vector<Frame> kRadioFrames = {{"gklwtt"}, {"gklwtk"}, {"gklwll"},
                                         {"gklwlk"}, {"gklwll"}, {"gklwlg"}};
const std::vector<Frame> kFlatRadioFrames = {{"gttgtt"}, {"gttgtk"}, {"gllgll"},
                                             {"gllglk"}, {"gllgll"}, {"gllglg"}};
// Check boxes: unchecked, checked, grayed; the same pressed; the same disabled.
const std::vector<Frame> kCheckFrames = {{"gklwtt"}, {"gklwtk"}, {"gklwtg"}, {"gklwll"}, {"gklwlk"},
                                         {"gklwlg"}, {"gklwll"}, {"gklwlg"}, {"gklwlg"}};
const std::vector<Frame> kFlatCheckFrames = {{"gttgtt"}, {"gttgtk"}, {"gttgtg"},
                                             {"gllgll"}, {"gllglk"}, {"gllglg"},
                                             {"gllgll"}, {"gllglg"}, {"gllglg"}};

// Drawn when first shown.
const bool kStripsRegistered = [] {
  win::RegisterBitmapResourceSource("VCRADCHK_CHECKBOXES",
                                    [] { return Strip(kCheck, kCheckFrames); });
  win::RegisterBitmapResourceSource("VCRADCHK_RADIOBUTTONS",
                                    [] { return Strip(kRadio, kRadioFrames); });
  win::RegisterBitmapResourceSource("VCRADCHK_FLATCHECKBOXES",
                                    [] { return Strip(kCheck, kFlatCheckFrames); });
  win::RegisterBitmapResourceSource("VCRADCHK_FLATRADIOBUTTONS",
                                    [] { return Strip(kRadio, kFlatRadioFrames); });
  return true;
}();

}  // namespace

TBitmap* VcRadChkStrip(const std::string& ResourceName) {
  (void)kStripsRegistered;
  // Kept until exit: buttons freed late still copy from them.
  static auto& strips = *new std::map<std::string, std::unique_ptr<TBitmap>>;
  auto& b = strips[ResourceName];
  if (!b) {
    b = std::make_unique<TBitmap>();
    b->LoadFromResourceName(0, ResourceName);
  }
  return b.get();
}

// --- Action link ----------------------------------------------------------------------------

bool TVcCheckedActionLink::IsCheckedLinked() const {
  return FClient && FAction && FClient->Action() == FAction &&
         FClient->Checked() == FAction->Checked();
}

void TVcCheckedActionLink::SetChecked(bool Value) {
  if (IsCheckedLinked()) FClient->SetChecked(Value);
}

// --- Glyph button ---------------------------------------------------------------------------

void TVcCustomGlyphButton::DefineProps(TPropList&) {}

TVcCustomGlyphButton::TVcCustomGlyphButton(TComponent* AOwner)
    : TVcCustomButton(AOwner), FCustomGlyphs(new TImagePicture) {
  FCustomGlyphs->OnChange = [this](TObject*) { CustomGlyphsChanged(); };
}

TVcCustomGlyphButton::~TVcCustomGlyphButton() = default;

void TVcCustomGlyphButton::SetAlignment(TLeftRight Value) {
  if (Value == FAlignment) return;
  FAlignment = Value;
  Invalidate();
}

void TVcCustomGlyphButton::SetCustomGlyphs(TImagePicture* Value) { FCustomGlyphs->Assign(Value); }

const TBitmap& TVcCustomGlyphButton::CurrentStrip() {
  return FUseCustomGlyphs ? FCustomStrip : FGlyphs;
}

void TVcCustomGlyphButton::SetUseCustomGlyphs(bool Value) {
  if (Value == FUseCustomGlyphs) return;
  FUseCustomGlyphs = Value;
  const TBitmap& strip = CurrentStrip();
  if (FNumGlyphs > 0 && !strip.Empty()) {
    FGlyphWidth = strip.Width() / FNumGlyphs;
    FGlyphHeight = strip.Height();
  }
  Invalidate();
}

void TVcCustomGlyphButton::CustomGlyphsChanged() {
  // The picture as a bitmap, for the frame copies.
  const int w = FCustomGlyphs->Width(), h = FCustomGlyphs->Height();
  FCustomStrip.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) FCustomStrip.Canvas().SetPixels(x, y, FCustomGlyphs->Pixels(x, y));
  bool use = !FCustomGlyphs->Empty();
  if (use == FUseCustomGlyphs && use) {
    // Same mode, new strip: its frame size may differ.
    FGlyphWidth = w / FNumGlyphs;
    FGlyphHeight = h;
  }
  SetUseCustomGlyphs(use);
  Invalidate();
}

void TVcCustomGlyphButton::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  Invalidate();
}

void TVcCustomGlyphButton::SetTransparentColor(int Value) {
  if (Value == FTransparentColor) return;
  FTransparentColor = Value;
  Invalidate();
}

void TVcCustomGlyphButton::SetWinMaskColor(int Value) {
  if (Value == FWinMaskColor) return;
  FWinMaskColor = Value;
  Invalidate();
}

TVcCheckedActionLink* TVcCustomGlyphButton::ActionLink() {
  if (!Action()) {
    FActionLink.reset();
    return nullptr;
  }
  if (!FActionLink || FActionLink->Client() != this) {
    FActionLink = std::make_unique<TVcCheckedActionLink>(Action());
    FActionLink->AssignClient(this);
  }
  return FActionLink.get();
}

void TVcCustomGlyphButton::ActionChange(bool CheckDefaults) {
  TVcCustomButton::ActionChange(CheckDefaults);
  if (TAction* a = Action(); a && (!CheckDefaults || !GetChecked())) SetChecked(a->Checked());
}

void TVcCustomGlyphButton::ExtractGlyphFrame(int Index, TBitmap* Dest, int Height, int Width,
                                             TBitmap* Source) {
  Dest->SetSize(Width, Height);
  TRect src{Width * Index, 0, Width * (Index + 1), Height};
  Dest->Canvas().CopyRect(TRect{0, 0, Width, Height}, &Source->Canvas(), src);
}

void TVcCustomGlyphButton::DrawGlyph(TCanvas* Canvas) {
  if (!Canvas) Canvas = this->Canvas();
  if (!Canvas || FGlyphWidth <= 0 || FGlyphHeight <= 0) return;
  TBitmap frame(FGlyphWidth, FGlyphHeight);
  SelectGlyph(&frame);
  int x = FAlignment == TLeftRight::taRightJustify ? 0 : Width() - FGlyphWidth;
  int y = 0;
  switch (FAlignmentVertical) {
    case avTop:
      y = 2;
      break;
    case avCenter:
      y = (Height() - FGlyphHeight) / 2;
      break;
    case avBottom:
      y = Height() - FGlyphHeight - 2;
      break;
  }
  const TRect whole{0, 0, FGlyphWidth, FGlyphHeight};
  TBitmap work(FGlyphWidth, FGlyphHeight);
  if (FTransparent) {
    work.Canvas().CopyRect(whole, Canvas, Bounds(x, y, FGlyphWidth, FGlyphHeight));
    DrawTransparentBitmap(&work.Canvas(), &frame, whole, whole, FTransparentColor);
  } else {
    work.Canvas().Brush().SetColor(Color());
    work.Canvas().BrushCopy(whole, &frame, whole, FTransparentColor);
  }
  TBitmap result(FGlyphWidth, FGlyphHeight);
  result.Canvas().Brush().SetColor(clWindow);
  result.Canvas().BrushCopy(whole, &work, whole, FWinMaskColor);
  Canvas->Draw(x, y, &result);
}

void TVcCustomGlyphButton::Paint() {
  const int w = ClientWidth(), h = ClientHeight();
  if (w <= 0 || h <= 0 || !Canvas()) return;
  TBitmap off(w, h);
  TCanvas& c = off.Canvas();
  ControlPaint::CopyFont(c.Font(), Font());
  c.Brush().SetColor(Color());
  if (FTransparent) {
    DrawParentImage(this, &c);
    win::Sleep(10);  // a pause after the parent's picture, before the glyph goes over it
  } else {
    c.FillRect(TRect{0, 0, w, h});
  }
  DrawGlyph(&c);
  TRect r{1, 1, w - 1, h - 1};
  if (FAlignment == TLeftRight::taRightJustify)
    r.left += FGlyphWidth + 4;
  else
    r.right -= FGlyphWidth + 4;
  DrawCaption(&c, r, win::DT_WORDBREAK | win::DT_EXPANDTABS);
  if (Focused() && !Caption().empty()) {
    TRect f{r.left - 1, r.top - 1, r.right + 1, r.bottom + 1};
    f.right = f.left + MinInt(f.right - f.left, c.TextWidth(win::TrimWhiteSpace(Caption())) + 2);
    c.Brush().SetColor(Color());
    c.DrawFocusRect(f);
  }
  Canvas()->Draw(0, 0, &off);
}

void TVcCustomGlyphButton::KeyPress(char& Key) {
  if (FTabOnEnter && Key == '\r') {
    Key = 0;
    PostTabKey(this);
    return;
  }
  TVcCustomButton::KeyPress(Key);
}

void TVcCustomGlyphButton::WndProc(TMessage& Message) {
  // The Tab key-down that Enter posted: the form moves the focus on.
  if (Message.Msg == win::WM_KEYDOWN && win::WORD(Message.WParam) == win::VK_TAB &&
      FormTakesTab(this))
    return;
  TVcCustomButton::WndProc(Message);
}

// --- Radio button ---------------------------------------------------------------------------

void TVcRadioButton::DefineProps(TPropList& p) {
  AboutProp(p);
  p.Enum<TVcCustomGlyphButton, TLeftRight>(
      "Alignment", &TVcCustomGlyphButton::Alignment, &TVcCustomGlyphButton::SetAlignment,
      {"taLeftJustify", "taRightJustify"}, TLeftRight::taRightJustify);
  p.Enum<TVcCustomButton, TAlignmentVertical>(
      "AlignmentVertical", &TVcCustomButton::AlignmentVertical,
      &TVcCustomButton::SetAlignmentVertical, {"avTop", "avCenter", "avBottom"}, avCenter);
  p.Bool<TVcCustomGlyphButton>("Checked", &TVcCustomGlyphButton::Checked,
                               &TVcCustomGlyphButton::SetChecked, false)
      .stored = [](TPersistent* o) {
    auto* b = static_cast<TVcRadioButton*>(o);
    return !b->Action() && b->Checked();
  };
  p.Object<TVcCustomGlyphButton, TImagePicture>("CustomGlyphs",
                                                &TVcCustomGlyphButton::CustomGlyphs);
  p.Bool<TVcCustomGlyphButton>("Flat", &TVcCustomGlyphButton::Flat, &TVcCustomGlyphButton::SetFlat,
                               false);
  p.Color<TVcCustomButton>("HighlightColor", &TVcCustomButton::HighlightColor,
                           &TVcCustomButton::SetHighlightColor, clBtnHighlight);
  p.Bool<TVcCustomButton>("LightTextStyle", &TVcCustomButton::LightTextStyle,
                          &TVcCustomButton::SetLightTextStyle, false);
  p.Color<TVcCustomButton>("ShadowColor", &TVcCustomButton::ShadowColor,
                           &TVcCustomButton::SetShadowColor, clBtnShadow);
  p.Int<TVcCustomButton>("ShadowDepth", &TVcCustomButton::ShadowDepth,
                         &TVcCustomButton::SetShadowDepth, 2);
  p.Bool<TVcCustomGlyphButton>("TabOnEnter", &TVcCustomGlyphButton::TabOnEnter,
                               &TVcCustomGlyphButton::SetTabOnEnter, false);
  p.Enum<TVcCustomButton, TTextStyle>("TextStyle", &TVcCustomButton::TextStyle,
                                      &TVcCustomButton::SetTextStyle,
                                      {"tsNormal", "tsRaised", "tsRecessed", "tsShadow"}, tsNormal);
  p.Bool<TVcCustomGlyphButton>("Transparent", &TVcCustomGlyphButton::Transparent,
                               &TVcCustomGlyphButton::SetTransparent, false);
  p.Color<TVcCustomGlyphButton>("TransparentColor", &TVcCustomGlyphButton::TransparentColor,
                                &TVcCustomGlyphButton::SetTransparentColor,
                                VcGlyphTransparentColor);
  p.Bool<TVcCustomGlyphButton>("UseCustomGlyphs", &TVcCustomGlyphButton::UseCustomGlyphs,
                               &TVcCustomGlyphButton::SetUseCustomGlyphs, false);
  p.Color<TVcCustomGlyphButton>("WinMaskColor", &TVcCustomGlyphButton::WinMaskColor,
                                &TVcCustomGlyphButton::SetWinMaskColor, VcGlyphWinMaskColor);
}

TVcRadioButton::TVcRadioButton(TComponent* AOwner) : TVcCustomGlyphButton(AOwner) {
  SetOwnColor(clWindow);
  FNumGlyphs = 6;
  SetTabStop(false);
  FGlyphs.Assign(*VcRadChkStrip("VCRADCHK_RADIOBUTTONS"));
}

void TVcRadioButton::SetChecked(bool Value) {
  if (Value == FChecked) return;
  FChecked = Value;
  SetTabStop(Value);
  Repaint();
  if (!Value) return;
  if (TWinControl* parent = Parent())
    for (int i = 0; i < parent->ControlCount(); ++i)
      if (auto* other = dynamic_cast<TVcRadioButton*>(parent->Controls(i)); other && other != this)
        other->SetChecked(false);
  Click();
}

void TVcRadioButton::SetFlat(bool Value) {
  if (Value == FFlat) return;
  FFlat = Value;
  FGlyphs.Assign(*VcRadChkStrip(Value ? "VCRADCHK_FLATRADIOBUTTONS" : "VCRADCHK_RADIOBUTTONS"));
  Invalidate();
}

void TVcRadioButton::ClickAction() {
  if (!FChecked) SetChecked(true);
}

void TVcRadioButton::SelectGlyph(TBitmap* Dest) {
  TBitmap* strip = FUseCustomGlyphs ? &FCustomStrip : &FGlyphs;
  int index = !Enabled() ? (FChecked ? 5 : 4) : FChecked ? (FPressed ? 3 : 1) : (FPressed ? 2 : 0);
  ExtractGlyphFrame(index, Dest, FGlyphHeight, FGlyphWidth, strip);
}

void TVcRadioButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  FClicking = true;
  TVcCustomGlyphButton::MouseDown(Button, Shift, X, Y);
}

void TVcRadioButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TVcCustomGlyphButton::MouseUp(Button, Shift, X, Y);
  FClicking = false;
}

void TVcRadioButton::WndProc(TMessage& Message) {
  using namespace win;
  switch (Message.Msg) {
    case WM_SETFOCUS:
      TVcCustomGlyphButton::WndProc(Message);
      // Tabbing or an accelerator checks; a mouse press checks only on release inside.
      if (!FClicking) SetChecked(true);
      return;
    case CM_DIALOGCHAR:
      if (IsAccel(char(Message.WParam), Caption()) && CanFocus()) {
        SetFocus();
        Message.Result = 1;
        return;
      }
      break;
    case CM_DIALOGKEY:
      if (Message.WParam == VK_DOWN &&
          !(TShiftState(Message.LParam) & (ssShift | ssCtrl | ssAlt)) && CanFocus()) {
        Click();
        Message.Result = 1;
        return;
      }
      break;
    default:
      break;
  }
  TVcCustomGlyphButton::WndProc(Message);
}

WI_REGISTER_CLASS(TVcRadioButton);
