#pragma once
// A shell folder reference, as the tree and the list store it.
#include <cstdint>
#include <string>

#include "platform/forms/Classes.h"
#include "platform/shell/ShellFolder.h"

// =========================================================================================
// TScShellLocator: a folder by absolute pidl (kind 0, null = desktop) or by special-folder
// id (kind 1, resolved lazily). Stored as the binary property "Pidl".
class TScShellLocator : public TPersistent {
  WI_CLASS(TScShellLocator, TPersistent)
 public:
  TScShellLocator() = default;
  ~TScShellLocator() override;
  TScShellLocator(const TScShellLocator&) = delete;
  TScShellLocator& operator=(const TScShellLocator&) = delete;

  std::uint8_t Kind() const { return FKind; }
  std::uint8_t SpecialFolder() const { return FSpecialFolder; }
  // Makes the locator kind 1 (fires OnChange when something changed).
  void SetSpecialFolder(std::uint8_t Id);
  // Owned by the locator; null = desktop.
  win::LPITEMIDLIST Pidl();
  void SetPidl(win::LPCITEMIDLIST Value);
  void Clear() { SetPidl(nullptr); }
  std::string Path();
  void Assign(TPersistent* Source) override;
  bool Equals(TScShellLocator* Other);
  TNotifyEvent OnChange;

  void DefineProperties(TFiler& Filer) override;
  // The stored bytes (tests and other filers).
  void ReadPidl(const std::string& Data);
  void WritePidl(std::string& Data) const;
  bool HasPidlData() const { return FPidl != nullptr || FKind == 1; }

 protected:
  virtual void Change();

 private:
  void FreePidl();
  std::uint8_t FKind = 0;
  win::LPITEMIDLIST FPidl = nullptr;
  std::uint8_t FSpecialFolder = 0;
};
