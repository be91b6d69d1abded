#include "platform/forms/ComboBox.h"

#include <algorithm>
#include <cctype>

#include "platform/forms/ControlPaint.h"
#include "platform/forms/Forms.h"
#include "platform/forms/graphics/Graphics.h"

namespace {
constexpr win::WORD kF4 = 0x73;
constexpr int kButtonWidth = 16;
}  // namespace

void TComboBox::DefineProps(TPropList& p) {
  p.Int("DropDownCount", &TComboBox::DropDownCount, &TComboBox::SetDropDownCount, 8);
  p.Int("ItemIndex", &TComboBox::ItemIndex, &TComboBox::SetItemIndex, -1);
  p.Event("OnChange", &TComboBox::OnChange);
}

TComboBox::TComboBox(TComponent* owner) : TCustomControl(owner), FItems(new TStringList) {
  SetBounds(0, 0, 145, 21);
  SetOwnColor(clWindow);
  SetTabStop(true);
  // Items changed by the program may leave the choice behind.
  FItems->OnChange = [this](TObject*) {
    if (FItemIndex >= FItems->Count())
      SetItemIndex(-1);
    else if (FItemIndex >= 0)
      SetText(FItems->Get(FItemIndex));
  };
}

TComboBox::~TComboBox() { FItems->OnChange = nullptr; }

void TComboBox::SetItemIndex(int v) {
  if (v < -1 || v >= FItems->Count()) v = -1;
  FItemIndex = v;
  SetText(v < 0 ? std::string() : FItems->Get(v));
  if (FList && FList->Visible() && v >= 0) FList->SetItemIndex(v);
  Invalidate();
}

void TComboBox::Choose(int index) {
  if (index < 0 || index >= FItems->Count() || index == FItemIndex) return;
  SetItemIndex(index);
  OnChange(this);
}

int TComboBox::FindByLetter(char ch) const {
  int n = FItems->Count();
  int from = DroppedDown() ? FList->ItemIndex() : FItemIndex;
  for (int k = 1; k <= n; ++k) {
    int i = ((from < 0 ? -1 : from) + k) % n;
    const std::string s = FItems->Get(i);
    if (!s.empty() && std::tolower(static_cast<unsigned char>(s[0])) ==
                          std::tolower(static_cast<unsigned char>(ch)))
      return i;
  }
  return -1;
}

bool TComboBox::DroppedDown() const { return FList && FList->Visible(); }

void TComboBox::SetDroppedDown(bool v) {
  if (v == DroppedDown()) return;
  if (!v) {
    FList->Hide();
    Invalidate();
    return;
  }
  auto* form = dynamic_cast<TForm*>(ParentForm());
  if (!form || FItems->Count() == 0) return;
  if (!FList) {
    FList = new TListBox(this);
    FList->SetTabStop(false);
    FList->OnClick = [this](TObject*) {
      int i = FList->ItemIndex();
      SetDroppedDown(false);
      Choose(i);
    };
  }
  FList->Clear();
  for (int i = 0; i < FItems->Count(); ++i) FList->Items()->Add(FItems->Get(i));
  // Under the field, in the form's client area, last among the form's controls so that it
  // lies over every other one.
  int x = 0, y = Height();
  for (const TControl* c = this; c && c != form; c = c->Parent()) {
    win::POINT off = c->Parent() && c->Parent() != form ? ControlPaint::ClientOffset(c->Parent())
                                                        : win::POINT{0, 0};
    x += c->Left() + off.x, y += c->Top() + off.y;
  }
  int lines = std::min(FDropDownCount, FItems->Count());
  int h = lines * FList->ItemHeight() + 4;
  if (y + h > form->ClientHeight() && y - Height() - h >= 0) y -= Height() + h;
  FList->SetParent(nullptr);
  FList->SetBounds(x, y, Width(), h);
  FList->SetParent(form);
  FList->Show();
  if (FItemIndex >= 0) FList->SetItemIndex(FItemIndex);
  Invalidate();
}

void TComboBox::WndProc(TMessage& m) {
  using namespace win;
  switch (m.Msg) {
    case WM_GETDLGCODE:
      // Open, Enter and Escape belong to the list rather than to the form's buttons.
      m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | (DroppedDown() ? DLGC_WANTALLKEYS : 0);
      return;
    case WM_LBUTTONDOWN:
      if (!Enabled()) return;
      SetDroppedDown(!DroppedDown());
      TCustomControl::WndProc(m);
      return;
    case WM_KILLFOCUS:
      SetDroppedDown(false);
      break;
    case WM_KEYDOWN: {
      WORD key = WORD(m.WParam);
      TShiftState shift = KeyboardShiftState();
      KeyDown(key, shift);
      int n = FItems->Count();
      if (!key || n == 0) return;
      if (key == kF4 || ((shift & ssAlt) && (key == VK_DOWN || key == VK_UP))) {
        bool open = DroppedDown();
        int pick = open ? FList->ItemIndex() : -1;
        SetDroppedDown(!open);
        Choose(pick);
        return;
      }
      if (DroppedDown()) {
        int i = FList->ItemIndex();
        switch (key) {
          case VK_RETURN:
            SetDroppedDown(false);
            Choose(i);
            return;
          case VK_ESCAPE:
            SetDroppedDown(false);
            return;
          default:
            i = ListKeyTarget(key, i, n, 0, false);
            if (i >= 0) FList->SetItemIndex(i);
            return;
        }
      }
      int i = ListKeyTarget(key, FItemIndex, n, 0, true);
      if (i >= 0) Choose(i);
      return;
    }
    case WM_CHAR: {
      char c = char(m.WParam);
      KeyPress(c);
      if (static_cast<unsigned char>(c) <= ' ') return;
      int i = FindByLetter(c);
      if (i < 0) return;
      if (DroppedDown())
        FList->SetItemIndex(i);
      else
        Choose(i);
      return;
    }
    default:
      break;
  }
  TCustomControl::WndProc(m);
}

void TComboBox::Paint() {
  TCanvas* c = Canvas();
  if (!c) return;
  win::RECT r{0, 0, Width(), Height()};
  win::DrawEdge(c->Handle(), &r, win::EDGE_SUNKEN, win::BF_RECT | win::BF_ADJUST);
  c->Brush().SetColor(Enabled() ? Color() : clBtnFace);
  c->FillRect(r);
  win::RECT button{r.right - kButtonWidth, r.top, r.right, r.bottom};
  win::DrawFrameControl(c->Handle(), &button, win::DFC_SCROLL,
                        win::DFCS_SCROLLCOMBOBOX |
                            (DroppedDown() ? win::DFCS_PUSHED | win::DFCS_FLAT : 0) |
                            (Enabled() ? 0 : win::DFCS_INACTIVE));
  win::RECT text{r.left + 1, r.top + 1, button.left - 1, r.bottom - 1};
  bool focused = Focused() && !DroppedDown();
  if (focused) {
    c->Brush().SetColor(clHighlight);
    c->FillRect(text);
  }
  c->Brush().SetStyle(bsClear);
  c->Font().SetColor(!Enabled() ? clGrayText : focused ? clHighlightText : Font()->Color());
  int th = c->TextHeight("Ag");
  c->TextRect(text, text.left + 2, text.top + (int(text.bottom - text.top) - th) / 2, Text());
  if (focused) c->DrawFocusRect(text);
}

WI_REGISTER_CLASS(TComboBox);
