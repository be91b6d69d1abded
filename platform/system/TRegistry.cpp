#include "platform/system/TRegistry.h"

#include <cstdio>
#include <cstring>

using namespace win;

namespace {

std::string Format(const char* pattern, const std::string& name) {
  std::string out = pattern;
  size_t at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, name);
  return out;
}

[[noreturn]] void RaiseSet(const std::string& name) {
  throw ERegistryException(Format("Echec à la définition des données pour '%s'", name));
}
[[noreturn]] void RaiseGet(const std::string& name) {
  throw ERegistryException(Format("Echec à l'obtention des données pour '%s'", name));
}

TRegDataType DataTypeOf(DWORD type) {
  switch (type) {
    case REG_SZ:
      return rdString;
    case REG_EXPAND_SZ:
      return rdExpandString;
    case REG_DWORD:
      return rdInteger;
    case REG_BINARY:
      return rdBinary;
    default:
      return rdUnknown;
  }
}

bool IsRelative(const std::string& key) { return key.empty() || key[0] != '\\'; }

}  // namespace

void RaiseRegistryTypeError(const std::string& name) {
  throw ERegistryException(Format("Type de données incorrect pour '%s'", name));
}

TRegistry::TRegistry() = default;
TRegistry::TRegistry(REGSAM access) : access_(access) {}
TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY key) {
  if (key == root_) return;
  CloseKey();
  root_ = key;
}

void TRegistry::CloseKey() {
  if (current_) {
    RegCloseKey(current_);
    current_ = nullptr;
    currentPath_.clear();
  }
}

HKEY TRegistry::BaseFor(const std::string& key, std::string& rel) const {
  rel = key;
  if (!IsRelative(key)) {
    rel.erase(0, 1);
    return root_;
  }
  return current_ ? current_ : root_;
}

void TRegistry::ChangeKey(HKEY key, const std::string& path) {
  CloseKey();
  current_ = key;
  currentPath_ = path;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  std::string rel;
  HKEY base = BaseFor(key, rel);
  bool relative = IsRelative(key) && current_;
  HKEY result = nullptr;
  LONG rc;
  if (!canCreate || rel.empty())
    rc = RegOpenKeyEx(base, rel, 0, access_, &result);
  else
    rc = RegCreateKeyEx(base, rel, 0, nullptr, REG_OPTION_NON_VOLATILE, access_, nullptr, &result,
                        nullptr);
  lastError_ = rc;
  if (rc != ERROR_SUCCESS) return false;
  while (!rel.empty() && rel.back() == '\\') rel.pop_back();
  std::string path = relative && !rel.empty() ? currentPath_ + "\\" + rel
                     : relative               ? currentPath_
                                              : rel;
  ChangeKey(result, path);
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
  REGSAM saved = access_;
  bool ok = false;
  for (REGSAM a :
       {KEY_READ, REGSAM(STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS),
        KEY_QUERY_VALUE}) {
    access_ = a;
    if (OpenKey(key, false)) {
      ok = true;
      break;
    }
  }
  if (!ok) access_ = saved;
  return ok;
}

bool TRegistry::CreateKey(const std::string& key) {
  std::string rel;
  HKEY base = BaseFor(key, rel);
  HKEY result = nullptr;
  if (RegCreateKeyEx(base, rel, 0, nullptr, REG_OPTION_NON_VOLATILE, access_, nullptr, &result,
                     nullptr) != ERROR_SUCCESS)
    throw ERegistryException("Impossible de créer la clé " + key);
  RegCloseKey(result);
  return true;
}

bool TRegistry::KeyExists(const std::string& key) {
  std::string rel;
  HKEY base = BaseFor(key, rel);
  HKEY result = nullptr;
  LONG rc = RegOpenKeyEx(base, rel, 0, KEY_QUERY_VALUE, &result);
  if (rc == ERROR_SUCCESS) RegCloseKey(result);
  // A key the user may not read still exists.
  return rc == ERROR_SUCCESS || rc == LONG(ERROR_ACCESS_DENIED);
}

bool TRegistry::ValueExists(const std::string& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info);
}

bool TRegistry::HasSubKeys() {
  DWORD n = 0;
  if (RegQueryInfoKey(ReadKey(), nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr, nullptr,
                      nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  return n > 0;
}

bool TRegistry::DeleteKey(const std::string& key) {
  std::string rel;
  HKEY base = BaseFor(key, rel);
  HKEY k = nullptr;
  if (RegOpenKeyEx(base, rel, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, &k) == ERROR_SUCCESS) {
    // Children first, so that the NT rule (no deletion of a key with subkeys) is met.
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0;; ++i) {
      DWORD n = sizeof name;
      if (RegEnumKeyEx(k, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      names.push_back(name);
    }
    RegCloseKey(k);
    std::string prefix = key;
    while (!prefix.empty() && prefix.back() == '\\') prefix.pop_back();
    for (auto it = names.rbegin(); it != names.rend(); ++it) DeleteKey(prefix + "\\" + *it);
  }
  return RegDeleteKey(base, rel) == ERROR_SUCCESS;
}

bool TRegistry::DeleteValue(const std::string& name) {
  return RegDeleteValue(current_ ? current_ : root_, name) == ERROR_SUCCESS;
}

bool TRegistry::GetDataInfo(const std::string& name, TRegDataInfo& info) {
  info = TRegDataInfo{};
  DWORD type = 0, size = 0;
  lastError_ = RegQueryValueEx(ReadKey(), name, nullptr, &type, nullptr, &size);
  if (lastError_ != ERROR_SUCCESS) return false;
  info.RegData = DataTypeOf(type);
  info.DataSize = int(size);
  return true;
}

TRegDataType TRegistry::GetDataType(const std::string& name) {
  TRegDataInfo info;
  GetDataInfo(name, info);
  return info.RegData;
}

int TRegistry::GetDataSize(const std::string& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info) ? info.DataSize : -1;
}

int TRegistry::GetData(const std::string& name, void* buffer, int size, TRegDataType& type) {
  DWORD t = 0, s = DWORD(size);
  if (RegQueryValueEx(ReadKey(), name, nullptr, &t, static_cast<BYTE*>(buffer), &s) !=
      ERROR_SUCCESS)
    RaiseGet(name);
  type = DataTypeOf(t);
  return int(s);
}

void TRegistry::PutData(const std::string& name, const void* data, int size, DWORD type) {
  if (size < 0 || RegSetValueEx(current_ ? current_ : root_, name, 0, type,
                                static_cast<const BYTE*>(data), DWORD(size)) != ERROR_SUCCESS)
    RaiseSet(name);
}

std::string TRegistry::ReadString(const std::string& name) {
  int len = GetDataSize(name);
  if (len <= 0) return "";
  std::string s(size_t(len), '\0');
  TRegDataType type;
  len = GetData(name, s.data(), len, type);
  if (type != rdString && type != rdExpandString) RaiseRegistryTypeError(name);
  s.resize(size_t(len));
  // The text stops at its first NUL.
  size_t z = s.find('\0');
  if (z != std::string::npos) s.resize(z);
  return s;
}

int TRegistry::ReadInteger(const std::string& name) {
  std::int32_t v = 0;
  TRegDataType type;
  GetData(name, &v, sizeof v, type);
  if (type != rdInteger) RaiseRegistryTypeError(name);
  return v;
}

int TRegistry::ReadBinaryData(const std::string& name, void* buffer, int bufSize) {
  TRegDataInfo info;
  if (!GetDataInfo(name, info)) return 0;
  if ((info.RegData != rdBinary && info.RegData != rdUnknown) || info.DataSize > bufSize)
    RaiseRegistryTypeError(name);
  TRegDataType type;
  return GetData(name, buffer, info.DataSize, type);
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  PutData(name, value.c_str(), int(value.size() + 1), REG_SZ);
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& value) {
  PutData(name, value.c_str(), int(value.size() + 1), REG_EXPAND_SZ);
}

void TRegistry::WriteInteger(const std::string& name, int value) {
  std::int32_t v = value;
  PutData(name, &v, 4, REG_DWORD);
}

void TRegistry::WriteBinaryData(const std::string& name, const void* buffer, int bufSize) {
  PutData(name, buffer, bufSize, REG_BINARY);
}

std::vector<std::string> TRegistry::GetKeyNames() {
  std::vector<std::string> names;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD n = sizeof name;
    if (RegEnumKeyEx(ReadKey(), i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names.emplace_back(name, n);
  }
  return names;
}

std::vector<std::string> TRegistry::GetValueNames() {
  std::vector<std::string> names;
  std::vector<char> name(16384);
  for (DWORD i = 0;; ++i) {
    DWORD n = DWORD(name.size());
    if (RegEnumValue(ReadKey(), i, name.data(), &n, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    names.emplace_back(name.data(), n);
  }
  return names;
}
