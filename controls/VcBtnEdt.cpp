#include "controls/VcBtnEdt.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

#include "platform/forms/graphics/BitmapResources.h"
#include "platform/system/SystemInfo.h"

namespace {

inline constexpr win::UINT WM_CUT = 0x0300, WM_PASTE = 0x0302;

const char* const kResourceNames[] = {"",
                                      "VCBTNEDT_LOOKUP",
                                      "VCBTNEDT_DROPDOWN",
                                      "VCBTNEDT_CALENDAR",
                                      "VCBTNEDT_ACCEPT",
                                      "VCBTNEDT_REJECT",
                                      "VCBTNEDT_FOLDER",
                                      "VCBTNEDT_FIND",
                                      "VCBTNEDT_SEARCH"};

// Our own 10 x 10 glyphs; '#' is ink, '.' the transparent olive of the lower-left corner.
const char* const kGlyphs[] = {
    nullptr,
    // lookup: three dots
    "..........|..........|..........|..........|..........|..........|..........|.#..#..#..|......"
    "....|..........",
    // drop-down: a small down arrow
    "..........|..........|..........|.#######..|..#####...|...###....|....#.....|..........|......"
    "....|..........",
    // calendar: a page with a grid
    "..........|.########.|.########.|.#......#.|.#.#.#.##.|.#......#.|.#.#.#.##.|.#......#.|.#####"
    "###.|..........",
    // accept: a tick
    "..........|.......##.|......##..|.....##...|.#...##...|.##.##....|..###.....|...#......|......"
    "....|..........",
    // reject: a cross
    "..........|.##....##.|..##..##..|...####...|....##....|...####...|..##..##..|.##....##.|......"
    "....|..........",
    // folder
    "..........|.###......|.#..#####.|.#.......#|.#.......#|.#.......#|.#.......#|.#########|......"
    "....|..........",
    // find: a magnifying glass
    "..........|..####....|.#....#...|.#....#...|.#....#...|..####....|......#...|.......#..|......"
    "..#.|..........",
    // search: glass over lines
    "..........|.....###..|....#...#.|....#...#.|....#...#.|.....###..|.###..#...|......#...|.####."
    ".#..|..........",
};

// The strip: the glyph in black, then the same glyph disabled (white under grey).
std::string PixelMap(const char* glyph) {
  std::array<std::string, 10> rows;
  for (size_t y = 0; y < 10; ++y) rows[y] = std::string(glyph + y * 11, 10);
  std::string out = ". 808000\n# 000000\nw FFFFFF\ng 808080\n\n";
  for (int y = 0; y < 10; ++y) {
    std::string normal = rows[size_t(y)], disabled(10, '.');
    for (int x = 0; x < 10; ++x) {
      if (rows[size_t(y)][size_t(x)] == '#') {
        disabled[size_t(x)] = 'g';
      } else if (x > 0 && y > 0 && rows[size_t(y - 1)][size_t(x - 1)] == '#') {
        disabled[size_t(x)] = 'w';
      }
    }
    for (auto& c : normal) c = c == '#' ? '#' : '.';
    out += normal + disabled + "\n";
  }
  return out;
}

// The program's glyph resources, present from start-up.
const bool kResourcesRegistered = [] {
  for (int k = bkLookup; k <= bkSearch; ++k)
    win::RegisterBitmapResource(kResourceNames[k], PixelMap(kGlyphs[k]));
  return true;
}();

// Unit-level glyph cache, freed at the end of the program.
struct TGlyphCache {
  std::array<TBitmap*, 9> bitmaps{};
  ~TGlyphCache() {
    for (auto*& b : bitmaps) {
      delete b;
      b = nullptr;
    }
  }
} GlyphCache;

void Beep() { win::MessageBeep(0); }

}  // namespace

const std::vector<std::string>& ButtonKindNames() {
  static const std::vector<std::string> names = {"bkCustom",   "bkLookup", "bkDropDown",
                                                 "bkCalendar", "bkAccept", "bkReject",
                                                 "bkFolder",   "bkFind",   "bkSearch"};
  return names;
}

TBitmap* GetButtonKindGlyph(TButtonKind kind) {
  if (kind <= bkCustom || kind > bkSearch) return nullptr;
  (void)kResourcesRegistered;
  TBitmap*& b = GlyphCache.bitmaps[size_t(kind)];
  if (!b) {
    auto* fresh = new TBitmap;
    try {
      fresh->LoadFromResourceName(0, kResourceNames[kind]);
    } catch (...) {
      delete fresh;
      throw;
    }
    b = fresh;
  }
  return b;
}

void AssignGlyph(TImagePicture* glyph, TBitmap* bitmap) {
  const win::Surface& s = bitmap->Surface();
  glyph->SetSize(s.width, s.height);
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) glyph->SetPixels(x, y, TColor(s.At(x, y)));
}

// --- TVcButtonPair
// ---------------------------------------------------------------------------------

TVcButtonPair::TVcButtonPair(TComponent* owner) : TWinControl(owner) {
  TWinControl::SetBounds(0, 0, 34, 21);
  FButton = CreateSpeedButton();
  FAltBtn = CreateSpeedButton();
  FButton->SetVisible(true);
}

TSpeedButton* TVcButtonPair::CreateSpeedButton() {
  auto* b = new TSpeedButton(this);
  b->SetParent(this);
  b->SetVisible(false);
  b->OnClick = [this](TObject* sender) { SpeedButtonClick(sender); };
  b->OnMouseDown = [this](TObject* sender, TMouseButton mb, TShiftState s, int x, int y) {
    SpeedButtonMouseDown(sender, mb, s, x, y);
  };
  b->SetEnabled(true);
  b->SetWidth(17);
  return b;
}

void TVcButtonPair::SpeedButtonClick(TObject* sender) {
  if (sender == FAltBtn)
    AltBtnClick();
  else
    ButtonClick();
}

void TVcButtonPair::SpeedButtonMouseDown(TObject*, TMouseButton button, TShiftState, int, int) {
  if (button != mbLeft) return;
  if (FFocusControl && FFocusControl->CanFocus() && FFocusControl->TabStop()) {
    if (!FFocusControl->Focused()) {
      FFocusControl->SetFocus();
      return;
    }
  }
  if (TabStop() && !Focused() && CanFocus()) SetFocus();
}

void TVcButtonPair::SetFocusControl(TWinControl* c) {
  FFocusControl = c;
  if (c) c->FreeNotification(this);
}

void TVcButtonPair::Notification(TComponent* c, TOperation op) {
  TWinControl::Notification(c, op);
  if (op == opRemove && c == FFocusControl) FFocusControl = nullptr;
}

void TVcButtonPair::SetEnabled(bool v) {
  TWinControl::SetEnabled(v);
  FButton->SetEnabled(v);
  FAltBtn->SetEnabled(v);
}

void TVcButtonPair::SetFlat(bool v) {
  if (v == FFlat) return;
  FFlat = v;
  FButton->SetFlat(v);
  FAltBtn->SetFlat(v);
}

void TVcButtonPair::SetBounds(int left, int top, int width, int height) {
  TWinControl::SetBounds(left, top, width, height);
  ArrangeButtons();
}

void TVcButtonPair::Resize() {
  TWinControl::Resize();
  ArrangeButtons();
}

void TVcButtonPair::ArrangeButtons() {
  if (IsLoading() || !FButton || !FAltBtn) return;
  int h = Height() - 1;
  int x = 0;
  if (FButton->Visible()) {
    FButton->SetBounds(0, 0, FButton->Width(), h);
    x = FButton->Width();
  }
  if (FAltBtn->Visible()) FAltBtn->SetBounds(x, 0, FAltBtn->Width(), h);
}

void TVcButtonPair::DefineProps(TPropList&) {}

// --- TVcButtonEdit
// ----------------------------------------------------------------------------------

TVcButtonEdit::TVcButtonEdit(TComponent* owner) : TVcEdit(owner) {
  FPair = new TVcButtonPair(this);
  FPair->SetParent(this);
  FPair->SetBounds(0, 0, 17, 10);
  FPair->SetVisible(true);
  FPair->SetFocusControl(this);
  FPair->OnAltBtnClick = [this](TObject* s) { PairAltBtnClick(s); };
  FPair->OnButtonClick = [this](TObject* s) { PairButtonClick(s); };
  TControl::SetWidth(121);
  FPair->AltBtn()->SetVisible(false);
  StockGlyph(biMain);
  StockGlyph(biAlt);
  ResizeButtons();
}

void TVcButtonEdit::StockGlyph(int index) {
  TBitmap* b = GetButtonKindGlyph(GetKind(index));
  if (!b) return;
  AssignGlyph(SpeedButton(index)->Glyph(), b);
  SpeedButton(index)->SetNumGlyphs(2);
}

TSpeedButton* TVcButtonEdit::SpeedButton(int index) const {
  return index == biAlt ? FPair->AltBtn() : FPair->Button();
}

void TVcButtonEdit::SetKind(int index, TButtonKind v) {
  TButtonKind& k = index == biAlt ? FAltKind : FKind;
  if (v == k) return;
  k = v;
  if (v != bkCustom && !IsLoading()) StockGlyph(index);
}

void TVcButtonEdit::SetButtonGlyph(TBitmap* b) {
  if (b)
    AssignGlyph(FPair->Button()->Glyph(), b);
  else
    FPair->Button()->Glyph()->Clear();
  FKind = bkCustom;
}

void TVcButtonEdit::SetAltBtnGlyph(TBitmap* b) {
  if (b)
    AssignGlyph(FPair->AltBtn()->Glyph(), b);
  else
    FPair->AltBtn()->Glyph()->Clear();
  FAltKind = bkCustom;
}

void TVcButtonEdit::SetVisible(int index, bool v) {
  SpeedButton(index)->SetVisible(v);
  ResizeButtons();
}

void TVcButtonEdit::SetWidth(int index, int v) {
  SpeedButton(index)->SetWidth(v);
  ResizeButtons();
}

void TVcButtonEdit::SetFrameStyle(TFrameStyle v) {
  TVcEdit::SetFrameStyle(v);
  ResizeButtons();
}

void TVcButtonEdit::SetFrameVisible(bool v) {
  TVcEdit::SetFrameVisible(v);
  UpdateFrameStyle(false, false);
  ResizeButtons();
}

void TVcButtonEdit::SetAlignment(TLeftRight v) {
  TVcEdit::SetAlignment(v);
  SetEditMargins();
}

void TVcButtonEdit::SetEnabled(bool v) {
  if (v == Enabled()) return;
  TVcEdit::SetEnabled(v);
  FPair->SetEnabled(v);
}

void TVcButtonEdit::SetFlatButtons(bool v) {
  FPair->SetFlat(v);
  ResizeButtons();
}

void TVcButtonEdit::SetFlatButtonColor(int v) { FPair->SetColor(v); }

void TVcButtonEdit::SetFlatButtonParentColor(bool v) { FPair->SetParentColor(v); }

void TVcButtonEdit::SetEditMargins() {
  Perform(win::EM_SETMARGINS, win::EC_LEFTMARGIN | win::EC_RIGHTMARGIN,
          win::MAKELPARAM(0, win::WORD(FPair->Width() + 2)));
}

TRect TVcButtonEdit::GetTextRect() const {
  TRect r = ClientRect();
  r.right -= FPair->Width() + 2;
  return r;
}

void TVcButtonEdit::ResizeButtons() {
  if (IsLoading() || !FPair) return;
  int h = GetFontHeight(Font());
  if (Height() < h) {
    // The size change comes back here.
    SetHeight(h);
    return;
  }
  int w = 0;
  if (FPair->Button()->Visible()) w += FPair->Button()->Width();
  if (FPair->AltBtn()->Visible()) w += FPair->AltBtn()->Width();
  // New-style (3-D) controls: the pair sits against the sunken border's inside. Windows
  // before 4.0 draws no 3-D edit border, whatever Ctl3D says.
  if (FrameVisible() || (NewStyleControls() && Ctl3D()))
    FPair->SetBounds(Width() - w - 4, 0, w, Height() - 3);
  else
    FPair->SetBounds(Width() - w - 1, 1, w, Height() - 3);
  SetEditMargins();
  Invalidate();
}

void TVcButtonEdit::Resize() {
  TVcEdit::Resize();
  ResizeButtons();
}

void TVcButtonEdit::Loaded() {
  TVcEdit::Loaded();
  if (FKind != bkCustom) StockGlyph(biMain);
  if (FAltKind != bkCustom) StockGlyph(biAlt);
  ResizeButtons();
}

void TVcButtonEdit::ReadButtonShortCutText(TReader& reader) {
  FShortCut = TextToShortCut(reader.ReadString());
}
void TVcButtonEdit::ReadAltBtnShortCutText(TReader& reader) {
  FAltShortCut = TextToShortCut(reader.ReadString());
}

void TVcButtonEdit::DefineProperties(TFiler& filer) {
  TVcEdit::DefineProperties(filer);
  // Older descriptions held the shortcuts as text: read, never written.
  filer.DefineProperty(
      "ButtonShortCutText", [this](TReader& r) { ReadButtonShortCutText(r); },
      [this](TWriter& w) { WriteShortCutText(w); }, false);
  filer.DefineProperty(
      "AltBtnShortCutText", [this](TReader& r) { ReadAltBtnShortCutText(r); },
      [this](TWriter& w) { WriteShortCutText(w); }, false);
}

void TVcButtonEdit::KeyDown(win::WORD& key, TShiftState shift) {
  TVcEdit::KeyDown(key, shift);
  if (!FAllowKeyEdit && key == win::VK_DELETE) {
    key = 0;
    Beep();
    return;
  }
  FShortCutFired = false;
  if (key == 0) return;
  TShortCut sc = TShortCut((key & 0xFF) | ((shift & ssShift) ? scShift : 0) |
                           ((shift & ssCtrl) ? scCtrl : 0) | ((shift & ssAlt) ? scAlt : 0));
  TSpeedButton* main = FPair->Button();
  TSpeedButton* alt = FPair->AltBtn();
  if (main->Visible() && main->Enabled() && FShortCut != 0 && sc == FShortCut) {
    main->Click();
    FShortCutFired = true;
    return;
  }
  if (alt->Visible() && alt->Enabled() && FAltShortCut != 0 && sc == FAltShortCut) {
    alt->Click();
    FShortCutFired = true;
  }
}

void TVcButtonEdit::KeyPress(char& key) {
  TVcEdit::KeyPress(key);
  if (!FAllowKeyEdit && (static_cast<unsigned char>(key) >= 32 || key == '\b')) {
    key = 0;
    Beep();
  }
  if (FShortCutFired) key = 0;
}

void TVcButtonEdit::DoEnter() {
  SetEditMargins();
  SelectAllUnlessClicked();
  TVcEdit::DoEnter();
}

void TVcButtonEdit::DoExit() {
  TVcEdit::DoExit();
  SetEditMargins();
}

void TVcButtonEdit::WndProc(TMessage& m) {
  if ((m.Msg == WM_PASTE || m.Msg == WM_CUT) && (!FAllowKeyEdit || ReadOnly())) return;
  TVcEdit::WndProc(m);
  // The shortcut's character (if any) has come by the key's release; characters that
  // arrive without a key press of their own must not be taken for it.
  if (m.Msg == win::WM_KEYUP) FShortCutFired = false;
}

void TVcButtonEdit::DefineProps(TPropList& p) {
  using B = TVcButtonEdit;
  p.Bool("AllowKeyEdit", &B::AllowKeyEdit, &B::SetAllowKeyEdit, true);
  p.Object("AltBtnGlyph", &B::AltBtnGlyph).stored = [](TPersistent* o) {
    return static_cast<B*>(o)->AltBtnKind() == bkCustom;
  };
  p.Object("ButtonGlyph", &B::ButtonGlyph).stored = [](TPersistent* o) {
    return static_cast<B*>(o)->ButtonKind() == bkCustom;
  };
  p.Int("AltBtnNumGlyphs", &B::AltBtnNumGlyphs, &B::SetAltBtnNumGlyphs, 2);
  p.Int("ButtonNumGlyphs", &B::ButtonNumGlyphs, &B::SetButtonNumGlyphs, 2);
  p.String("AltBtnHint", &B::AltBtnHint, &B::SetAltBtnHint);
  p.String("ButtonHint", &B::ButtonHint, &B::SetButtonHint);
  p.Enum("AltBtnKind", &B::AltBtnKind, &B::SetAltBtnKind, ButtonKindNames(), bkLookup);
  p.Enum("ButtonKind", &B::ButtonKind, &B::SetButtonKind, ButtonKindNames(), bkLookup);
  p.Int("AltBtnShortCut", &B::AltBtnShortCut, &B::SetAltBtnShortCut, 0);
  p.Int("ButtonShortCut", &B::ButtonShortCut, &B::SetButtonShortCut, 115);
  p.Bool("AltBtnVisible", &B::AltBtnVisible, &B::SetAltBtnVisible, false);
  p.Bool("ButtonVisible", &B::ButtonVisible, &B::SetButtonVisible, true);
  p.Int("AltBtnWidth", &B::AltBtnWidth, &B::SetAltBtnWidth, 17);
  p.Int("ButtonWidth", &B::ButtonWidth, &B::SetButtonWidth, 17);
  p.Bool("FlatButtons", &B::FlatButtons, &B::SetFlatButtons, false);
  p.Color("FlatButtonColor", &B::FlatButtonColor, &B::SetFlatButtonColor, clWindow).stored =
      [](TPersistent* o) { return !static_cast<B*>(o)->FlatButtonParentColor(); };
  p.Bool("FlatButtonParentColor", &B::FlatButtonParentColor, &B::SetFlatButtonParentColor, true);
  p.Event("OnAltBtnClick", &B::OnAltBtnClick);
  p.Event("OnButtonClick", &B::OnButtonClick);
}

WI_REGISTER_CLASS(TVcButtonEdit);
