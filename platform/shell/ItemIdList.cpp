#include "platform/shell/ItemIdList.h"

#include <algorithm>
#include <cstring>

namespace win {

namespace {

inline USHORT ReadCb(const BYTE* p) { return USHORT(p[0] | (p[1] << 8)); }
inline const BYTE* Bytes(LPCITEMIDLIST p) { return reinterpret_cast<const BYTE*>(p); }

LPITEMIDLIST AllocList(std::size_t bytes) {
  return static_cast<LPITEMIDLIST>(CoTaskMemAlloc(bytes));
}

}  // namespace

UINT ILSizeWithin(LPCITEMIDLIST pidl, std::size_t limit) {
  if (!pidl) return 0;
  limit = std::min(limit, kMaxIdListBytes);
  const BYTE* p = reinterpret_cast<const BYTE*>(pidl);
  std::size_t at = 0;
  for (;;) {
    if (at + 2 > limit) return 0;
    USHORT cb = ReadCb(p + at);
    if (cb == 0) return UINT(at + 2);
    if (cb < 3) return 0;
    at += cb;
  }
}

UINT ILValidSize(LPCITEMIDLIST pidl) { return ILSizeWithin(pidl, kMaxIdListBytes); }

bool ILIsValid(LPCITEMIDLIST pidl) { return ILValidSize(pidl) != 0; }

bool ILIsValid(LPCITEMIDLIST pidl, std::size_t maxBytes) {
  return ILSizeWithin(pidl, maxBytes) != 0;
}

UINT ILGetSize(LPCITEMIDLIST pidl) { return ILValidSize(pidl); }

LPITEMIDLIST ILNext(LPCITEMIDLIST pidl) {
  if (!pidl || pidl->mkid.cb == 0) return nullptr;
  const BYTE* p = reinterpret_cast<const BYTE*>(pidl) + pidl->mkid.cb;
  return reinterpret_cast<LPITEMIDLIST>(const_cast<BYTE*>(p));
}

bool ILIsEmpty(LPCITEMIDLIST pidl) { return !pidl || ILValidSize(pidl) == 2; }

UINT ILGetCount(LPCITEMIDLIST pidl) {
  if (!ILIsValid(pidl)) return 0;
  UINT n = 0;
  for (LPCITEMIDLIST p = pidl; p->mkid.cb; p = ILNext(p)) ++n;
  return n;
}

LPITEMIDLIST ILClone(LPCITEMIDLIST pidl) {
  UINT size = ILValidSize(pidl);
  if (!size) return nullptr;
  LPITEMIDLIST out = AllocList(size);
  if (out) std::memcpy(out, pidl, size);
  return out;
}

LPITEMIDLIST ILCloneFirst(LPCITEMIDLIST pidl) {
  if (!ILIsValid(pidl)) return nullptr;
  USHORT cb = ReadCb(reinterpret_cast<const BYTE*>(pidl));
  LPITEMIDLIST out = AllocList(cb + 2u);
  if (!out) return nullptr;
  std::memcpy(out, pidl, cb);
  std::memset(reinterpret_cast<BYTE*>(out) + cb, 0, 2);
  return out;
}

LPITEMIDLIST ILCombine(LPCITEMIDLIST parent, LPCITEMIDLIST child) {
  UINT sa = parent ? ILValidSize(parent) : 2, sb = child ? ILValidSize(child) : 2;
  if (!sa || !sb) return nullptr;
  UINT a = sa - 2, b = sb - 2;
  if (a + b + 2 > kMaxIdListBytes) return nullptr;  // a list no walk would accept
  LPITEMIDLIST out = AllocList(a + b + 2);
  if (!out) return nullptr;
  BYTE* o = reinterpret_cast<BYTE*>(out);
  if (a) std::memcpy(o, parent, a);
  if (b) std::memcpy(o + a, child, b);
  std::memset(o + a + b, 0, 2);
  return out;
}

LPITEMIDLIST ILFindLastID(LPCITEMIDLIST pidl) {
  if (!ILIsValid(pidl)) return nullptr;
  LPCITEMIDLIST last = pidl;
  for (LPCITEMIDLIST p = pidl; p->mkid.cb; p = ILNext(p)) last = p;
  return const_cast<LPITEMIDLIST>(last);
}

BOOL ILRemoveLastID(LPITEMIDLIST pidl) {
  if (ILIsEmpty(pidl)) return FALSE;
  LPITEMIDLIST last = ILFindLastID(pidl);
  if (!last) return FALSE;
  std::memset(last, 0, 2);
  return TRUE;
}

void ILFree(LPITEMIDLIST pidl) { CoTaskMemFree(pidl); }

BOOL ILIsEqual(LPCITEMIDLIST a, LPCITEMIDLIST b) {
  if (!a || !b) return a == b;
  UINT sa = ILValidSize(a), sb = ILValidSize(b);
  return sa && sa == sb && std::memcmp(a, b, sa) == 0;
}

namespace pidl {

namespace {

void Put16(std::string& s, std::size_t at, USHORT v) {
  s[at] = char(v & 0xFF);
  s[at + 1] = char(v >> 8);
}
void Append(std::string& s, const void* p, std::size_t n) {
  s.append(static_cast<const char*>(p), n);
}
template <class T>
void AppendLE(std::string& s, T v) {
  for (std::size_t i = 0; i < sizeof(T); ++i) s += char((std::uint64_t(v) >> (8 * i)) & 0xFF);
}
template <class T>
T ReadLE(const BYTE* p) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) v |= std::uint64_t(p[i]) << (8 * i);
  return T(v);
}

}  // namespace

std::string RootItem(const GUID& clsid) {
  std::string s(2, '\0');
  s += char(KIND_ROOT);
  s += char(0x50);
  AppendLE(s, clsid.Data1);
  AppendLE(s, clsid.Data2);
  AppendLE(s, clsid.Data3);
  Append(s, clsid.Data4, 8);
  Put16(s, 0, USHORT(s.size()));
  return s;
}

std::string DriveItem(char letter) {
  std::string s(2, '\0');
  s += char(KIND_DRIVE);
  s += char(std::toupper(static_cast<unsigned char>(letter)));
  s += ":\\";
  s += '\0';
  Put16(s, 0, USHORT(s.size()));
  return s;
}

std::string FileItemBytes(const FileItem& item) {
  std::string s(2, '\0');
  s += char(item.folder ? KIND_FOLDER : KIND_FILE);
  AppendLE(s, item.attributes);
  AppendLE(s, item.size);
  AppendLE(s, item.lastWrite.value());
  AppendLE(s, item.creation.value());
  s += item.name;
  s += '\0';
  s += item.shortName;
  s += '\0';
  Put16(s, 0, USHORT(s.size()));
  return s;
}

LPITEMIDLIST Make(const std::vector<std::string>& items) {
  std::string all;
  for (const auto& i : items) all += i;
  all.append(2, '\0');
  LPITEMIDLIST out = static_cast<LPITEMIDLIST>(CoTaskMemAlloc(all.size()));
  if (out) std::memcpy(out, all.data(), all.size());
  return out;
}

std::optional<std::vector<std::string>> Split(LPCITEMIDLIST list) {
  if (!ILIsValid(list)) return std::nullopt;
  std::vector<std::string> out;
  for (LPCITEMIDLIST p = list; p->mkid.cb; p = ILNext(p))
    // The length is read by value: a list's items lie at any address, where a reference to
    // the packed field would be misaligned.
    out.emplace_back(reinterpret_cast<const char*>(p), std::size_t(ReadCb(Bytes(p))));
  return out;
}

std::optional<GUID> AsRoot(LPCITEMIDLIST item) {
  if (!item) return std::nullopt;
  const BYTE* p = reinterpret_cast<const BYTE*>(item);
  if (ReadCb(p) != 20 || p[2] != KIND_ROOT) return std::nullopt;
  GUID g;
  g.Data1 = ReadLE<DWORD>(p + 4);
  g.Data2 = ReadLE<WORD>(p + 8);
  g.Data3 = ReadLE<WORD>(p + 10);
  std::memcpy(g.Data4, p + 12, 8);
  return g;
}

std::optional<char> AsDrive(LPCITEMIDLIST item) {
  if (!item) return std::nullopt;
  const BYTE* p = reinterpret_cast<const BYTE*>(item);
  if (ReadCb(p) != 7 || p[2] != KIND_DRIVE || p[4] != ':' || p[6] != 0) return std::nullopt;
  char c = char(p[3]);
  if (c < 'A' || c > 'Z') return std::nullopt;
  return c;
}

std::optional<FileItem> AsFile(LPCITEMIDLIST item) {
  if (!item) return std::nullopt;
  const BYTE* p = reinterpret_cast<const BYTE*>(item);
  USHORT cb = ReadCb(p);
  if (cb < 31 + 2 || (p[2] != KIND_FOLDER && p[2] != KIND_FILE)) return std::nullopt;
  FileItem f;
  f.folder = p[2] == KIND_FOLDER;
  f.attributes = ReadLE<DWORD>(p + 3);
  f.size = ReadLE<std::uint64_t>(p + 7);
  f.lastWrite = FILETIME::from(ReadLE<std::uint64_t>(p + 15));
  f.creation = FILETIME::from(ReadLE<std::uint64_t>(p + 23));
  const char* s = reinterpret_cast<const char*>(p + 31);
  std::size_t rest = cb - 31;
  std::size_t n1 = strnlen(s, rest);
  if (n1 == 0 || n1 >= rest) return std::nullopt;
  std::size_t n2 = strnlen(s + n1 + 1, rest - n1 - 1);
  if (n1 + 1 + n2 >= rest) return std::nullopt;
  f.name.assign(s, n1);
  f.shortName.assign(s + n1 + 1, n2);
  return f;
}

}  // namespace pidl

}  // namespace win
