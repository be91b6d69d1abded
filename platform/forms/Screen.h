#pragma once
// The screen: the cursor shown over the application's windows, the installed font names
// and the display size.
#include <string>
#include <vector>

using TCursor = int;
inline constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4,
                         crSizeNESW = -6, crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9,
                         crUpArrow = -10, crHourGlass = -11, crDrag = -12, crNoDrop = -13,
                         crHSplit = -14, crVSplit = -15, crMultiDrag = -16, crSQLWait = -17,
                         crNo = -18, crAppStart = -19, crHelp = -20, crHandPoint = -21,
                         crSizeAll = -22, crSize = -22;

class TForm;
class TStrings;

class TScreen {
 public:
  TScreen();
  ~TScreen();
  TScreen(const TScreen&) = delete;
  TScreen& operator=(const TScreen&) = delete;

  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor value);
  // Every value set through SetCursor, in order (tests read it; ClearCursorHistory empties it).
  const std::vector<TCursor>& CursorHistory() const { return FCursorHistory; }
  void ClearCursorHistory() { FCursorHistory.clear(); }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetSize(int width, int height) { FWidth = width, FHeight = height; }

  // Installed font face names, sorted (filled by the drawing layer through SetFontNames).
  TStrings* Fonts();
  void SetFontNames(const std::vector<std::string>& names);

  // Forms in creation order, and the one with the focus.
  int FormCount() const { return int(FForms.size()); }
  TForm* Forms(int i) const { return FForms.at(i); }
  TForm* ActiveForm() const { return FActiveForm; }
  void SetActiveForm(TForm* f) { FActiveForm = f; }
  void AddForm(TForm* f);
  void RemoveForm(TForm* f);

 private:
  TCursor FCursor = crDefault;
  std::vector<TCursor> FCursorHistory;
  int FWidth = 800, FHeight = 600;
  TStrings* FFonts = nullptr;
  std::vector<TForm*> FForms;
  TForm* FActiveForm = nullptr;
};

// The screen: made on first use, so other files' start-up code may use it, and never
// destroyed, so forms freed at exit may still leave it. Use it as a pointer (Screen->...).
class TScreenRef {
 public:
  TScreen* operator->() const { return Get(); }
  operator TScreen*() const { return Get(); }
  static TScreen* Get();
};
inline constexpr TScreenRef Screen{};
