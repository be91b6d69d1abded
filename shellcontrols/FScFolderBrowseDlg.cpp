#include "shellcontrols/FScFolderBrowseDlg.h"

#include <algorithm>

#include "platform/forms/Screen.h"
#include "platform/forms/graphics/ColorConstants.h"
#include "platform/forms/graphics/Graphics.h"
#include "shellcontrols/UScShConsts.h"
#include "shellcontrols/UScShellUtils.h"

namespace {

constexpr int kGripSize = 13;
constexpr int kMinTrackWidth = 366, kMinTrackHeight = 340;

// Tree options each dialog option sets or clears.
struct TOptionMap {
  TScFolderBrowseDlgOption dialog;
  TScShellTreeOption tree;
};
constexpr TOptionMap kTreeOptions[] = {{scfbContextMenus, scstoContextMenus},
                                       {scfbIncludeNonFolders, scstoIncludeNonFolders},
                                       {scfbOleDrag, scstoOleDrag},
                                       {scfbOleDrop, scstoOleDrop},
                                       {scfbVirtualFolders, scstoVirtualFolders},
                                       {scfbShowHidden, scstoShowHidden}};

// The speed buttons' pictures, drawn here: a yellow folder with a star (up and disabled
// states side by side) and a red cross. Lime is the transparent colour of the glyphs.
constexpr TColor kTransparent = 0x0000FF00;

void DrawNewFolderGlyph(TImagePicture* g) {
  g->SetSize(32, 16);
  for (int x = 0; x < 32; ++x)
    for (int y = 0; y < 16; ++y) g->SetPixels(x, y, kTransparent);
  for (int state = 0; state < 2; ++state) {
    const int ox = state * 16;
    const TColor body = state ? 0x00C0C0C0 : 0x0000FFFF, edge = state ? 0x00808080 : 0x00008080;
    for (int x = 1; x <= 12; ++x)
      for (int y = 6; y <= 13; ++y)
        g->SetPixels(ox + x, y, (x == 1 || x == 12 || y == 6 || y == 13) ? edge : body);
    for (int x = 2; x <= 6; ++x) g->SetPixels(ox + x, 5, edge);
    for (int i = 0; i < 5; ++i) {  // the star of "new"
      g->SetPixels(ox + 13, 1 + i, state ? 0x00808080 : 0x00000000);
      g->SetPixels(ox + 11 + i, 3, state ? 0x00808080 : 0x00000000);
    }
  }
}

void DrawDeleteGlyph(TImagePicture* g) {
  g->SetSize(16, 16);
  for (int x = 0; x < 16; ++x)
    for (int y = 0; y < 16; ++y) g->SetPixels(x, y, kTransparent);
  for (int i = 3; i <= 12; ++i) {
    g->SetPixels(i, i, 0x000000FF);
    g->SetPixels(i + 1, i, 0x000000FF);
    g->SetPixels(15 - i, i, 0x000000FF);
    g->SetPixels(14 - i, i, 0x000000FF);
  }
}

// Keeps a control's top and height, moves its right edge to `right`.
void SetRightEdge(TControl* c, int right, int width) {
  c->SetBounds(right - width, c->Top(), width, c->Height());
}

}  // namespace

// ---- Size grip -----------------------------------------------------------------------------

void TScSizeGrip::DefineProps(TPropList&) {}

TScSizeGrip::TScSizeGrip(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, kGripSize, kGripSize);
}

void TScSizeGrip::Paint() {
  TCanvas* c = Canvas();
  c->Brush().SetColor(clBtnFace);
  c->FillRect({0, 0, Width(), Height()});
  for (int d = 0; d < 3; ++d) {
    const int o = 4 * d;
    c->Pen().SetColor(clBtnHighlight);
    c->MoveTo(Width() - 1, o);
    c->LineTo(o - 1, Height());
    c->Pen().SetColor(clBtnShadow);
    c->MoveTo(Width() - 1, o + 1);
    c->LineTo(o, Height());
    c->MoveTo(Width() - 1, o + 2);
    c->LineTo(o + 1, Height());
  }
}

// ---- Form ----------------------------------------------------------------------------------

void TScFrmFolderBrowseDlg::DefineProps(TPropList&) {}

TScFrmFolderBrowseDlg::TScFrmFolderBrowseDlg(TComponent* AOwner) : TForm(AOwner) {
  Field("ScShellTree1", ScShellTree1);
  Field("ButtonPanel", ButtonPanel);
  Field("OkBtn", OkBtn);
  Field("CancelBtn", CancelBtn);
  Field("CreateBtn", CreateBtn);
  Field("DeleteBtn", DeleteBtn);
  Field("CreateNewFolderBtn", CreateNewFolderBtn);
  Field("DeleteFolderBtn", DeleteFolderBtn);
  Field("StatusTxt", StatusTxt);

  Method("FormCreate", &TScFrmFolderBrowseDlg::FormCreate);
  Method("FormResize", &TScFrmFolderBrowseDlg::FormResize);
  Method("ScShellTree1Change", &TScFrmFolderBrowseDlg::ScShellTree1Change);
  Method("ScShellTree1AddItem", &TScFrmFolderBrowseDlg::ScShellTree1AddItem);
  Method("CreateBtnClick", &TScFrmFolderBrowseDlg::CreateBtnClick);
  Method("DeleteBtnClick", &TScFrmFolderBrowseDlg::DeleteBtnClick);
}

TScFrmFolderBrowseDlg::~TScFrmFolderBrowseDlg() = default;

// The toolkit fills a tree as soon as it has finished loading, before any window exists:
// the flag is taken off here already (the form is told first), and given back on show.
void TScFrmFolderBrowseDlg::Loaded() {
  TakeAutoFill();
  TForm::Loaded();
}

void TScFrmFolderBrowseDlg::TakeAutoFill() {
  if (!ScShellTree1 || !ScShellTree1->HasOption(scstoAutoFill)) return;
  FSavedAutoFill = true;
  ScShellTree1->SetOptions(ScShellTree1->Options() & ~ScOpt(scstoAutoFill));
}

void TScFrmFolderBrowseDlg::CreateWnd() {
  TakeAutoFill();
  TForm::CreateWnd();
  if (!FSizeGrip) {
    FSizeGrip = new TScSizeGrip(this);
    FSizeGrip->SetParent(this);
  }
  FSizeGrip->SetBounds(ClientWidth() - kGripSize, ClientHeight() - kGripSize, kGripSize, kGripSize);
  FSizeGrip->HandleNeeded();
  // On top of the Z order: the last child is painted last.
  RemoveControl(FSizeGrip);
  InsertControl(FSizeGrip);
}

void TScFrmFolderBrowseDlg::SetOptions(TScFolderBrowseDlgOptions Options) {
  FOptions = Options;
  TScShellTreeOptions tree = ScShellTree1->Options();
  for (const auto& m : kTreeOptions) {
    if (Options & ScFbOpt(m.dialog))
      tree |= ScOpt(m.tree);
    else
      tree &= ~ScOpt(m.tree);
  }
  ScShellTree1->SetOptions(tree);
  const bool textButtons = Options & ScFbOpt(scfbCreateDeleteButtons);
  CreateBtn->SetVisible(textButtons);
  DeleteBtn->SetVisible(textButtons);
  CreateNewFolderBtn->SetVisible(Options & ScFbOpt(scfbCreateFolderIcon));
  DeleteFolderBtn->SetVisible(Options & ScFbOpt(scfbDeleteFolderIcon));
  ScShellTree1->SetReadOnly(Options & ScFbOpt(scfbReadOnly));
  FormResize(this);
}

void TScFrmFolderBrowseDlg::SetWindowState(TWindowState Value) {
  if (Value == FWindowState) return;
  if (FWindowState == wsNormal) FNormalBounds = BoundsRect();
  FWindowState = Value;
  if (Value == wsMaximized) {
    TForm::SetBounds(0, 0, Screen->Width(), Screen->Height());
    FormResize(this);
  } else if (Value == wsNormal) {
    const win::RECT& r = FNormalBounds;
    SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
}

win::RECT TScFrmFolderBrowseDlg::NormalBounds() const {
  return FWindowState == wsNormal ? BoundsRect() : FNormalBounds;
}

// Every size change asks for the tracking limits first, as a window being sized does.
void TScFrmFolderBrowseDlg::SetBounds(int left, int top, int width, int height) {
  win::MINMAXINFO info{};
  Perform(win::WM_GETMINMAXINFO, 0, win::LPARAM(&info));
  if (info.ptMinTrackSize.x > 0) width = std::max<int>(width, info.ptMinTrackSize.x);
  if (info.ptMinTrackSize.y > 0) height = std::max<int>(height, info.ptMinTrackSize.y);
  TForm::SetBounds(left, top, width, height);
  if (StatusTxt) FormResize(this);
}

void TScFrmFolderBrowseDlg::WndProc(TMessage& Msg) {
  if (Msg.Msg == win::WM_GETMINMAXINFO) {
    auto* info = reinterpret_cast<win::MINMAXINFO*>(Msg.LParam);
    info->ptMinTrackSize = {kMinTrackWidth, kMinTrackHeight};
    Msg.Result = 0;
    return;
  }
  TForm::WndProc(Msg);
  // The toolkit tells a form it is shown or hidden through its visibility.
  if (Msg.Msg == win::CM_VISIBLECHANGED) {
    if (Msg.WParam)
      DoShow();
    else
      DoHide();
  }
}

void TScFrmFolderBrowseDlg::DoShow() {
  HandleNeeded();
  Font()->SetName(GetShellResString(SScDialogFontName));
  if (FSavedAutoFill) {
    ScShellTree1->SetOptions(ScShellTree1->Options() | ScOpt(scstoAutoFill));
    ScShellTree1->Fill();
  }
  UpdateTexts();
  FormResize(this);
  OnFormShow(this);
}

void TScFrmFolderBrowseDlg::DoHide() { OnFormClose(this); }

void TScFrmFolderBrowseDlg::UpdateTexts() {
  OkBtn->SetCaption(GetShellResString(SScOk));
  CancelBtn->SetCaption(GetShellResString(SScCancel));
  CreateNewFolderBtn->SetHint(GetShellResString(SScCreateFolderHint) + "|" +
                              GetShellResString(SScCreateFolderLongHint));
  DeleteFolderBtn->SetHint(GetShellResString(SScDeleteHint) + "|" +
                           GetShellResString(SScDeleteLongHint));
  if (Caption().empty()) SetCaption(GetShellResString(SScBrowseForFolder));
}

void TScFrmFolderBrowseDlg::FormCreate(TObject*) {
  ScShellTree1->SetShowRoot(true);
  DrawNewFolderGlyph(CreateNewFolderBtn->Glyph());
  DrawDeleteGlyph(DeleteFolderBtn->Glyph());
}

void TScFrmFolderBrowseDlg::FormResize(TObject*) {
  if (!StatusTxt || !ScShellTree1 || !ButtonPanel) return;  // still loading
  const int right = ClientWidth();
  StatusTxt->SetWidth(Width() - 24);
  const int treeTop = StatusTxt->Top() + StatusTxt->Height() + 8;
  ScShellTree1->SetBounds(ScShellTree1->Left(), treeTop, Width() - 24,
                          ButtonPanel->Top() - 8 - treeTop);
  if (FOptions & ScFbOpt(scfbCreateDeleteButtons)) {
    OkBtn->SetLeft(ScShellTree1->Left());
    CancelBtn->SetLeft(OkBtn->Left() + OkBtn->Width() + 4);
  } else {
    CancelBtn->SetLeft(right - 16 - CancelBtn->Width());
    OkBtn->SetLeft(CancelBtn->Left() - 4 - OkBtn->Width());
  }
  int x = right - 16;
  if (DeleteFolderBtn->Visible()) {
    SetRightEdge(DeleteFolderBtn, x, DeleteFolderBtn->Width());
    x = DeleteFolderBtn->Left() - 8;
  }
  if (CreateNewFolderBtn->Visible()) {
    SetRightEdge(CreateNewFolderBtn, x, CreateNewFolderBtn->Width());
    x = CreateNewFolderBtn->Left() - 4;
  }
  StatusTxt->SetBounds(StatusTxt->Left(), StatusTxt->Top(), x - StatusTxt->Left(),
                       StatusTxt->Height());
  if (FSizeGrip)
    FSizeGrip->SetBounds(ClientWidth() - kGripSize, ClientHeight() - kGripSize, FSizeGrip->Width(),
                         FSizeGrip->Height());
}

void TScFrmFolderBrowseDlg::ScShellTree1Change(TObject*, TTreeNode* Node) {
  TScShTreeData* data = Node ? ScShellTree1->NodeData(Node) : nullptr;
  if (!data) return;
  const bool hasPath = !data->Path().empty();
  CreateBtn->SetEnabled(hasPath);
  CreateNewFolderBtn->SetEnabled(hasPath);
  DeleteBtn->SetEnabled(hasPath && Node->AbsoluteIndex() != 0);
  DeleteFolderBtn->SetEnabled(DeleteBtn->Enabled());
  if (OnSelChange) OnSelChange(this, data->AbsolutePidl());
}

void TScFrmFolderBrowseDlg::ScShellTree1AddItem(TObject*, win::IShellFolder*, win::LPCITEMIDLIST,
                                                win::LPCITEMIDLIST, win::DWORD, bool&) {}

void TScFrmFolderBrowseDlg::CreateBtnClick(TObject*) { ScShellTree1->CreateNewFolder(true); }

void TScFrmFolderBrowseDlg::DeleteBtnClick(TObject*) {
  ScShellTree1->InvokeVerb(ScShellTree1->Selected(), "delete");
  ScShellTree1->Refresh();
}

// ---- Dialog component ----------------------------------------------------------------------

void TScCustomFolderBrowseDlg::DefineProps(TPropList&) {}

TScCustomFolderBrowseDlg::TScCustomFolderBrowseDlg(TComponent* AOwner)
    : TScDialog(AOwner), FBaseFolder(new TScShellLocator), FSelectedFolder(new TScShellLocator) {
  SetTitle("");
  FOptions = ScFolderBrowseDlgDefaultOptions;
}

// The owned locators go first, then the base.
TScCustomFolderBrowseDlg::~TScCustomFolderBrowseDlg() {
  FSelectedFolder.reset();
  FBaseFolder.reset();
}

void TScCustomFolderBrowseDlg::SetBaseFolder(TScShellLocator* Value) { FBaseFolder->Assign(Value); }

void TScCustomFolderBrowseDlg::CheckFormNotActive() {
  if (FForm) throw Exception(SScFolderBrowseActive);
}

TScFrmFolderBrowseDlg* TScCustomFolderBrowseDlg::CreateForm() {
  auto* form = new TScFrmFolderBrowseDlg(Application);
  try {
    form->InitForm();
  } catch (...) {
    delete form;
    throw;
  }
  return form;
}

bool TScCustomFolderBrowseDlg::Execute() {
  CheckFormNotActive();
  const TCursor saved = Screen->Cursor();
  Screen->SetCursor(crHourGlass);
  TScFrmFolderBrowseDlg* created = nullptr;
  bool result = false;
  try {
    created = CreateForm();
    CopySettingsToForm(created);
    FForm = created;
    DoInitialized();
    // The window is up: the user, not the hourglass, is in charge until it closes.
    result = FForm->ShowModal() == mrOk;
    CopyResultsFromForm(FForm);
  } catch (...) {
    FForm = nullptr;
    delete created;
    Screen->SetCursor(saved);
    throw;
  }
  FForm = nullptr;
  delete created;
  Screen->SetCursor(saved);
  return result;
}

void TScCustomFolderBrowseDlg::CopySettingsToForm(TScFrmFolderBrowseDlg* Form) {
  Form->OnSelChange = OnSelChange;
  Form->ScShellTree1->OnAddItem = OnAddItem;
  Form->ScShellTree1->OnCustomDrawSh = OnTvCustomDrawSh;
  Form->ScShellTree1->OnCustomDrawShEx = OnTvCustomDrawShEx;
  Form->OnFormShow = OnFormShow;
  Form->OnFormClose = OnFormClose;
  Form->StatusTxt->SetCaption(StatusText());
  if (FormWidth() > 0) Form->SetWidth(FormWidth());
  if (FormHeight() > 0) Form->SetHeight(FormHeight());
  Form->SetWindowState(FormWindowState());
  Form->SetOptions(FOptions);
  Form->SetCaption(!Title().empty() ? Title() : GetShellResString(SScBrowseForFolder));
  Form->ScShellTree1->SetBaseFolder(FBaseFolder.get());
  Form->ScShellTree1->SetSelectedFolder(FSelectedFolder.get());
}

void TScCustomFolderBrowseDlg::CopyResultsFromForm(TScFrmFolderBrowseDlg* Form) {
  const win::RECT r = Form->NormalBounds();
  SetFormWidth(r.right - r.left);
  SetFormHeight(r.bottom - r.top);
  SetFormWindowState(Form->WindowState());
  if (Form->ModalResult() == mrOk) FSelectedFolder->Assign(Form->ScShellTree1->SelectedFolder());
}

// ---- Published -----------------------------------------------------------------------------

// Published in this order, the dialog's own settings among those of TScDialog.
void TScFolderBrowseDlg::DefineProps(TPropList& p) {
  using D = TScCustomFolderBrowseDlg;
  p.String("Title", &TScDialog::Title, &TScDialog::SetTitle, "");
  p.Int("FormWidth", &TScDialog::FormWidth, &TScDialog::SetFormWidth, -1);
  p.Int("FormHeight", &TScDialog::FormHeight, &TScDialog::SetFormHeight, -1);
  p.Enum<TScDialog, TWindowState>("FormWindowState", &TScDialog::FormWindowState,
                                  &TScDialog::SetFormWindowState,
                                  {"wsNormal", "wsMinimized", "wsMaximized"}, wsNormal);
  p.Object("BaseFolder", &D::BaseFolder);
  p.Set("Options", &D::Options, &D::SetOptions,
        {"scfbCreateDeleteButtons", "scfbContextMenus", "scfbReadOnly", "scfbIncludeNonFolders",
         "scfbOleDrag", "scfbOleDrop", "scfbCreateFolderIcon", "scfbDeleteFolderIcon",
         "scfbVirtualFolders", "scfbShowHidden"},
        ScFolderBrowseDlgDefaultOptions);
  p.Event("OnAddItem", &D::OnAddItem);
  p.Event("OnFormClose", &TScDialog::OnFormClose);
  p.Event("OnFormShow", &TScDialog::OnFormShow);
  p.Event("OnSelChange", &D::OnSelChange);
  p.Event("OnInitialized", &TScDialog::OnInitialized);
  p.Event("OnTvCustomDrawSh", &D::OnTvCustomDrawSh);
  p.Event("OnTvCustomDrawShEx", &D::OnTvCustomDrawShEx);
}

WI_REGISTER_CLASS(TScSizeGrip);
WI_REGISTER_CLASS(TScFrmFolderBrowseDlg);
WI_REGISTER_CLASS(TScFolderBrowseDlg);
