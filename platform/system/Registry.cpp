#include "platform/system/Registry.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <vector>

#include "platform/system/Clock.h"
#include "platform/system/Machine.h"
#include "platform/system/RegistryStore.h"
#include "platform/system/Sqlite.h"
#include "platform/system/Text.h"

namespace win {

// An open key: the store's id of the key, the rights it was opened with, and its full name
// for the journal.
struct HKEY__ {
  std::int64_t id = 0;
  REGSAM access = 0;
  bool machineHive = false;
  std::string path;
};

namespace {

std::mutex g_handlesMutex;
std::set<HKEY__*> g_handles;

constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | 0x10000 | 0x40000 | 0x80000;

bool IsPredefined(HKEY k) {
  auto v = reinterpret_cast<std::uintptr_t>(k);
  return v >= 0x80000000u && v <= 0x80000006u;
}

struct Target {
  std::int64_t id = 0;
  REGSAM access = 0;
  bool machineHive = false;
  std::string path;
};

// The key a handle stands for. Predefined keys are created on first use.
LONG TargetOf(RegistryStore& s, HKEY key, Target& t) {
  if (IsPredefined(key)) {
    auto root = s.PredefinedRoot(key);
    if (!root) return ERROR_INVALID_HANDLE;
    t.id = root->id;
    t.machineHive = root->machineHive;
    t.path = root->path;
    t.access = KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  {
    std::lock_guard lock(g_handlesMutex);
    if (!key || !g_handles.count(key)) return ERROR_INVALID_HANDLE;
    t.id = key->id;
    t.access = key->access;
    t.machineHive = key->machineHive;
    t.path = key->path;
  }
  if (!s.KeyExists(t.id)) return ERROR_KEY_DELETED;
  return ERROR_SUCCESS;
}

HKEY NewHandle(const Target& t, REGSAM access) {
  auto* h = new HKEY__{t.id, access, t.machineHive, t.path};
  std::lock_guard lock(g_handlesMutex);
  g_handles.insert(h);
  return h;
}

// Splits a subkey path; an empty result list is the key itself. False on a malformed path.
// Names too long or too deep are the store's to refuse, for every writer alike.
bool SplitPath(const std::string& subKey, std::vector<std::string>& parts) {
  parts.clear();
  std::string p = subKey;
  while (!p.empty() && p.back() == '\\') p.pop_back();
  if (p.empty()) return true;
  parts = SplitTerminated(p, '\\');
  return std::none_of(parts.begin(), parts.end(), [](const std::string& c) { return c.empty(); });
}

// One registry call: serialised within the process; a registry.db that cannot be read
// gives ERROR_BADDB, one that may not be written ERROR_ACCESS_DENIED (the reason is kept
// for RegistryFailureText).
template <typename F>
LONG Run(F f) {
  std::lock_guard lock(RegistryCallMutex());
  try {
    RegistryStore s = RegistryStore::ForCurrent();
    return f(s);
  } catch (const RegistryFailure& e) {
    return LONG(e.code);
  } catch (const SqliteError& e) {
    RegistryStore::NoteFailure(e.what());
    return LONG(e.PermissionDenied() ? ERROR_ACCESS_DENIED : ERROR_BADDB);
  } catch (const std::exception& e) {
    RegistryStore::NoteFailure(e.what());
    return LONG(ERROR_BADDB);
  }
}

// The existing key sub names below t: its id and full path, or ERROR_FILE_NOT_FOUND.
LONG FindSubKey(RegistryStore& s, const Target& t, const std::string& sub, std::int64_t& id,
                std::string& path) {
  std::vector<std::string> parts;
  if (!SplitPath(sub, parts)) return ERROR_FILE_NOT_FOUND;
  id = t.id;
  path = t.path;
  for (auto& p : parts) {
    auto child = s.FindChild(id, p);
    if (!child) return ERROR_FILE_NOT_FOUND;
    id = child->id;
    path += "\\" + child->name;
  }
  return ERROR_SUCCESS;
}

LONG PutName(const std::string& name, char* buf, DWORD* size) {
  if (!size) return ERROR_INVALID_PARAMETER;
  if (!buf || *size < name.size() + 1) {
    *size = DWORD(name.size());
    return ERROR_MORE_DATA;
  }
  std::memcpy(buf, name.c_str(), name.size() + 1);
  *size = DWORD(name.size());
  return ERROR_SUCCESS;
}

LONG PutData(const std::vector<BYTE>& data, BYTE* buf, DWORD* size) {
  if (!buf) {
    if (size) *size = DWORD(data.size());
    return ERROR_SUCCESS;
  }
  if (!size) return ERROR_INVALID_PARAMETER;
  if (*size < data.size()) {
    *size = DWORD(data.size());
    return ERROR_MORE_DATA;
  }
  if (!data.empty()) std::memcpy(buf, data.data(), data.size());
  *size = DWORD(data.size());
  return ERROR_SUCCESS;
}

}  // namespace

std::recursive_mutex& RegistryCallMutex() {
  static std::recursive_mutex m;
  return m;
}

LONG RegOpenKeyEx(HKEY key, const std::string& subKey, DWORD, REGSAM access, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    std::string sub = subKey;
    if (!sub.empty() && sub[0] == '\\') sub.erase(0, 1);
    std::int64_t id;
    std::string path;
    if (LONG rc = FindSubKey(s, t, sub, id, path)) return rc;
    if ((access & kWriteRights) && s.WriteRefused(t.machineHive)) return ERROR_ACCESS_DENIED;
    *result = NewHandle(Target{id, access, t.machineHive, path}, access);
    return ERROR_SUCCESS;
  });
}

LONG RegCreateKeyEx(HKEY key, const std::string& subKey, DWORD, const char*, DWORD, REGSAM access,
                    void*, HKEY* result, DWORD* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    std::vector<std::string> parts;
    if (!subKey.empty() && subKey[0] == '\\') return ERROR_BAD_PATHNAME;
    if (!SplitPath(subKey, parts)) return ERROR_BAD_PATHNAME;
    // Find what exists; create the rest in one transaction.
    std::int64_t id = t.id;
    std::string path = t.path;
    size_t i = 0;
    for (; i < parts.size(); ++i) {
      auto child = s.FindChild(id, parts[i]);
      if (!child) break;
      id = child->id;
      path += "\\" + child->name;
    }
    bool creating = i < parts.size();
    if ((creating || (access & kWriteRights)) && s.WriteRefused(t.machineHive))
      return ERROR_ACCESS_DENIED;
    if (creating) {
      if (!(t.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
      if (parts.size() - i > kMaxNewLevelsPerCall) return ERROR_INVALID_PARAMETER;
      std::vector<std::string> rest(parts.begin() + std::ptrdiff_t(i), parts.end());
      id = s.CreatePath(id, path, rest);
      for (auto& r : rest) path += "\\" + r;
    }
    if (disposition) *disposition = creating ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(Target{id, access, t.machineHive, path}, access);
    return ERROR_SUCCESS;
  });
}

LONG RegCloseKey(HKEY key) {
  if (IsPredefined(key)) return ERROR_SUCCESS;
  std::lock_guard lock(g_handlesMutex);
  if (!key || !g_handles.erase(key)) return ERROR_INVALID_HANDLE;
  delete key;
  return ERROR_SUCCESS;
}

LONG RegQueryValueEx(HKEY key, const std::string& name, DWORD*, DWORD* type, BYTE* data,
                     DWORD* size) {
  if (data && !size) return ERROR_INVALID_PARAMETER;
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    if (!(t.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    auto v = s.FindValue(t.id, name);
    if (!v) return ERROR_FILE_NOT_FOUND;
    if (type) *type = v->type;
    return PutData(v->data, data, size);
  });
}

LONG RegSetValueEx(HKEY key, const std::string& name, DWORD, DWORD type, const BYTE* data,
                   DWORD size) {
  if (!data && size > 0) return ERROR_INVALID_PARAMETER;
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    if (!(t.access & KEY_SET_VALUE) || s.WriteRefused(t.machineHive)) return ERROR_ACCESS_DENIED;
    std::vector<BYTE> bytes(data, data + size);
    s.SetValue(t.id, t.path, name, type, bytes);
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValue(HKEY key, const std::string& name) {
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    if (!(t.access & KEY_SET_VALUE) || s.WriteRefused(t.machineHive)) return ERROR_ACCESS_DENIED;
    if (!s.DeleteValue(t.id, t.path, name)) return ERROR_FILE_NOT_FOUND;
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteKey(HKEY key, const std::string& subKey) {
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    std::int64_t id;
    std::string path;
    if (LONG rc = FindSubKey(s, t, subKey, id, path)) return rc;
    if (s.IsRootOrPredefined(id)) return ERROR_ACCESS_DENIED;
    if (s.WriteRefused(t.machineHive)) return ERROR_ACCESS_DENIED;
    if (s.IsNT() && s.HasSubKeys(id)) return ERROR_ACCESS_DENIED;
    s.DeleteTree(id, path);
    return ERROR_SUCCESS;
  });
}

LONG RegEnumKeyEx(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD*, char* keyClass,
                  DWORD* classSize, FILETIME* lastWrite) {
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    if (!(t.access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    auto children = s.Children(t.id);
    if (index >= children.size()) return ERROR_NO_MORE_ITEMS;
    if (LONG rc = PutName(children[index].name, name, nameSize)) return rc;
    if (keyClass && classSize && *classSize > 0) keyClass[0] = 0;
    if (classSize) *classSize = 0;
    if (lastWrite) *lastWrite = FILETIME::from(children[index].lastWrite);
    return ERROR_SUCCESS;
  });
}

LONG RegEnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD*, DWORD* type,
                  BYTE* data, DWORD* dataSize) {
  if (data && !dataSize) return ERROR_INVALID_PARAMETER;
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    if (!(t.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    auto values = s.Values(t.id);
    if (index >= values.size()) return ERROR_NO_MORE_ITEMS;
    auto& v = values[index];
    if (LONG rc = PutName(v.name, name, nameSize)) return rc;
    if (type) *type = v.type;
    return PutData(v.data, data, dataSize);
  });
}

LONG RegQueryInfoKey(HKEY key, char* keyClass, DWORD* classSize, DWORD*, DWORD* subKeys,
                     DWORD* maxSubKeyLen, DWORD* maxClassLen, DWORD* values, DWORD* maxValueNameLen,
                     DWORD* maxValueLen, DWORD* securityDescriptor, FILETIME* lastWrite) {
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    if (!(t.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    auto children = s.Children(t.id);
    auto vals = s.Values(t.id);
    if (keyClass && classSize && *classSize > 0) keyClass[0] = 0;
    if (classSize) *classSize = 0;
    if (subKeys) *subKeys = DWORD(children.size());
    DWORD maxKey = 0, maxName = 0, maxData = 0;
    for (auto& c : children) maxKey = std::max(maxKey, DWORD(c.name.size()));
    for (auto& v : vals) {
      maxName = std::max(maxName, DWORD(v.name.size()));
      maxData = std::max(maxData, DWORD(v.data.size()));
    }
    if (maxSubKeyLen) *maxSubKeyLen = maxKey;
    if (maxClassLen) *maxClassLen = 0;
    if (values) *values = DWORD(vals.size());
    if (maxValueNameLen) *maxValueNameLen = maxName;
    if (maxValueLen) *maxValueLen = maxData;
    if (securityDescriptor) *securityDescriptor = 0;
    if (lastWrite) *lastWrite = FILETIME::from(s.LastWrite(t.id));
    return ERROR_SUCCESS;
  });
}

LONG RegFlushKey(HKEY key) {
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    return TargetOf(s, key, t);
  });
}

std::string RegistryFailureText() { return RegistryStore::LastFailure(); }

}  // namespace win
