#pragma once
// How the standard controls look: one paint routine per control class, drawing on a
// device context whose origin is the control's top-left corner. The window painter calls
// PaintStandardControl for each control before the control's own Paint (TCustomControl,
// TGraphicControl descendants), so a descendant draws over the standard look.
#include <string>
#include <vector>

#include "platform/forms/Controls.h"
#include "platform/forms/graphics/Gdi.h"

class TCanvasFont;
class TForm;
class TRichEdit;

namespace ControlPaint {

// The system colour or plain colour as a COLORREF.
win::COLORREF Rgb(TColor c);
// A font handle for a control font (cached; never delete it).
win::HFONT FontHandle(const TFont* f);
// A canvas takes on a control font: name, height, style, colour and character set.
void CopyFont(TCanvasFont& to, const TFont* from);
// The colour a control's face is filled with (its Color).
void FillSolid(win::HDC dc, const win::RECT& r, TColor c);
// Raised or lowered frame of `width` pixels; r shrinks by it.
void Frame3D(win::HDC dc, win::RECT& r, TColor topLeft, TColor bottomRight, int width);
// Caption text with "&" prefixes, greyed and embossed when disabled.
void DrawCaption(win::HDC dc, const TControl* c, const std::string& text, win::RECT r,
                 win::UINT format);
// Where the area of a control's children starts (the list box and edits paint a border
// around theirs): the offset of the canvas origin from the control's corner.
win::POINT ClientOffset(const TControl* c);
// Where a control's own Paint and its children may draw, in the control's coordinates:
// inside the border of lists and edits, less the scroll bars.
win::RECT ClientBox(const TControl* c);

// How a rich edit lays out its text (Text(): lines joined by CR LF): one row per line, more
// where a line wraps at the width; each row a byte range of the text and its place.
struct TextRow {
  size_t begin = 0, end = 0;
  int left = 0, top = 0, height = 0;
};
std::vector<TextRow> RichEditRows(const TRichEdit* e);
// The character (index) nearest to a point of the rich edit; rows above and below the text
// give its first and last row.
int RichEditCharAt(const TRichEdit* e, int x, int y);
// Where the caret of character index `pos` stands: its row and the x of its left edge.
int RichEditCaretX(const TRichEdit* e, const TextRow& row, int pos);

// Paints c's standard look. False when c is no standard control (only its Paint draws).
bool PaintStandardControl(win::HDC dc, TControl* c);

}  // namespace ControlPaint
