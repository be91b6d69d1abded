#include "platform/forms/StdCtrls.h"

#include <algorithm>
#include <cstring>

#include "platform/forms/Forms.h"
#include "platform/forms/ScrollBars.h"
#include "platform/system/Text.h"

namespace {
// A horizontal line step of a list box, in pixels.
constexpr int kHorzLine = 8;
const std::vector<std::string>& kBevelNames() {
  static const std::vector<std::string> names = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};
  return names;
}
bool always(TPersistent*) { return true; }
}  // namespace

void TPanel::DefineProps(TPropList& p) {
  p.Enum("BevelInner", &TPanel::BevelInner, &TPanel::SetBevelInner, kBevelNames(), bvNone);
  p.Enum("BevelOuter", &TPanel::BevelOuter, &TPanel::SetBevelOuter, kBevelNames(), bvRaised);
  p.Int("BevelWidth", &TPanel::BevelWidth, &TPanel::SetBevelWidth, 1);
  p.Int("BorderWidth", &TPanel::BorderWidth, &TPanel::SetBorderWidth, 0);
}

win::RECT TPanel::AdjustClientRect() const {
  win::RECT r = ClientRect();
  int inset = FBorderWidth + (FBevelOuter != bvNone ? FBevelWidth : 0) +
              (FBevelInner != bvNone ? FBevelWidth : 0);
  r.left += inset, r.top += inset, r.right -= inset, r.bottom -= inset;
  return r;
}

void TButtonControl::DefineProps(TPropList&) {}

void TButtonControl::WndProc(TMessage& m) {
  using namespace win;
  switch (m.Msg) {
    case WM_KEYDOWN:
      TWinControl::WndProc(m);
      // OnKeyDown may take the key (Result 0).
      if (m.WParam == VK_SPACE && m.Result == VK_SPACE && Enabled() && !FSpaceDown &&
          !(KeyboardShiftState() & (ssAlt | ssCtrl))) {
        FSpaceDown = true;
        Invalidate();
      }
      return;
    case WM_KEYUP:
      TWinControl::WndProc(m);
      if (m.WParam == VK_SPACE && FSpaceDown) {
        FSpaceDown = false;
        Invalidate();
        if (Enabled()) UserClick();
      }
      return;
    case WM_KILLFOCUS:
      FSpaceDown = false;
      Invalidate();
      break;
    case WM_LBUTTONDOWN:
      FMouseDown = Enabled();
      Invalidate();
      break;
    case WM_LBUTTONUP:
      FMouseDown = false;
      Invalidate();
      break;
    case CM_ENABLEDCHANGED:
      FSpaceDown = FMouseDown = false;
      break;
    default:
      break;
  }
  TWinControl::WndProc(m);
}

void TButton::DefineProps(TPropList& p) {
  p.Bool("Cancel", &TButton::Cancel, &TButton::SetCancel, false);
  p.Bool("Default", &TButton::Default, &TButton::SetDefault, false);
  p.Int("ModalResult", &TButton::ModalResult, &TButton::SetModalResult, 0);
}

void TButton::Click() {
  if (auto* f = dynamic_cast<TForm*>(ParentForm()); f && FModalResult)
    f->SetModalResult(FModalResult);
  TWinControl::Click();
}

void TRadioButton::DefineProps(TPropList& p) {
  p.Bool("Checked", &TRadioButton::Checked, &TRadioButton::SetChecked, false);
  (void)always;
}

void TRadioButton::SetChecked(bool v) {
  if (v == FChecked) return;
  FChecked = v;
  SetTabStop(v);
  if (v && Parent())
    for (int i = 0; i < Parent()->ControlCount(); ++i)
      if (auto* r = dynamic_cast<TRadioButton*>(Parent()->Controls(i)); r && r != this)
        r->SetChecked(false);
  Invalidate();
}

bool TRadioButton::IsGroupTabStop() const {
  if (FChecked) return true;
  if (!Parent()) return false;
  const TRadioButton* first = nullptr;
  for (TWinControl* w : Parent()->TabList())
    if (auto* r = dynamic_cast<TRadioButton*>(w)) {
      if (r->FChecked) return false;
      if (!first && r->CanFocus()) first = r;
    }
  return first == this;
}

void TRadioButton::Click() {
  SetChecked(true);
  TWinControl::Click();
}

void TLabel::DefineProps(TPropList& p) {
  p.Bool("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize, true);
  p.Component("FocusControl", &TLabel::FocusControl, &TLabel::SetFocusControl);
  p.Bool("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap, false);
}

void TLabel::SetFocusControl(TWinControl* c) {
  FFocusControl = c;
  if (c) FreeNotification(c);
}

void TLabel::Notification(TComponent* c, TOperation op) {
  TGraphicControl::Notification(c, op);
  if (op == opRemove && c == FFocusControl) FFocusControl = nullptr;
}

// --- TCheckBox ---------------------------------------------------------------------------

void TCheckBox::DefineProps(TPropList& p) {
  p.Bool("AllowGrayed", &TCheckBox::AllowGrayed, &TCheckBox::SetAllowGrayed, false);
  p.Bool("Checked", &TCheckBox::Checked, &TCheckBox::SetChecked, false).stored =
      [](TPersistent* o) { return static_cast<TCheckBox*>(o)->State() == cbChecked; };
  p.Enum("State", &TCheckBox::State, &TCheckBox::SetState, {"cbUnchecked", "cbChecked", "cbGrayed"},
         cbUnchecked)
      .stored = [](TPersistent* o) { return static_cast<TCheckBox*>(o)->State() == cbGrayed; };
}

void TCheckBox::SetState(TCheckBoxState v) {
  if (v == FState) return;
  FState = v;
  Invalidate();
  if (!IsLoading()) Click();
}

void TCheckBox::Toggle() {
  switch (FState) {
    case cbUnchecked:
      SetState(cbChecked);
      break;
    case cbChecked:
      SetState(FAllowGrayed ? cbGrayed : cbUnchecked);
      break;
    case cbGrayed:
      SetState(cbUnchecked);
      break;
  }
}

// --- TGroupBox ---------------------------------------------------------------------------

void TGroupBox::DefineProps(TPropList&) {}

win::RECT TGroupBox::AdjustClientRect() const {
  win::RECT r = ClientRect();
  int h = Font()->Height();
  r.top += (h < 0 ? -h : h) + 4;
  r.left += 2, r.right -= 2, r.bottom -= 2;
  return r;
}

// --- TCustomEdit -------------------------------------------------------------------------

namespace {
// The edit's positions count characters as ints.
int charsBefore(const std::string& s, size_t b) {
  return int(win::CountUtf8Characters(std::string_view(s).substr(0, b)));
}
// A negative n, past every character, gives the end.
size_t byteOf(const std::string& s, int n) { return win::Utf8ByteOf(s, size_t(n)); }
}  // namespace

void TCustomEdit::DefineProps(TPropList& p) {
  p.Bool("AutoSelect", &TCustomEdit::AutoSelect, &TCustomEdit::SetAutoSelect, true);
  p.Int("MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength, 0);
  p.Bool("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly, false);
  p.String("Text", &TCustomEdit::Text, &TCustomEdit::SetText);
  p.Event("OnChange", &TCustomEdit::OnChange);
}

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
  SetOwnColor(clWindow);
}

int TCustomEdit::SelStart() const { return charsBefore(GetText(), FSelStartB); }
int TCustomEdit::SelLength() const {
  return charsBefore(GetText(), FSelEndB) - charsBefore(GetText(), FSelStartB);
}
std::string TCustomEdit::SelText() const {
  return GetText().substr(FSelStartB, FSelEndB - FSelStartB);
}

void TCustomEdit::Select(int start, int length) {
  std::string t = GetText();
  size_t b = byteOf(t, std::max(0, start));
  size_t e = length < 0 ? t.size() : byteOf(t, charsBefore(t, b) + length);
  FSelStartB = b, FSelEndB = std::max(b, e), FAnchorB = b;
}

int TCustomEdit::CaretPos() const {
  return charsBefore(GetText(), FAnchorB == FSelStartB ? FSelEndB : FSelStartB);
}

int TCustomEdit::AnchorPos() const { return charsBefore(GetText(), FAnchorB); }

void TCustomEdit::SelectFromTo(int anchor, int caret) {
  std::string t = GetText();
  size_t a = byteOf(t, std::max(0, anchor)), c = byteOf(t, std::max(0, caret));
  FAnchorB = a, FSelStartB = std::min(a, c), FSelEndB = std::max(a, c);
  Invalidate();
}

void TCustomEdit::SetSelText(const std::string& v) {
  std::string t = GetText();
  t.replace(FSelStartB, FSelEndB - FSelStartB, v);
  size_t caret = FSelStartB + v.size();
  FModified = true;
  SetText(t);
  FSelStartB = FSelEndB = FAnchorB = std::min(caret, GetText().size());
}

void TCustomEdit::TextChanged() {
  std::string t = GetText();
  FSelStartB = std::min(FSelStartB, t.size());
  FSelEndB = std::min(FSelEndB, t.size());
  if (!IsLoading()) Change();
}

void TCustomEdit::SetMargins(int left, int right) {
  FLeftMargin = std::max(0, left), FRightMargin = std::max(0, right);
  Invalidate();
}

void TCustomEdit::DoEnter() {
  if (FAutoSelect) SelectAll();
  TWinControl::DoEnter();
}

void TCustomEdit::TypeChar(char c) {
  if (FReadOnly) return;
  if (c == '\b') {
    if (FSelStartB == FSelEndB) FSelStartB = win::Utf8PrevChar(GetText(), FSelStartB);
    if (FSelStartB != FSelEndB) SetSelText("");
    return;
  }
  if (static_cast<unsigned char>(c) < 0x20) return;
  // The rest of a character whose first byte was refused is refused too.
  if (win::IsUtf8Continuation(c)) {
    if (FDroppingChar) return;
  } else {
    FDroppingChar = false;
    if (FMaxLength > 0) {
      std::string t = GetText();
      int after =
          charsBefore(t, t.size()) - (charsBefore(t, FSelEndB) - charsBefore(t, FSelStartB));
      if (after >= FMaxLength) {
        FDroppingChar = true;
        return;
      }
    }
  }
  SetSelText(std::string(1, c));
}

void TCustomEdit::KeyDownEdit(win::WORD key, TShiftState shift) {
  using namespace win;
  std::string t = GetText();
  size_t caret = FSelEndB == FAnchorB ? FSelStartB : FSelEndB;
  if (FAnchorB != FSelStartB && FAnchorB != FSelEndB) FAnchorB = FSelStartB;
  if (FSelStartB != FSelEndB) caret = FAnchorB == FSelStartB ? FSelEndB : FSelStartB;
  size_t to = caret;
  switch (key) {
    case VK_LEFT:
      to = (!(shift & ssShift) && FSelStartB != FSelEndB) ? FSelStartB : Utf8PrevChar(t, caret);
      break;
    case VK_RIGHT:
      to = (!(shift & ssShift) && FSelStartB != FSelEndB) ? FSelEndB : Utf8NextChar(t, caret);
      break;
    case VK_HOME:
      to = 0;
      break;
    case VK_END:
      to = t.size();
      break;
    case VK_DELETE:
      if (FReadOnly) return;
      if (FSelStartB == FSelEndB) FSelEndB = Utf8NextChar(t, FSelStartB);
      if (FSelStartB != FSelEndB) SetSelText("");
      return;
    default:
      return;
  }
  if (shift & ssShift) {
    FSelStartB = std::min(FAnchorB, to), FSelEndB = std::max(FAnchorB, to);
  } else {
    FSelStartB = FSelEndB = FAnchorB = to;
  }
}

void TCustomEdit::WndProc(TMessage& m) {
  using namespace win;
  switch (m.Msg) {
    case WM_CHAR: {
      char c = char(m.WParam);
      KeyPress(c);
      if (c) TypeChar(c);
      return;
    }
    case WM_KEYDOWN: {
      WORD key = WORD(m.WParam);
      KeyDown(key, KeyboardShiftState());
      if (key) KeyDownEdit(key, KeyboardShiftState());
      Invalidate();  // the caret moved
      return;
    }
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
      return;
    case EM_SETSEL: {
      int b = int(std::intptr_t(m.WParam)), e = int(m.LParam);
      std::string t = GetText();
      size_t bb = b < 0 ? FSelStartB : byteOf(t, b);
      size_t eb = e < 0 ? t.size() : byteOf(t, e);
      if (b < 0) eb = bb;  // -1 start: no selection
      FSelStartB = std::min(bb, eb), FSelEndB = std::max(bb, eb), FAnchorB = bb;
      return;
    }
    case EM_GETSEL: {
      DWORD b = DWORD(SelStart()), e = DWORD(SelStart() + SelLength());
      if (m.WParam) *reinterpret_cast<DWORD*>(m.WParam) = b;
      if (m.LParam) *reinterpret_cast<DWORD*>(m.LParam) = e;
      m.Result = LRESULT(MAKELPARAM(WORD(b), WORD(e)));
      return;
    }
    case EM_SETREADONLY:
      SetReadOnly(m.WParam != 0);
      m.Result = 1;
      return;
    case EM_LIMITTEXT:
      SetMaxLength(int(m.WParam));
      return;
    case EM_SETMARGINS: {
      int l = FLeftMargin, r = FRightMargin;
      if (m.WParam & EC_LEFTMARGIN) l = LOWORD(DWORD(m.LParam));
      if (m.WParam & EC_RIGHTMARGIN) r = HIWORD(DWORD(m.LParam));
      SetMargins(l, r);
      return;
    }
    case EM_GETMARGINS:
      m.Result = LRESULT(MAKELPARAM(WORD(FLeftMargin), WORD(FRightMargin)));
      return;
    default:
      break;
  }
  TWinControl::WndProc(m);
}

// --- TCustomListBox ----------------------------------------------------------------------

// Items of a list box: every change goes through the list box's messages.
class TListBoxStrings : public TStrings {
 public:
  explicit TListBoxStrings(TCustomListBox* lb) : FListBox(lb) {}
  const char* ClassName() const override { return "TListBoxStrings"; }
  int Count() const override { return FListBox->Count(); }
  std::string Get(int i) const override {
    if (i < 0 || i >= Count()) Error(i);
    return FListBox->FList[size_t(i)].text;
  }
  void Put(int i, const std::string& s) override {
    if (i < 0 || i >= Count()) Error(i);
    int sel = FListBox->ItemIndex();
    auto data = FListBox->FList[size_t(i)].data;
    Delete(i);
    int at = FListBox->Insert(i, s);
    FListBox->FList[size_t(at)].data = data;
    if (sel == i) FListBox->SetItemIndex(at);
  }
  TObject* GetObject(int i) const override {
    if (i < 0 || i >= Count()) Error(i);
    return reinterpret_cast<TObject*>(FListBox->FList[size_t(i)].data);
  }
  void PutObject(int i, TObject* o) override {
    if (i < 0 || i >= Count()) Error(i);
    FListBox->FList[size_t(i)].data = reinterpret_cast<std::uintptr_t>(o);
  }
  void Insert(int i, const std::string& s) override {
    if (i < 0 || i > Count()) Error(i);
    FListBox->Insert(FListBox->Sorted() ? -1 : i, s);
  }
  int Add(const std::string& s) override { return FListBox->Insert(-1, s); }
  void Delete(int i) override {
    if (i < 0 || i >= Count()) Error(i);
    FListBox->Perform(win::LB_DELETESTRING, win::WPARAM(i));
  }
  void Clear() override { FListBox->Perform(win::LB_RESETCONTENT); }

 private:
  TCustomListBox* FListBox;
};

void TCustomListBox::DefineProps(TPropList& p) {
  p.Int("ItemHeight", &TCustomListBox::ItemHeight, &TCustomListBox::SetItemHeight, 13);
  p.Object("Items", &TCustomListBox::Items);
  p.Bool("MultiSelect", &TCustomListBox::MultiSelect, &TCustomListBox::SetMultiSelect, false);
  p.Bool("Sorted", &TCustomListBox::Sorted, &TCustomListBox::SetSorted, false);
  p.Enum("Style", &TCustomListBox::Style, &TCustomListBox::SetStyle,
         {"lbStandard", "lbOwnerDrawFixed", "lbOwnerDrawVariable"}, lbStandard);
  p.Int("TabWidth", &TCustomListBox::TabWidth, &TCustomListBox::SetTabWidth, 0);
  p.Event("OnDrawItem", &TCustomListBox::OnDrawItem);
}

TCustomListBox::TCustomListBox(TComponent* owner)
    : TCustomControl(owner), FItems(new TListBoxStrings(this)) {
  SetBounds(0, 0, 121, 97);
  SetTabStop(true);
  SetOwnColor(clWindow);
}

TCustomListBox::~TCustomListBox() = default;

int TCustomListBox::Insert(int index, const std::string& s) {
  if (index < 0 || index > Count()) {
    index = Count();
    if (FSorted) {
      index = 0;
      while (index < Count() && AnsiCompareText(FList[size_t(index)].text, s) <= 0) ++index;
    }
  }
  FList.insert(FList.begin() + index, Item{s, 0, false});
  if (FCurSel >= index) ++FCurSel;
  UpdateScrollBars();
  Invalidate();
  return index;
}

int TCustomListBox::ItemIndex() const { return FCurSel; }

void TCustomListBox::SetItemIndex(int v) {
  if (v < -1 || v >= Count()) v = -1;
  FCurSel = v;
  if (!FMultiSelect)
    for (size_t i = 0; i < FList.size(); ++i) FList[i].selected = int(i) == v;
  else if (v >= 0)
    FList[size_t(v)].selected = true;
  if (v >= 0) MakeVisible(v);
  Invalidate();
}

bool TCustomListBox::Selected(int i) const {
  if (i < 0 || i >= Count())
    throw EListError("Indice de liste hors limites (" + std::to_string(i) + ")");
  return FList[size_t(i)].selected;
}

void TCustomListBox::SetSelected(int i, bool v) {
  if (i < 0 || i >= Count())
    throw EListError("Indice de liste hors limites (" + std::to_string(i) + ")");
  if (!FMultiSelect) {
    SetItemIndex(v ? i : (FCurSel == i ? -1 : FCurSel));
    return;
  }
  FList[size_t(i)].selected = v;
  Invalidate();
}

int TCustomListBox::SelCount() const {
  if (!FMultiSelect) return -1;
  return int(std::count_if(FList.begin(), FList.end(), [](const Item& it) { return it.selected; }));
}

int TCustomListBox::VisibleCount() const {
  return std::max(1, ClientHeight() / std::max(1, FItemHeight));
}

void TCustomListBox::SetTopIndex(int v) {
  int maxTop = std::max(0, Count() - VisibleCount());
  FTopIndex = std::clamp(v, 0, maxTop);
  UpdateScrollBars();
  Invalidate();
}

void TCustomListBox::SetLeftPos(int v) {
  FLeftPos =
      std::clamp(v, 0, HasHorzScrollBar() ? std::max(0, FHorizontalExtent - ClientWidth()) : 0);
  UpdateScrollBars();
  Invalidate();
}

void TCustomListBox::UpdateScrollBars() {
  ScrollBars::Settle(this, [this] {
    FTopIndex = ScrollBars::SetBar(this, win::SB_VERT, 0, Count() - 1, VisibleCount(), FTopIndex);
    int extent = HasHorzScrollBar() ? FHorizontalExtent : 0;
    FLeftPos = ScrollBars::SetBar(this, win::SB_HORZ, 0, extent - 1, ClientWidth(), FLeftPos);
  });
}

void TCustomListBox::Resize() {
  UpdateScrollBars();
  TCustomControl::Resize();
}

void TCustomListBox::MakeVisible(int i) {
  if (i < FTopIndex)
    SetTopIndex(i);
  else if (i >= FTopIndex + VisibleCount())
    SetTopIndex(i - VisibleCount() + 1);
}

void TCustomListBox::SetItemHeight(int v) {
  if (v <= 0 || v > 255) return;
  FItemHeight = v;
  UpdateScrollBars();
  Invalidate();
}

void TCustomListBox::SetSorted(bool v) {
  if (v == FSorted) return;
  FSorted = v;
  if (v) {
    std::string sel = FCurSel >= 0 ? FList[size_t(FCurSel)].text : "";
    std::stable_sort(FList.begin(), FList.end(), [](const Item& a, const Item& b) {
      return AnsiCompareText(a.text, b.text) < 0;
    });
    Invalidate();
  }
}

void TCustomListBox::SetTabWidth(int v) {
  FTabWidth = std::max(0, v);
  if (FTabWidth)
    Perform(win::LB_SETTABSTOPS, 1, win::LPARAM(&FTabWidth));
  else
    Perform(win::LB_SETTABSTOPS, 0, 0);
}

win::RECT TCustomListBox::ItemRect(int i) const {
  int y = (i - FTopIndex) * FItemHeight;
  return {-FLeftPos, y, std::max(ClientWidth(), FHorizontalExtent) - FLeftPos, y + FItemHeight};
}

int TCustomListBox::ItemAtPos(int x, int y) const {
  if (x < 0 || y < 0 || x >= ClientWidth() || y >= ClientHeight()) return -1;
  int i = FTopIndex + y / std::max(1, FItemHeight);
  return i < Count() ? i : -1;
}

void TCustomListBox::SelectByUser(int index) {
  if (index < 0 || index >= Count())
    throw EListError("Indice de liste hors limites (" + std::to_string(index) + ")");
  if (FMultiSelect)
    for (auto& it : FList) it.selected = false;
  SetItemIndex(index);
  Click();
}

bool TCustomListBox::WantsKey(win::WORD key) const {
  return key == win::VK_UP || key == win::VK_DOWN || key == win::VK_LEFT || key == win::VK_RIGHT;
}

void TCustomListBox::Paint() {
  win::HWND parent = Parent() ? Parent()->Handle() : nullptr;
  for (int i = FTopIndex; i < Count() && ItemRect(i).top < ClientHeight(); ++i) {
    TOwnerDrawState state = (FList[size_t(i)].selected ? odSelected : 0) |
                            // With nothing selected the focus shows on the first line.
                            (Focused() && i == std::max(FCurSel, 0) ? odFocused : 0) |
                            (Enabled() ? 0 : odDisabled);
    if (FStyle != lbStandard && parent) {
      // Owner-drawn items go to the parent, which hands them back (CN_DRAWITEM).
      win::DRAWITEMSTRUCT dis;
      dis.CtlType = win::ODT_LISTBOX;
      dis.itemID = win::UINT(i);
      dis.itemAction = win::ODA_DRAWENTIRE;
      dis.itemState = (state & odSelected ? win::ODS_SELECTED : 0) |
                      (state & odFocused ? win::ODS_FOCUS : 0) |
                      (state & odDisabled ? win::ODS_DISABLED : 0);
      dis.hwndItem = Handle();
      dis.rcItem = ItemRect(i);
      dis.itemData = FList[size_t(i)].data;
      win::SendMessage(parent, win::WM_DRAWITEM, 0, win::LPARAM(&dis));
    } else {
      DrawItem(i, ItemRect(i), state);
    }
  }
}

void TCustomListBox::DrawItem(int index, win::RECT rect, TOwnerDrawState state) {
  if (OnDrawItem) OnDrawItem(this, index, rect, state);
}

int ListKeyTarget(win::WORD key, int cur, int count, int page, bool sideways) {
  using namespace win;
  if (sideways && key == VK_LEFT) key = VK_UP;
  if (sideways && key == VK_RIGHT) key = VK_DOWN;
  switch (key) {
    case VK_UP:
      return std::max(0, cur - 1);
    case VK_DOWN:
      return std::min(count - 1, cur + 1);
    case VK_HOME:
      return 0;
    case VK_END:
      return count - 1;
    case VK_PRIOR:
      return page ? std::max(0, cur - page) : -1;
    case VK_NEXT:
      return page ? std::min(count - 1, cur + page) : -1;
    default:
      return -1;
  }
}

void TCustomListBox::WndProc(TMessage& m) {
  using namespace win;
  auto bad = [&](WPARAM i) { return std::intptr_t(i) < 0 || std::intptr_t(i) >= Count(); };
  switch (m.Msg) {
    case LB_ADDSTRING:
      m.Result = Insert(-1, reinterpret_cast<const char*>(m.LParam));
      return;
    case LB_INSERTSTRING:
      m.Result = Insert(
          std::intptr_t(m.WParam) < 0 ? -1 : int(std::min<WPARAM>(m.WParam, WPARAM(Count()))),
          reinterpret_cast<const char*>(m.LParam));
      return;
    case LB_DELETESTRING:
      if (bad(m.WParam)) {
        m.Result = LRESULT(int(LB_ERR));
        return;
      }
      FList.erase(FList.begin() + std::ptrdiff_t(m.WParam));
      if (FCurSel == int(m.WParam))
        FCurSel = -1;
      else if (FCurSel > int(m.WParam))
        --FCurSel;
      SetTopIndex(FTopIndex);
      m.Result = Count();
      return;
    case LB_RESETCONTENT:
      FList.clear();
      FCurSel = -1, FTopIndex = 0;
      UpdateScrollBars();
      Invalidate();
      return;
    case LB_GETCOUNT:
      m.Result = Count();
      return;
    case LB_SETCURSEL:
      if (FMultiSelect) {
        m.Result = LRESULT(int(LB_ERR));
        return;
      }
      SetItemIndex(bad(m.WParam) ? -1 : int(m.WParam));
      m.Result = bad(m.WParam) ? LRESULT(int(LB_ERR)) : LRESULT(m.WParam);
      return;
    case LB_GETCURSEL:
      m.Result = FCurSel;
      return;
    case LB_SETSEL:
      if (!FMultiSelect) {
        m.Result = LRESULT(int(LB_ERR));
        return;
      }
      if (int(m.LParam) == -1) {
        for (auto& it : FList) it.selected = m.WParam != 0;
      } else if (m.LParam < 0 || m.LParam >= Count()) {
        m.Result = LRESULT(int(LB_ERR));
        return;
      } else {
        FList[size_t(m.LParam)].selected = m.WParam != 0;
      }
      Invalidate();
      return;
    case LB_GETSEL:
      m.Result = bad(m.WParam) ? LRESULT(int(LB_ERR)) : LRESULT(FList[m.WParam].selected);
      return;
    case LB_GETTEXT:
      if (bad(m.WParam)) {
        m.Result = LRESULT(int(LB_ERR));
        return;
      }
      std::memcpy(reinterpret_cast<char*>(m.LParam), FList[m.WParam].text.c_str(),
                  FList[m.WParam].text.size() + 1);
      m.Result = LRESULT(FList[m.WParam].text.size());
      return;
    case LB_GETTEXTLEN:
      m.Result = bad(m.WParam) ? LRESULT(int(LB_ERR)) : LRESULT(FList[m.WParam].text.size());
      return;
    case LB_GETTOPINDEX:
      m.Result = FTopIndex;
      return;
    case LB_SETTOPINDEX:
      if (bad(m.WParam)) {
        m.Result = LRESULT(int(LB_ERR));
        return;
      }
      SetTopIndex(int(m.WParam));
      return;
    case LB_GETITEMDATA:
      m.Result = bad(m.WParam) ? LRESULT(int(LB_ERR)) : LRESULT(FList[m.WParam].data);
      return;
    case LB_SETITEMDATA:
      if (bad(m.WParam)) {
        m.Result = LRESULT(int(LB_ERR));
        return;
      }
      FList[m.WParam].data = std::uintptr_t(m.LParam);
      return;
    case LB_GETITEMHEIGHT:
      m.Result = FItemHeight;
      return;
    case LB_SETITEMHEIGHT:
      if (LOWORD(DWORD(m.LParam)) == 0 || LOWORD(DWORD(m.LParam)) > 255) {
        m.Result = LRESULT(int(LB_ERR));
        return;
      }
      SetItemHeight(LOWORD(DWORD(m.LParam)));
      return;
    case LB_GETITEMRECT:
      if (bad(m.WParam)) {
        m.Result = LRESULT(int(LB_ERR));
        return;
      }
      *reinterpret_cast<RECT*>(m.LParam) = ItemRect(int(m.WParam));
      m.Result = 1;
      return;
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT: {
      // Case-insensitive, from the item after wParam (-1: the first), wrapping round.
      std::string want = reinterpret_cast<const char*>(m.LParam);
      int n = Count(),
          start = std::intptr_t(m.WParam) < 0 || int(m.WParam) >= n ? -1 : int(m.WParam);
      m.Result = LRESULT(int(LB_ERR));
      for (int k = 1; k <= n; ++k) {
        int i = (start + k) % n;
        const std::string& t = FList[size_t(i)].text;
        bool hit = m.Msg == LB_FINDSTRINGEXACT
                       ? AnsiCompareText(t, want) == 0
                       : AnsiCompareText(t.substr(0, want.size()), want) == 0;
        if (hit) {
          m.Result = i;
          return;
        }
      }
      return;
    }
    case LB_SETTABSTOPS: {
      const int* stops = reinterpret_cast<const int*>(m.LParam);
      FTabStops.assign(stops, stops + (stops ? m.WParam : 0));
      m.Result = 1;
      return;
    }
    case LB_GETHORIZONTALEXTENT:
      m.Result = FHorizontalExtent;
      return;
    case LB_SETHORIZONTALEXTENT:
      // Wider lines than the list give it a horizontal bar.
      FHorizontalExtent = int(std::min<WPARAM>(m.WParam, 0xFFFF));
      SetLeftPos(FLeftPos);
      return;
    case WM_VSCROLL:
      SetTopIndex(ScrollBars::ScrollTarget(this, SB_VERT, m.WParam, FTopIndex, 1, VisibleCount()));
      return;
    case WM_HSCROLL:
      SetLeftPos(
          ScrollBars::ScrollTarget(this, SB_HORZ, m.WParam, FLeftPos, kHorzLine, ClientWidth()));
      return;
    case WM_MOUSEWHEEL:
      if (int lines = ScrollBars::WheelLines(this, m)) SetTopIndex(FTopIndex + lines);
      return;
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
      return;
    case CN_DRAWITEM: {
      auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam);
      TOwnerDrawState st = (dis->itemState & ODS_SELECTED ? odSelected : 0) |
                           (dis->itemState & ODS_FOCUS ? odFocused : 0) |
                           (dis->itemState & ODS_DISABLED ? odDisabled : 0);
      DrawItem(int(dis->itemID), dis->rcItem, st);
      m.Result = 1;
      return;
    }
    case WM_LBUTTONDOWN: {
      int i = ItemAtPos(short(LOWORD(DWORD(m.LParam))), short(HIWORD(DWORD(m.LParam))));
      if (i >= 0 && Enabled()) SelectByUser(i);
      return;
    }
    case WM_KEYDOWN: {
      WORD key = WORD(m.WParam);
      KeyDown(key, KeyboardShiftState());
      int n = Count();
      if (!key || n == 0) return;
      int i = ListKeyTarget(key, FCurSel, n, VisibleCount(), true);
      if (i >= 0 && i != FCurSel) SelectByUser(i);
      return;
    }
    case WM_CHAR: {
      char c = char(m.WParam);
      KeyPress(c);
      if (static_cast<unsigned char>(c) < 0x20) return;
      std::string prefix(1, c);
      TMessage f{LB_FINDSTRING, WPARAM(FCurSel), LPARAM(prefix.c_str()), 0};
      WndProc(f);
      if (int(f.Result) >= 0 && int(f.Result) != FCurSel) SelectByUser(int(f.Result));
      return;
    }
    default:
      break;
  }
  TCustomControl::WndProc(m);
}

WI_REGISTER_CLASS(TCheckBox);
WI_REGISTER_CLASS(TGroupBox);
WI_REGISTER_CLASS(TEdit);
WI_REGISTER_CLASS(TListBox);
WI_REGISTER_CLASS(TPanel);
WI_REGISTER_CLASS(TButton);
WI_REGISTER_CLASS(TRadioButton);
WI_REGISTER_CLASS(TLabel);

void TEdit::DefineProps(TPropList&) {}
void TListBox::DefineProps(TPropList&) {}
