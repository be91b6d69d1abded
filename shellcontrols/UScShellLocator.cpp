#include "shellcontrols/UScShellLocator.h"

#include <cstring>

#include "shellcontrols/UScShellControls.h"

using namespace win;

// =========================================================================================
// TScShellLocator

TScShellLocator::~TScShellLocator() { FreePidl(); }

void TScShellLocator::FreePidl() {
  ShellFree(FPidl);
  FPidl = nullptr;
}

void TScShellLocator::Change() { OnChange(this); }

void TScShellLocator::SetSpecialFolder(std::uint8_t Id) {
  if (FKind == 1 && FSpecialFolder == Id) return;
  FreePidl();
  FKind = 1;
  FSpecialFolder = Id;
  Change();
}

LPITEMIDLIST TScShellLocator::Pidl() {
  if (FKind == 0) return FPidl;
  if (FKind == 1) {
    if (!FPidl) {
      LPITEMIDLIST p = nullptr;
      HWND app = nullptr;
      if (FAILED(SHGetSpecialFolderLocation(app, FSpecialFolder, &p))) {
        ShellFree(p);
        p = nullptr;
      }
      FPidl = p;
    }
    return FPidl;
  }
  return nullptr;
}

void TScShellLocator::SetPidl(LPCITEMIDLIST Value) {
  if (Value && !PidlSize(Value)) return;  // a malformed list changes nothing
  bool changed = FKind != 0;
  FKind = 0;
  if (FPidl) {
    if (!changed) {
      int r = ComparePidls(FPidl, Value);
      changed = r != 0 && r != ScPidlCompareFailed;
    }
    FreePidl();
  } else {
    changed = changed || Value != nullptr;
  }
  if (PidlSize(Value) > 2) FPidl = CopyPidl(nullptr, Value);
  if (changed) Change();
}

std::string TScShellLocator::Path() { return PidlToPath(Pidl()); }

void TScShellLocator::Assign(TPersistent* Source) {
  if (!Source) {
    if (FPidl) {
      FreePidl();
      FKind = 0;
      Change();
    }
    return;
  }
  if (auto* other = dynamic_cast<TScShellLocator*>(Source)) {
    if (Equals(other)) return;
    FreePidl();
    FKind = other->FKind;
    if (FKind == 1)
      FSpecialFolder = other->FSpecialFolder;
    else if (other->FPidl)
      FPidl = CopyPidl(nullptr, other->FPidl);
    Change();
    return;
  }
  TPersistent::Assign(Source);
}

bool TScShellLocator::Equals(TScShellLocator* Other) {
  if (!Other || Other->FKind != FKind) return false;
  if (Other == this) return true;
  if (FKind == 0) return ComparePidls(FPidl, Other->FPidl) == 0;
  return FSpecialFolder == Other->FSpecialFolder;
}

void TScShellLocator::DefineProperties(TFiler& Filer) {
  TPersistent::DefineProperties(Filer);
  Filer.DefineBinaryProperty(
      "Pidl", [this](const std::string& d) { ReadPidl(d); },
      [this](std::string& d) { WritePidl(d); }, HasPidlData());
}

void TScShellLocator::ReadPidl(const std::string& Data) {
  auto need = [&](std::size_t n) {
    if (Data.size() < n) throw EReadError("Erreur de lecture du flux");
  };
  need(1);
  std::uint8_t kind = std::uint8_t(Data[0]);
  if (kind != 0) {
    need(2);
    FreePidl();
    FKind = 1;
    FSpecialFolder = std::uint8_t(Data[1]);
    return;
  }
  need(5);
  std::uint32_t len;
  std::memcpy(&len, Data.data() + 1, 4);
  FreePidl();
  if (len == 0) {
    FKind = 1;
    FSpecialFolder = 0;
    return;
  }
  need(5 + std::size_t(len));
  auto* p = static_cast<BYTE*>(ShellAlloc(len));
  if (!p) throw EReadError("Erreur de lecture du flux");
  std::memcpy(p, Data.data() + 5, len);
  // Never keep a list whose items run past its bytes.
  if (len < 2 || !ILIsValid(reinterpret_cast<LPCITEMIDLIST>(p), len)) {
    ShellFree(p);
    throw EReadError("Erreur de lecture du flux");
  }
  FKind = 0;
  FPidl = reinterpret_cast<LPITEMIDLIST>(p);
}

void TScShellLocator::WritePidl(std::string& Data) const {
  Data.clear();
  Data += char(FKind);
  if (FKind != 0) {
    Data += char(FSpecialFolder);
    return;
  }
  std::uint32_t len = std::uint32_t(PidlSize(FPidl));
  Data.append(reinterpret_cast<const char*>(&len), 4);
  if (FPidl) Data.append(reinterpret_cast<const char*>(FPidl), len);
}

void TScShellLocator::DefineProps(TPropList&) {}
