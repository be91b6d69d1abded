#include "platform/forms/graphics/ImageFiles.h"

#include <png.h>

#include <charconv>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/system/Exceptions.h"

namespace win {

std::vector<std::uint8_t> EncodePng(const Surface& s) {
  if (s.width <= 0 || s.height <= 0) throw Exception("Image vide : rien à enregistrer.");
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = png_uint_32(s.width);
  img.height = png_uint_32(s.height);
  img.format = PNG_FORMAT_BGRA;
  std::vector<std::uint32_t> px(s.pixels);
  for (auto& p : px) p |= 0xFF000000u;  // opaque
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&img, nullptr, &size, 0, px.data(), 0, nullptr))
    throw Exception(std::string("Échec de l'encodage PNG : ") + img.message);
  std::vector<std::uint8_t> out(size);
  if (!png_image_write_to_memory(&img, out.data(), &size, 0, px.data(), 0, nullptr))
    throw Exception(std::string("Échec de l'encodage PNG : ") + img.message);
  out.resize(size);
  return out;
}

Surface DecodePng(const std::vector<std::uint8_t>& data) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (data.empty() || !png_image_begin_read_from_memory(&img, data.data(), data.size()))
    throw Exception("Ce n'est pas une image PNG.");
  img.format = PNG_FORMAT_BGRA;
  Surface s(int(img.width), int(img.height));
  if (!png_image_finish_read(&img, nullptr, s.pixels.data(), 0, nullptr)) {
    png_image_free(&img);
    throw Exception(std::string("Image PNG illisible : ") + img.message);
  }
  for (auto& p : s.pixels) p &= 0xFFFFFF;
  return s;
}

namespace {
std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw Exception("Impossible d'ouvrir le fichier \"" + path.string() + "\".");
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(f), {});
}
}  // namespace

void SavePng(const Surface& s, const std::filesystem::path& path) {
  std::vector<std::uint8_t> bytes = EncodePng(s);
  std::filesystem::path tmp = path;
  tmp += ".tmp";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!f) throw Exception("Impossible de créer le fichier \"" + path.string() + "\".");
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!f) throw Exception("Impossible d'écrire le fichier \"" + path.string() + "\".");
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) throw Exception("Impossible d'écrire le fichier \"" + path.string() + "\".");
}

Surface LoadPng(const std::filesystem::path& path) { return DecodePng(ReadAll(path)); }

namespace {
void Put16(std::vector<std::uint8_t>& v, std::size_t at, unsigned x) {
  v[at] = std::uint8_t(x), v[at + 1] = std::uint8_t(x >> 8);
}
void Put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = std::uint8_t(x >> (8 * i));
}
std::uint32_t Get32(const std::vector<std::uint8_t>& v, std::size_t at) {
  return std::uint32_t(v[at]) | (std::uint32_t(v[at + 1]) << 8) | (std::uint32_t(v[at + 2]) << 16) |
         (std::uint32_t(v[at + 3]) << 24);
}
unsigned Get16(const std::vector<std::uint8_t>& v, std::size_t at) {
  return unsigned(v[at]) | (unsigned(v[at + 1]) << 8);
}
}  // namespace

std::vector<std::uint8_t> EncodeBmp(const Surface& s) {
  bool mono = s.monochrome;
  int bpp = mono ? 1 : 24;
  std::size_t stride = ((std::size_t(s.width) * bpp + 31) / 32) * 4;
  std::size_t palette = mono ? 8 : 0;
  std::size_t offset = 14 + 40 + palette;
  std::vector<std::uint8_t> v(offset + stride * std::size_t(s.height), 0);
  v[0] = 'B', v[1] = 'M';
  Put32(v, 2, std::uint32_t(v.size()));
  Put32(v, 10, std::uint32_t(offset));
  Put32(v, 14, 40);
  Put32(v, 18, std::uint32_t(s.width));
  Put32(v, 22, std::uint32_t(s.height));
  Put16(v, 26, 1);
  Put16(v, 28, unsigned(bpp));
  Put32(v, 34, std::uint32_t(stride * std::size_t(s.height)));
  Put32(v, 38, 3780), Put32(v, 42, 3780);  // 96 dpi
  if (mono) {
    Put32(v, 46, 2);
    Put32(v, 58, 0x00FFFFFF);  // palette: 0 black, 1 white
  }
  for (int y = 0; y < s.height; ++y) {
    std::uint8_t* row = v.data() + offset + stride * std::size_t(s.height - 1 - y);
    const std::uint32_t* src = s.Row(y);
    for (int x = 0; x < s.width; ++x) {
      if (mono) {
        if (src[x]) row[x / 8] |= std::uint8_t(0x80 >> (x % 8));
      } else {
        std::uint8_t* px = row + std::size_t(x) * 3;
        px[0] = std::uint8_t(src[x]), px[1] = std::uint8_t(src[x] >> 8),
        px[2] = std::uint8_t(src[x] >> 16);
      }
    }
  }
  return v;
}

Surface DecodeBmp(const std::vector<std::uint8_t>& v) {
  const std::string bad = "Format de bitmap non valide";
  if (v.size() < 26 || v[0] != 'B' || v[1] != 'M') throw Exception(bad);
  std::uint32_t offset = Get32(v, 10), hsize = Get32(v, 14);
  int w, h, bpp;
  std::uint32_t compression = 0, colors = 0;
  std::size_t palAt = 14 + hsize;
  int palEntry = 4;
  if (hsize == 12) {
    w = int(Get16(v, 18)), h = int(std::int16_t(Get16(v, 20))), bpp = int(Get16(v, 24));
    palEntry = 3;
  } else if (hsize >= 40 && v.size() >= 54) {
    w = int(std::int32_t(Get32(v, 18))), h = int(std::int32_t(Get32(v, 22))),
    bpp = int(Get16(v, 28));
    compression = Get32(v, 30);
    colors = Get32(v, 46);
  } else {
    throw Exception(bad);
  }
  bool topDown = h < 0;
  h = std::abs(h);
  if (w <= 0 || h <= 0 || w > 32768 || h > 32768 || (compression != 0 && compression != 3) ||
      (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32))
    throw Exception(bad);
  std::vector<std::uint32_t> pal;
  if (bpp <= 8) {
    std::uint32_t n = colors ? colors : (1u << bpp);
    if (n > 256 || palAt + std::size_t(n) * palEntry > v.size()) throw Exception(bad);
    for (std::uint32_t i = 0; i < n; ++i) {
      std::size_t p = palAt + std::size_t(i) * palEntry;
      pal.push_back(std::uint32_t(v[p]) | (std::uint32_t(v[p + 1]) << 8) |
                    (std::uint32_t(v[p + 2]) << 16));
    }
  }
  std::size_t stride = ((std::size_t(w) * bpp + 31) / 32) * 4;
  if (offset + stride * std::size_t(h) > v.size()) throw Exception(bad);
  bool mono = bpp == 1 && pal.size() == 2 && pal[0] == 0 && pal[1] == 0xFFFFFF;
  Surface s(w, h, 0, mono);
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* row = v.data() + offset + stride * std::size_t(topDown ? y : h - 1 - y);
    std::uint32_t* dst = s.Row(y);
    for (int x = 0; x < w; ++x) {
      std::uint32_t px = 0;
      switch (bpp) {
        case 1:
          px = (row[x / 8] >> (7 - x % 8)) & 1;
          break;
        case 4:
          px = (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF;
          break;
        case 8:
          px = row[x];
          break;
        case 24:
        case 32: {
          const std::uint8_t* at = row + std::size_t(x) * (bpp / 8);
          px = std::uint32_t(at[0]) | (std::uint32_t(at[1]) << 8) | (std::uint32_t(at[2]) << 16);
          break;
        }
      }
      if (bpp <= 8) px = px < pal.size() ? pal[px] : 0;
      dst[x] = px;
    }
  }
  return s;
}

Surface ParsePixelMap(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  std::map<char, std::uint32_t> colors;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;
    // "c RRGGBB": a character and its colour in hex.
    unsigned rgb = 0;
    const char* end = line.data() + line.size();
    std::from_chars_result hex{};
    if (line.size() > 2) hex = std::from_chars(line.data() + 2, end, rgb, 16);
    if (line.size() < 3 || line[1] != ' ' || hex.ec != std::errc() || hex.ptr != end)
      throw Exception("Carte de pixels non valide : \"" + line + "\"");
    colors[line[0]] = rgb & 0xFFFFFF;
  }
  std::vector<std::string> rows;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (!rows.empty() && line.size() != rows[0].size())
      throw Exception("Carte de pixels non valide : lignes inégales");
    rows.push_back(line);
  }
  if (rows.empty()) throw Exception("Carte de pixels vide");
  Surface s(int(rows[0].size()), int(rows.size()));
  for (std::size_t y = 0; y < rows.size(); ++y)
    for (std::size_t x = 0; x < rows[y].size(); ++x) {
      auto it = colors.find(rows[y][x]);
      if (it == colors.end())
        throw Exception(std::string("Carte de pixels : couleur inconnue '") + rows[y][x] + "'");
      s.Row(int(y))[x] = it->second;
    }
  return s;
}

}  // namespace win
