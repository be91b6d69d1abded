#pragma once
// Shortcut files (.lnk) through the shell link object: CoCreateInstance(CLSID_ShellLink,
// IID_IShellLinkA), then IPersistFile::Load / Save.
//
// Our file format (text, UTF-8, CR LF lines; readable and diffable on the machine):
//   "[ShellLink]"
//   "Path=" target path        "Arguments=" ...      "Description=" ...
//   "WorkingDirectory=" ...    "IconLocation=" ...   "IconIndex=" decimal
//   "ShowCmd=" decimal         "HotKey=" decimal
// Missing keys keep their defaults (empty texts, 0, ShowCmd SW_SHOWNORMAL). A file that
// does not start with the section line gives STG_E_INVALIDHEADER; a missing file
// STG_E_FILENOTFOUND.
#include <string>

#include "platform/shell/Com.h"
#include "platform/shell/ItemIdList.h"

namespace win {

inline constexpr CLSID CLSID_ShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IShellLinkA = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IPersist = {0x0000010C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

inline constexpr DWORD SLGP_SHORTPATH = 0x1;
inline constexpr DWORD SLGP_UNCPRIORITY = 0x2;
inline constexpr DWORD SLGP_RAWPATH = 0x4;
inline constexpr DWORD SLR_NO_UI = 0x1;
inline constexpr DWORD SLR_UPDATE = 0x4;
inline constexpr DWORD STGM_READ = 0x0;

class IPersist : public IUnknown {
 public:
  virtual HRESULT GetClassID(CLSID* clsid) = 0;
};

class IPersistFile : public IPersist {
 public:
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(LPCOLESTR fileName, DWORD mode) = 0;
  virtual HRESULT Save(LPCOLESTR fileName, BOOL remember) = 0;  // null name: the loaded file
  virtual HRESULT SaveCompleted(LPCOLESTR fileName) = 0;
  virtual HRESULT GetCurFile(LPOLESTR* fileName) = 0;
};

class IShellLinkA : public IUnknown {
 public:
  // Buffers get at most cch - 1 bytes and a zero. GetPath fills the target's find data
  // (zeroed when it does not exist) and gives S_FALSE when no path is set.
  virtual HRESULT GetPath(char* file, int cch, WIN32_FIND_DATA* fd, DWORD flags) = 0;
  virtual HRESULT GetIDList(LPITEMIDLIST* ppidl) = 0;  // the target's list; S_FALSE if none
  virtual HRESULT SetIDList(LPCITEMIDLIST pidl) = 0;
  virtual HRESULT GetDescription(char* name, int cch) = 0;
  virtual HRESULT SetDescription(const char* name) = 0;
  virtual HRESULT GetWorkingDirectory(char* dir, int cch) = 0;
  virtual HRESULT SetWorkingDirectory(const char* dir) = 0;
  virtual HRESULT GetArguments(char* args, int cch) = 0;
  virtual HRESULT SetArguments(const char* args) = 0;
  virtual HRESULT GetHotkey(WORD* hotkey) = 0;
  virtual HRESULT SetHotkey(WORD hotkey) = 0;
  virtual HRESULT GetShowCmd(int* showCmd) = 0;
  virtual HRESULT SetShowCmd(int showCmd) = 0;
  virtual HRESULT GetIconLocation(char* iconPath, int cch, int* iconIndex) = 0;
  virtual HRESULT SetIconLocation(const char* iconPath, int iconIndex) = 0;
  virtual HRESULT SetRelativePath(const char* pathRel, DWORD reserved) = 0;
  // S_OK when the target exists; otherwise S_FALSE (no search for a moved target).
  virtual HRESULT Resolve(HWND hwnd, DWORD flags) = 0;
  virtual HRESULT SetPath(const char* file) = 0;
};

// Registers CLSID_ShellLink with CoCreateInstance (done at start-up; callable again).
void RegisterShellLinkClass();

}  // namespace win
