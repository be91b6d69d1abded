#pragma once
// OLE data transfer: clipboard formats, FORMATETC / STGMEDIUM, IDataObject and
// IEnumFORMATETC, the OLE clipboard, and the shell's data layouts (CF_HDROP's DROPFILES,
// "Shell IDList Array"'s CIDA).
#include <string>
#include <vector>

#include "platform/forms/graphics/GdiTypes.h"
#include "platform/shell/Com.h"
#include "platform/shell/ItemIdList.h"

namespace win {

using CLIPFORMAT = WORD;
inline constexpr CLIPFORMAT CF_TEXT = 1;
inline constexpr CLIPFORMAT CF_BITMAP = 2;
inline constexpr CLIPFORMAT CF_UNICODETEXT = 13;
inline constexpr CLIPFORMAT CF_HDROP = 15;
inline constexpr const char* CFSTR_SHELLIDLIST = "Shell IDList Array";
inline constexpr const char* CFSTR_PREFERREDDROPEFFECT = "Preferred DropEffect";
inline constexpr const char* CFSTR_FILENAMEA = "FileName";
// Registered formats count from 0xC000; a name (without regard to case) keeps its number
// for the life of the process. An empty name gives 0 with last error 87.
UINT RegisterClipboardFormat(const std::string& name);
inline UINT RegisterClipboardFormatA(const std::string& name) {
  return RegisterClipboardFormat(name);
}
// Name of a registered format; 0 when unknown.
int GetClipboardFormatName(UINT format, char* buffer, int size);

inline constexpr IID IID_IDataObject = {0x0000010E, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IEnumFORMATETC = {0x00000103, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

inline constexpr HRESULT DV_E_FORMATETC = HRESULT(0x80040064);
inline constexpr HRESULT DV_E_TYMED = HRESULT(0x80040069);
inline constexpr HRESULT DV_E_LINDEX = HRESULT(0x80040068);
inline constexpr HRESULT DV_E_DVASPECT = HRESULT(0x8004006B);
inline constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = HRESULT(0x80040003);
inline constexpr HRESULT CLIPBRD_E_CANT_OPEN = HRESULT(0x800401D0);

inline constexpr DWORD DVASPECT_CONTENT = 1;
inline constexpr DWORD DVASPECT_THUMBNAIL = 2;
inline constexpr DWORD DVASPECT_ICON = 4;
inline constexpr DWORD DVASPECT_DOCPRINT = 8;
inline constexpr DWORD TYMED_NULL = 0;
inline constexpr DWORD TYMED_HGLOBAL = 1;
inline constexpr DWORD TYMED_FILE = 2;
inline constexpr DWORD TYMED_ISTREAM = 4;
inline constexpr DWORD TYMED_ISTORAGE = 8;
inline constexpr DWORD TYMED_GDI = 16;
inline constexpr DWORD DATADIR_GET = 1;
inline constexpr DWORD DATADIR_SET = 2;

struct DVTARGETDEVICE {
  DWORD tdSize;  // size of the whole block
  WORD tdDriverNameOffset, tdDeviceNameOffset, tdPortNameOffset, tdExtDevmodeOffset;
  BYTE tdData[1];
};
struct FORMATETC {
  CLIPFORMAT cfFormat = 0;
  DVTARGETDEVICE* ptd = nullptr;
  DWORD dwAspect = DVASPECT_CONTENT;
  LONG lindex = -1;
  DWORD tymed = TYMED_HGLOBAL;
};
struct STGMEDIUM {
  DWORD tymed = TYMED_NULL;
  union {
    HGLOBAL hGlobal;
    char* lpszFileName;  // TYMED_FILE: task-allocated
    IUnknown* pstm;
  };
  IUnknown* pUnkForRelease = nullptr;
  STGMEDIUM() : hGlobal(nullptr) {}
};
// Frees the medium's data (GlobalFree for TYMED_HGLOBAL) or releases pUnkForRelease
// instead when it is set; the medium is left TYMED_NULL.
void ReleaseStgMedium(STGMEDIUM* medium);

class IEnumFORMATETC : public IUnknown {
 public:
  virtual HRESULT Next(ULONG celt, FORMATETC* rgelt, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumFORMATETC** ppenum) = 0;
};

class IAdviseSink;
class IEnumSTATDATA;

class IDataObject : public IUnknown {
 public:
  virtual HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) = 0;
  virtual HRESULT GetDataHere(FORMATETC* format, STGMEDIUM* medium) = 0;
  virtual HRESULT QueryGetData(FORMATETC* format) = 0;
  virtual HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) = 0;
  virtual HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) = 0;
  virtual HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** ppenum) = 0;
  virtual HRESULT DAdvise(FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) = 0;
  virtual HRESULT DUnadvise(DWORD connection) = 0;
  virtual HRESULT EnumDAdvise(IEnumSTATDATA** ppenum) = 0;
};

// The OLE clipboard of this process: OleSetClipboard holds a reference on the object
// (null empties it); OleGetClipboard gives a new reference, or E_FAIL and null when empty.
HRESULT OleSetClipboard(IDataObject* data);
HRESULT OleGetClipboard(IDataObject** data);
HRESULT OleFlushClipboard();  // drops the held object

// Shell data layouts.
struct DROPFILES {
  DWORD pFiles;  // offset of the name list
  POINT pt;
  BOOL fNC;
  BOOL fWide;  // 0: 8-bit (here UTF-8) names
};
struct CIDA {
  UINT cidl;        // number of children
  UINT aoffset[1];  // offsets of the parent list, then of each child
};
using HDROP = HGLOBAL;
// Index 0xFFFFFFFF: the count. Otherwise copies name `index` (at most size - 1 bytes,
// zero-terminated) and gives its length; with a null buffer only the length. 0 for a bad
// block or index.
UINT DragQueryFile(HDROP drop, UINT index, char* buffer, UINT size);
inline UINT DragQueryFileA(HDROP drop, UINT index, char* buffer, UINT size) {
  return DragQueryFile(drop, index, buffer, size);
}

// Builders and readers of the two layouts (GMEM_MOVEABLE blocks; null on failure).
HGLOBAL MakeHDrop(const std::vector<std::string>& paths);
std::vector<std::string> ReadHDrop(HGLOBAL drop);  // empty for a malformed block
HGLOBAL MakeIdListArray(LPCITEMIDLIST parent, const std::vector<LPCITEMIDLIST>& children);
// The absolute lists of a "Shell IDList Array" block (parent + each child); false for a
// malformed block (offsets or lists outside it).
bool ReadIdListArray(HGLOBAL block, std::vector<std::string>* absoluteLists);

// A simple data object holding HGLOBAL blocks per format (the shell's own data object,
// also handy for tests). Starts with one reference; SetData with release TRUE takes the
// block over.
HRESULT CreateDataObject(IDataObject** ppdo);
// The shell's data object of items of one folder: "Shell IDList Array" (always) and
// CF_HDROP (when the items have file-system paths), in this order.
HRESULT CreateShellDataObject(LPCITEMIDLIST parentAbsolute, UINT cidl, LPCITEMIDLIST_ARRAY children,
                              IDataObject** ppdo);

}  // namespace win
