#include "platform/shell/ShellLink.h"

#include <cstring>
#include <mutex>
#include <utility>

#include "platform/shell/ShellFolder.h"
#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/Machine.h"

namespace win {

namespace {

HRESULT CopyOut(const std::string& s, char* buf, int cch) {
  if (!buf || cch <= 0) return E_INVALIDARG;
  std::size_t n = std::min<std::size_t>(s.size(), std::size_t(cch - 1));
  std::memcpy(buf, s.data(), n);
  buf[n] = 0;
  return S_OK;
}

class ShellLink final : public ComObjectOf<IShellLinkA, IPersistFile> {
 public:
  void* Find(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IShellLinkA) return static_cast<IShellLinkA*>(this);
    if (riid == IID_IPersistFile || riid == IID_IPersist) return static_cast<IPersistFile*>(this);
    return nullptr;
  }

  HRESULT GetPath(char* file, int cch, WIN32_FIND_DATA* fd, DWORD) override {
    if (!file || cch <= 0) return E_INVALIDARG;
    if (fd) {
      *fd = WIN32_FIND_DATA{};
      HANDLE h = path_.empty() ? INVALID_HANDLE_VALUE : FindFirstFile(path_, fd);
      if (h != INVALID_HANDLE_VALUE)
        FindClose(h);
      else
        *fd = WIN32_FIND_DATA{};
    }
    CopyOut(path_, file, cch);
    return path_.empty() ? S_FALSE : S_OK;
  }
  HRESULT GetIDList(LPITEMIDLIST* ppidl) override {
    if (!ppidl) return E_POINTER;
    *ppidl = nullptr;
    if (path_.empty()) return S_FALSE;
    return SUCCEEDED(SHParseDisplayName(path_, ppidl, 0, nullptr)) ? S_OK : S_FALSE;
  }
  HRESULT SetIDList(LPCITEMIDLIST pidl) override {
    char p[MAX_PATH];
    if (!SHGetPathFromIDList(pidl, p)) return E_INVALIDARG;
    path_ = p;
    dirty_ = true;
    return S_OK;
  }
  HRESULT GetDescription(char* s, int cch) override { return CopyOut(description_, s, cch); }
  HRESULT SetDescription(const char* s) override { return Set(description_, s); }
  HRESULT GetWorkingDirectory(char* s, int cch) override { return CopyOut(workingDir_, s, cch); }
  HRESULT SetWorkingDirectory(const char* s) override { return Set(workingDir_, s); }
  HRESULT GetArguments(char* s, int cch) override { return CopyOut(arguments_, s, cch); }
  HRESULT SetArguments(const char* s) override { return Set(arguments_, s); }
  HRESULT GetHotkey(WORD* k) override { return Get(hotkey_, k); }
  HRESULT SetHotkey(WORD k) override { return Set(hotkey_, k); }
  HRESULT GetShowCmd(int* c) override { return Get(showCmd_, c); }
  HRESULT SetShowCmd(int c) override { return Set(showCmd_, c); }
  HRESULT GetIconLocation(char* s, int cch, int* index) override {
    if (!index) return E_POINTER;
    *index = iconIndex_;
    return CopyOut(iconLocation_, s, cch);
  }
  HRESULT SetIconLocation(const char* s, int index) override {
    iconIndex_ = index;
    return Set(iconLocation_, s);
  }
  HRESULT SetRelativePath(const char*, DWORD) override { return S_OK; }
  HRESULT Resolve(HWND, DWORD) override {
    return !path_.empty() && GetFileAttributes(path_) != INVALID_FILE_ATTRIBUTES ? S_OK : S_FALSE;
  }
  HRESULT SetPath(const char* file) override {
    if (!file) return E_INVALIDARG;
    std::string full = Machine::Current().FullPathName(file);
    path_ = full.empty() ? file : full;
    dirty_ = true;
    return S_OK;
  }

  HRESULT GetClassID(CLSID* clsid) override {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_ShellLink;
    return S_OK;
  }
  HRESULT IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
  HRESULT Load(LPCOLESTR wname, DWORD) override {
    if (!wname) return E_INVALIDARG;
    std::string name = FromWide(wname), text;
    if (!ReadWholeFile(name, text)) {
      DWORD e = GetLastError();
      return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? STG_E_FILENOTFOUND
                                                                    : HRESULT_FROM_WIN32(e);
    }
    static const std::string header = "[ShellLink]";
    if (text.compare(0, header.size(), header) != 0) return STG_E_INVALIDHEADER;
    path_ = arguments_ = description_ = workingDir_ = iconLocation_ = "";
    iconIndex_ = 0;
    showCmd_ = 1;
    hotkey_ = 0;
    std::size_t at = 0;
    while (at < text.size()) {
      std::size_t end = text.find('\n', at);
      std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
      at = end == std::string::npos ? text.size() : end + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      std::string key = line.substr(0, eq), value = line.substr(eq + 1);
      auto number = [&](int fallback) {
        try {
          return std::stoi(value);
        } catch (...) {
          return fallback;
        }
      };
      if (key == "Path")
        path_ = value;
      else if (key == "Arguments")
        arguments_ = value;
      else if (key == "Description")
        description_ = value;
      else if (key == "WorkingDirectory")
        workingDir_ = value;
      else if (key == "IconLocation")
        iconLocation_ = value;
      else if (key == "IconIndex")
        iconIndex_ = number(0);
      else if (key == "ShowCmd")
        showCmd_ = number(1);
      else if (key == "HotKey")
        hotkey_ = WORD(number(0));
    }
    file_ = name;
    dirty_ = false;
    return S_OK;
  }
  HRESULT Save(LPCOLESTR wname, BOOL remember) override {
    std::string name = wname ? FromWide(wname) : file_;
    if (name.empty()) return E_INVALIDARG;
    std::string text = "[ShellLink]\r\nPath=" + path_ + "\r\nArguments=" + arguments_ +
                       "\r\nDescription=" + description_ + "\r\nWorkingDirectory=" + workingDir_ +
                       "\r\nIconLocation=" + iconLocation_ +
                       "\r\nIconIndex=" + std::to_string(iconIndex_) +
                       "\r\nShowCmd=" + std::to_string(showCmd_) +
                       "\r\nHotKey=" + std::to_string(hotkey_) + "\r\n";
    if (!WriteWholeFile(name, text))
      return HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_CANNOT_MAKE);
    if (remember || !wname) {
      file_ = name;
      dirty_ = false;
    }
    return S_OK;
  }
  HRESULT SaveCompleted(LPCOLESTR) override { return S_OK; }
  HRESULT GetCurFile(LPOLESTR* name) override {
    if (!name) return E_POINTER;
    *name = CoTaskStrDup(file_);
    return file_.empty() ? S_FALSE : S_OK;
  }

 private:
  HRESULT Set(std::string& field, const char* s) {
    if (!s) return E_INVALIDARG;
    return Set(field, std::string(s));
  }
  template <class T>
  HRESULT Set(T& field, T v) {
    field = std::move(v);
    dirty_ = true;
    return S_OK;
  }
  template <class T>
  static HRESULT Get(const T& field, T* out) {
    if (!out) return E_POINTER;
    *out = field;
    return S_OK;
  }

  std::string path_, arguments_, description_, workingDir_, iconLocation_, file_;
  int iconIndex_ = 0, showCmd_ = 1;
  WORD hotkey_ = 0;
  bool dirty_ = false;
};

HRESULT CreateShellLink(REFIID riid, void** ppv) {
  auto* link = new ShellLink;
  HRESULT hr = link->QueryInterface(riid, ppv);
  static_cast<IShellLinkA*>(link)->Release();
  return hr;
}

}  // namespace

void RegisterShellLinkClass() {
  static std::once_flag once;
  std::call_once(once, [] { RegisterComClass(CLSID_ShellLink, &CreateShellLink); });
}

}  // namespace win
