#pragma once
// The list view: a window that keeps items by index and answers the LVM_ messages in the
// icon, small-icon, list and report styles (report: a header child window, HeaderCtrl),
// notifying its parent with LVN_ and NM_ notifications (reflected back as CN_NOTIFY); and
// over it TCustomListView, whose TListItems give each item a TListItem (the item's lParam)
// and whose TListColumns are the report columns. Sub-item texts are callbacks answered
// from TListItem::SubItems; a caption may be a callback too (LPSTR_TEXTCALLBACKA).
// With OwnerData the items are virtual: only their count is kept, OnData fills them.
//
// Coordinates are the control's own (its 2-pixel border included with bsSingle).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/CommonControls.h"
#include "platform/forms/Controls.h"
#include "platform/forms/ImgList.h"
#include "platform/forms/ViewControl.h"

class TCustomListView;
class TListItems;
class TListItem;
class TCustomEdit;

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
enum TItemChange { ctText, ctImage, ctState };
enum TDisplayCode { drBounds, drIcon, drLabel, drSelectBounds };
// Scoped: the visual controls' frame sides use the names sdLeft and sdRight too.
enum class TSearchDirection { sdLeft, sdRight, sdAbove, sdBelow, sdAll };
enum TIconArrangement { iaTop, iaLeft };
// Item states (a set, the LVIS_ bits).
using TItemStates = unsigned;
inline constexpr TItemStates isFocused = 0x1, isSelected = 0x2, isCut = 0x4, isDropHilited = 0x8;

class TListColumn : public TCollectionItem {
  WI_CLASS(TListColumn, TCollectionItem)
 public:
  explicit TListColumn(TCollection* collection);
  ~TListColumn() override;
  std::string Caption() const { return FCaption; }
  void SetCaption(const std::string& v);
  // The header's width when the window exists.
  int Width() const;
  void SetWidth(int v);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  int MinWidth() const { return FMinWidth; }
  void SetMinWidth(int v) { FMinWidth = v; }
  int MaxWidth() const { return FMaxWidth; }
  void SetMaxWidth(int v) { FMaxWidth = v; }
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int v) { FImageIndex = v; }
  TCustomListView* ListView() const;

 private:
  friend class TCustomListView;
  void Changed();
  std::string FCaption;
  int FWidth = 50, FMinWidth = 0, FMaxWidth = 0, FImageIndex = -1;
  TAlignment FAlignment = taLeftJustify;
};

class TListColumns : public TCollection {
  WI_CLASS(TListColumns, TCollection)
 public:
  explicit TListColumns(TCustomListView* owner);
  TListColumn* Add() { return static_cast<TListColumn*>(TCollection::Add()); }
  TListColumn* Items(int i) const { return static_cast<TListColumn*>(TCollection::Items(i)); }
  TCustomListView* Owner() const { return FOwner; }

 private:
  TCustomListView* FOwner;
};

class TListItem : public TPersistent {
  WI_CLASS(TListItem, TPersistent)
 public:
  explicit TListItem(TListItems* owner);
  ~TListItem() override;
  TListItems* Owner() const { return FOwner; }
  TCustomListView* ListView() const;
  std::string Caption() const { return FCaption; }
  void SetCaption(const std::string& v);
  // Makes the caption a callback: the view asks for it with LVN_GETDISPINFO.
  void SetCaptionCallback();
  TStrings* SubItems() const { return FSubItems.get(); }
  void SetSubItems(TStrings* v) { FSubItems->Assign(v); }
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int v);
  int OverlayIndex() const { return FOverlayIndex; }
  void SetOverlayIndex(int v);
  int StateIndex() const { return FStateIndex; }
  void SetStateIndex(int v);
  int Indent() const { return FIndent; }
  void SetIndent(int v);
  void* Data() const { return FData; }
  void SetData(void* v) { FData = v; }
  bool Selected() const { return GetState(win::LVIS_SELECTED); }
  void SetSelected(bool v) { SetState(win::LVIS_SELECTED, v); }
  bool Focused() const { return GetState(win::LVIS_FOCUSED); }
  void SetFocused(bool v) { SetState(win::LVIS_FOCUSED, v); }
  bool Cut() const { return GetState(win::LVIS_CUT); }
  void SetCut(bool v) { SetState(win::LVIS_CUT, v); }
  bool DropTarget() const { return GetState(win::LVIS_DROPHILITED); }
  void SetDropTarget(bool v) { SetState(win::LVIS_DROPHILITED, v); }
  bool Deleting() const { return FDeleting; }
  // The item's index, -1 when it is not in a list.
  int Index() const;
  void Delete();
  void MakeVisible(bool partialOK);
  bool EditCaption();
  void CancelEdit();
  win::RECT DisplayRect(TDisplayCode code) const;
  win::POINT Position() const;
  void Update();
  void Assign(TPersistent* source) override;

 private:
  friend class TListItems;
  friend class TCustomListView;
  bool GetState(win::UINT bit) const;
  void SetState(win::UINT bit, bool v);
  TListItems* FOwner;
  std::string FCaption;
  std::unique_ptr<TStringList> FSubItems;
  int FImageIndex = -1, FOverlayIndex = -1, FStateIndex = -1, FIndent = 0;
  void* FData = nullptr;
  bool FDeleting = false;
  int FVirtualIndex = -1;  // owner data: the index this object stands for
};

class TListItems : public TPersistent {
  WI_CLASS(TListItems, TPersistent)
 public:
  explicit TListItems(TCustomListView* owner);
  ~TListItems() override;
  TCustomListView* Owner() const { return FOwner; }
  int Count() const;
  // Owner data only: the number of virtual items.
  void SetCount(int v);
  // Null out of range. With owner data: a temporary item filled by OnData.
  TListItem* Item(int i) const;
  TListItem* operator[](int i) const { return Item(i); }
  TListItem* Add();
  // Inserts `item` (made by the caller, or a new one when null) at index (-1: the end).
  TListItem* AddItem(TListItem* item, int index = -1);
  TListItem* Insert(int index);
  void Delete(int index);
  void Clear();
  int IndexOf(const TListItem* item) const;
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }
  void Assign(TPersistent* source) override;

 private:
  friend class TCustomListView;
  TCustomListView* FOwner;
  int FUpdateCount = 0;
  std::unique_ptr<TListItem> FTemp;  // owner data
};

using TLVChangeEvent = TEvent<TObject*, TListItem*, TItemChange>;
using TLVChangingEvent = TEvent<TObject*, TListItem*, TItemChange, bool&>;
using TLVColumnClickEvent = TEvent<TObject*, TListColumn*>;
using TLVCompareEvent = TEvent<TObject*, TListItem*, TListItem*, int, int&>;
using TLVDeletedEvent = TEvent<TObject*, TListItem*>;
using TLVEditingEvent = TEvent<TObject*, TListItem*, bool&>;
using TLVEditedEvent = TEvent<TObject*, TListItem*, std::string&>;
using TLVSelectItemEvent = TEvent<TObject*, TListItem*, bool>;
using TLVOwnerDataEvent = TEvent<TObject*, TListItem*>;
// (sender, text looked for, start index, wrap, var found index)
using TLVOwnerDataFindEvent = TEvent<TObject*, const std::string&, int, bool, int&>;
using TLVCustomDrawEvent = TEvent<TCustomListView*, const win::RECT&, bool&>;
using TLVCustomDrawItemEvent = TEvent<TCustomListView*, TListItem*, TCustomDrawState, bool&>;
using TLVCustomDrawSubItemEvent =
    TEvent<TCustomListView*, TListItem*, int, TCustomDrawState, bool&>;
using TLVCompare = int (*)(win::LPARAM item1, win::LPARAM item2, win::LPARAM data);

class TCustomListView : public TViewControl {
  WI_CLASS(TCustomListView, TViewControl)
 public:
  explicit TCustomListView(TComponent* owner);
  ~TCustomListView() override;

  TListItems* Items() const { return FListItems.get(); }
  TListColumns* Columns() const { return FColumns.get(); }
  TListColumn* Column(int i) const;
  TViewStyle ViewStyle() const { return FViewStyle; }
  virtual void SetViewStyle(TViewStyle v);
  TCustomImageList* LargeImages() const { return FLargeImages; }
  void SetLargeImages(TCustomImageList* v) { SetImageSlot(FLargeImages, v); }
  TCustomImageList* SmallImages() const { return FSmallImages; }
  void SetSmallImages(TCustomImageList* v) { SetImageSlot(FSmallImages, v); }
  TCustomImageList* StateImages() const { return FStateImages; }
  void SetStateImages(TCustomImageList* v) { SetImageSlot(FStateImages, v); }
  bool MultiSelect() const { return !HasStyle(win::LVS_SINGLESEL); }
  void SetMultiSelect(bool v) { SetStyle(win::LVS_SINGLESEL, !v); }
  bool ReadOnly() const { return !HasStyle(win::LVS_EDITLABELS); }
  void SetReadOnly(bool v) { SetStyle(win::LVS_EDITLABELS, !v); }
  bool HideSelection() const { return !HasStyle(win::LVS_SHOWSELALWAYS); }
  void SetHideSelection(bool v) { SetStyle(win::LVS_SHOWSELALWAYS, !v); }
  bool ShowColumnHeaders() const { return !HasStyle(win::LVS_NOCOLUMNHEADER); }
  void SetShowColumnHeaders(bool v) { SetStyle(win::LVS_NOCOLUMNHEADER, !v); }
  bool ColumnClick() const { return !HasStyle(win::LVS_NOSORTHEADER); }
  void SetColumnClick(bool v) { SetStyle(win::LVS_NOSORTHEADER, !v); }
  bool OwnerData() const { return HasStyle(win::LVS_OWNERDATA); }
  void SetOwnerData(bool v);
  bool RowSelect() const { return FRowSelect; }
  void SetRowSelect(bool v) {
    FRowSelect = v;
    Invalidate();
  }
  bool AutoArrange() const { return HasStyle(win::LVS_AUTOARRANGE); }
  void SetAutoArrange(bool v) { SetStyle(win::LVS_AUTOARRANGE, v); }
  TIconArrangement Arrangement() const { return FArrangement; }
  void SetArrangement(TIconArrangement v) {
    FArrangement = v;
    Invalidate();
  }
  void SetSortType(TSortType v);
  int AllocBy() const { return FAllocBy; }
  void SetAllocBy(int v) { FAllocBy = v; }
  // Report: a vertical bar of rows and a horizontal one of the columns' pixels (the header
  // moves across with the rows and stays on top); list: a horizontal bar of columns; icons:
  // a vertical bar of rows. Worked out when the view is next painted, scrolled or asked.
  void UpdateScrollBars() override;

  TListItem* Selected() const;
  void SetSelected(TListItem* item);
  TListItem* ItemFocused() const;
  void SetItemFocused(TListItem* item);
  int SelCount() const;
  TListItem* TopItem() const;
  int VisibleRowCount() const;
  bool IsEditing() const override;
  TCustomEdit* EditControl() const;
  // The header window in the report style (null before the window exists).
  win::HWND HeaderHandle() const;
  TListItem* GetItemAt(int x, int y) const;
  THitTests GetHitTestInfoAt(int x, int y) const;
  TListItem* GetNextItem(TListItem* start, TSearchDirection direction, TItemStates states) const;
  TListItem* FindCaption(int startIndex, const std::string& value, bool partial, bool inclusive,
                         bool wrap) const;
  TListItem* FindData(int startIndex, void* value, bool inclusive, bool wrap) const;
  bool AlphaSort();
  bool CustomSort(TLVCompare sortProc, win::LPARAM data);
  void Arrange();
  void Scroll(int dx, int dy);
  void SelectAll();
  void ClearSelection();

  void WndProc(TMessage& msg) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  // The window behind the view (ListViewWindow.h).
  struct Native;

  TLVChangeEvent OnChange;
  TLVChangingEvent OnChanging;
  TLVColumnClickEvent OnColumnClick;
  TLVCompareEvent OnCompare;
  TLVDeletedEvent OnDeletion, OnInsert, OnGetImageIndex;
  TLVEditingEvent OnEditing;
  TLVEditedEvent OnEdited;
  TLVSelectItemEvent OnSelectItem;
  TLVOwnerDataEvent OnData;
  TLVOwnerDataFindEvent OnDataFind;
  TLVCustomDrawEvent OnCustomDraw;
  TLVCustomDrawItemEvent OnCustomDrawItem;
  TLVCustomDrawSubItemEvent OnCustomDrawSubItem;

 protected:
  virtual bool CanChange(TListItem* item, TItemChange change);
  virtual void Change(TListItem* item, TItemChange change);
  virtual void ColClick(TListColumn* column) { OnColumnClick(this, column); }
  virtual bool CanEdit(TListItem* item);
  // The end of a caption edit (item.pszText null: cancelled).
  virtual void Edit(const win::LVITEMA& item);
  virtual void Delete(TListItem* item) { OnDeletion(this, item); }
  virtual void InsertItem(TListItem* item) { OnInsert(this, item); }
  virtual void GetImageIndex(TListItem* item) { OnGetImageIndex(this, item); }
  virtual void DoSelectItem(TListItem* item, bool selected) { OnSelectItem(this, item, selected); }
  virtual void OwnerDataFetch(TListItem* item) { OnData(this, item); }
  virtual int OwnerDataFind(const std::string& find, int start, bool wrap);
  virtual TListItem* CreateListItem() { return new TListItem(FListItems.get()); }
  virtual bool IsCustomDrawn(TCustomDrawTarget target, TCustomDrawStage stage) const;
  virtual bool CustomDraw(const win::RECT& rect, TCustomDrawStage stage);
  virtual bool CustomDrawItem(TListItem* item, TCustomDrawState state, TCustomDrawStage stage);
  virtual bool CustomDrawSubItem(TListItem* item, int subItem, TCustomDrawState state,
                                 TCustomDrawStage stage);
  void StyleChanged() override;

 private:
  friend class TListItem;
  friend class TListItems;
  friend class TListColumn;
  void HandleNotify(TMessage& m);
  // The item a notification names (by lParam, else by index).
  TListItem* ItemOf(int index, win::LPARAM lParam) const;
  void ItemChanged(TListItem* t, const win::NMLISTVIEW& nm, TItemChange change);
  void ItemDeleted(TListItem* t);
  void FillDispInfo(TListItem* t, win::LVITEMA& item);
  win::LRESULT FindOwnerData(const win::NMLVFINDITEMA& nm);
  win::LRESULT AnswerCustomDraw(win::NMLVCUSTOMDRAW& cd);
  void UpdateColumn(int index);
  void UpdateColumns();
  void ImagesChanged() override;
  std::vector<TCustomImageList**> ImageSlots() override;
  std::unique_ptr<Native> FNative;
  std::unique_ptr<TListItems> FListItems;
  std::unique_ptr<TListColumns> FColumns;
  TCustomImageList* FLargeImages = nullptr;
  TCustomImageList* FSmallImages = nullptr;
  TCustomImageList* FStateImages = nullptr;
  TViewStyle FViewStyle = vsIcon;
  TIconArrangement FArrangement = iaTop;
  bool FRowSelect = false;
  int FAllocBy = 0;
};

class TListView : public TCustomListView {
  WI_CLASS(TListView, TCustomListView)
 public:
  explicit TListView(TComponent* owner) : TCustomListView(owner) {}
};
