#include "platform/forms/graphics/Fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include FT_GLYPH_H

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <tuple>

#include "platform/system/Exceptions.h"
#include "platform/system/Text.h"

namespace win {
namespace {

const char* kDir = "/usr/share/fonts/truetype/dejavu/";

FontFace Dejavu(const char* family, const char* base, bool tt, bool fixed, BYTE pf,
                BYTE cs = ANSI_CHARSET, int symbolMap = 0) {
  FontFace f;
  f.family = family;
  f.trueType = tt;
  f.fixedPitch = fixed;
  f.pitchFamily = pf;
  f.charset = cs;
  f.symbolMap = symbolMap;
  std::string b = std::string(kDir) + base;
  bool serif = std::string(base).find("Serif") != std::string::npos;
  f.files[0] = b + ".ttf";
  f.files[1] = b + "-Bold.ttf";
  f.files[2] = b + (serif ? "-Italic.ttf" : "-Oblique.ttf");
  f.files[3] = b + (serif ? "-BoldItalic.ttf" : "-BoldOblique.ttf");
  return f;
}

struct Table {
  std::mutex mutex;
  std::map<std::string, FontFace> faces;  // by lower-case family
  Table() {
    for (const FontFace& f : {
             Dejavu("MS Sans Serif", "DejaVuSans", false, false, FF_SWISS),
             Dejavu("Microsoft Sans Serif", "DejaVuSans", true, false, FF_SWISS),
             Dejavu("Arial", "DejaVuSans", true, false, FF_SWISS),
             Dejavu("Verdana", "DejaVuSans", true, false, FF_SWISS),
             Dejavu("Tahoma", "DejaVuSansCondensed", true, false, FF_SWISS),
             Dejavu("Small Fonts", "DejaVuSansCondensed", false, false, FF_SWISS),
             Dejavu("System", "DejaVuSans", false, false, FF_SWISS),
             Dejavu("MS Serif", "DejaVuSerif", false, false, FF_ROMAN),
             Dejavu("Times New Roman", "DejaVuSerif", true, false, FF_ROMAN),
             Dejavu("Georgia", "DejaVuSerif", true, false, FF_ROMAN),
             Dejavu("Courier New", "DejaVuSansMono", true, true, FF_MODERN),
             Dejavu("Lucida Console", "DejaVuSansMono", true, true, FF_MODERN),
             Dejavu("Courier", "DejaVuSansMono", false, true, FF_MODERN),
             Dejavu("Fixedsys", "DejaVuSansMono", false, true, FF_MODERN),
             Dejavu("Terminal", "DejaVuSansMono", false, true, FF_MODERN, OEM_CHARSET),
             Dejavu("Symbol", "DejaVuSans", true, false, FF_DECORATIVE, SYMBOL_CHARSET, 1),
             Dejavu("Marlett", "DejaVuSans", true, false, FF_DECORATIVE, SYMBOL_CHARSET, 2),
             Dejavu("Wingdings", "DejaVuSans", true, false, FF_DECORATIVE, SYMBOL_CHARSET),
             Dejavu("DejaVu Sans", "DejaVuSans", true, false, FF_SWISS),
             Dejavu("DejaVu Serif", "DejaVuSerif", true, false, FF_ROMAN),
             Dejavu("DejaVu Sans Mono", "DejaVuSansMono", true, true, FF_MODERN),
         })
      faces[AsciiLower(f.family)] = f;
    FontFace box;
    box.family = "Box Test";
    box.trueType = true;
    box.fixedPitch = true;
    box.box = true;
    box.pitchFamily = FF_MODERN;
    faces[AsciiLower(box.family)] = box;
  }
};
Table& Faces() {
  static Table t;
  return t;
}

FT_Library Library() {
  static FT_Library lib = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l)) return FT_Library(nullptr);
    return l;
  }();
  return lib;
}
std::mutex ftMutex;  // FT_New_Face / FT_Done_Face share the library

// A face of a font file, the file mapped once for the process: the fonts of every size and
// style of a form share it instead of each opening and reading the file. A file replaced
// since (another identity or time) is mapped anew. Call with ftMutex held.
FT_Face OpenFace(const std::string& path) {
  struct Mapped {
    const FT_Byte* data = nullptr;
    size_t size = 0;
  };
  using Identity = std::tuple<std::string, dev_t, ino_t, time_t, long>;
  static std::map<Identity, Mapped> files;
  FT_Face face = nullptr;
  if (!Library()) return nullptr;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    Identity id{path, st.st_dev, st.st_ino, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
    auto it = files.find(id);
    if (it == files.end()) {
      Mapped m;
      int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd >= 0) {
        void* p = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        ::close(fd);
        if (p != MAP_FAILED) m = {static_cast<const FT_Byte*>(p), size_t(st.st_size)};
      }
      it = files.emplace(id, m).first;
    }
    if (it->second.data &&
        FT_New_Memory_Face(Library(), it->second.data, FT_Long(it->second.size), 0, &face) == 0)
      return face;
  }
  return FT_New_Face(Library(), path.c_str(), 0, &face) == 0 ? face : nullptr;
}

}  // namespace

const FontFace* FindFontFace(const std::string& family) {
  Table& t = Faces();
  std::lock_guard lock(t.mutex);
  auto it = t.faces.find(AsciiLower(family));
  return it == t.faces.end() ? nullptr : &it->second;
}

const FontFace& DefaultFontFace() { return *FindFontFace("MS Sans Serif"); }

bool IsTrueTypeFace(const std::string& family) {
  const FontFace* f = FindFontFace(family);
  return f && f->trueType;
}

std::vector<std::string> ScreenFontNames() {
  Table& t = Faces();
  std::lock_guard lock(t.mutex);
  std::vector<std::string> names;
  for (auto& [k, f] : t.faces)
    if (!f.box) names.push_back(f.family);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return AsciiLower(a) < AsciiLower(b);
  });
  return names;
}

std::string AddFontFile(const std::string& hostPath) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(hostPath, ec))
    throw Exception("Le fichier de police \"" + hostPath + "\" est introuvable.");
  FT_Face face = nullptr;
  {
    std::lock_guard lock(ftMutex);
    if (!Library() || FT_New_Face(Library(), hostPath.c_str(), 0, &face) || !face)
      throw Exception("Le fichier \"" + hostPath + "\" n'est pas une police TrueType.");
  }
  bool sfnt = FT_IS_SFNT(face) && FT_IS_SCALABLE(face);
  std::string family = face->family_name ? face->family_name : "";
  bool bold = face->style_flags & FT_STYLE_FLAG_BOLD,
       italic = face->style_flags & FT_STYLE_FLAG_ITALIC;
  bool fixed = FT_IS_FIXED_WIDTH(face);
  {
    std::lock_guard lock(ftMutex);
    FT_Done_Face(face);
  }
  if (!sfnt || family.empty())
    throw Exception("Le fichier \"" + hostPath + "\" n'est pas une police TrueType.");
  Table& t = Faces();
  std::lock_guard lock(t.mutex);
  FontFace& f = t.faces[AsciiLower(family)];
  if (f.family.empty()) {
    f.family = family;
    f.fixedPitch = fixed;
    f.pitchFamily = fixed ? FF_MODERN : FF_DONTCARE;
  }
  f.files[(bold ? 1 : 0) + (italic ? 2 : 0)] = hostPath;
  return family;
}

namespace gdi {

namespace {
char32_t MapSymbol(int map, char32_t c) {
  if (map == 1) {
    static const char32_t lower[26] = {
        0x3B1, 0x3B2, 0x3C7, 0x3B4, 0x3B5, 0x3C6, 0x3B3, 0x3B7, 0x3B9, 0x3D5, 0x3BA, 0x3BB, 0x3BC,
        0x3BD, 0x3BF, 0x3C0, 0x3B8, 0x3C1, 0x3C3, 0x3C4, 0x3C5, 0x3D6, 0x3C9, 0x3BE, 0x3C8, 0x3B6};
    if (c >= 'a' && c <= 'z') return lower[c - 'a'];
    if (c >= 'A' && c <= 'Z') {
      char32_t l = lower[c - 'A'];
      return l == 0x3D5 ? 0x3D1 : l == 0x3D6 ? 0x3C2 : l - 0x20;
    }
  } else if (map == 2) {
    switch (c) {
      case '0':
        return 0x2581;  // minimize
      case '1':
        return 0x25A1;  // maximize
      case '2':
        return 0x2750;  // restore
      case '3':
        return 0x25C0;
      case '4':
        return 0x25B6;
      case '5':
        return 0x25B2;
      case '6':
        return 0x25BC;
      case '8':
        return 0x25B8;
      case 'a':
        return 0x2714;  // check mark
      case 'b':
      case 'h':
      case 'i':
        return 0x2022;
      case 'n':
        return 0x25CF;
      case 'r':
        return 0x2715;  // close
      case 't':
        return 0x25B4;
      case 'u':
        return 0x25BE;
      case 'v':
        return 0x25B8;
      case 'w':
        return 0x25C2;
      case 'x':
        return 0x2715;
      case 'y':
        return 0x25CB;
    }
  }
  return c;
}
}  // namespace

FontInstance::FontInstance(const LOGFONT& lf) : lf_(lf) {
  char name[LF_FACESIZE + 1] = {};
  std::memcpy(name, lf.lfFaceName, LF_FACESIZE);
  face_ = FindFontFace(name);
  if (!face_) face_ = &DefaultFontFace();
  angle_ = lf.lfEscapement * M_PI / 1800.0;
  bool bold = lf.lfWeight >= 600;
  int want = lf.lfHeight == 0 ? 16 : std::abs(lf.lfHeight);
  if (face_->box) {
    // Box font: no internal leading; a quarter of the cell below the baseline.
    int h = std::max(1, want);
    tm_.tmHeight = h;
    tm_.tmDescent = h / 4;
    tm_.tmAscent = h - h / 4;
    boxAdvance_ = lf.lfWidth > 0 ? lf.lfWidth : std::max(1, h / 2);
    tm_.tmAveCharWidth = tm_.tmMaxCharWidth = boxAdvance_;
    ppem_ = h;
  } else {
    int slot = (bold ? 1 : 0) + (lf.lfItalic ? 2 : 0);
    std::string file = face_->files[slot];
    if (file.empty()) {
      file = face_->files[0];
      synthBold_ = bold && !face_->files[0].empty();
      synthItalic_ = lf.lfItalic;
    }
    FT_Face f = nullptr;
    {
      std::lock_guard lock(ftMutex);
      if ((f = OpenFace(file))) ftFace_ = f;
    }
    int wa = 0, wd = 0, upm = 2048;
    if (f) {
      upm = f->units_per_EM ? f->units_per_EM : 2048;
      auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
      if (os2) wa = os2->usWinAscent, wd = os2->usWinDescent;
      if (!wa) wa = f->ascender, wd = -f->descender;
    }
    if (wa + wd <= 0) wa = upm * 9 / 10, wd = upm / 4;
    if (lf.lfHeight > 0 || lf.lfHeight == 0) {
      // Cell height: the em is what remains after the internal leading.
      ppem_ = std::max(1, int(std::lround(double(want) * upm / (wa + wd))));
      tm_.tmAscent = int(std::lround(double(wa) * want / (wa + wd)));
      tm_.tmHeight = want;
      tm_.tmDescent = want - tm_.tmAscent;
    } else {
      ppem_ = want;
      tm_.tmAscent = int(std::lround(double(wa) * ppem_ / upm));
      tm_.tmDescent = int(std::lround(double(wd) * ppem_ / upm));
      tm_.tmHeight = tm_.tmAscent + tm_.tmDescent;
    }
    if (f) {
      int pw = lf.lfWidth > 0 ? lf.lfWidth * 2 : 0;  // average width asked: roughly half an em
      FT_Set_Pixel_Sizes(f, FT_UInt(pw), FT_UInt(ppem_));
      auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
      if (os2 && os2->xAvgCharWidth > 0)
        tm_.tmAveCharWidth = int(std::lround(double(os2->xAvgCharWidth) * ppem_ / upm));
      tm_.tmMaxCharWidth = int(std::lround(double(f->max_advance_width) * ppem_ / upm));
      if (f->underline_position)
        underlinePos_ = std::max(1, int(std::lround(-double(f->underline_position) * ppem_ / upm)));
      thickness_ = std::max(1, int(std::lround(double(f->underline_thickness) * ppem_ / upm)));
      if (face_->symbolMap == 0) FT_Select_Charmap(f, FT_ENCODING_UNICODE);
    }
    if (tm_.tmAveCharWidth <= 0) tm_.tmAveCharWidth = std::max(1, ppem_ / 2);
    if (tm_.tmMaxCharWidth <= 0) tm_.tmMaxCharWidth = ppem_;
  }
  tm_.tmInternalLeading = std::max(0, tm_.tmHeight - ppem_);
  tm_.tmExternalLeading = face_->box ? 0 : std::max(0, ppem_ / 8 - 1);
  tm_.tmWeight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
  tm_.tmItalic = lf.lfItalic;
  tm_.tmUnderlined = lf.lfUnderline;
  tm_.tmStruckOut = lf.lfStrikeOut;
  tm_.tmCharSet = face_->charset;
  tm_.tmPitchAndFamily = BYTE(face_->pitchFamily | (face_->fixedPitch ? 0 : TMPF_FIXED_PITCH) |
                              (face_->trueType ? TMPF_TRUETYPE | TMPF_VECTOR : 0));
}

FontInstance::~FontInstance() {
  if (ftFace_) {
    std::lock_guard lock(ftMutex);
    FT_Done_Face(static_cast<FT_Face>(ftFace_));
  }
}

const Glyph& FontInstance::Get(char32_t c) {
  std::lock_guard lock(mutex_);
  auto it = cache_.find(c);
  if (it != cache_.end()) return it->second;
  Glyph& g = cache_[c];
  Load(c, g);
  return g;
}

int FontInstance::Advance(char32_t c) {
  if (face_->box) return boxAdvance_;
  const Glyph& g = Get(c);
  if (angle_ == 0) return (g.advX + 32) >> 6;
  return int(std::lround(std::hypot(g.advX, g.advY) / 64.0));
}

void FontInstance::Load(char32_t c, Glyph& g) {
  double ca = std::cos(angle_), sa = std::sin(angle_);
  if (face_->box) {
    int adv = boxAdvance_;
    g.advX = int(std::lround(adv * 64 * ca));
    g.advY = int(std::lround(adv * 64 * sa));
    if (c <= 32) return;
    g.left = 0;
    g.top = tm_.tmAscent;
    g.w = std::max(0, adv - 1);
    g.h = tm_.tmAscent;
    g.bits.assign(std::size_t(g.w) * g.h, 1);
    return;
  }
  auto* f = static_cast<FT_Face>(ftFace_);
  if (!f || c < 32) return;
  char32_t mapped = MapSymbol(face_->symbolMap, c);
  FT_UInt index = FT_Get_Char_Index(f, mapped);
  if (!index && face_->symbolMap) index = FT_Get_Char_Index(f, c);
  FT_Matrix m{0x10000, 0, 0, 0x10000};
  if (synthItalic_) m.xy = 0x3000;  // about 11 degrees of slant
  if (angle_ != 0) {
    FT_Matrix r{FT_Fixed(std::lround(ca * 0x10000)), FT_Fixed(std::lround(-sa * 0x10000)),
                FT_Fixed(std::lround(sa * 0x10000)), FT_Fixed(std::lround(ca * 0x10000))};
    FT_Matrix_Multiply(&r, &m);  // m = r * m
  }
  FT_Set_Transform(f, &m, nullptr);
  FT_Int32 flags = FT_LOAD_TARGET_MONO | (angle_ != 0 ? FT_LOAD_NO_HINTING : 0);
  if (FT_Load_Glyph(f, index, flags)) return;
  FT_GlyphSlot slot = f->glyph;
  if (synthBold_ && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    FT_Outline_Embolden(&slot->outline, std::max<FT_Pos>(32, FT_Pos(ppem_) * 2));
    slot->advance.x += std::max<FT_Pos>(64, FT_Pos(ppem_) * 2) & ~63;
  }
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO)) return;
  g.advX = int(slot->advance.x);
  g.advY = int(slot->advance.y);
  if (angle_ == 0) g.advX = (g.advX + 32) & ~63;
  const FT_Bitmap& b = slot->bitmap;
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.w = int(b.width);
  g.h = int(b.rows);
  g.bits.assign(std::size_t(g.w) * g.h, 0);
  for (int y = 0; y < g.h; ++y) {
    const unsigned char* row = b.buffer + std::ptrdiff_t(y) * b.pitch;
    for (int x = 0; x < g.w; ++x)
      if (b.pixel_mode == FT_PIXEL_MODE_MONO ? (row[x / 8] & (0x80 >> (x % 8))) : row[x] >= 128)
        g.bits[std::size_t(y) * g.w + x] = 1;
  }
}

std::shared_ptr<FontInstance> Realize(const LOGFONT& lf) {
  static std::mutex m;
  static std::map<std::string, std::weak_ptr<FontInstance>> cache;
  std::string key(reinterpret_cast<const char*>(&lf), sizeof(LOGFONT));
  std::lock_guard lock(m);
  auto& slot = cache[key];
  if (auto p = slot.lock()) return p;
  auto p = std::make_shared<FontInstance>(lf);
  slot = p;
  return p;
}

}  // namespace gdi
}  // namespace win
