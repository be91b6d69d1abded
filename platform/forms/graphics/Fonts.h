#pragma once
// The face table (the families a program can ask for and the DejaVu files standing in for
// them), font realization through FreeType and the built-in "Box Test" face whose glyphs
// are plain boxes of a known width, for exact layout tests.
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/forms/graphics/GdiTypes.h"

namespace win {

struct FontFace {
  std::string family;
  bool trueType = true;
  bool fixedPitch = false;
  BYTE charset = ANSI_CHARSET;
  BYTE pitchFamily = FF_SWISS;
  std::string files[4];  // regular, bold, italic, bold italic (empty: synthesized)
  bool box = false;      // the test face
  int symbolMap = 0;     // 1: Greek letters for "Symbol", 2: window glyphs for "Marlett"
};

// Case-insensitive lookup; null when the family is unknown.
const FontFace* FindFontFace(const std::string& family);
// The face used for an unknown family (as a font mapper would pick).
const FontFace& DefaultFontFace();
bool IsTrueTypeFace(const std::string& family);
// The families installed, sorted; the screen's font list.
std::vector<std::string> ScreenFontNames();
// Adds an installed TrueType (or OpenType) file and returns its family name. Throws
// Exception for a file that is missing or not such a font.
std::string AddFontFile(const std::string& hostPath);

namespace gdi {

struct Glyph {
  int advX = 0, advY = 0;  // 26.6 pen advance
  int left = 0, top = 0;   // bitmap offset from the pen (top: rows above the baseline)
  int w = 0, h = 0;
  std::vector<std::uint8_t> bits;  // w*h, 1 = ink
};

// A realized logical font: metrics and a glyph cache.
class FontInstance {
 public:
  explicit FontInstance(const LOGFONT& lf);
  ~FontInstance();
  FontInstance(const FontInstance&) = delete;
  FontInstance& operator=(const FontInstance&) = delete;

  const LOGFONT& Logical() const { return lf_; }
  const FontFace& Face() const { return *face_; }
  const TEXTMETRIC& Metrics() const { return tm_; }
  int Ascent() const { return tm_.tmAscent; }
  int Descent() const { return tm_.tmDescent; }
  int Height() const { return tm_.tmHeight; }
  double Angle() const { return angle_; }  // radians, counter-clockwise
  // The glyph of a code point (missing ones give the face's default glyph).
  const Glyph& Get(char32_t c);
  // Unrotated advance in whole pixels.
  int Advance(char32_t c);
  int UnderlinePos() const { return underlinePos_; }  // rows below the baseline
  int LineThickness() const { return thickness_; }

 private:
  void Load(char32_t c, Glyph& g);
  LOGFONT lf_;
  const FontFace* face_ = nullptr;
  TEXTMETRIC tm_;
  double angle_ = 0;
  int ppem_ = 0;
  int boxAdvance_ = 0;
  int underlinePos_ = 1, thickness_ = 1;
  bool synthBold_ = false, synthItalic_ = false;
  void* ftFace_ = nullptr;
  std::mutex mutex_;
  std::unordered_map<char32_t, Glyph> cache_;
};

// Shared instances, one per distinct logical font.
std::shared_ptr<FontInstance> Realize(const LOGFONT& lf);

}  // namespace gdi
}  // namespace win
