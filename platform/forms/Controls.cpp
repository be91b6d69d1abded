#include "platform/forms/Controls.h"

#include <algorithm>
#include <cstdint>
#include <map>

#include "platform/forms/ActnList.h"
#include "platform/forms/CommonControls.h"
#include "platform/forms/ScrollBars.h"

TCanvas* (*ControlCanvasFactory)(TControl*) = nullptr;
void (*ControlCanvasDeleter)(TCanvas*) = nullptr;
void (*ControlRepaintHook)(TControl*) = nullptr;

namespace {
// Never destroyed: controls freed at exit, after this file's statics, still unmap their handles.
std::map<win::HWND, TWinControl*>& handles() {
  static auto& h = *new std::map<win::HWND, TWinControl*>;
  return h;
}
TWinControl* g_focused = nullptr;
// The controls under the pointer, outermost first.
std::vector<TControl*> g_mouseChain;
std::uint64_t g_freedControls = 0;
std::uint64_t g_changeCount = 0;
const std::vector<std::string>& kAlignNames() {
  static const std::vector<std::string> names = {"alNone",  "alTop",    "alBottom", "alLeft",
                                                 "alRight", "alClient", "alCustom"};
  return names;
}
}  // namespace

void TFont::DefineProps(TPropList& p) {
  p.Int("Charset", &TFont::Charset, &TFont::SetCharset, 1);
  p.Color("Color", &TFont::Color, &TFont::SetColor, clWindowText);
  p.Int("Height", &TFont::Height, &TFont::SetHeight, -11);
  p.String("Name", &TFont::Name, &TFont::SetName, "MS Sans Serif");
  p.Set("Style", &TFont::Style, &TFont::SetStyle,
        {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}, 0);
}

void TFont::Assign(TPersistent* source) {
  auto* f = dynamic_cast<TFont*>(source);
  if (!f) return TPersistent::Assign(source);
  FName = f->FName, FHeight = f->FHeight, FColor = f->FColor, FStyle = f->FStyle,
  FCharset = f->FCharset;
  Changed();
}

void TSizeConstraints::DefineProps(TPropList& p) {
  p.Int("MaxHeight", &TSizeConstraints::MaxHeight, &TSizeConstraints::SetMaxHeight);
  p.Int("MaxWidth", &TSizeConstraints::MaxWidth, &TSizeConstraints::SetMaxWidth);
  p.Int("MinHeight", &TSizeConstraints::MinHeight, &TSizeConstraints::SetMinHeight);
  p.Int("MinWidth", &TSizeConstraints::MinWidth, &TSizeConstraints::SetMinWidth);
}

void TSizeConstraints::Apply(int& w, int& h) const {
  if (FMaxWidth > 0) w = std::min(w, FMaxWidth);
  if (FMaxHeight > 0) h = std::min(h, FMaxHeight);
  w = std::max(w, FMinWidth);
  h = std::max(h, FMinHeight);
}

// --- TControl --------------------------------------------------------------------------

void TControl::DefineProps(TPropList& p) {
  p.Int("Left", &TControl::Left, &TControl::SetLeft, 0).stored = [](TPersistent*) { return true; };
  p.Int("Top", &TControl::Top, &TControl::SetTop, 0).stored = [](TPersistent*) { return true; };
  p.Int("Width", &TControl::Width, &TControl::SetWidth, 0).stored = [](TPersistent*) {
    return true;
  };
  p.Int("Height", &TControl::Height, &TControl::SetHeight, 0).stored = [](TPersistent*) {
    return true;
  };
  p.Component("Action", &TControl::Action, &TControl::SetAction);
  p.Enum("Align", &TControl::Align, &TControl::SetAlign, kAlignNames(), alNone);
  p.Set("Anchors", &TControl::Anchors, &TControl::SetAnchors,
        {"akLeft", "akTop", "akRight", "akBottom"}, DefaultAnchors);
  // Caption follows the action when there is one.
  p.String("Caption", &TControl::Caption, &TControl::SetCaption).stored = [](TPersistent* o) {
    auto* c = static_cast<TControl*>(o);
    return !c->Action() && !c->Caption().empty() && !c->InheritsFrom("TCustomEdit");
  };
  p.Color("Color", &TControl::Color, &TControl::SetColor, clBtnFace).stored = [](TPersistent* o) {
    auto* c = static_cast<TControl*>(o);
    return !c->ParentColor() && c->Color() != c->DefaultColor();
  };
  p.Object("Constraints", &TControl::Constraints);
  p.Bool("Enabled", &TControl::Enabled, &TControl::SetEnabled, true).stored = [](TPersistent* o) {
    auto* c = static_cast<TControl*>(o);
    return !c->Action() && !c->Enabled();
  };
  p.Object("Font", &TControl::Font).stored = [](TPersistent* o) {
    return !static_cast<TControl*>(o)->ParentFont();
  };
  p.String("Hint", &TControl::Hint, &TControl::SetHint);
  // Setting Color or Font clears these; a stored colour or font says it all.
  p.Bool("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, true).stored =
      [](TPersistent*) { return false; };
  p.Bool("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true).stored =
      [](TPersistent*) { return false; };
  p.Bool("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint, true);
  p.Bool("ShowHint", &TControl::ShowHint, &TControl::SetShowHint, false).stored =
      [](TPersistent* o) { return !static_cast<TControl*>(o)->ParentShowHint(); };
  p.Bool("Visible", &TControl::Visible, &TControl::SetVisible, true);
  p.Event("OnClick", &TControl::OnClick);
  p.Event("OnDblClick", &TControl::OnDblClick);
  p.Event("OnMouseDown", &TControl::OnMouseDown);
  p.Event("OnMouseEnter", &TControl::OnMouseEnter);
  p.Event("OnMouseLeave", &TControl::OnMouseLeave);
  p.Event("OnMouseMove", &TControl::OnMouseMove);
  p.Event("OnMouseUp", &TControl::OnMouseUp);
  p.Event("OnResize", &TControl::OnResize);
}

TControl::TControl(TComponent* owner)
    : TComponent(owner), FConstraints(new TSizeConstraints), FFont(new TFont) {
  FFont->OnChange = [this](TObject*) {
    FParentFont = false;
    FontChanged();
  };
}

TControl::~TControl() {
  SetAction(nullptr);
  if (g_focused == this) g_focused = nullptr;
  for (TWinControl* p = FParent; p; p = p->FParent) p->ControlFreed(this);
  ++g_freedControls;
  // What lies inside a freed control cannot stay under the pointer either.
  if (auto it = std::find(g_mouseChain.begin(), g_mouseChain.end(), this); it != g_mouseChain.end())
    g_mouseChain.erase(it, g_mouseChain.end());
  if (FParent) FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == FParent) return;
  if (parent == this) throw EComponentError("Un contrôle ne peut pas être son propre parent");
  if (FParent) FParent->RemoveControl(this);
  if (parent) parent->InsertControl(this);
}

TComponent* TControl::GetParentComponent() const { return FParent; }

void TControl::SetParentComponent(TComponent* parent) {
  if (auto* w = dynamic_cast<TWinControl*>(parent)) SetParent(w);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  FConstraints->Apply(width, height);
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
  bool resized = width != FWidth || height != FHeight;
  FLeft = left, FTop = top, FWidth = width, FHeight = height;
  Invalidate();
  if (FParent && FAlign != alNone) FParent->RequestAlign();
  if (resized && !IsLoading()) Resize();
}

std::uint64_t ControlChangeCount() { return g_changeCount; }

void TControl::Invalidate() {
  ++FInvalidateCount;
  ++g_changeCount;
}

void TControl::Repaint() {
  Invalidate();
  if (ControlRepaintHook) ControlRepaintHook(this);
}

void TControl::BringToFront() {
  if (!FParent) return;
  auto& list = FParent->FControls;
  auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end() || it + 1 == list.end()) return;
  list.erase(it);
  list.push_back(this);
  Invalidate();
}

void TControl::SetAlign(TAlign v) {
  if (v == FAlign) return;
  FAlign = v;
  RequestAlign();
}

void TControl::RequestAlign() {
  if (FParent) FParent->RequestAlign();
}

void TControl::SetVisible(bool v) {
  if (v == FVisible) return;
  FVisible = v;
  Perform(win::CM_VISIBLECHANGED, v);
  RequestAlign();
  Invalidate();
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->FParent)
    if (!c->FVisible) return false;
  return true;
}

void TControl::SetEnabled(bool v) {
  if (v == FEnabled) return;
  FEnabled = v;
  Perform(win::CM_ENABLEDCHANGED);
  Invalidate();
}

void TControl::SetColor(int v) {
  if (v == FColor && !FParentColor) return;
  FColor = v;
  FParentColor = false;
  Perform(win::CM_COLORCHANGED);
  Invalidate();
}

void TControl::SetParentColor(bool v) {
  FParentColor = v;
  if (v && FParent) FColor = FParent->FColor;
}

void TControl::SetParentFont(bool v) {
  FParentFont = v;
  if (v && FParent) {
    FFont->Assign(FParent->Font());
    FParentFont = true;
  }
}

void TControl::FontChanged() { Invalidate(); }

void TControl::SetText(const std::string& v) {
  if (v == GetText()) return;
  StoreText(v);
  TextChanged();
  Perform(win::CM_TEXTCHANGED);
  Invalidate();
}

namespace {
// Children that follow their parent's ShowHint take its new value, down the tree.
void passShowHint(TControl* c) {
  if (auto* w = dynamic_cast<TWinControl*>(c))
    for (int i = 0; i < w->ControlCount(); ++i)
      if (w->Controls(i)->ParentShowHint()) w->Controls(i)->SetParentShowHint(true);
}
}  // namespace

void TControl::SetShowHint(bool v) {
  FShowHint = v;
  FParentShowHint = false;
  passShowHint(this);
}

void TControl::SetParentShowHint(bool v) {
  FParentShowHint = v;
  if (v && FParent) {
    FShowHint = FParent->FShowHint;
    passShowHint(this);
  }
}

void TControl::SetAction(TAction* a) {
  if (a == FAction) return;
  if (FAction) FAction->UnregisterClient(this);
  FAction = a;
  if (a) {
    a->RegisterClient(this);
    FreeNotification(a);
    ActionChange(false);
  }
}

void TControl::ActionChange(bool) {
  if (!FAction) return;
  SetCaption(FAction->Caption());
  SetEnabled(FAction->Enabled());
  if (!FAction->Hint().empty()) SetHint(FAction->Hint());
  SetVisible(FAction->Visible());
}

void TControl::Notification(TComponent* c, TOperation op) {
  TComponent::Notification(c, op);
  if (op == opRemove && c == FAction) {
    FAction = nullptr;
  }
}

void TControl::Loaded() {
  TComponent::Loaded();
  if (FAction) ActionChange(true);
}

void TControl::Click() {
  // A control linked to an action runs the action instead of its own handler, unless
  // the handler was set apart from the action.
  if (FAction && FAction->Enabled()) {
    FAction->Execute();
    return;
  }
  OnClick(this);
}

void TControl::MouseUp(TMouseButton b, TShiftState s, int x, int y) { OnMouseUp(this, b, s, x, y); }

bool TControl::DoMouseWheel(TShiftState shift, int delta, win::POINT pos) {
  if (delta == 0) return false;
  return delta < 0 ? DoMouseWheelDown(shift, pos) : DoMouseWheelUp(shift, pos);
}

namespace {
// The press, moves and release that belong to a window's scroll bars never reach its
// procedure, as the system keeps its non-client area to itself.
bool TakenByScrollBars(TControl* c, TMessage& m) {
  if (m.Msg < win::WM_MOUSEMOVE || m.Msg > win::WM_RBUTTONUP) return false;
  auto* w = dynamic_cast<TWinControl*>(c);
  return w && w->ScrollBarData(false) && ScrollBars::FilterMouse(w, m);
}
}  // namespace

win::LRESULT TControl::Perform(win::UINT msg, win::WPARAM wParam, win::LPARAM lParam) {
  TMessage m{msg, wParam, lParam, 0};
  if (!TakenByScrollBars(this, m)) WndProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage& m) {
  using namespace win;
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
      if (!FEnabled) return;
      FPressed = true;
      MouseDown(mbLeft, 0, short(win::LOWORD(win::DWORD(m.LParam))),
                short(win::HIWORD(win::DWORD(m.LParam))));
      return;
    case WM_LBUTTONUP: {
      if (!FEnabled) return;
      int x = short(win::LOWORD(win::DWORD(m.LParam))),
          y = short(win::HIWORD(win::DWORD(m.LParam)));
      bool wasPressed = FPressed;
      FPressed = false;
      MouseUp(mbLeft, 0, x, y);
      if (wasPressed && x >= 0 && y >= 0 && x < FWidth && y < FHeight) UserClick();
      return;
    }
    case BM_CLICK:
      if (FEnabled) UserClick();
      return;
    case WM_LBUTTONDBLCLK:
      if (FEnabled) DblClick();
      return;
    case WM_MOUSEMOVE:
      OnMouseMove(this, 0, short(win::LOWORD(win::DWORD(m.LParam))),
                  short(win::HIWORD(win::DWORD(m.LParam))));
      return;
    case CM_MOUSEENTER:
      FMouseInside = true;
      OnMouseEnter(this);
      return;
    case CM_MOUSELEAVE:
      FMouseInside = false;
      OnMouseLeave(this);
      return;
    case WM_SETTEXT:
      SetText(reinterpret_cast<const char*>(m.LParam));
      m.Result = 1;
      return;
    case WM_GETTEXTLENGTH:
      m.Result = LRESULT(GetText().size());
      return;
    default:
      return;
  }
}

TWinControl* TControl::ParentForm() const {
  const TControl* c = this;
  while (c->FParent) c = c->FParent;
  return const_cast<TWinControl*>(dynamic_cast<const TWinControl*>(c));
}

// --- TWinControl -----------------------------------------------------------------------

void TWinControl::DefineProps(TPropList& p) {
  p.Int("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder, -1).stored =
      [](TPersistent* o) {
        auto* w = static_cast<TWinControl*>(o);
        return w->Parent() != nullptr;
      };
  p.Bool("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, false);
  p.Event("OnEnter", &TWinControl::OnEnter);
  p.Event("OnExit", &TWinControl::OnExit);
  p.Event("OnKeyDown", &TWinControl::OnKeyDown);
  p.Event("OnKeyPress", &TWinControl::OnKeyPress);
  p.Event("OnKeyUp", &TWinControl::OnKeyUp);
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  SetDestroying();
  // Children owned elsewhere lose their parent; owned ones are freed by the owner.
  while (!FControls.empty()) RemoveControl(FControls.back());
  DestroyWnd();
}

win::HWND TWinControl::Handle() {
  if (!FHandle) CreateWnd();
  return FHandle;
}

void TWinControl::CreateWnd() {
  if (FHandle) return;
  FHandle = win::CreateWindowHandle([this](win::HWND, win::UINT msg, win::WPARAM w, win::LPARAM l) {
    TMessage m{msg, w, l, 0};
    if (!TakenByScrollBars(this, m)) WndProc(m);
    return m.Result;
  });
  handles()[FHandle] = this;
}

void TWinControl::DestroyWnd() {
  if (!FHandle) return;
  ScrollBars::CancelTracking(this);
  handles().erase(FHandle);
  win::DestroyWindow(FHandle);
  FHandle = nullptr;
}

void TWinControl::RecreateWnd() {
  if (!FHandle) return;
  DestroyWnd();
  CreateWnd();
}

win::RECT TWinControl::ClientBounds() const {
  int e = ClientEdge();
  return {e, e, std::max(e, Width() - e - ScrollBars::VertWidth(this)),
          std::max(e, Height() - e - ScrollBars::HorzHeight(this))};
}

int TWinControl::ClientWidth() const { return ClientBounds().Width(); }
int TWinControl::ClientHeight() const { return ClientBounds().Height(); }

TWinControl* TWinControl::FindControl(win::HWND h) {
  auto it = handles().find(h);
  return it == handles().end() ? nullptr : it->second;
}
TWinControl* FindControl(win::HWND h) { return TWinControl::FindControl(h); }

void TWinControl::InsertControl(TControl* c) {
  FControls.push_back(c);
  c->FParent = this;
  if (c->FParentColor) c->FColor = Color();
  if (c->FParentFont) {
    c->FFont->Assign(Font());
    c->FParentFont = true;
  }
  if (c->FParentShowHint) c->FShowHint = ShowHint();
  RequestAlign();
}

void TWinControl::RemoveControl(TControl* c) {
  auto it = std::find(FControls.begin(), FControls.end(), c);
  if (it == FControls.end()) return;
  FControls.erase(it);
  c->FParent = nullptr;
  if (!IsDestroying()) RequestAlign();
}

bool TWinControl::ContainsControl(const TControl* c) const {
  for (; c; c = c->FParent)
    if (c == this) return true;
  return false;
}

void TWinControl::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
  if (!root) return;
  for (int i = 0; i < root->ComponentCount(); ++i) {
    auto* c = root->Components(i);
    if (c->GetParentComponent() == this || (root == this && !c->HasParent())) proc(c);
  }
}

void TWinControl::RequestAlign() {
  if (IsLoading() || FAligning) return;
  AlignControls();
}

void TWinControl::AlignControls() {
  FAligning = true;
  win::RECT r = AdjustClientRect();
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (auto* c : FControls) {
      if (c->FAlign != a || !c->FVisible) continue;
      int w = c->FWidth, h = c->FHeight;
      switch (a) {
        case alTop:
          c->SetBounds(r.left, r.top, r.Width(), h);
          r.top += c->FHeight;
          break;
        case alBottom:
          c->SetBounds(r.left, r.bottom - h, r.Width(), h);
          r.bottom -= c->FHeight;
          break;
        case alLeft:
          c->SetBounds(r.left, r.top, w, r.Height());
          r.left += c->FWidth;
          break;
        case alRight:
          c->SetBounds(r.right - w, r.top, w, r.Height());
          r.right -= c->FWidth;
          break;
        case alClient:
          c->SetBounds(r.left, r.top, r.Width(), r.Height());
          break;
        default:
          break;
      }
    }
  }
  FAligning = false;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  bool resized = width != Width() || height != Height();
  TControl::SetBounds(left, top, width, height);
  if (resized) RequestAlign();
}

void TWinControl::Loaded() {
  TControl::Loaded();
  AlignControls();
}

void TWinControl::FontChanged() {
  TControl::FontChanged();
  for (auto* c : FControls)
    if (c->FParentFont) {
      c->FFont->Assign(Font());
      c->FParentFont = true;
    }
}

int TWinControl::TabOrder() const {
  if (!Parent()) return -1;
  int i = 0;
  for (auto* c : Parent()->FControls) {
    if (c == this) return i;
    if (dynamic_cast<TWinControl*>(c)) ++i;
  }
  return -1;
}

void TWinControl::SetTabOrder(int v) {
  auto* p = Parent();
  if (!p) return;
  // Windowed siblings are kept in tab order; graphic ones keep their places.
  std::vector<TWinControl*> wins;
  for (auto* c : p->FControls)
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w != this) wins.push_back(w);
  v = std::clamp(v, 0, int(wins.size()));
  wins.insert(wins.begin() + v, this);
  size_t k = 0;
  for (auto*& c : p->FControls)
    if (dynamic_cast<TWinControl*>(c)) c = wins[k++];
}

std::vector<TWinControl*> TWinControl::TabList() const {
  std::vector<TWinControl*> out;
  for (auto* c : FControls)
    if (auto* w = dynamic_cast<TWinControl*>(c)) out.push_back(w);
  return out;
}

bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c; c = c->FParent)
    if (!c->FVisible || !c->FEnabled) return false;
  return true;
}

bool TWinControl::Focused() const { return g_focused == this; }

TWinControl* FocusedControl() { return g_focused; }

TControl* MouseControl() { return g_mouseChain.empty() ? nullptr : g_mouseChain.back(); }

void TrackMouseControl(TControl* c) {
  std::vector<TControl*> chain;
  for (TControl* p = c; p; p = p->Parent()) chain.insert(chain.begin(), p);
  if (chain == g_mouseChain) return;
  std::uint64_t freed = g_freedControls;
  // Left controls hear it innermost first, each taken off the chain before it hears, so
  // handlers see a consistent state.
  size_t keep = 0;
  while (keep < g_mouseChain.size() && keep < chain.size() && g_mouseChain[keep] == chain[keep])
    ++keep;
  while (g_mouseChain.size() > keep) {
    TControl* left = g_mouseChain.back();
    g_mouseChain.pop_back();
    left->Perform(win::CM_MOUSELEAVE);
  }
  for (size_t i = keep; i < chain.size(); ++i) {
    // A handler that freed controls may have freed these: the next move starts afresh.
    if (g_freedControls != freed || g_mouseChain.size() != i) return;
    g_mouseChain.push_back(chain[i]);
    chain[i]->Perform(win::CM_MOUSEENTER);
  }
}

namespace {
TShiftState g_shift = 0;
}
TShiftState KeyboardShiftState() { return g_shift; }
void SetKeyboardShiftState(TShiftState s) { g_shift = s; }

void TWinControl::SetFocus() {
  if (!CanFocus()) throw Exception("Impossible de focaliser une fenêtre désactivée ou invisible");
  if (g_focused == this) return;
  // As on Windows, each side learns the other's window: the one losing the focus in its
  // WM_KILLFOCUS, the one getting it in its WM_SETFOCUS.
  TWinControl* old = g_focused;
  win::HWND oldHandle = old ? old->Handle() : nullptr;
  if (old) {
    g_focused = nullptr;
    old->Perform(win::WM_KILLFOCUS, win::WPARAM(Handle()));
    old->DoExit();
  }
  g_focused = this;
  Perform(win::WM_SETFOCUS, win::WPARAM(oldHandle));
  // A window may give the focus away again at once (a hint window hands it back).
  if (g_focused == this) DoEnter();
}

namespace {
// True when a visible sibling above c (later in its parent's list) covers it whole, as a
// wizard's current step covers the steps left behind it: what lies under it takes no focus.
bool Covered(const TControl* c) {
  const TWinControl* p = c->Parent();
  if (!p) return false;
  win::RECT r = c->BoundsRect();
  bool above = false;
  for (int i = 0; i < p->ControlCount(); ++i) {
    const TControl* s = p->Controls(i);
    if (s == c) {
      above = true;
      continue;
    }
    win::RECT b = s->BoundsRect();
    if (above && s->Visible() && dynamic_cast<const TWinControl*>(s) && b.left <= r.left &&
        b.top <= r.top && b.right >= r.right && b.bottom >= r.bottom)
      return true;
  }
  return false;
}
}  // namespace

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool forward, bool checkTabStop) {
  std::vector<TWinControl*> all;
  std::function<void(TWinControl*)> walk = [&](TWinControl* w) {
    for (auto* c : w->TabList()) {
      if (Covered(c)) continue;
      all.push_back(c);
      walk(c);
    }
  };
  walk(this);
  if (all.empty()) return nullptr;
  auto it = std::find(all.begin(), all.end(), current);
  int start = it == all.end() ? (forward ? -1 : int(all.size())) : int(it - all.begin());
  int n = int(all.size());
  for (int k = 1; k <= n; ++k) {
    int i = ((start + (forward ? k : -k)) % n + n) % n;
    auto* c = all[i];
    if (c->CanFocus() && (!checkTabStop || c->StopsTab())) return c;
  }
  return nullptr;
}

void TWinControl::SetEnabled(bool v) {
  TControl::SetEnabled(v);
  if (!v && Focused()) g_focused = nullptr;
}

void TWinControl::WndProc(TMessage& m) {
  using namespace win;
  switch (m.Msg) {
    case WM_KEYDOWN: {
      WORD key = WORD(m.WParam);
      KeyDown(key, KeyboardShiftState());
      m.Result = key;  // 0 when a handler took the key
      return;
    }
    case WM_KEYUP: {
      WORD key = WORD(m.WParam);
      OnKeyUp(this, key, KeyboardShiftState());
      return;
    }
    case WM_CHAR: {
      char c = char(m.WParam);
      KeyPress(c);
      return;
    }
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_MEASUREITEM: {
      // Notifications go back to the control that sent them.
      HWND from = m.Msg == WM_COMMAND ? HWND(m.LParam)
                                      : reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam)->hwndItem;
      if (auto* c = FindControl(from)) {
        m.Result = c->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
        return;
      }
      break;
    }
    case WM_NCPAINT:
      // The frame is the control's to draw; the scroll bars inside it are drawn here.
      if (m.WParam && FScrollBars) ScrollBars::Paint(this, HDC(m.WParam));
      return;
    case WM_NOTIFY:
      // Common-control notifications go back to the control that sent them too.
      if (auto* c = FindControl(reinterpret_cast<const NMHDR*>(m.LParam)->hwndFrom);
          c && c != this) {
        m.Result = c->Perform(CN_NOTIFY, m.WParam, m.LParam);
        return;
      }
      break;
    default:
      break;
  }
  TControl::WndProc(m);
}

// --- Painted controls ------------------------------------------------------------------

void TCustomControl::DefineProps(TPropList&) {}
void TGraphicControl::DefineProps(TPropList&) {}

namespace {
// A painted control's canvas, made on first use by the installed factory.
TCanvas* CanvasOf(TControl* control, TCanvas*& canvas) {
  if (!canvas && ControlCanvasFactory) canvas = ControlCanvasFactory(control);
  return canvas;
}
void FreeCanvas(TCanvas* canvas) {
  if (canvas && ControlCanvasDeleter) ControlCanvasDeleter(canvas);
}
}  // namespace

TCustomControl::~TCustomControl() { FreeCanvas(FCanvas); }

TCanvas* TCustomControl::Canvas() { return CanvasOf(this, FCanvas); }

void TCustomControl::WndProc(TMessage& m) {
  if (m.Msg == win::WM_PAINT) {
    Paint();
    return;
  }
  TWinControl::WndProc(m);
}

TGraphicControl::~TGraphicControl() { FreeCanvas(FCanvas); }

TCanvas* TGraphicControl::Canvas() { return CanvasOf(this, FCanvas); }

void TGraphicControl::WndProc(TMessage& m) {
  if (m.Msg == win::WM_PAINT) {
    Paint();
    return;
  }
  TControl::WndProc(m);
}
