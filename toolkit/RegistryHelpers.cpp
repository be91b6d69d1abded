#include "toolkit/RegistryHelpers.h"

#include <vector>

#include "platform/system/Exceptions.h"
#include "platform/system/Machine.h"

const char* const SRegReadError =
    "Lecture d'une valeur de registre impossible : \r\nVeuillez contrôler vos droits d'accès.";
const char* const SRegWriteError =
    "Écriture d'une valeur de registre impossible : \r\nVeuillez contrôler vos droits d'accès.";

namespace {

[[noreturn]] void DataTypeError(const std::string& name) {
  throw Exception("Type de données incorrect pour '" + name + "'");
}

[[noreturn]] void SetDataError(const std::string& name) {
  throw Exception("Echec à la définition des données pour '" + name + "'");
}

class Key {
 public:
  Key() = default;
  ~Key() {
    if (h_) win::RegCloseKey(h_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  win::HKEY* out() { return &h_; }
  win::HKEY get() const { return h_; }

 private:
  win::HKEY h_ = nullptr;
};

// Opens an existing key for reading. False when it does not exist; a key that exists
// but cannot be opened (or a registry that cannot be read at all) raises the read error.
bool OpenForRead(win::HKEY root, const std::string& key, Key& k) {
  win::LONG rc;
  try {
    rc = win::RegOpenKeyEx(root, key, 0, win::KEY_READ, k.out());
  } catch (const win::MachineError&) {
    throw Exception(SRegReadError);
  }
  if (rc == win::ERROR_SUCCESS) return true;
  if (rc == win::ERROR_FILE_NOT_FOUND || rc == win::ERROR_PATH_NOT_FOUND) return false;
  throw Exception(SRegReadError);
}

void OpenForWrite(win::HKEY root, const std::string& key, Key& k) {
  win::LONG rc;
  try {
    rc = win::RegCreateKeyEx(root, key, 0, nullptr, win::REG_OPTION_NON_VOLATILE,
                             win::KEY_ALL_ACCESS, nullptr, k.out(), nullptr);
  } catch (const win::MachineError&) {
    throw Exception(SRegWriteError);
  }
  if (rc != win::ERROR_SUCCESS) throw Exception(SRegWriteError);
}

// The raw value; false when it does not exist.
bool Query(const Key& k, const std::string& name, win::DWORD& type, std::vector<win::BYTE>& data) {
  win::DWORD size = 0;
  win::LONG rc = win::RegQueryValueEx(k.get(), name, nullptr, &type, nullptr, &size);
  if (rc == win::ERROR_FILE_NOT_FOUND) return false;
  if (rc != win::ERROR_SUCCESS) throw Exception(SRegReadError);
  data.resize(size);
  rc = win::RegQueryValueEx(k.get(), name, nullptr, &type, data.data(), &size);
  if (rc != win::ERROR_SUCCESS) throw Exception(SRegReadError);
  data.resize(size);
  return true;
}

void Set(const Key& k, const std::string& name, win::DWORD type, const void* data,
         win::DWORD size) {
  win::LONG rc;
  try {
    rc = win::RegSetValueEx(k.get(), name, 0, type, static_cast<const win::BYTE*>(data), size);
  } catch (const win::MachineError&) {
    rc = win::ERROR_CANTWRITE;
  }
  if (rc != win::ERROR_SUCCESS) SetDataError(name);
}

void DeleteTree(win::HKEY root, const std::string& key) {
  Key k;
  if (win::RegOpenKeyEx(root, key, 0, win::KEY_ALL_ACCESS, k.out()) != win::ERROR_SUCCESS) return;
  std::vector<std::string> subKeys;
  for (win::DWORD i = 0;; ++i) {
    char name[256];
    win::DWORD size = sizeof name;
    if (win::RegEnumKeyEx(k.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
        win::ERROR_SUCCESS)
      break;
    subKeys.emplace_back(name, size);
  }
  for (auto it = subKeys.rbegin(); it != subKeys.rend(); ++it) DeleteTree(k.get(), *it);
  win::RegDeleteKey(root, key);
}

}  // namespace

void ReadRegString(win::HKEY Root, const std::string& Key, const std::string& Name,
                   std::string& Value) {
  Value.clear();
  ::Key k;
  if (!OpenForRead(Root, Key, k)) return;
  win::DWORD type = 0;
  std::vector<win::BYTE> data;
  if (!Query(k, Name, type, data)) return;
  if (type != win::REG_SZ && type != win::REG_EXPAND_SZ) DataTypeError(Name);
  Value.assign(data.begin(), data.end());
  auto nul = Value.find('\0');
  if (nul != std::string::npos) Value.resize(nul);
}

void ReadRegInteger(win::HKEY Root, const std::string& Key, const std::string& Name, bool& Exists,
                    std::int32_t& Value) {
  Value = 0;
  Exists = false;
  ::Key k;
  if (!OpenForRead(Root, Key, k)) return;
  win::DWORD type = 0;
  std::vector<win::BYTE> data;
  if (!Query(k, Name, type, data)) return;
  Exists = true;
  if (type != win::REG_DWORD || data.size() != 4) DataTypeError(Name);
  Value = std::int32_t(std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 |
                       std::uint32_t(data[2]) << 16 | std::uint32_t(data[3]) << 24);
}

void WriteRegInteger(win::HKEY Root, const std::string& Key, const std::string& Name,
                     std::int32_t Value) {
  ::Key k;
  OpenForWrite(Root, Key, k);
  auto u = std::uint32_t(Value);
  win::BYTE bytes[4] = {win::BYTE(u), win::BYTE(u >> 8), win::BYTE(u >> 16), win::BYTE(u >> 24)};
  Set(k, Name, win::REG_DWORD, bytes, 4);
}

void WriteRegString(win::HKEY Root, const std::string& Key, const std::string& Name,
                    const std::string& Value) {
  ::Key k;
  OpenForWrite(Root, Key, k);
  Set(k, Name, win::REG_SZ, Value.c_str(), win::DWORD(Value.size() + 1));
}

void DeleteRegKey(win::HKEY Root, const std::string& Key) {
  try {
    DeleteTree(Root, Key);
  } catch (const win::MachineError&) {
    // Deletion failures are not reported; an unreadable registry is one of them.
  }
}
