#include "controls/VcLabel.h"

#include <cmath>

#include "platform/forms/ControlPaint.h"
#include "platform/forms/graphics/GdiText.h"

using namespace win;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Pixels one border style takes on each of its sides.
int BorderAmount(TFrameStyle style, int bevelWidth) {
  switch (style) {
    case fsNone:
      return 0;
    case fsFlat:
      return 1;
    case fsStatus:
    case fsPopup:
      return bevelWidth;
    default:
      return 2;  // fsGroove .. fsButtonUp
  }
}

// The UTF-8 characters of a text, one string each.
std::vector<std::string> Characters(const std::string& s) {
  std::vector<std::string> out;
  for (size_t i = 0; i < s.size();) {
    size_t n = 1;
    while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
    out.push_back(s.substr(i, n));
    i += n;
  }
  return out;
}

// Draws with the DC directly: the canvas font is selected, the brush left clear.
void SelectText(TCanvas* c, TColor color) {
  HDC dc = c->Handle();
  SelectObject(dc, c->Font().Handle());
  SetTextColor(dc, ColorToRGB(color));
  SetBkMode(dc, TRANSPARENT);
}

}  // namespace

void TVcLabel::DefineProps(TPropList& p) {
  AboutProp(p);
  p.Enum<TVcLabel, TAlignment>("Alignment", &TVcLabel::Alignment, &TVcLabel::SetAlignment,
                               {"taLeftJustify", "taRightJustify", "taCenter"}, taLeftJustify);
  p.Int("Angle", &TVcLabel::Angle, &TVcLabel::SetAngle, 0);
  p.Bool("AutoSize", &TVcLabel::AutoSize, &TVcLabel::SetAutoSize, true);
  p.Int("BevelWidth", &TVcLabel::BevelWidth, &TVcLabel::SetBevelWidth, 1);
  p.Bool("Blinking", &TVcLabel::Blinking, &TVcLabel::SetBlinking, false);
  p.Color("BlinkColor", &TVcLabel::BlinkColor, &TVcLabel::SetBlinkColor, clHighlight);
  p.Int("BlinkIntervalOff", &TVcLabel::BlinkIntervalOff, &TVcLabel::SetBlinkIntervalOff, 500);
  p.Int("BlinkIntervalOn", &TVcLabel::BlinkIntervalOn, &TVcLabel::SetBlinkIntervalOn, 500);
  p.Color("BorderColor", &TVcLabel::BorderColor, &TVcLabel::SetBorderColor, clBtnFace);
  p.Color("BorderHighlight", &TVcLabel::BorderHighlight, &TVcLabel::SetBorderHighlight,
          clBtnHighlight);
  FrameStyleProp<TVcLabel>(p, "BorderInner", &TVcLabel::BorderInner, &TVcLabel::SetBorderInner,
                           fsNone);
  FrameStyleProp<TVcLabel>(p, "BorderOuter", &TVcLabel::BorderOuter, &TVcLabel::SetBorderOuter,
                           fsNone);
  p.Color("BorderShadow", &TVcLabel::BorderShadow, &TVcLabel::SetBorderShadow, clBtnShadow);
  SidesProp<TVcLabel>(p, "BorderSides", &TVcLabel::BorderSides, &TVcLabel::SetBorderSides,
                      AllSides);
  p.Int("BorderWidth", &TVcLabel::BorderWidth, &TVcLabel::SetBorderWidth, 0);
  p.Enum<TVcLabel, TCenterPoint>(
      "CenterPoint", &TVcLabel::CenterPoint, &TVcLabel::SetCenterPoint,
      {"cpUpperLeft", "cpUpperCenter", "cpUpperRight", "cpLeftCenter", "cpCenter", "cpRightCenter",
       "cpLowerLeft", "cpLowerCenter", "cpLowerRight"},
      cpCenter);
  p.Color("FlatColor", &TVcLabel::FlatColor, &TVcLabel::SetFlatColor, clBlack);
  p.Color("FlyByColor", &TVcLabel::FlyByColor, &TVcLabel::SetFlyByColor, clHighlight);
  p.Bool("FlyByEnabled", &TVcLabel::FlyByEnabled, &TVcLabel::SetFlyByEnabled, false);
  // Always stored, so an empty set is written too.
  SidesProp<TVcLabel>(p, "FrameSides", &TVcLabel::FrameSides, &TVcLabel::SetFrameSides, TSides{})
      .stored = [](TPersistent*) { return true; };
  p.Color("HighlightColor", &TVcLabel::HighlightColor, &TVcLabel::SetHighlightColor,
          clBtnHighlight);
  p.Enum<TVcLabel, TTextLayout>("Layout", &TVcLabel::Layout, &TVcLabel::SetLayout,
                                {"tlTop", "tlCenter", "tlBottom"}, tlTop);
  p.Bool("LightTextStyle", &TVcLabel::LightTextStyle, &TVcLabel::SetLightTextStyle, false);
  p.Enum<TVcLabel, TRotation>("Rotation", &TVcLabel::Rotation, &TVcLabel::SetRotation,
                              {"roNone", "roFlat", "roCurve"}, roNone);
  p.Color("ShadowColor", &TVcLabel::ShadowColor, &TVcLabel::SetShadowColor, clBtnShadow);
  p.Int("ShadowDepth", &TVcLabel::ShadowDepth, &TVcLabel::SetShadowDepth, 2);
  p.Bool("ShowAccelChar", &TVcLabel::ShowAccelChar, &TVcLabel::SetShowAccelChar, true);
  p.Enum<TVcLabel, TTextStyle>("TextStyle", &TVcLabel::TextStyle, &TVcLabel::SetTextStyle,
                               {"tsNormal", "tsRaised", "tsRecessed", "tsShadow"}, tsNormal);
  p.Bool("Transparent", &TVcLabel::Transparent, &TVcLabel::SetTransparent, false);
  p.Bool("WordWrap", &TVcLabel::WordWrap, &TVcLabel::SetWordWrap, false);
}

WI_REGISTER_CLASS(TVcLabel);

TVcLabel::TVcLabel(TComponent* owner) : TLabel(owner) {
  SetStandardPaint(false);
  FNormalColor = FDisplayColor = Font()->Color();
  NeedBlinkingControlsList()->Add(this);
}

TVcLabel::~TVcLabel() {
  if (BlinkingControlsList) BlinkingControlsList->Remove(this);
  FreeBlinkingControlsListIfEmpty();
}

// --- Fonts ---------------------------------------------------------------------------------

bool TVcLabel::FontIsTrueType() const {
  HDC dc = CreateScreenDC();
  HGDIOBJ old = SelectObject(dc, ControlPaint::FontHandle(Font()));
  TEXTMETRIC tm{};
  GetTextMetrics(dc, &tm);
  SelectObject(dc, old);
  DeleteDC(dc);
  return tm.tmPitchAndFamily & TMPF_TRUETYPE;
}

// Only TrueType faces turn; others are replaced by one that does.
void TVcLabel::UseTrueTypeFont() {
  if (!FontIsTrueType()) Font()->SetName("Verdana");
}

void TVcLabel::FontChanged() {
  TLabel::FontChanged();
  Perform(CM_FONTCHANGED);
}

void TVcLabel::Loaded() {
  TLabel::Loaded();
  if (FRotation == roNone && FAngle != 0) FRotation = roFlat;
  if (FRotation != roNone) UseTrueTypeFont();
  FNormalColor = FDisplayColor = Font()->Color();
  AdjustBounds();
  Invalidate();
}

// --- Setters -------------------------------------------------------------------------------

void TVcLabel::SetAutoSize(bool v) {
  if (v == AutoSize()) return;
  TLabel::SetAutoSize(v);
  AdjustBounds();
}

void TVcLabel::SetWordWrap(bool v) {
  if (v == WordWrap()) return;
  TLabel::SetWordWrap(v);
  AdjustBounds();
  Invalidate();
}

#define VC_SETTER(Name, Type)        \
  void TVcLabel::Set##Name(Type v) { \
    if (v == F##Name) return;        \
    F##Name = v;                     \
    Invalidate();                    \
  }
VC_SETTER(Alignment, TAlignment)
VC_SETTER(Transparent, bool)
VC_SETTER(ShowAccelChar, bool)
VC_SETTER(BlinkColor, int)
VC_SETTER(BevelWidth, int)
VC_SETTER(BorderColor, int)
VC_SETTER(BorderInner, TFrameStyle)
VC_SETTER(BorderOuter, TFrameStyle)
VC_SETTER(BorderSides, TSides)
VC_SETTER(BorderHighlight, int)
VC_SETTER(BorderShadow, int)
VC_SETTER(BorderWidth, int)
VC_SETTER(FlatColor, int)
VC_SETTER(FrameSides, TSides)
VC_SETTER(CenterPoint, TCenterPoint)
VC_SETTER(FlyByColor, int)
VC_SETTER(Layout, TTextLayout)
VC_SETTER(LightTextStyle, bool)
VC_SETTER(TextStyle, TTextStyle)
VC_SETTER(HighlightColor, int)
VC_SETTER(ShadowColor, int)
VC_SETTER(ShadowDepth, int)
#undef VC_SETTER

void TVcLabel::SetAngle(int v) {
  int stored = v < 0 ? 360 + v % 360 : v % 360;
  if (stored == 360) stored = 0;
  if (stored == FAngle) return;
  if (!IsLoading() && stored != 0) UseTrueTypeFont();
  FAngle = stored;
  if (FAngle != 0 && FRotation == roNone) FRotation = roFlat;
  AdjustBounds();
  Invalidate();
}

void TVcLabel::SetRotation(TRotation v) {
  if (v == FRotation) return;
  if (!IsLoading() && v != roNone) UseTrueTypeFont();
  FRotation = v;
  if (v == roNone)
    FAngle = 0;
  else if (v == roFlat)
    FAngle = 0, FCenterPoint = cpCenter;
  Invalidate();
}

void TVcLabel::SetBlinking(bool v) {
  if (v == FBlinking) return;
  FBlinking = v;
  if (!v) {
    FDisplayColor = FNormalColor;
    Repaint();
  }
}

int TVcLabel::BlinkIntervalOff() const { return NeedBlinkingControlsList()->IntervalOff(); }
void TVcLabel::SetBlinkIntervalOff(int v) { NeedBlinkingControlsList()->SetIntervalOff(v); }
int TVcLabel::BlinkIntervalOn() const { return NeedBlinkingControlsList()->IntervalOn(); }
void TVcLabel::SetBlinkIntervalOn(int v) { NeedBlinkingControlsList()->SetIntervalOn(v); }

void TVcLabel::SetFlyByEnabled(bool v) {
  if (v == FFlyByEnabled) return;
  FFlyByEnabled = v;
  // Back to the colour saved at the last entry (black when the pointer never came).
  if (!v) Font()->SetColor(FFlyBySavedColor);
}

void TVcLabel::ApplyBlinkState(bool on) {
  FDisplayColor = on ? FBlinkColor : FNormalColor;
  Repaint();
}

// --- Messages ------------------------------------------------------------------------------

void TVcLabel::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_ISBLINKING:
      m.Result = FBlinking ? 1 : 0;
      return;
    case CM_BLINK:
      if (FBlinking) ApplyBlinkState(m.WParam != 0);
      return;
    case CM_FONTCHANGED:
      if (!IsLoading()) {
        if (!FBlinking) FNormalColor = FDisplayColor = Font()->Color();
        if (FAngle != 0 && !FontIsTrueType()) FAngle = 0;
        AdjustBounds();
      }
      return;
    case CM_TEXTCHANGED:
      AdjustBounds();
      Repaint();
      return;
    case CM_MOUSEENTER:
      FMouseInside = true;
      if (FFlyByEnabled) {
        FFlyBySavedColor = Font()->Color();
        Font()->SetColor(FFlyByColor);
      }
      MouseEnter();
      return;
    case CM_MOUSELEAVE:
      FMouseInside = false;
      if (FFlyByEnabled) Font()->SetColor(FFlyBySavedColor);
      MouseLeave();
      return;
    default:
      TLabel::WndProc(m);
  }
}

// --- Geometry ------------------------------------------------------------------------------

TRect TVcLabel::DeflateForBorders(TRect r, bool withBand) const {
  if (FFrameSides.Contains(sdLeft)) ++r.left;
  if (FFrameSides.Contains(sdTop)) ++r.top;
  if (FFrameSides.Contains(sdRight)) --r.right;
  if (FFrameSides.Contains(sdBottom)) --r.bottom;
  if (withBand) InflateRect(&r, -FBorderWidth, -FBorderWidth);
  int n = BorderAmount(FBorderOuter, FBevelWidth) + BorderAmount(FBorderInner, FBevelWidth);
  if (FBorderSides.Contains(sdLeft)) r.left += n;
  if (FBorderSides.Contains(sdTop)) r.top += n;
  if (FBorderSides.Contains(sdRight)) r.right -= n;
  if (FBorderSides.Contains(sdBottom)) r.bottom -= n;
  return r;
}

void TVcLabel::InflateForBorders(TRect& r) const {
  r.right += FFrameSides.Contains(sdLeft) + FFrameSides.Contains(sdRight);
  r.bottom += FFrameSides.Contains(sdTop) + FFrameSides.Contains(sdBottom);
  int n = BorderAmount(FBorderOuter, FBevelWidth) + BorderAmount(FBorderInner, FBevelWidth) +
          FBorderWidth;
  r.right += n * (FBorderSides.Contains(sdLeft) + FBorderSides.Contains(sdRight));
  r.bottom += n * (FBorderSides.Contains(sdTop) + FBorderSides.Contains(sdBottom));
  if (FRotation == roNone && FTextStyle == tsShadow) {
    r.right += FShadowDepth;
    r.bottom += FShadowDepth;
  }
  if (FRotation == roFlat && FAngle != 0 && FAngle != 180) {
    if (FTextStyle == tsShadow) {
      r.right += FShadowDepth / 2;
      r.bottom += FShadowDepth / 2;
    }
    double w = r.right, h = r.bottom;
    double phi = (FAngle == 90 || FAngle == 270 ? 90 : FAngle % 90) * kPi / 180;
    r.right = int(std::lround(std::cos(phi) * w + std::sin(phi) * h));
    r.bottom = int(std::lround(std::sin(phi) * w + std::cos(phi) * h));
  }
}

void TVcLabel::AdjustBounds() {
  if (IsLoading() || !AutoSize()) return;
  TRect r = ClientRect();
  HDC dc = CreateScreenDC();
  HGDIOBJ old = SelectObject(dc, ControlPaint::FontHandle(Font()));
  std::string text = GetLabelText();
  // An empty caption measures as one blank, as a line still takes its height.
  DrawText(dc, text.empty() ? std::string(" ") : text, &r,
           DT_CALCRECT | DT_EXPANDTABS | (WordWrap() ? DT_WORDBREAK : 0) |
               (FShowAccelChar ? 0 : DT_NOPREFIX));
  SelectObject(dc, old);
  DeleteDC(dc);
  InflateForBorders(r);
  int x = Left();
  if (FAlignment == taRightJustify) x += Width() - r.right;
  SetBounds(x, Top(), r.right + 1, r.bottom);
}

unsigned TVcLabel::TextFlags() const {
  unsigned f = DT_EXPANDTABS;
  f |= FAlignment == taRightJustify ? DT_RIGHT : FAlignment == taCenter ? DT_CENTER : DT_LEFT;
  if (WordWrap()) f |= DT_WORDBREAK;
  if (!FShowAccelChar) f |= DT_NOPREFIX;
  return f;
}

void TVcLabel::PlaceText(HDC dc, const std::string& text, TRect& r, unsigned flags) const {
  if (FLayout != tlTop) {
    TRect calc = r;
    DrawText(dc, text, &calc, flags | DT_CALCRECT);
    int dy = Height() - FBorderWidth - calc.bottom;
    if (FLayout == tlCenter) dy /= 2;
    OffsetRect(&r, 0, dy);
  }
  int back = FTextStyle == tsShadow ? FShadowDepth : 1;
  if (FAlignment == taRightJustify) OffsetRect(&r, -back, 0);
  if (FLayout == tlBottom) OffsetRect(&r, 0, -back);
}

// --- Painting ------------------------------------------------------------------------------

TRect TVcLabel::DrawStyledBorder(TCanvas* c, const TRect& r, TFrameStyle style) const {
  switch (style) {
    case fsFlat:
      return DrawBevel(c, r, FFlatColor, FFlatColor, 1, FBorderSides);
    case fsPopup:
      return DrawBevel(c, r, FBorderHighlight, FBorderShadow, FBevelWidth, FBorderSides);
    case fsStatus:
      return DrawBevel(c, r, FBorderShadow, FBorderHighlight, FBevelWidth, FBorderSides);
    default:
      return DrawBorder(c, r, style, FBorderSides);
  }
}

void TVcLabel::Paint() {
  TCanvas* c = Canvas();
  if (!c) return;
  TRect r{0, 0, Width(), Height()};
  r = DrawSides(c, r, clBlack, clBlack, FFrameSides);
  r = DrawStyledBorder(c, r, FBorderOuter);
  if (FBorderWidth > 0) r = DrawBevel(c, r, FBorderColor, FBorderColor, FBorderWidth, FBorderSides);
  r = DrawStyledBorder(c, r, FBorderInner);
  if (!FTransparent) {
    c->Brush().SetStyle(bsSolid);
    c->Brush().SetColor(Color());
    c->FillRect(r);
  }
  c->Brush().SetStyle(bsClear);
  if (FRotation == roCurve)
    DrawCurvedText(c);
  else
    DrawRotatedText(c);
}

void TVcLabel::DrawRotatedText(TCanvas* c) {
  const std::string text = GetLabelText();
  TRect R = DeflateForBorders(ClientRect(), true);
  const int h = FShadowDepth / 2;
  const bool flat = FRotation == roFlat;
  HDC dc = c->Handle();
  TPoint P{Width() / 2, Height() / 2};
  UINT align = TA_LEFT | TA_TOP;
  if (flat) {
    HFONT f = CreateRotatedFont(Font(), FAngle);
    c->Font().SetHandle(f);
    DeleteObject(f);
    double theta = FAngle * kPi / 180 + kPi / 2;
    int pp = c->TextHeight("Pp");
    int d = pp / 4, e = FTextStyle == tsShadow ? h : 0;
    int tw = c->TextWidth(text) + e, th = pp + e;
    int dx = int(std::lround(std::cos(theta) * d)), dy = int(std::lround(std::sin(theta) * d));
    switch (FAngle) {
      case 0:
        P.x = FAlignment == taCenter         ? P.x
              : FAlignment == taRightJustify ? R.right - tw - e
                                             : R.left + e;
        P.y -= th / 2;
        if (FAlignment == taCenter) align = TA_CENTER | TA_TOP;
        break;
      case 90:
        P.x -= dx;
        P.y = FAlignment == taCenter         ? R.bottom - (R.bottom - tw) / 2
              : FAlignment == taRightJustify ? R.top + e + tw
                                             : R.bottom - e;
        align = TA_BASELINE | TA_LEFT;
        break;
      case 180:
        P.x = FAlignment == taCenter         ? R.right - (R.right - tw) / 2
              : FAlignment == taRightJustify ? R.left + tw
                                             : R.right - e;
        P.y -= th / 4;
        align = TA_BASELINE | TA_LEFT;
        break;
      case 270:
        P.x -= dx;
        P.y = FAlignment == taCenter         ? (R.bottom - tw) / 2
              : FAlignment == taRightJustify ? R.bottom - tw - e
                                             : R.top + e;
        align = TA_BASELINE | TA_LEFT;
        break;
      default:
        P.x -= dx;
        P.y += dy;
        align = TA_BASELINE | TA_CENTER;
    }
  }
  SetTextAlign(dc, align);
  const unsigned flags = TextFlags();
  // One copy of the text in a colour, offset by (ox, oy); clipMoves: the clip follows.
  auto copy = [&](TColor color, int ox, int oy, bool clipMoves) {
    SelectText(c, color);
    if (flat) {
      TRect clip = R;
      if (clipMoves) OffsetRect(&clip, ox, oy);
      ExtTextOut(dc, P.x + ox, P.y + oy, ETO_CLIPPED, &clip, text.data(), int(text.size()),
                 nullptr);
    } else {
      TRect t = R;
      OffsetRect(&t, ox, oy);
      PlaceText(dc, text, t, flags);
      DrawText(dc, text, &t, flags);
    }
  };
  if (Enabled()) {
    if (FTextStyle == tsRaised || FTextStyle == tsRecessed) {
      bool raised = FTextStyle == tsRaised;
      if (!(raised && FLightTextStyle)) copy(raised ? FShadowColor : FHighlightColor, 1, 1, true);
      if (!(!raised && FLightTextStyle))
        copy(raised ? FHighlightColor : FShadowColor, -1, -1, true);
    } else if (FTextStyle == tsShadow) {
      int o = flat ? h : FShadowDepth;
      copy(FShadowColor, o, o, false);
    }
    if (flat && FTextStyle == tsShadow)
      copy(FDisplayColor, -h, -h, false);
    else
      copy(FDisplayColor, 0, 0, false);
  } else {
    copy(clBtnHighlight, 1, 1, true);
    copy(clGrayText, 0, 0, false);
  }
  SetTextAlign(dc, TA_LEFT | TA_TOP);
}

void TVcLabel::DrawCurvedText(TCanvas* c) {
  const int W = Width(), H = Height(), b = FBorderWidth, b2 = 2 * b;
  TPoint M{};
  int rx = 0, ry = 0;
  switch (FCenterPoint) {
    case cpUpperLeft:
      M = {b, b}, rx = W - b2, ry = H - b2;
      break;
    case cpUpperCenter:
      M = {W / 2, b}, rx = W / 2 - b2, ry = H - b2;
      break;
    case cpUpperRight:
      M = {W, b}, rx = W - b2, ry = H - b2;
      break;
    case cpLeftCenter:
      M = {b, H / 2}, rx = W - b2, ry = H / 2 - b2;
      break;
    case cpCenter:
      M = {W / 2, H / 2}, rx = W / 2 - b2, ry = H / 2 - b2;
      break;
    case cpRightCenter:
      M = {W - b, H / 2}, rx = W - b2, ry = H / 2 - b2;
      break;
    case cpLowerLeft:
      M = {b, H - b}, rx = W - b2, ry = H - b2;
      break;
    case cpLowerCenter:
      M = {W / 2, H - b}, rx = W / 2 - b2, ry = H - b2;
      break;
    case cpLowerRight:
      M = {W - b, H - b}, rx = W - b2, ry = H - b2;
      break;
  }
  double a = FAngle * kPi / 180;
  HDC dc = c->Handle();
  SetTextAlign(dc, TA_BASELINE | TA_CENTER);
  LOGFONT lf = c->Font().LogFont();
  for (const std::string& ch : Characters(GetLabelText())) {
    int t = c->TextHeight("Yy");
    int X = M.x - int(std::lround(std::sin(a) * (rx - t)));
    int Y = M.y - int(std::lround(std::cos(a) * (ry - t)));
    lf.lfEscapement = lf.lfOrientation = int(std::lround(a * 1800 / kPi));
    HFONT f = CreateFontIndirect(&lf);
    c->Font().SetHandle(f);
    DeleteObject(f);
    auto out = [&](TColor color, int x, int y) {
      SelectText(c, color);
      TextOut(dc, x, y, ch);
    };
    if (FTextStyle == tsRaised || FTextStyle == tsRecessed) {
      bool raised = FTextStyle == tsRaised;
      if (!(raised && FLightTextStyle)) out(raised ? FShadowColor : FHighlightColor, X + 1, Y + 1);
      if (!(!raised && FLightTextStyle)) out(raised ? FHighlightColor : FShadowColor, X - 1, Y - 1);
    } else if (FTextStyle == tsShadow) {
      out(FShadowColor, X + FShadowDepth, Y + FShadowDepth);
    }
    if (Enabled()) {
      out(FDisplayColor, X, Y);
    } else {
      out(clBtnHighlight, X + 1, Y + 1);
      out(clGrayText, X, Y);
    }
    // A label thinner than its border has no radius: step as on a one-pixel ellipse.
    a -= double(c->TextWidth("w") + 2) / (rx > 0 ? rx : 1);
  }
  SetTextAlign(dc, TA_LEFT | TA_TOP);
}
