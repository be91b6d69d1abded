#include "platform/forms/ExtCtrls.h"

#include <fstream>
#include <sstream>

namespace {

std::uint32_t le32(const std::string& s, size_t p) {
  return std::uint32_t(std::uint8_t(s[p])) | std::uint32_t(std::uint8_t(s[p + 1])) << 8 |
         std::uint32_t(std::uint8_t(s[p + 2])) << 16 | std::uint32_t(std::uint8_t(s[p + 3])) << 24;
}
std::uint16_t le16(const std::string& s, size_t p) {
  return std::uint16_t(std::uint8_t(s[p]) | std::uint8_t(s[p + 1]) << 8);
}
void put32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s += char((v >> (8 * i)) & 0xFF);
}
void put16(std::string& s, std::uint16_t v) {
  s += char(v & 0xFF);
  s += char(v >> 8);
}
[[noreturn]] void badBitmap(const std::string& why) {
  throw Exception("L'image bitmap n'est pas valide (" + why + ")");
}

}  // namespace

// --- TTimer ------------------------------------------------------------------------------

void TTimer::DefineProps(TPropList& p) {
  p.Bool("Enabled", &TTimer::Enabled, &TTimer::SetEnabled, true);
  p.Int("Interval", &TTimer::Interval, &TTimer::SetInterval, 1000);
  p.Event("OnTimer", &TTimer::OnTimer);
}

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
  FWindow = win::CreateWindowHandle(
      [this](win::HWND, win::UINT msg, win::WPARAM, win::LPARAM) -> win::LRESULT {
        // A handler may free the timer or disable it; a tick that was already handed out
        // for a disabled timer is dropped.
        if (msg == win::WM_TIMER && FEnabled && FInterval > 0) Timer();
        return 0;
      });
  UpdateTimer();
}

TTimer::~TTimer() {
  win::KillTimer(FWindow, 1);
  win::DestroyWindow(FWindow);
}

void TTimer::SetEnabled(bool v) {
  if (v == FEnabled) return;
  FEnabled = v;
  UpdateTimer();
}

void TTimer::SetInterval(int v) {
  if (v < 0) throw Exception("Intervalle de minuterie incorrect : " + std::to_string(v));
  if (v == FInterval) return;
  FInterval = v;
  UpdateTimer();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  // Setting either property restarts the count, as the platform's timers do.
  win::KillTimer(FWindow, 1);
  if (FEnabled && FInterval > 0 && !IsLoading()) win::SetTimer(FWindow, 1, win::UINT(FInterval));
}

// --- TBevel ------------------------------------------------------------------------------

void TBevel::DefineProps(TPropList& p) {
  p.Enum("Shape", &TBevel::Shape, &TBevel::SetShape,
         {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine", "bsSpacer"},
         bsBox);
  p.Enum("Style", &TBevel::Style, &TBevel::SetStyle, {"bsLowered", "bsRaised"}, bsLowered);
}

// --- TImagePicture -----------------------------------------------------------------------

void TImagePicture::DefineProps(TPropList&) {}

TColor TImagePicture::Pixels(int x, int y) const {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return clNone;
  return FPixels[size_t(y) * size_t(FWidth) + size_t(x)];
}

void TImagePicture::SetPixels(int x, int y, TColor c) {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
  FPixels[size_t(y) * size_t(FWidth) + size_t(x)] = c & 0xFFFFFF;
  Changed();
}

void TImagePicture::SetSize(int width, int height) {
  if (width < 0 || height < 0) throw Exception("Taille d'image incorrecte");
  std::vector<TColor> px(size_t(width) * size_t(height), clWhite);
  for (int y = 0; y < std::min(height, FHeight); ++y)
    for (int x = 0; x < std::min(width, FWidth); ++x) px[size_t(y) * width + x] = Pixels(x, y);
  FWidth = width, FHeight = height, FPixels = std::move(px);
  Changed();
}

void TImagePicture::Clear() {
  FWidth = FHeight = 0;
  FPixels.clear();
  Changed();
}

void TImagePicture::LoadFromBmp(const std::string& bmp) {
  if (bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M') badBitmap("no BMP header");
  std::uint32_t offBits = le32(bmp, 10), infoSize = le32(bmp, 14);
  if (infoSize < 40 || 14 + size_t(infoSize) > bmp.size()) badBitmap("bad info header");
  std::int32_t w = std::int32_t(le32(bmp, 18)), h = std::int32_t(le32(bmp, 22));
  int bpp = le16(bmp, 28);
  std::uint32_t compression = le32(bmp, 30), clrUsed = le32(bmp, 46);
  bool topDown = h < 0;
  if (topDown) h = -h;
  if (w <= 0 || h <= 0 || w > 16384 || h > 16384) badBitmap("bad size");
  if (!(compression == 0 || (compression == 3 && bpp == 32))) badBitmap("compressed");
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
    badBitmap(std::to_string(bpp) + " bits per pixel");
  std::vector<TColor> palette;
  if (bpp <= 8) {
    size_t n = clrUsed ? clrUsed : (1u << bpp);
    size_t p = 14 + infoSize;
    if (n > 256 || p + 4 * n > bmp.size()) badBitmap("bad palette");
    for (size_t i = 0; i < n; ++i, p += 4)
      palette.push_back(TColor(std::uint8_t(bmp[p + 2]) | std::uint8_t(bmp[p + 1]) << 8 |
                               std::uint8_t(bmp[p]) << 16));
  }
  size_t stride = ((size_t(w) * bpp + 31) / 32) * 4;
  if (offBits > bmp.size() || bmp.size() - offBits < stride * size_t(h))
    badBitmap("truncated pixels");
  std::vector<TColor> px(size_t(w) * size_t(h));
  for (int row = 0; row < h; ++row) {
    size_t base = offBits + stride * size_t(row);
    int y = topDown ? row : h - 1 - row;
    for (int x = 0; x < w; ++x) {
      TColor c;
      if (bpp == 24 || bpp == 32) {
        size_t p = base + size_t(x) * (bpp / 8);
        c = TColor(std::uint8_t(bmp[p + 2]) | std::uint8_t(bmp[p + 1]) << 8 |
                   std::uint8_t(bmp[p]) << 16);
      } else {
        size_t bit = size_t(x) * bpp;
        unsigned byte = std::uint8_t(bmp[base + bit / 8]);
        unsigned idx = (byte >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
        if (idx >= palette.size()) badBitmap("colour index outside the palette");
        c = palette[idx];
      }
      px[size_t(y) * size_t(w) + size_t(x)] = c;
    }
  }
  FWidth = w, FHeight = h, FPixels = std::move(px);
  Changed();
}

std::string TImagePicture::SaveToBmp() const {
  size_t stride = ((size_t(FWidth) * 24 + 31) / 32) * 4;
  std::string out = "BM";
  put32(out, std::uint32_t(54 + stride * FHeight));
  put32(out, 0);
  put32(out, 54);
  put32(out, 40);
  put32(out, std::uint32_t(FWidth));
  put32(out, std::uint32_t(FHeight));
  put16(out, 1);
  put16(out, 24);
  for (int i = 0; i < 6; ++i) put32(out, 0);
  for (int y = FHeight - 1; y >= 0; --y) {
    size_t start = out.size();
    for (int x = 0; x < FWidth; ++x) {
      TColor c = Pixels(x, y);
      out += char((c >> 16) & 0xFF);
      out += char((c >> 8) & 0xFF);
      out += char(c & 0xFF);
    }
    out.append(stride - (out.size() - start), '\0');
  }
  return out;
}

void TImagePicture::LoadFromFile(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) throw Exception("Impossible d'ouvrir le fichier " + hostPath);
  std::stringstream ss;
  ss << in.rdbuf();
  LoadFromBmp(ss.str());
}

void TImagePicture::Assign(TPersistent* source) {
  auto* p = dynamic_cast<TImagePicture*>(source);
  if (!p) {
    if (!source) return Clear();
    return TPersistent::Assign(source);
  }
  FWidth = p->FWidth, FHeight = p->FHeight, FPixels = p->FPixels;
  std::string stored = p->FStored;
  Changed();
  FStored = stored;
}

void TImagePicture::DefineProperties(TFiler& filer) {
  filer.DefineBinaryProperty(
      "Data", [this](const std::string& d) { ReadData(d); },
      [this](std::string& d) { WriteData(d); }, !Empty());
}

void TImagePicture::ReadData(const std::string& data) {
  if (data.empty()) return Clear();
  size_t n = std::uint8_t(data[0]);
  if (1 + n > data.size()) badBitmap("truncated class name");
  std::string cls = data.substr(1, n);
  if (cls != "TBitmap") throw Exception("Format d'image non reconnu : " + cls);
  if (1 + n + 4 > data.size()) badBitmap("truncated size");
  std::uint32_t size = le32(data, 1 + n);
  if (1 + n + 4 + size_t(size) != data.size()) badBitmap("size does not match the data");
  LoadFromBmp(data.substr(1 + n + 4));
  FStored = data;
}

void TImagePicture::WriteData(std::string& data) const {
  if (!FStored.empty()) {
    data = FStored;
    return;
  }
  std::string bmp = SaveToBmp();
  data = std::string(1, char(7)) + "TBitmap";
  put32(data, std::uint32_t(bmp.size()));
  data += bmp;
}

// --- TImage ------------------------------------------------------------------------------

void TImage::DefineProps(TPropList& p) {
  p.Bool("AutoSize", &TImage::AutoSize, &TImage::SetAutoSize, false);
  p.Bool("Center", &TImage::Center, &TImage::SetCenter, false);
  p.Object("Picture", &TImage::Picture);
  p.Bool("Stretch", &TImage::Stretch, &TImage::SetStretch, false);
  p.Bool("Transparent", &TImage::Transparent, &TImage::SetTransparent, false);
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner), FPicture(new TImagePicture) {
  SetBounds(0, 0, 105, 105);
  FPicture->OnChange = [this](TObject*) { PictureChanged(); };
}

void TImage::SetAutoSize(bool v) {
  if (v == FAutoSize) return;
  FAutoSize = v;
  PictureChanged();
}

void TImage::PictureChanged() {
  if (FAutoSize && !FPicture->Empty())
    SetBounds(Left(), Top(), FPicture->Width(), FPicture->Height());
  Invalidate();
}

win::RECT TImage::DestRect() const {
  int pw = FPicture->Width(), ph = FPicture->Height();
  if (FStretch) return {0, 0, Width(), Height()};
  if (FCenter) {
    int l = (Width() - pw) / 2, t = (Height() - ph) / 2;
    return {l, t, l + pw, t + ph};
  }
  return {0, 0, pw, ph};
}

TColor TImage::PixelAt(int x, int y) const {
  win::RECT r = DestRect();
  TColor back = Parent() ? Parent()->Color() : Color();
  if (FPicture->Empty() || x < r.left || y < r.top || x >= r.right || y >= r.bottom) return back;
  int px = x - r.left, py = y - r.top;
  if (FStretch) {
    px = int(std::int64_t(px) * FPicture->Width() / std::max<int>(1, r.Width()));
    py = int(std::int64_t(py) * FPicture->Height() / std::max<int>(1, r.Height()));
  }
  TColor c = FPicture->Pixels(px, py);
  if (FTransparent && c == FPicture->Pixels(0, FPicture->Height() - 1)) return back;
  return c;
}

WI_REGISTER_CLASS(TTimer);
WI_REGISTER_CLASS(TBevel);
WI_REGISTER_CLASS(TImage);
