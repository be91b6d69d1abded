#pragma once
// The tree view: a window that keeps items (HTREEITEM) and answers the TVM_ messages,
// notifying its parent with TVN_ and NM_ notifications (WM_NOTIFY, reflected back as
// CN_NOTIFY); and over it TCustomTreeView, whose TTreeNodes give each item a TTreeNode
// (the item's lParam) and turn the notifications into events. Descendants intercept
// CN_NOTIFY and the TVM_ messages in WndProc and pass the rest to the inherited handler.
//
// Coordinates are the control's own (its 2-pixel border included when BorderStyle is
// bsSingle). Bad handles and indexes answer as the system does (FALSE, NULL), never crash.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/CommonControls.h"
#include "platform/forms/Controls.h"
#include "platform/forms/ImgList.h"
#include "platform/forms/ViewControl.h"

class TCustomTreeView;
class TTreeNodes;
class TCustomEdit;

enum TNodeAttachMode { naAdd, naAddFirst, naAddChild, naAddChildFirst, naInsert };
class TTreeNode;
using TTVCompare = int (*)(win::LPARAM node1, win::LPARAM node2, win::LPARAM data);
using TTVChangingEvent = TEvent<TObject*, TTreeNode*, bool&>;
using TTVChangedEvent = TEvent<TObject*, TTreeNode*>;
using TTVExpandingEvent = TEvent<TObject*, TTreeNode*, bool&>;
using TTVCollapsingEvent = TEvent<TObject*, TTreeNode*, bool&>;
using TTVExpandedEvent = TEvent<TObject*, TTreeNode*>;
using TTVEditingEvent = TEvent<TObject*, TTreeNode*, bool&>;
using TTVEditedEvent = TEvent<TObject*, TTreeNode*, std::string&>;
using TTVCompareEvent = TEvent<TObject*, TTreeNode*, TTreeNode*, int, int&>;
using TTVCustomDrawEvent = TEvent<TCustomTreeView*, const win::RECT&, bool&>;
using TTVCustomDrawItemEvent = TEvent<TCustomTreeView*, TTreeNode*, TCustomDrawState, bool&>;

class TTreeNode : public TPersistent {
  WI_CLASS(TTreeNode, TPersistent)
 public:
  explicit TTreeNode(TTreeNodes* owner);
  ~TTreeNode() override;
  TTreeNodes* Owner() const { return FOwner; }
  TCustomTreeView* TreeView() const;
  win::HTREEITEM ItemId() const { return FItemId; }

  std::string Text() const { return FText; }
  void SetText(const std::string& v);
  void* Data() const { return FData; }
  void SetData(void* v) { FData = v; }
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int v);
  int SelectedIndex() const { return FSelectedIndex; }
  void SetSelectedIndex(int v);
  // 1..15 (the image list's overlays) or -1.
  int OverlayIndex() const { return FOverlayIndex; }
  void SetOverlayIndex(int v);
  int StateIndex() const { return FStateIndex; }
  void SetStateIndex(int v);
  bool HasChildren() const;
  void SetHasChildren(bool v);
  bool Expanded() const { return GetState(win::TVIS_EXPANDED); }
  void SetExpanded(bool v) { v ? Expand(false) : Collapse(false); }
  bool Selected() const { return GetState(win::TVIS_SELECTED); }
  void SetSelected(bool v);
  bool Focused() const { return GetState(win::TVIS_FOCUSED); }
  void SetFocused(bool v);
  bool DropTarget() const { return GetState(win::TVIS_DROPHILITED); }
  void SetDropTarget(bool v);
  bool Cut() const { return GetState(win::TVIS_CUT); }
  void SetCut(bool v) { SetState(win::TVIS_CUT, v); }
  bool Deleting() const { return FDeleting; }

  TTreeNode* Parent() const;
  TTreeNode* GetFirstChild() const;
  TTreeNode* GetLastChild() const;
  TTreeNode* getNextSibling() const;
  TTreeNode* getPrevSibling() const;
  TTreeNode* GetNextChild(TTreeNode* child) const {
    return child ? child->getNextSibling() : nullptr;
  }
  TTreeNode* GetPrevChild(TTreeNode* child) const {
    return child ? child->getPrevSibling() : nullptr;
  }
  // Depth-first order through the whole tree.
  TTreeNode* GetNext() const;
  TTreeNode* GetPrev() const;
  TTreeNode* GetNextVisible() const;
  TTreeNode* GetPrevVisible() const;
  int Count() const;
  TTreeNode* Item(int i) const;
  int Index() const;
  int AbsoluteIndex() const;
  int Level() const;
  bool IsVisible() const;
  bool HasAsParent(const TTreeNode* node) const;
  bool IsFirstNode() const { return !Parent() && !getPrevSibling(); }

  void Expand(bool recurse);
  void Collapse(bool recurse);
  void Delete();
  void DeleteChildren();
  // Starts the in-place edit; false when refused.
  bool EditText();
  void EndEdit(bool cancel);
  void MakeVisible();
  // The item's row (textOnly: its label), in control coordinates; empty when not shown.
  win::RECT DisplayRect(bool textOnly) const;
  bool AlphaSort(bool recurse = false);
  bool CustomSort(TTVCompare sortProc, win::LPARAM data, bool recurse = false);
  void MoveTo(TTreeNode* destination, TNodeAttachMode mode);
  void Assign(TPersistent* source) override;

 private:
  friend class TTreeNodes;
  friend class TCustomTreeView;
  bool GetState(win::UINT bit) const;
  void SetState(win::UINT bit, bool v);
  TTreeNodes* FOwner;
  win::HTREEITEM FItemId = nullptr;
  std::string FText;
  void* FData = nullptr;
  int FImageIndex = -1, FSelectedIndex = -1, FOverlayIndex = -1, FStateIndex = -1;
  bool FDeleting = false;
};

class TTreeNodes : public TPersistent {
  WI_CLASS(TTreeNodes, TPersistent)
 public:
  explicit TTreeNodes(TCustomTreeView* owner) : FOwner(owner) {}
  ~TTreeNodes() override;
  TCustomTreeView* Owner() const { return FOwner; }
  int Count() const;
  // By absolute (depth-first) index; null out of range.
  TTreeNode* Item(int i) const;
  TTreeNode* operator[](int i) const { return Item(i); }
  TTreeNode* GetFirstNode() const;
  TTreeNode* GetNode(win::HTREEITEM item) const;
  // A sibling of `sibling` (null: at the top level), last / first / before it.
  TTreeNode* Add(TTreeNode* sibling, const std::string& s) {
    return AddObject(sibling, s, nullptr);
  }
  TTreeNode* AddObject(TTreeNode* sibling, const std::string& s, void* data);
  TTreeNode* AddFirst(TTreeNode* sibling, const std::string& s) {
    return AddObjectFirst(sibling, s, nullptr);
  }
  TTreeNode* AddObjectFirst(TTreeNode* sibling, const std::string& s, void* data);
  TTreeNode* Insert(TTreeNode* sibling, const std::string& s) {
    return InsertObject(sibling, s, nullptr);
  }
  TTreeNode* InsertObject(TTreeNode* sibling, const std::string& s, void* data);
  // A child of `parent` (null: at the top level), last / first.
  TTreeNode* AddChild(TTreeNode* parent, const std::string& s) {
    return AddChildObject(parent, s, nullptr);
  }
  TTreeNode* AddChildObject(TTreeNode* parent, const std::string& s, void* data);
  TTreeNode* AddChildFirst(TTreeNode* parent, const std::string& s) {
    return AddChildObjectFirst(parent, s, nullptr);
  }
  TTreeNode* AddChildObjectFirst(TTreeNode* parent, const std::string& s, void* data);
  void Delete(TTreeNode* node);
  void Clear();
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }
  void Assign(TPersistent* source) override;

 private:
  friend class TCustomTreeView;
  friend class TTreeNode;
  TTreeNode* InternalAdd(TTreeNode* parent, win::HTREEITEM after, const std::string& s, void* data);
  TCustomTreeView* FOwner;
  int FUpdateCount = 0;
};

class TCustomTreeView : public TViewControl {
  WI_CLASS(TCustomTreeView, TViewControl)
 public:
  explicit TCustomTreeView(TComponent* owner);
  ~TCustomTreeView() override;

  TTreeNodes* Items() const { return FTreeNodes.get(); }
  TTreeNode* Selected() const;
  void SetSelected(TTreeNode* node);
  TTreeNode* TopItem() const;
  void SetTopItem(TTreeNode* node);
  TTreeNode* DropTarget() const;
  void SetDropTarget(TTreeNode* node);
  // Rows that fit the client area.
  int VisibleCount() const;
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* v) { SetImageSlot(FImages, v); }
  TCustomImageList* StateImages() const { return FStateImages; }
  void SetStateImages(TCustomImageList* v) { SetImageSlot(FStateImages, v); }
  int Indent() const;
  void SetIndent(int v);
  bool ShowButtons() const { return HasStyle(win::TVS_HASBUTTONS); }
  void SetShowButtons(bool v) { SetStyle(win::TVS_HASBUTTONS, v); }
  bool ShowLines() const { return HasStyle(win::TVS_HASLINES); }
  void SetShowLines(bool v) { SetStyle(win::TVS_HASLINES, v); }
  bool ShowRoot() const { return HasStyle(win::TVS_LINESATROOT); }
  void SetShowRoot(bool v) { SetStyle(win::TVS_LINESATROOT, v); }
  bool ReadOnly() const { return !HasStyle(win::TVS_EDITLABELS); }
  void SetReadOnly(bool v) { SetStyle(win::TVS_EDITLABELS, !v); }
  bool HideSelection() const { return !HasStyle(win::TVS_SHOWSELALWAYS); }
  void SetHideSelection(bool v) { SetStyle(win::TVS_SHOWSELALWAYS, !v); }
  bool ToolTips() const { return !HasStyle(win::TVS_NOTOOLTIPS); }
  void SetToolTips(bool v) { SetStyle(win::TVS_NOTOOLTIPS, !v); }
  bool RowSelect() const { return HasStyle(win::TVS_FULLROWSELECT); }
  void SetRowSelect(bool v) { SetStyle(win::TVS_FULLROWSELECT, v); }
  bool HotTrack() const { return HasStyle(win::TVS_TRACKSELECT); }
  void SetHotTrack(bool v) { SetStyle(win::TVS_TRACKSELECT, v); }
  bool AutoExpand() const { return HasStyle(win::TVS_SINGLEEXPAND); }
  void SetAutoExpand(bool v) { SetStyle(win::TVS_SINGLEEXPAND, v); }
  bool RightClickSelect() const { return FRightClickSelect; }
  void SetRightClickSelect(bool v) { FRightClickSelect = v; }
  void SetSortType(TSortType v);
  // The vertical bar counts the rows shown (page: the whole rows that fit), the horizontal
  // one the pixels of the widest row. Worked out when the view is next painted, scrolled or
  // asked, not on each change of its items.
  void UpdateScrollBars() override;

  bool IsEditing() const override;
  // The in-place edit while a label is edited, else null.
  TCustomEdit* EditControl() const;
  TTreeNode* GetNodeAt(int x, int y) const;
  THitTests GetHitTestInfoAt(int x, int y) const;
  bool AlphaSort(bool recurse = true);
  bool CustomSort(TTVCompare sortProc, win::LPARAM data, bool recurse = true);
  void FullExpand();
  void FullCollapse();

  void WndProc(TMessage& msg) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  // The window behind the view (TreeViewWindow.h).
  struct Native;

  TTVChangingEvent OnChanging;
  TTVChangedEvent OnChange;
  TTVExpandingEvent OnExpanding;
  TTVCollapsingEvent OnCollapsing;
  TTVExpandedEvent OnExpanded, OnCollapsed, OnDeletion, OnAddition, OnGetImageIndex,
      OnGetSelectedIndex;
  TTVEditingEvent OnEditing;
  TTVEditedEvent OnEdited;
  TTVCompareEvent OnCompare;
  TTVCustomDrawEvent OnCustomDraw;
  TTVCustomDrawItemEvent OnCustomDrawItem;

 protected:
  // The class library's dynamic methods, called from the notifications.
  virtual bool CanExpand(TTreeNode* node);
  virtual void Expand(TTreeNode* node) { OnExpanded(this, node); }
  virtual bool CanCollapse(TTreeNode* node);
  virtual void Collapse(TTreeNode* node) { OnCollapsed(this, node); }
  virtual bool CanChange(TTreeNode* node);
  virtual void Change(TTreeNode* node) { OnChange(this, node); }
  virtual void Delete(TTreeNode* node) { OnDeletion(this, node); }
  virtual void Added(TTreeNode* node) { OnAddition(this, node); }
  virtual bool CanEdit(TTreeNode* node);
  // The end of a label edit (item.pszText null: cancelled).
  virtual void Edit(const win::TVITEMA& item);
  virtual void GetImageIndex(TTreeNode* node) { OnGetImageIndex(this, node); }
  virtual void GetSelectedIndex(TTreeNode* node) { OnGetSelectedIndex(this, node); }
  virtual TTreeNode* CreateNode() { return new TTreeNode(FTreeNodes.get()); }
  // True when an event of that target and stage is assigned.
  virtual bool IsCustomDrawn(TCustomDrawTarget target, TCustomDrawStage stage) const;
  virtual bool CustomDraw(const win::RECT& rect, TCustomDrawStage stage);
  virtual bool CustomDrawItem(TTreeNode* node, TCustomDrawState state, TCustomDrawStage stage);

 private:
  friend class TTreeNode;
  friend class TTreeNodes;
  void HandleNotify(TMessage& m);
  void NodeDeleted(TTreeNode* n);
  void FillDispInfo(win::TVITEMA& item);
  win::LRESULT AnswerCustomDraw(win::NMTVCUSTOMDRAW& cd);
  void ImagesChanged() override;
  std::vector<TCustomImageList**> ImageSlots() override;
  std::unique_ptr<Native> FNative;
  std::unique_ptr<TTreeNodes> FTreeNodes;
  TCustomImageList* FImages = nullptr;
  TCustomImageList* FStateImages = nullptr;
  bool FRightClickSelect = false;
};

class TTreeView : public TCustomTreeView {
  WI_CLASS(TTreeView, TCustomTreeView)
 public:
  explicit TTreeView(TComponent* owner) : TCustomTreeView(owner) {}
};
