#pragma once
// An owner-drawn list whose every line carries a three-state check glyph and an enabled
// flag. The lines live in the list box; the state of each line lives beside it in a packet
// that TCheckListStrings keeps in step with the lines. States set by code fire no events:
// only a toggle by the user (mouse or Space) asks OnChanging and reports OnChange.
#include <cstdint>
#include <memory>
#include <vector>

#include "controls/VcGrafx.h"
#include "controls/VcLstBox.h"

class TVcCheckList;

class EStringListError : public EListError {
 public:
  using EListError::EListError;
};
class EOutOfResources : public Exception {
 public:
  using Exception::Exception;
};

// The state of one line: 0 unchecked, 1 checked, 2 grayed, and whether it is enabled.
class TPacket : public TObject {
 public:
  std::uint8_t State = cbUnchecked;
  bool Enabled = true;
};
// The only way packets are made: unchecked and enabled.
TPacket* NewPacket();

// The Items of a check list: every text operation goes to the list box; Packets[i] belongs
// to line i. Stored as the strings plus "ItemEnabled" and "ItemState".
class TCheckListStrings : public TStrings {
  WI_CLASS(TCheckListStrings, TStrings)
 public:
  explicit TCheckListStrings(TVcCheckList* listBox) : FListBox(listBox) {}
  ~TCheckListStrings() override;
  TVcCheckList* ListBox() const { return FListBox; }
  int PacketCount() const { return int(FPackets.size()); }
  // The packet of a line; a bad index raises the list index error.
  TPacket* Packet(int index) const;

  int Count() const override;
  std::string Get(int index) const override;
  void Put(int index, const std::string& s) override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* o) override;
  int Add(const std::string& s) override;
  void Insert(int index, const std::string& s) override;
  void Delete(int index) override;
  void Clear() override;
  void Move(int curIndex, int newIndex);
  // Lines of another check list's strings or of a TPacketStringList keep their packets.
  void AddStrings(const TStrings* source);
  void Assign(TPersistent* source) override;
  void DefineProperties(TFiler& filer) override;

 protected:
  void SetUpdateState(bool updating) override;

 private:
  TVcCheckList* FListBox;
  std::vector<TPacket*> FPackets;
};

// Strings, objects and packets held while the list box window is re-created.
class TPacketStringList : public TStringList {
  WI_CLASS(TPacketStringList, TStringList)
 public:
  TPacketStringList() = default;
  ~TPacketStringList() override;
  int PacketCount() const { return int(FPackets.size()); }
  TPacket* Packet(int index) const;
  int AddObject(const std::string& s, TObject* o);
  void Clear() override;
  // Source is a check list's strings: lines with their packets.
  void AddStrings(const TCheckListStrings* source);
  void Assign(TPersistent* source) override;

 private:
  std::vector<TPacket*> FPackets;
};

using TStateChangeEvent = TEvent<TObject*, int, TCheckBoxState>;
using TStateChangingEvent = TEvent<TObject*, int, TCheckBoxState, bool&>;

class TVcCheckList : public TVcTabbedListBox {
  WI_CLASS(TVcCheckList, TVcTabbedListBox)
 public:
  static constexpr int GlyphCount = 6;
  explicit TVcCheckList(TComponent* owner);
  ~TVcCheckList() override;

  TStrings* GetItems() const override;
  TCheckListStrings* CheckItems() const { return FItems.get(); }
  void SetItems(TStrings* value) { FItems->Assign(value); }

  virtual void ToggleItemState();
  virtual bool GetItemChecked(int index) const;
  virtual void SetItemChecked(int index, bool value);
  virtual bool GetItemEnabled(int index) const;
  virtual void SetItemEnabled(int index, bool value);
  virtual TCheckBoxState GetItemState(int index) const;
  virtual void SetItemState(int index, TCheckBoxState value);
  // Lines in state checked (grayed ones do not count).
  int CheckedCount() const;
  // Where the glyph of a line is drawn (client coordinates), its margins included.
  win::RECT GlyphRect(int index) const;

  bool AllowGrayed() const { return FAllowGrayed; }
  virtual void SetAllowGrayed(bool v) { FAllowGrayed = v; }
  // A strip of six frames that replaces the default one; stored with the form.
  TImagePicture* CustomGlyphs() const { return FCustomGlyphs.Picture(); }
  virtual void SetCustomGlyphs(TImagePicture* v);
  bool UseCustomGlyphs() const { return FUseCustomGlyphs; }
  virtual void SetUseCustomGlyphs(bool v);
  int TransparentColor() const { return FTransparentColor; }
  virtual void SetTransparentColor(int v);
  bool ToggleOnItemClick() const { return FToggleOnItemClick; }
  void SetToggleOnItemClick(bool v) { FToggleOnItemClick = v; }
  int GlyphWidth() const { return FGlyphWidth; }
  int GlyphHeight() const { return FGlyphHeight; }
  TBitmap* DefaultGlyphs() const { return FDefaultGlyphs.get(); }
  // Set while a line is being added, until its packet is in place: drawing is skipped.
  bool Adding() const { return FAdding; }
  void SetAdding(bool v) { FAdding = v; }
  bool ToggleArmed() const { return FToggleArmed; }

  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& msg) override;

  TStateChangeEvent OnChange;
  TStateChangingEvent OnChanging;

 protected:
  virtual bool DoChanging(int index, TCheckBoxState newState);
  virtual void DoChange(int index, TCheckBoxState newState) { OnChange(this, index, newState); }
  void DrawItem(int index, win::RECT rect, TOwnerDrawState state) override;
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override;
  void MouseUp(TMouseButton b, TShiftState s, int x, int y) override;
  void KeyDown(win::WORD& key, TShiftState shift) override;
  void FontChanged() override;
  void Loaded() override;

 private:
  void UpdateItemHeight();
  void CustomGlyphsChanged();
  // Glyph width and height from the strip in use; the item height follows.
  void TakeGlyphSize();
  std::unique_ptr<TCheckListStrings> FItems;
  bool FAdding = false;
  int FGlyphWidth = 11, FGlyphHeight = 11;
  std::unique_ptr<TBitmap> FDefaultGlyphs;
  TPictureBitmap FCustomGlyphs;
  bool FToggleArmed = false;
  int FPressedIndex = -1;
  std::unique_ptr<TPacketStringList> FSavedItems;
  int FSavedTopIndex = 0, FSavedItemIndex = -1;
  bool FAllowGrayed = false, FUseCustomGlyphs = false, FToggleOnItemClick = false;
  int FTransparentColor = clOlive;
};

// The shared default strip (six 11 x 11 frames), loaded on first use.
TBitmap* CheckGlyphs();
