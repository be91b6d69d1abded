#include "controls/VcChkLst.h"

#include "platform/forms/graphics/BitmapResources.h"

using namespace win;

namespace {

// Six 11 x 11 frames: enabled unchecked, checked, grayed; then the same disabled.
const char* const kCheckStrip =
    "g 808080\nw FFFFFF\nk 000000\ns C0C0C0\n\n"
    "gggggggggggggggggggggggggggggggggggggggggggggggggggggggggggggggggg\n"
    "gwwwwwwwwwggwwwwwwwwwggwgwgwgwgwggsssssssssggsssssssssggsgsgsgsgsg\n"
    "gwwwwwwwwwggwwwwwwwkwgggwgwgwgwgggsssssssssggsssssssgsgggsgsgsgsgg\n"
    "gwwwwwwwwwggwwwwwwkkwggwgwgwgwgwggsssssssssggssssssggsggsgsgsgsgsg\n"
    "gwwwwwwwwwggwkwwwkkkwgggwgwgwgwgggsssssssssggsgsssgggsgggsgsgsgsgg\n"
    "gwwwwwwwwwggwkkwkkkwwggwgwgwgwgwggsssssssssggsggsgggssggsgsgsgsgsg\n"
    "gwwwwwwwwwggwkkkkkwwwgggwgwgwgwgggsssssssssggsgggggsssgggsgsgsgsgg\n"
    "gwwwwwwwwwggwwkkkwwwwggwgwgwgwgwggsssssssssggssgggssssggsgsgsgsgsg\n"
    "gwwwwwwwwwggwwwkwwwwwgggwgwgwgwgggsssssssssggsssgsssssgggsgsgsgsgg\n"
    "gwwwwwwwwwggwwwwwwwwwggwgwgwgwgwggsssssssssggsssssssssggsgsgsgsgsg\n"
    "gggggggggggggggggggggggggggggggggggggggggggggggggggggggggggggggggg\n";

const bool kStripRegistered = (RegisterBitmapResource("VCCHKLST_CHECKS", kCheckStrip), true);

}  // namespace

TBitmap* CheckGlyphs() {
  // Loaded once per program; it lives until exit, as the unit's strip does.
  static TBitmap* strip = [] {
    (void)kStripRegistered;
    auto* b = new TBitmap;
    b->LoadFromResourceName(0, "VCCHKLST_CHECKS");
    return b;
  }();
  return strip;
}

TPacket* NewPacket() { return new TPacket; }

// --- TCheckListStrings ---------------------------------------------------------------------

void TCheckListStrings::DefineProps(TPropList&) {}

TCheckListStrings::~TCheckListStrings() {
  for (auto* p : FPackets) delete p;
}

TPacket* TCheckListStrings::Packet(int index) const {
  if (index < 0 || index >= int(FPackets.size())) throw EListError(ListIndexErrorText(index));
  return FPackets[size_t(index)];
}

int TCheckListStrings::Count() const { return int(FListBox->Perform(LB_GETCOUNT)); }

std::string TCheckListStrings::Get(int index) const {
  // The buffer is sized from the line, so long lines read back whole.
  auto len = std::intptr_t(FListBox->Perform(LB_GETTEXTLEN, WPARAM(index)));
  if (len < 0) throw EStringListError(ListIndexErrorText(index));
  std::string buf(size_t(len) + 1, '\0');
  auto got = std::intptr_t(FListBox->Perform(LB_GETTEXT, WPARAM(index), LPARAM(buf.data())));
  if (got < 0) throw EStringListError(ListIndexErrorText(index));
  buf.resize(size_t(got));
  return buf;
}

void TCheckListStrings::Put(int index, const std::string& s) {
  TPacket* p = Packet(index);
  std::uint8_t state = p->State;
  bool enabled = p->Enabled;
  TStrings::Put(index, s);
  TPacket* n = Packet(index);
  n->State = state;
  n->Enabled = enabled;
}

TObject* TCheckListStrings::GetObject(int index) const {
  auto r = std::intptr_t(FListBox->Perform(LB_GETITEMDATA, WPARAM(index)));
  if (r == -1) throw EStringListError(ListIndexErrorText(index));
  return reinterpret_cast<TObject*>(r);
}

void TCheckListStrings::PutObject(int index, TObject* o) {
  FListBox->Perform(LB_SETITEMDATA, WPARAM(index), LPARAM(o));
}

int TCheckListStrings::Add(const std::string& s) {
  FListBox->SetAdding(true);
  try {
    auto at = std::intptr_t(FListBox->Perform(LB_ADDSTRING, 0, LPARAM(s.c_str())));
    if (at < 0) throw EOutOfResources("Impossible d'insérer une ligne");
    FPackets.insert(FPackets.begin() + at, NewPacket());
    FListBox->SetAdding(false);
    return int(at);
  } catch (...) {
    FListBox->SetAdding(false);
    throw;
  }
}

void TCheckListStrings::Insert(int index, const std::string& s) {
  FListBox->SetAdding(true);
  try {
    auto at = std::intptr_t(FListBox->Perform(LB_INSERTSTRING, WPARAM(index), LPARAM(s.c_str())));
    if (at < 0) throw EOutOfResources("Impossible d'insérer une ligne");
    // The packet goes where the window put the line.
    FPackets.insert(FPackets.begin() + at, NewPacket());
    FListBox->SetAdding(false);
  } catch (...) {
    FListBox->SetAdding(false);
    throw;
  }
}

void TCheckListStrings::Delete(int index) {
  TPacket* p = Packet(index);
  FListBox->Perform(LB_DELETESTRING, WPARAM(index));
  delete p;
  FPackets.erase(FPackets.begin() + index);
}

void TCheckListStrings::Clear() {
  FListBox->Perform(LB_RESETCONTENT);
  for (auto* p : FPackets) delete p;
  FPackets.clear();
}

void TCheckListStrings::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  TPacket* p = Packet(curIndex);
  std::uint8_t state = p->State;
  bool enabled = p->Enabled;
  std::string s = Get(curIndex);
  TObject* o = GetObject(curIndex);
  BeginUpdate();
  try {
    Delete(curIndex);
    InsertObject(newIndex, s, o);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  TPacket* n = Packet(newIndex);
  n->State = state;
  n->Enabled = enabled;
}

void TCheckListStrings::AddStrings(const TStrings* source) {
  if (!source) return;
  auto* packets = dynamic_cast<const TPacketStringList*>(source);
  auto* checks = dynamic_cast<const TCheckListStrings*>(source);
  BeginUpdate();
  try {
    int n = source->Count();
    for (int i = 0; i < n; ++i) {
      int at = AddObject(source->Get(i), source->GetObject(i));
      const TPacket* from = packets ? packets->Packet(i) : checks ? checks->Packet(i) : nullptr;
      if (from) {
        Packet(at)->State = from->State;
        Packet(at)->Enabled = from->Enabled;
      }
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TCheckListStrings::Assign(TPersistent* source) {
  if (auto* s = dynamic_cast<TStrings*>(source)) {
    if (s == this) return;
    BeginUpdate();
    try {
      Clear();
      AddStrings(s);
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  TStrings::Assign(source);
}

void TCheckListStrings::SetUpdateState(bool updating) {
  // No painting while updating; one refresh at the end.
  FListBox->Perform(WM_SETREDRAW, updating ? 0 : 1);
  if (!updating) FListBox->Repaint();
}

void TCheckListStrings::DefineProperties(TFiler& filer) {
  TStrings::DefineProperties(filer);
  bool hasData = Count() > 0;
  filer.DefineProperty(
      "ItemEnabled",
      [this](TReader& r) {
        r.ReadListBegin();
        for (int i = 0; !r.EndOfList(); ++i) {
          bool v = r.ReadBoolean();
          Packet(i)->Enabled = v;
        }
        r.ReadListEnd();
      },
      [this](TWriter& w) {
        w.WriteListBegin();
        for (int i = 0; i < Count(); ++i) w.WriteBoolean(Packet(i)->Enabled);
        w.WriteListEnd();
      },
      hasData);
  filer.DefineProperty(
      "ItemState",
      [this](TReader& r) {
        r.ReadListBegin();
        for (int i = 0; !r.EndOfList(); ++i) {
          int v = r.ReadInteger();
          Packet(i)->State = std::uint8_t(v);
        }
        r.ReadListEnd();
      },
      [this](TWriter& w) {
        w.WriteListBegin();
        for (int i = 0; i < Count(); ++i) w.WriteInteger(Packet(i)->State);
        w.WriteListEnd();
      },
      hasData);
}

// --- TPacketStringList ---------------------------------------------------------------------

void TPacketStringList::DefineProps(TPropList&) {}

TPacketStringList::~TPacketStringList() {
  for (auto* p : FPackets) delete p;
}

TPacket* TPacketStringList::Packet(int index) const {
  if (index < 0 || index >= int(FPackets.size())) throw EListError(ListIndexErrorText(index));
  return FPackets[size_t(index)];
}

int TPacketStringList::AddObject(const std::string& s, TObject* o) {
  int at = TStrings::AddObject(s, o);
  FPackets.push_back(NewPacket());
  return at;
}

void TPacketStringList::Clear() {
  TStringList::Clear();
  for (auto* p : FPackets) delete p;
  FPackets.clear();
}

void TPacketStringList::AddStrings(const TCheckListStrings* source) {
  BeginUpdate();
  for (int i = 0; i < source->Count(); ++i) {
    AddObject(source->Get(i), source->GetObject(i));
    FPackets.back()->State = source->Packet(i)->State;
    FPackets.back()->Enabled = source->Packet(i)->Enabled;
  }
  EndUpdate();
}

void TPacketStringList::Assign(TPersistent* source) {
  if (auto* s = dynamic_cast<TCheckListStrings*>(source)) {
    Clear();
    AddStrings(s);
    return;
  }
  TStringList::Assign(source);
}

// --- TVcCheckList --------------------------------------------------------------------------

void TVcCheckList::DefineProps(TPropList& p) {
  using T = TVcCheckList;
  AboutProp(p);
  p.Bool("AllowGrayed", &T::AllowGrayed, &T::SetAllowGrayed, false);
  p.Object("CustomGlyphs", &T::CustomGlyphs);
  p.Bool("UseCustomGlyphs", &T::UseCustomGlyphs, &T::SetUseCustomGlyphs, false);
  p.Color("TransparentColor", &T::TransparentColor, &T::SetTransparentColor, clOlive);
  p.Bool("ToggleOnItemClick", &T::ToggleOnItemClick, &T::SetToggleOnItemClick, false);
  p.Enum("Style", &T::Style, &T::SetStyle,
         {"lbStandard", "lbOwnerDrawFixed", "lbOwnerDrawVariable"}, lbOwnerDrawFixed);
  p.Event("OnChange", &T::OnChange);
  p.Event("OnChanging", &T::OnChanging);
}

TVcCheckList::TVcCheckList(TComponent* owner)
    : TVcTabbedListBox(owner),
      FItems(std::make_unique<TCheckListStrings>(this)),
      FDefaultGlyphs(std::make_unique<TBitmap>()) {
  SetStyle(lbOwnerDrawFixed);
  FDefaultGlyphs->Assign(*CheckGlyphs());
  FCustomGlyphs.OnChange = [this] { CustomGlyphsChanged(); };
  UpdateItemHeight();
}

TVcCheckList::~TVcCheckList() { FCustomGlyphs.OnChange = nullptr; }

TStrings* TVcCheckList::GetItems() const { return FItems.get(); }

void TVcCheckList::UpdateItemHeight() {
  SetItemHeight(std::max(FGlyphHeight + 2, GetFontHeight(Font())));
}

bool TVcCheckList::GetItemChecked(int index) const {
  return FItems->Packet(index)->State == cbChecked;
}

void TVcCheckList::SetItemChecked(int index, bool value) {
  SetItemState(index, value ? cbChecked : cbUnchecked);
}

bool TVcCheckList::GetItemEnabled(int index) const { return FItems->Packet(index)->Enabled; }

void TVcCheckList::SetItemEnabled(int index, bool value) {
  TPacket* p = FItems->Packet(index);
  if (p->Enabled == value) return;
  p->Enabled = value;
  Invalidate();
}

TCheckBoxState TVcCheckList::GetItemState(int index) const {
  return TCheckBoxState(FItems->Packet(index)->State);
}

RECT TVcCheckList::GlyphRect(int index) const {
  RECT r = ItemRect(index);
  const int d = (ItemHeight() - FGlyphHeight) / 2;
  return RECT{r.left, r.top + d, r.left + FGlyphWidth + 4, r.top + ItemHeight() - d};
}

void TVcCheckList::SetItemState(int index, TCheckBoxState value) {
  TPacket* p = FItems->Packet(index);
  if (p->State == value) return;
  p->State = std::uint8_t(value);
  // Only the glyph changed: nothing to repaint while it is out of sight. (The toolkit
  // repaints a control as a whole.)
  const RECT g = GlyphRect(index);
  if (g.bottom > 0 && g.top < ClientHeight()) Invalidate();
}

int TVcCheckList::CheckedCount() const {
  int n = 0;
  for (int i = 0; i < FItems->Count(); ++i)
    if (GetItemChecked(i)) ++n;
  return n;
}

bool TVcCheckList::DoChanging(int index, TCheckBoxState newState) {
  bool allow = true;
  OnChanging(this, index, newState, allow);
  return allow;
}

void TVcCheckList::ToggleItemState() {
  int index = ItemIndex();
  if (index == -1 || !GetItemEnabled(index)) return;
  TCheckBoxState next;
  switch (GetItemState(index)) {
    case cbUnchecked:
      next = FAllowGrayed ? cbGrayed : cbChecked;
      break;
    case cbChecked:
      next = cbUnchecked;
      break;
    default:
      next = cbChecked;
      break;
  }
  if (DoChanging(index, next)) {
    SetItemState(index, next);
    FToggleArmed = false;
    DoChange(index, next);
  } else {
    FToggleArmed = false;
  }
}

void TVcCheckList::SetCustomGlyphs(TImagePicture* v) { FCustomGlyphs.Picture()->Assign(v); }

void TVcCheckList::CustomGlyphsChanged() {
  const bool use = !FCustomGlyphs.Empty();
  // Already in use: a new strip may bring another frame size.
  if (use && FUseCustomGlyphs) TakeGlyphSize();
  SetUseCustomGlyphs(use);
  Invalidate();
}

void TVcCheckList::TakeGlyphSize() {
  const bool custom = FUseCustomGlyphs;
  FGlyphWidth = (custom ? FCustomGlyphs.Width() : FDefaultGlyphs->Width()) / GlyphCount;
  FGlyphHeight = custom ? FCustomGlyphs.Height() : FDefaultGlyphs->Height();
  UpdateItemHeight();
}

void TVcCheckList::SetUseCustomGlyphs(bool v) {
  if (v == FUseCustomGlyphs) return;
  FUseCustomGlyphs = v;
  TakeGlyphSize();
  Invalidate();
}

void TVcCheckList::SetTransparentColor(int v) {
  if (v == FTransparentColor) return;
  FTransparentColor = v;
  Invalidate();
}

void TVcCheckList::DrawItem(int index, RECT rect, TOwnerDrawState state) {
  if (FAdding) return;
  TCanvas* c = Canvas();
  TCheckBoxState st = GetItemState(index);
  bool enabled = GetItemEnabled(index);
  int frame = (enabled ? 0 : 3) + int(st);
  TBitmap* strip = FUseCustomGlyphs ? FCustomGlyphs.Bitmap() : FDefaultGlyphs.get();
  TBitmap glyph(FGlyphWidth, FGlyphHeight);
  glyph.Canvas().CopyRect(TRect{0, 0, FGlyphWidth, FGlyphHeight}, &strip->Canvas(),
                          TRect{frame * FGlyphWidth, 0, (frame + 1) * FGlyphWidth, FGlyphHeight});
  c->FillRect(rect);
  // The strip's transparent colour shows the list's colour.
  TBitmap shown(FGlyphWidth, FGlyphHeight);
  shown.Canvas().Brush().SetColor(Color());
  TRect whole{0, 0, FGlyphWidth, FGlyphHeight};
  shown.Canvas().BrushCopy(whole, &glyph, whole, FTransparentColor);
  if (!enabled) c->Font().SetColor(ColorToRGB(Color()) == 0x808080 ? clSilver : clGrayText);
  c->Draw(rect.left - FGlyphWidth - 4, rect.top + (ItemHeight() - FGlyphHeight) / 2, &shown);
  if (OnDrawItem)
    OnDrawItem(this, index, rect, state);
  else
    DrawTabbedText(index, rect);
}

void TVcCheckList::MouseDown(TMouseButton b, TShiftState s, int x, int y) {
  if (b == mbLeft) {
    int index = ItemAtPos(x, y);
    if (index >= 0) {
      RECT r = ItemRect(index);
      r.right = r.left + FGlyphWidth + 4;
      bool onGlyph = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
      if (FToggleOnItemClick || onGlyph) {
        FToggleArmed = true;
        FPressedIndex = ItemIndex();
      }
    }
  }
  TVcTabbedListBox::MouseDown(b, s, x, y);
}

void TVcCheckList::MouseUp(TMouseButton b, TShiftState s, int x, int y) {
  if (b == mbLeft && FToggleArmed && ItemIndex() == FPressedIndex && x >= 0 && y >= 0 &&
      x < ClientWidth() && y < ClientHeight())
    ToggleItemState();
  TVcTabbedListBox::MouseUp(b, s, x, y);
}

void TVcCheckList::KeyDown(WORD& key, TShiftState shift) {
  if (key == VK_SPACE) FToggleArmed = true;
  FPressedIndex = ItemIndex();
  TVcTabbedListBox::KeyDown(key, shift);
}

void TVcCheckList::FontChanged() {
  TVcTabbedListBox::FontChanged();
  UpdateItemHeight();
}

void TVcCheckList::Loaded() {
  TVcTabbedListBox::Loaded();
  if ((ComponentState() & csDesigning) && FItems->Count() > 0) Invalidate();
}

void TVcCheckList::DestroyWnd() {
  if (!IsLoading() && !IsDestroying() && FItems->Count() > 0) {
    FSavedItems = std::make_unique<TPacketStringList>();
    FSavedItems->Assign(FItems.get());
    FSavedTopIndex = TopIndex();
    FSavedItemIndex = ItemIndex();
  }
  TVcTabbedListBox::DestroyWnd();
}

void TVcCheckList::CreateWnd() {
  TVcTabbedListBox::CreateWnd();
  if (FSavedItems) {
    FItems->Assign(FSavedItems.get());
    SetTopIndex(FSavedTopIndex);
    SetItemIndex(FSavedItemIndex);
    FSavedItems.reset();
  }
}

void TVcCheckList::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN: {
      // The list selects the pressed line first; then the glyph test and OnMouseDown.
      TVcTabbedListBox::WndProc(m);
      if (Enabled())
        MouseDown(mbLeft, KeyboardShiftState(), short(LOWORD(DWORD(m.LParam))),
                  short(HIWORD(DWORD(m.LParam))));
      return;
    }
    case WM_KEYUP:
      if (WORD(m.WParam) == VK_SPACE && FToggleArmed) ToggleItemState();
      break;
    case WM_CHAR:
      if ((m.WParam & 0xFF) == ' ') return;  // Space toggles; it is no search key
      break;
    case CM_ENABLEDCHANGED:
      TVcTabbedListBox::WndProc(m);
      for (int i = 0; i < FItems->Count(); ++i) SetItemEnabled(i, Enabled());
      return;
    case CN_DRAWITEM: {
      // Selection colour and focus mark cover the text only; the glyph sits left of it.
      DRAWITEMSTRUCT dis = *reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam);
      dis.rcItem.left += FGlyphWidth + 8;
      DispatchDrawItem(dis);
      m.Result = 1;
      return;
    }
    default:
      break;
  }
  TVcTabbedListBox::WndProc(m);
}

WI_REGISTER_CLASS(TVcCheckList);
