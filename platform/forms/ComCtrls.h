#pragma once
// Rich edits (a multi-line report the program fills and prints) and animations.
#include <functional>

#include "platform/forms/StdCtrls.h"

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// Lines of a rich edit: a line added or inserted with line breaks (CR LF, LF or CR)
// inside becomes several lines.
class TRichEditStrings : public TStringList {
  WI_CLASS(TRichEditStrings, TStringList)
 public:
  int Add(const std::string& s) override;
  void Insert(int i, const std::string& s) override;
};

class TRichEdit : public TCustomEdit {
  WI_CLASS(TRichEdit, TCustomEdit)
 public:
  explicit TRichEdit(TComponent* owner);
  TStrings* Lines() const { return FLines.get(); }
  void SetLines(TStrings* v) { FLines->Assign(v); }
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle v) {
    FScrollBars = v;
    Invalidate();
  }
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v) {
    FWordWrap = v;
    Invalidate();
  }
  bool PlainText() const { return FPlainText; }
  void SetPlainText(bool v) { FPlainText = v; }
  // Prints the lines as one document titled `title` (see RichEditPrinter).
  void Print(const std::string& title);
  // Puts the selection on the desktop's clipboard (Ctrl+C), lines broken by CR LF.
  void CopyToClipboard();
  // Besides the edit's keys: Up and Down move by row, Ctrl+Home and Ctrl+End to the ends,
  // Ctrl+A selects everything, Ctrl+C (or Ctrl+Insert) copies; the left button places the
  // caret and dragging selects (Shift+click extends), read-only or not.
  void WndProc(TMessage& msg) override;

 protected:
  // Lines joined by CR LF, without a break after the last.
  std::string GetText() const override;
  void StoreText(const std::string& v) override;

 private:
  std::unique_ptr<TRichEditStrings> FLines;
  TScrollStyle FScrollBars = ssNone;
  bool FWordWrap = true, FPlainText = false;
  bool FSyncing = false;
  bool FSelecting = false;
  // Moves the caret to a character index; with `extend` the selection's anchor stays.
  void MoveCaret(int pos, bool extend);
  // The character index one row above (-1) or below (+1) the caret, at the caret's x.
  int RowStep(int direction);
};

// Prints a rich edit's document; the drawing layer installs its printer here. Without
// one the document is kept in PrintedDocuments (title and lines), so that runs without
// a printer can be checked.
struct TPrintedDocument {
  std::string title;
  std::vector<std::string> lines;
};
extern std::function<void(TRichEdit*, const std::string& title)> RichEditPrinter;
std::vector<TPrintedDocument>& PrintedDocuments();

enum TCommonAVI {
  aviNone,
  aviFindFolder,
  aviFindFile,
  aviFindComputer,
  aviCopyFiles,
  aviCopyFile,
  aviRecycleFile,
  aviEmptyRecycle,
  aviDeleteFile
};

// An animation's state (frames are not drawn).
class TAnimate : public TWinControl {
  WI_CLASS(TAnimate, TWinControl)
 public:
  explicit TAnimate(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 100, 80); }
  TCommonAVI CommonAVI() const { return FCommonAVI; }
  void SetCommonAVI(TCommonAVI v);
  std::string FileName() const { return FFileName; }
  void SetFileName(const std::string& v);
  bool Active() const { return FActive; }
  void SetActive(bool v);
  bool Center() const { return FCenter; }
  void SetCenter(bool v) { FCenter = v; }
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool v) { FTransparent = v; }
  int Repetitions() const { return FRepetitions; }  // 0: endless
  void SetRepetitions(int v) { FRepetitions = v < 0 ? 0 : v; }
  int StartFrame() const { return FStartFrame; }
  void SetStartFrame(int v) { FStartFrame = v < 1 ? 1 : v; }
  int StopFrame() const { return FStopFrame; }
  void SetStopFrame(int v) { FStopFrame = v < 0 ? 0 : v; }
  bool Open() const { return FCommonAVI != aviNone || !FFileName.empty(); }
  // Starts playing frames from..to, count times (0: endless); needs an animation.
  void Play(int from, int to, int count);
  void Stop();
  void Seek(int frame);
  int Frame() const { return FFrame; }
  TNotifyEvent OnStart, OnStop;

 private:
  TCommonAVI FCommonAVI = aviNone;
  std::string FFileName;
  bool FActive = false, FCenter = true, FTransparent = true;
  int FRepetitions = 0, FStartFrame = 1, FStopFrame = 0, FFrame = 1;
};
