#include "toolkit/RegistryHelpers.h"

#include "platform/system/Machine.h"
#include "platform/system/TRegistry.h"

const char* const SRegReadError =
    "Lecture d'une valeur de registre impossible : \r\nVeuillez contrôler vos droits d'accès.";
const char* const SRegWriteError =
    "Écriture d'une valeur de registre impossible : \r\nVeuillez contrôler vos droits d'accès.";

namespace {

bool Missing(win::LONG rc) {
  return rc == win::ERROR_FILE_NOT_FOUND || rc == win::ERROR_PATH_NOT_FOUND;
}

// Opens an existing key for reading. False when it does not exist; a key that exists
// but cannot be opened (or a registry that cannot be read at all) raises the read error.
bool OpenForRead(TRegistry& reg, const std::string& key) {
  bool opened;
  try {
    opened = reg.OpenKey(key, false);
  } catch (const win::MachineError&) {
    throw Exception(SRegReadError);
  }
  if (opened) return true;
  if (Missing(reg.LastError())) return false;
  throw Exception(SRegReadError);
}

void OpenForWrite(TRegistry& reg, const std::string& key) {
  bool opened;
  try {
    opened = reg.OpenKey(key, true);
  } catch (const win::MachineError&) {
    throw Exception(SRegWriteError);
  }
  if (!opened) throw Exception(SRegWriteError);
}

// The value's type and size; false when it does not exist, the read error when it
// cannot be read.
bool Info(TRegistry& reg, const std::string& name, TRegDataInfo& info) {
  if (reg.GetDataInfo(name, info)) return true;
  if (reg.LastError() == win::ERROR_FILE_NOT_FOUND) return false;
  throw Exception(SRegReadError);
}

}  // namespace

void ReadRegString(win::HKEY Root, const std::string& Key, const std::string& Name,
                   std::string& Value) {
  Value.clear();
  TRegistry reg(win::KEY_READ);
  reg.SetRootKey(Root);
  if (!OpenForRead(reg, Key)) return;
  TRegDataInfo info;
  if (!Info(reg, Name, info)) return;
  // ReadString lets an empty value of any type pass as "".
  if (info.RegData != rdString && info.RegData != rdExpandString) RaiseRegistryTypeError(Name);
  Value = reg.ReadString(Name);
}

void ReadRegInteger(win::HKEY Root, const std::string& Key, const std::string& Name, bool& Exists,
                    std::int32_t& Value) {
  Value = 0;
  Exists = false;
  TRegistry reg(win::KEY_READ);
  reg.SetRootKey(Root);
  if (!OpenForRead(reg, Key)) return;
  TRegDataInfo info;
  if (!Info(reg, Name, info)) return;
  Exists = true;
  // ReadInteger takes a short value and reports a long one as unreadable: both are the
  // wrong type here.
  if (info.RegData != rdInteger || info.DataSize != 4) RaiseRegistryTypeError(Name);
  Value = reg.ReadInteger(Name);
}

void WriteRegInteger(win::HKEY Root, const std::string& Key, const std::string& Name,
                     std::int32_t Value) {
  TRegistry reg(win::KEY_ALL_ACCESS);
  reg.SetRootKey(Root);
  OpenForWrite(reg, Key);
  reg.WriteInteger(Name, Value);
}

void WriteRegString(win::HKEY Root, const std::string& Key, const std::string& Name,
                    const std::string& Value) {
  TRegistry reg(win::KEY_ALL_ACCESS);
  reg.SetRootKey(Root);
  OpenForWrite(reg, Key);
  reg.WriteString(Name, Value);
}

void DeleteRegKey(win::HKEY Root, const std::string& Key) {
  TRegistry reg(win::KEY_ALL_ACCESS);
  reg.SetRootKey(Root);
  try {
    reg.DeleteKey(Key);
  } catch (const win::MachineError&) {
    // Deletion failures are not reported; an unreadable registry is one of them.
  }
}
