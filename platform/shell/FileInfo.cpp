#include "platform/shell/FileInfo.h"

#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>

#include "platform/forms/graphics/Gdi.h"
#include "platform/shell/Drives.h"
#include "platform/shell/ShellFolder.h"
#include "platform/system/Files.h"
#include "platform/system/Machine.h"
#include "platform/system/Text.h"

namespace win {

namespace {

// Our icons, drawn at any size from shapes on a 16-unit grid.
class Canvas {
 public:
  explicit Canvas(int size) : n_(size), px_(std::size_t(size) * size, CLR_NONE) {}
  void Fill(int l, int t, int r, int b, COLORREF c) {  // grid units, r and b excluded
    int s = n_;
    for (int y = t * s / 16; y < b * s / 16; ++y)
      for (int x = l * s / 16; x < r * s / 16; ++x)
        if (x >= 0 && y >= 0 && x < n_ && y < n_) px_[std::size_t(y) * n_ + x] = c;
  }
  void Frame(int l, int t, int r, int b, COLORREF fill, COLORREF edge) {
    Fill(l, t, r, b, edge);
    int s = n_, e = std::max(1, s / 16);
    for (int y = t * s / 16 + e; y < b * s / 16 - e; ++y)
      for (int x = l * s / 16 + e; x < r * s / 16 - e; ++x) px_[std::size_t(y) * n_ + x] = fill;
  }
  const std::vector<COLORREF>& Pixels() const { return px_; }

 private:
  int n_;
  std::vector<COLORREF> px_;
};

const COLORREF kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255), kYellow = RGB(255, 220, 96),
               kDarkYellow = RGB(176, 140, 32), kGray = RGB(192, 192, 192),
               kDark = RGB(128, 128, 128), kBlue = RGB(0, 64, 160), kTeal = RGB(0, 128, 128),
               kGreen = RGB(0, 200, 0);

// An icon's strokes in drawing order; a stroke without edge colour is a plain fill.
struct Stroke {
  int l, t, r, b;
  COLORREF fill, edge;
};

const std::vector<Stroke> kIcons[SHIL_COUNT] = {
    // SHIL_FILE
    {{3, 1, 13, 15, kWhite, kBlack}, {9, 1, 13, 5, kGray, CLR_NONE}},
    // SHIL_FOLDER
    {{1, 3, 7, 6, kYellow, kDarkYellow}, {1, 5, 15, 14, kYellow, kDarkYellow}},
    // SHIL_FOLDER_OPEN
    {{1, 3, 7, 6, kYellow, kDarkYellow},
     {1, 5, 13, 14, kYellow, kDarkYellow},
     {3, 8, 15, 14, kWhite, kDarkYellow}},
    // SHIL_DRIVE_FIXED
    {{1, 6, 15, 12, kGray, kBlack}, {11, 9, 13, 10, kGreen, CLR_NONE}},
    // SHIL_DRIVE_FLOPPY
    {{2, 2, 14, 14, kDark, kBlack}, {5, 2, 11, 6, kGray, CLR_NONE}},
    // SHIL_DRIVE_CDROM
    {{1, 6, 15, 12, kGray, kBlack}, {4, 7, 10, 11, kWhite, kDark}},
    // SHIL_DRIVE_NET
    {{1, 4, 15, 10, kGray, kBlack},
     {7, 10, 9, 14, kBlack, CLR_NONE},
     {3, 13, 13, 14, kBlack, CLR_NONE}},
    // SHIL_COMPUTER
    {{2, 1, 14, 10, kTeal, kBlack},
     {6, 10, 10, 12, kDark, CLR_NONE},
     {3, 12, 13, 15, kGray, kBlack}},
    // SHIL_DESKTOP
    {{1, 2, 15, 13, kTeal, kBlack}, {2, 11, 14, 12, kBlue, CLR_NONE}},
    // SHIL_PROGRAM
    {{1, 2, 15, 14, kWhite, kBlack}, {2, 3, 14, 5, kBlue, CLR_NONE}},
    // SHIL_SHARE_OVERLAY
    {{0, 12, 8, 16, kBlue, CLR_NONE}, {1, 10, 3, 12, kBlue, CLR_NONE}},
    // SHIL_LINK_OVERLAY
    {{0, 9, 7, 16, kWhite, kBlack},
     {2, 11, 5, 12, kBlack, CLR_NONE},
     {4, 11, 5, 14, kBlack, CLR_NONE}},
};

std::vector<COLORREF> Draw(int index, int size) {
  Canvas c(size);
  for (const Stroke& s : kIcons[index])
    if (s.edge == CLR_NONE)
      c.Fill(s.l, s.t, s.r, s.b, s.fill);
    else
      c.Frame(s.l, s.t, s.r, s.b, s.fill, s.edge);
  return c.Pixels();
}

// The icons side by side in one strip with its monochrome mask (set bits: transparent), as
// ImageList_Add takes them.
HIMAGELIST Build(int size) {
  HIMAGELIST l = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, SHIL_COUNT, 4);
  const int width = size * SHIL_COUNT, stride = ((width + 15) / 16) * 2;
  std::vector<std::uint32_t> bits(std::size_t(width) * size);
  std::vector<std::uint8_t> mask(std::size_t(stride) * size);
  for (int i = 0; i < SHIL_COUNT; ++i) {
    const std::vector<COLORREF> px = Draw(i, size);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        COLORREF c = px[std::size_t(y) * size + x];
        int sx = i * size + x;
        if (c == CLR_NONE)
          mask[std::size_t(y) * stride + sx / 8] |= std::uint8_t(0x80 >> (sx % 8));
        else
          bits[std::size_t(y) * width + sx] = PixelFromColor(c);
      }
  }
  HBITMAP image = CreateBitmap(width, size, 1, 32, bits.data());
  HBITMAP maskBitmap = CreateBitmap(width, size, 1, 1, mask.data());
  ImageList_Add(l, image, maskBitmap);
  DeleteObject(image);
  DeleteObject(maskBitmap);
  ImageList_SetOverlayImage(l, SHIL_SHARE_OVERLAY, 1);
  ImageList_SetOverlayImage(l, SHIL_LINK_OVERLAY, 2);
  ImageList_MakeShared(l);
  return l;
}

std::string Extension(const std::string& name) {
  std::size_t dot = name.find_last_of('.');
  std::size_t slash = name.find_last_of('\\');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return name.substr(dot + 1);
}

struct Described {
  std::string display, type;
  int icon = SHIL_FILE;
  bool link = false;
  DWORD attributes = 0;
};

void DescribeFile(const std::string& name, bool folder, Described& d) {
  if (folder) {
    d.type = "Dossier de fichiers";
    d.icon = SHIL_FOLDER;
    return;
  }
  std::string ext = AsciiUpper(Extension(name));
  if (ext == "EXE" || ext == "COM" || ext == "BAT") {
    d.type = ext == "BAT" ? "Fichier de commandes MS-DOS" : "Application";
    d.icon = SHIL_PROGRAM;
  } else if (ext == "LNK") {
    d.type = "Raccourci";
    d.link = true;
  } else if (ext.empty()) {
    d.type = "Fichier";
  } else {
    d.type = "Fichier " + ext;
  }
}

// withAttributes: the item's attributes are wanted too (they take binding its parent).
std::optional<Described> Describe(LPCITEMIDLIST list, bool withAttributes) {
  if (!ILIsValid(list)) return std::nullopt;
  Described d;
  ComPtr<IShellFolder> desktop;
  SHGetDesktopFolder(desktop.put());
  STRRET sr;
  if (FAILED(desktop->GetDisplayNameOf(list, SHGDN_INFOLDER, &sr))) return std::nullopt;
  StrRetToStr(&sr, list, &d.display);
  LPCITEMIDLIST last = ILFindLastID(list);
  if (withAttributes) {
    // Attributes of the last item, asked from its parent (whether a folder has sub-folders
    // is not reported here, so not asked: it takes a look into the folder).
    ULONG attrs = 0xFFFFFFFF & ~(SFGAO_VALIDATE | SFGAO_HASSUBFOLDER);
    LPITEMIDLIST parent = ILClone(list);
    ILRemoveLastID(parent);
    ComPtr<IShellFolder> folder;
    if (ILIsEmpty(parent))
      folder = desktop;
    else
      desktop->BindToObject(parent, nullptr, IID_IShellFolder, folder.put_void());
    ILFree(parent);
    if (!ILIsEmpty(list) && folder)
      folder->GetAttributesOf(1, &last, &attrs);
    else if (ILIsEmpty(list))
      attrs = SFGAO_FOLDER | SFGAO_FILESYSANCESTOR;
    d.attributes = attrs;
  }
  if (ILIsEmpty(list)) {
    d.type = "Bureau";
    d.icon = SHIL_DESKTOP;
  } else if (pidl::AsRoot(last)) {
    d.type = "Dossier système";
    d.icon = SHIL_COMPUTER;
  } else if (auto drive = pidl::AsDrive(last)) {
    UINT t = GetDriveType(std::string(1, *drive) + ":\\");
    d.icon = t == DRIVE_REMOVABLE ? SHIL_DRIVE_FLOPPY
             : t == DRIVE_CDROM   ? SHIL_DRIVE_CDROM
             : t == DRIVE_REMOTE  ? SHIL_DRIVE_NET
                                  : SHIL_DRIVE_FIXED;
    d.type = t == DRIVE_REMOVABLE ? "Disquette 3½"
             : t == DRIVE_CDROM   ? "Lecteur CD"
             : t == DRIVE_REMOTE  ? "Lecteur réseau"
                                  : "Disque local";
  } else if (auto f = pidl::AsFile(last)) {
    DescribeFile(f->name, f->folder, d);
  } else {
    return std::nullopt;
  }
  return d;
}

}  // namespace

HIMAGELIST SystemImageList(bool small) {
  static std::once_flag once;
  static HIMAGELIST lists[2];
  std::call_once(once, [] {
    lists[0] = Build(16);
    lists[1] = Build(32);
  });
  return lists[small ? 0 : 1];
}

std::uintptr_t SHGetFileInfo(const char* path, DWORD fileAttributes, SHFILEINFO* info, UINT size,
                             UINT flags) {
  if (!path || (info && size < sizeof(SHFILEINFO))) return 0;
  std::optional<Described> d;
  if (flags & SHGFI_PIDL) {
    d = Describe(reinterpret_cast<LPCITEMIDLIST>(path), flags & SHGFI_ATTRIBUTES);
  } else if (flags & SHGFI_USEFILEATTRIBUTES) {
    Described x;
    std::string p = path;
    std::size_t cut = p.find_last_of('\\');
    x.display = cut == std::string::npos ? p : p.substr(cut + 1);
    if (p.size() <= 3 && p.size() >= 2 && p[1] == ':') {
      x.icon = SHIL_DRIVE_FIXED;
      x.type = "Disque local";
    } else {
      DescribeFile(x.display, fileAttributes & FILE_ATTRIBUTE_DIRECTORY, x);
    }
    d = x;
  } else {
    LPITEMIDLIST list = nullptr;
    if (SUCCEEDED(SHParseDisplayName(path, &list, 0, nullptr)))
      d = Describe(list, flags & SHGFI_ATTRIBUTES);
    ILFree(list);
  }
  if (!d) return 0;
  int icon = d->icon;
  if ((flags & SHGFI_OPENICON) && icon == SHIL_FOLDER) icon = SHIL_FOLDER_OPEN;
  if (info) {
    *info = SHFILEINFO{};
    info->iIcon = icon;
    if (flags & SHGFI_ATTRIBUTES) info->dwAttributes = d->attributes | (d->link ? SFGAO_LINK : 0);
    if (flags & SHGFI_DISPLAYNAME)
      std::strncpy(info->szDisplayName, d->display.c_str(), sizeof info->szDisplayName - 1);
    if (flags & SHGFI_TYPENAME)
      std::strncpy(info->szTypeName, d->type.c_str(), sizeof info->szTypeName - 1);
  }
  if (flags & SHGFI_SYSICONINDEX)
    return reinterpret_cast<std::uintptr_t>(SystemImageList(flags & SHGFI_SMALLICON));
  return 1;
}

}  // namespace win
