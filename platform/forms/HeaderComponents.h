#pragma once
// The two header components of the toolkit, both shown through the header control
// (HeaderCtrl.h): THeaderControl, the common-control header whose sections are a
// collection, and THeader, the older header whose sections are a string list with a width
// each. Dragging a divider resizes a section; clicking one reports it.
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/CommonControls.h"
#include "platform/forms/Controls.h"

// What the two kinds share: the header window, its painting and its mouse.
class TCustomHeader : public TCustomControl {
  WI_CLASS(TCustomHeader, TCustomControl)
 public:
  explicit TCustomHeader(TComponent* owner);
  ~TCustomHeader() override;

  virtual int SectionCount() const = 0;
  virtual int SectionWidthAt(int index) const = 0;
  // The header window, once the control's window exists.
  win::HWND HeaderHandle() const { return FHeader; }

  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& msg) override;

 protected:
  virtual std::string SectionTextAt(int index) const = 0;
  virtual TAlignment SectionAlignmentAt(int) const { return taLeftJustify; }
  // A width the user drags to, corrected to what the section accepts.
  virtual int AcceptWidth(int, int width) const { return width; }
  virtual void SectionResized(int index, int width) = 0;
  virtual void SectionClicked(int) {}
  virtual bool AllowResize() const { return true; }
  // Rebuilds the header window's items from the sections.
  void SectionsChanged();
  // Takes one item out of the header window (a section being destroyed).
  void RemoveHeaderItem(int index);
  void Paint() override;

 private:
  void HeaderNotify(TMessage& msg);
  win::HWND FHeader = nullptr;
  bool FSyncing = false;
};

class THeaderControl;

class THeaderSection : public TCollectionItem {
  WI_CLASS(THeaderSection, TCollectionItem)
 public:
  explicit THeaderSection(TCollection* collection);
  ~THeaderSection() override;
  std::string Text() const { return FText; }
  void SetText(const std::string& v);
  int Width() const { return FWidth; }
  void SetWidth(int v);
  int MinWidth() const { return FMinWidth; }
  void SetMinWidth(int v);
  int MaxWidth() const { return FMaxWidth; }
  void SetMaxWidth(int v);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  bool AllowClick() const { return FAllowClick; }
  void SetAllowClick(bool v) { FAllowClick = v; }
  // Left and right edges in the header.
  int Left() const;
  int Right() const { return Left() + FWidth; }
  THeaderControl* HeaderControl() const;

 private:
  friend class THeaderControl;
  void Changed();
  std::string FText;
  int FWidth = 50, FMinWidth = 0, FMaxWidth = 10000;
  TAlignment FAlignment = taLeftJustify;
  bool FAllowClick = true;
};

class THeaderSections : public TCollection {
  WI_CLASS(THeaderSections, TCollection)
 public:
  explicit THeaderSections(THeaderControl* owner);
  THeaderSection* Add() { return static_cast<THeaderSection*>(TCollection::Add()); }
  THeaderSection* Items(int i) const { return static_cast<THeaderSection*>(TCollection::Items(i)); }
  THeaderControl* Owner() const { return FOwner; }

 private:
  THeaderControl* FOwner;
};

using TSectionNotifyEvent = TEvent<THeaderControl*, THeaderSection*>;

class THeaderControl : public TCustomHeader {
  WI_CLASS(THeaderControl, TCustomHeader)
 public:
  explicit THeaderControl(TComponent* owner);
  ~THeaderControl() override;
  THeaderSections* Sections() const { return FSections.get(); }

  int SectionCount() const override { return FSections->Count(); }
  int SectionWidthAt(int index) const override { return FSections->Items(index)->Width(); }

  TSectionNotifyEvent OnSectionResize, OnSectionClick;

 protected:
  std::string SectionTextAt(int index) const override { return FSections->Items(index)->Text(); }
  TAlignment SectionAlignmentAt(int index) const override {
    return FSections->Items(index)->Alignment();
  }
  int AcceptWidth(int index, int width) const override;
  void SectionResized(int index, int width) override;
  void SectionClicked(int index) override;

 private:
  friend class THeaderSection;
  std::unique_ptr<THeaderSections> FSections;
  bool FDestroying = false;
};

using TSectionEvent = TEvent<TObject*, int, int>;  // section index, width

// The older header: one string per section, each with its width (50 when added).
class THeader : public TCustomHeader {
  WI_CLASS(THeader, TCustomHeader)
 public:
  explicit THeader(TComponent* owner);
  ~THeader() override;
  TStrings* Sections() const { return FSections.get(); }
  void SetSections(TStrings* v) { FSections->Assign(v); }
  int SectionWidth(int index) const;
  void SetSectionWidth(int index, int width);
  bool AllowResize() const override { return FAllowResize; }
  void SetAllowResize(bool v) { FAllowResize = v; }

  int SectionCount() const override { return FSections->Count(); }
  int SectionWidthAt(int index) const override { return SectionWidth(index); }

  // After the user resized a section.
  TSectionEvent OnSized;

 protected:
  std::string SectionTextAt(int index) const override { return FSections->Get(index); }
  void SectionResized(int index, int width) override;

 private:
  std::unique_ptr<TStringList> FSections;
  std::vector<int> FWidths;
  bool FAllowResize = true;
};
