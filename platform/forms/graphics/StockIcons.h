#pragma once
// The toolkit's stock pictures, drawn by code: the 32 x 32 icons of the message dialogs
// and the printer glyph of a print button. Each picture lies on a key colour that its
// lower-left pixel carries, so controls that draw pictures transparently show only the
// drawing.
#include <cstdint>
#include <string>

#include "platform/forms/graphics/Gdi.h"

namespace win {

enum class TStockIcon { Warning, Error, Information, Confirmation };

// Olive (red 128, green 128, blue 0), as surface pixel 0xRRGGBB; never used by a drawing.
inline constexpr std::uint32_t kStockIconKey = 0x808000;

// A 32 x 32 icon.
Surface DrawStockIcon(TStockIcon icon);

// The printer glyph as a speed-button strip of two 16 x 16 images: normal, then disabled.
Surface DrawPrinterGlyph();

// A drawing as the BMP file that stored pictures load (TImagePicture::LoadFromBmp).
std::string PictureBmp(const Surface& picture);

// The disabled look of a glyph on the key colour: its dark pixels as an engraving (a
// highlight copy one pixel down and right, the shadow colour on top); light pixels vanish.
Surface DisabledGlyph(const Surface& glyph, std::uint32_t key);

}  // namespace win
