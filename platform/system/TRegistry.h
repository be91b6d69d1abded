#pragma once
// The toolkit's registry object: a root key, a current key opened below it, typed reads
// and writes that raise ERegistryException with the toolkit's French texts.
#include <string>
#include <vector>

#include "platform/system/Exceptions.h"
#include "platform/system/Registry.h"

class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

// "Type de données incorrect pour '<name>'", for callers that check a value's type first.
[[noreturn]] void RaiseRegistryTypeError(const std::string& name);

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
  TRegDataType RegData = rdUnknown;
  int DataSize = 0;
};

class TRegistry {
 public:
  TRegistry();  // HKEY_CURRENT_USER, KEY_ALL_ACCESS
  explicit TRegistry(win::REGSAM access);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  win::HKEY RootKey() const { return root_; }
  void SetRootKey(win::HKEY key);  // closes the current key
  win::REGSAM Access() const { return access_; }
  void SetAccess(win::REGSAM access) { access_ = access; }
  win::HKEY CurrentKey() const { return current_; }
  // The path of the current key below the root, without leading backslash.
  std::string CurrentPath() const { return currentPath_; }
  // The code of the last OpenKey or GetDataInfo, which tells a missing key or value from
  // one that cannot be read.
  win::LONG LastError() const { return lastError_; }

  // A key beginning with "\" is taken from the root; otherwise below the current key.
  bool OpenKey(const std::string& key, bool canCreate);
  bool OpenKeyReadOnly(const std::string& key);
  bool CreateKey(const std::string& key);
  bool KeyExists(const std::string& key);
  bool ValueExists(const std::string& name);
  bool HasSubKeys();
  void CloseKey();
  // Deletes the key with everything below it.
  bool DeleteKey(const std::string& key);
  bool DeleteValue(const std::string& name);

  // A missing value reads as empty; a value of another type raises.
  std::string ReadString(const std::string& name);
  int ReadInteger(const std::string& name);
  bool ReadBool(const std::string& name) { return ReadInteger(name) != 0; }
  // Copies the value into buffer; 0 when the value is missing. Raises when the value is
  // not binary or does not fit.
  int ReadBinaryData(const std::string& name, void* buffer, int bufSize);
  void WriteString(const std::string& name, const std::string& value);
  void WriteExpandString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, int value);
  void WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }
  void WriteBinaryData(const std::string& name, const void* buffer, int bufSize);

  bool GetDataInfo(const std::string& name, TRegDataInfo& info);
  TRegDataType GetDataType(const std::string& name);
  int GetDataSize(const std::string& name);  // -1 when the value is missing
  std::vector<std::string> GetKeyNames();
  std::vector<std::string> GetValueNames();

 private:
  win::HKEY BaseFor(const std::string& key, std::string& rel) const;
  win::HKEY ReadKey() const { return current_ ? current_ : root_; }
  void ChangeKey(win::HKEY key, const std::string& path);
  void PutData(const std::string& name, const void* data, int size, win::DWORD type);
  int GetData(const std::string& name, void* buffer, int size, TRegDataType& type);

  win::HKEY root_ = win::HKEY_CURRENT_USER;
  win::REGSAM access_ = win::KEY_ALL_ACCESS;
  win::HKEY current_ = nullptr;
  std::string currentPath_;
  win::LONG lastError_ = win::ERROR_SUCCESS;
};
