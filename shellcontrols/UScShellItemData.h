#pragma once
// The data the shell tree keeps on its nodes, the shell list on its items and a shell combo
// on its entries.
#include <string>

#include "platform/forms/Classes.h"
#include "platform/shell/Com.h"
#include "platform/shell/DragDrop.h"
#include "platform/shell/ShellFolder.h"

// =========================================================================================
// Data of a shell tree node. The tree sets the own folder of the root node.
class TScCustomShellTree;
class TScShTreeData : public TObject {
 public:
  explicit TScShTreeData(TScCustomShellTree* Tree);
  ~TScShTreeData() override;
  TScShTreeData(const TScShTreeData&) = delete;
  TScShTreeData& operator=(const TScShTreeData&) = delete;

  // Stores ParentData and a copy of RelativePidl; drops the absolute cache.
  void Init(TScShTreeData* ParentData, win::LPCITEMIDLIST RelativePidl);
  TScCustomShellTree* Tree() const { return FTree; }
  TScShTreeData* ParentData() const { return FParentData; }
  win::LPITEMIDLIST RelativePidl() const { return FRelativePidl; }
  // Owned and cached; null for the root on the desktop.
  win::LPITEMIDLIST AbsolutePidl();
  win::ComPtr<win::IShellFolder> ParentFolder();
  win::ComPtr<win::IShellFolder> ShellFolder();  // desktop failure raises EOleSysError
  void SetOwnFolder(win::IShellFolder* Folder);  // root node only
  std::string Path();
  bool CanRename();
  void SetRelativePidl(win::LPCITEMIDLIST Value);  // after a rename (copied)
  void Invalidate();
  win::HRESULT GetDropTarget(win::HWND Window, win::IDropTarget** Target);

 private:
  TScCustomShellTree* FTree;
  TScShTreeData* FParentData = nullptr;
  win::LPITEMIDLIST FRelativePidl = nullptr;
  win::LPITEMIDLIST FAbsolutePidl = nullptr;
  win::ComPtr<win::IShellFolder> FOwnFolder;
  win::ComPtr<win::IShellFolder> FRootParentFolder;
};

// What item data asks of the list that owns it: TScCustomShellList implements this.
class IScShListDataOwner {
 public:
  virtual win::IShellFolder* CurrentShellFolder() = 0;  // no reference added
  virtual win::LPCITEMIDLIST CurrentFolderPidl() = 0;   // the list's folder list
  virtual win::IShellDetails* DetailsSource() = 0;      // no reference added; may be null

 protected:
  ~IScShListDataOwner() = default;
};

class TScShListData : public TObject {
 public:
  explicit TScShListData(IScShListDataOwner* List);
  ~TScShListData() override;
  TScShListData(const TScShListData&) = delete;
  TScShListData& operator=(const TScShListData&) = delete;

  IScShListDataOwner* List() const { return FList; }
  win::LPITEMIDLIST RelativePidl() const { return FRelativePidl; }
  // Takes ownership (no copy) and invalidates.
  void SetRelativePidl(win::LPITEMIDLIST Value);
  void Invalidate();
  win::LPITEMIDLIST AbsolutePidl();  // owned, cached
  std::string Path();
  win::DWORD Attributes();
  bool IsFolder();
  bool CanRename();
  bool IsShortcut();
  std::string DisplayName();
  std::string ColumnText(int Index);
  void ComputeColumnTexts();

 private:
  IScShListDataOwner* FList;
  win::LPITEMIDLIST FAbsolutePidl = nullptr;
  win::LPITEMIDLIST FRelativePidl = nullptr;
  bool FColumnTextsReady = false;
  bool FDisplayNameReady = false;
  std::string FDisplayName;
  std::string FSizeText, FTypeText, FModifiedText;
};

// Data of a shell combo item: released and freed on destruction.
class TScShComboData : public TObject {
 public:
  TScShComboData() = default;
  ~TScShComboData() override;
  TScShComboData(const TScShComboData&) = delete;
  TScShComboData& operator=(const TScShComboData&) = delete;
  win::ComPtr<win::IUnknown> Interface1, Interface2;
  win::LPITEMIDLIST Pidl1 = nullptr, Pidl2 = nullptr, Pidl3 = nullptr;
};
