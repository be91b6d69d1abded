#include "platform/forms/ComCtrls.h"

#include "platform/forms/Clipboard.h"
#include "platform/forms/ControlPaint.h"
#include "platform/system/Text.h"

void TRichEditStrings::DefineProps(TPropList&) {}

int TRichEditStrings::Add(const std::string& s) {
  int at = Count();
  Insert(at, s);
  return at;
}

void TRichEditStrings::Insert(int i, const std::string& s) {
  auto parts = win::SplitLines(s);
  BeginUpdate();
  for (size_t k = 0; k < parts.size(); ++k) TStringList::Insert(i + int(k), parts[k]);
  EndUpdate();
}

std::function<void(TRichEdit*, const std::string&)> RichEditPrinter;

std::vector<TPrintedDocument>& PrintedDocuments() {
  static std::vector<TPrintedDocument> docs;
  return docs;
}

void TRichEdit::DefineProps(TPropList& p) {
  // The text is the lines; only they are stored.
  p.String("Text", &TRichEdit::Text, &TRichEdit::SetText).stored = [](TPersistent*) {
    return false;
  };
  p.Object("Lines", &TRichEdit::Lines);
  p.Bool("PlainText", &TRichEdit::PlainText, &TRichEdit::SetPlainText, false);
  p.Enum("ScrollBars", &TRichEdit::ScrollBars, &TRichEdit::SetScrollBars,
         {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}, ssNone);
  p.Bool("WordWrap", &TRichEdit::WordWrap, &TRichEdit::SetWordWrap, true);
}

TRichEdit::TRichEdit(TComponent* owner) : TCustomEdit(owner), FLines(new TRichEditStrings) {
  SetBounds(0, 0, 185, 89);
  SetAutoSelect(false);
  FLines->OnChange = [this](TObject*) {
    if (FSyncing) return;
    // A line shows when it is added, even while the program is busy (a report as it runs).
    Repaint();
    if (!IsLoading()) Change();
  };
}

std::string TRichEdit::GetText() const {
  std::string t = FLines->Text();
  if (t.size() >= 2) t.resize(t.size() - 2);
  return t;
}

void TRichEdit::StoreText(const std::string& v) {
  FSyncing = true;
  FLines->SetText(v);
  // A text that ends with a break keeps an empty last line.
  if (!v.empty() && (v.back() == '\n' || v.back() == '\r')) FLines->Add("");
  FSyncing = false;
}

void TRichEdit::Print(const std::string& title) {
  if (RichEditPrinter) {
    RichEditPrinter(this, title);
    return;
  }
  TPrintedDocument doc{title, {}};
  for (int i = 0; i < FLines->Count(); ++i) doc.lines.push_back(FLines->Get(i));
  PrintedDocuments().push_back(std::move(doc));
}

void TRichEdit::CopyToClipboard() {
  if (SelLength() > 0) SetClipboardText(SelText());
}

void TRichEdit::MoveCaret(int pos, bool extend) { SelectFromTo(extend ? AnchorPos() : pos, pos); }

int TRichEdit::RowStep(int direction) {
  std::vector<ControlPaint::TextRow> rows = ControlPaint::RichEditRows(this);
  const std::string text = GetText();
  int pos = CaretPos();
  size_t caret = win::Utf8ByteOf(text, size_t(pos));
  size_t i = 0;
  while (i + 1 < rows.size() && caret > rows[i].end) ++i;
  size_t to = i + size_t(direction);
  if (direction < 0 && i == 0) return 0;
  if (to >= rows.size()) return int(GetText().size());  // clamped to the end by Select
  int x = ControlPaint::RichEditCaretX(this, rows[i], pos);
  return ControlPaint::RichEditCharAt(this, x, rows[to].top);
}

void TRichEdit::WndProc(TMessage& m) {
  using namespace win;
  auto x = [&] { return int(short(LOWORD(DWORD(m.LParam)))); };
  auto y = [&] { return int(short(HIWORD(DWORD(m.LParam)))); };
  TShiftState shift = KeyboardShiftState();
  switch (m.Msg) {
    case WM_KEYDOWN: {
      WORD key = WORD(m.WParam);
      bool ctrl = shift & ssCtrl;
      if (ctrl && (key == 'C' || key == VK_INSERT)) {
        CopyToClipboard();
      } else if (ctrl && key == 'A') {
        SelectAll();
        Invalidate();
      } else if (key == VK_UP || key == VK_DOWN) {
        MoveCaret(RowStep(key == VK_UP ? -1 : 1), shift & ssShift);
      } else if (ctrl && (key == VK_HOME || key == VK_END)) {
        MoveCaret(key == VK_HOME ? 0 : int(GetText().size()), shift & ssShift);
      } else {
        break;
      }
      m.Result = 0;
      return;
    }
    case WM_LBUTTONDOWN:
      if (!Enabled()) return;
      MoveCaret(ControlPaint::RichEditCharAt(this, x(), y()), m.WParam & 4 /* MK_SHIFT */);
      FSelecting = true;
      break;
    case WM_MOUSEMOVE:
      if (FSelecting && (m.WParam & 1 /* MK_LBUTTON */))
        MoveCaret(ControlPaint::RichEditCharAt(this, x(), y()), true);
      break;
    case WM_LBUTTONUP:
      FSelecting = false;
      break;
    default:
      break;
  }
  TCustomEdit::WndProc(m);
}

void TAnimate::DefineProps(TPropList& p) {
  p.Bool("Active", &TAnimate::Active, &TAnimate::SetActive, false);
  p.Bool("Center", &TAnimate::Center, &TAnimate::SetCenter, true);
  p.Enum("CommonAVI", &TAnimate::CommonAVI, &TAnimate::SetCommonAVI,
         {"aviNone", "aviFindFolder", "aviFindFile", "aviFindComputer", "aviCopyFiles",
          "aviCopyFile", "aviRecycleFile", "aviEmptyRecycle", "aviDeleteFile"},
         aviNone);
  p.String("FileName", &TAnimate::FileName, &TAnimate::SetFileName);
  p.Int("Repetitions", &TAnimate::Repetitions, &TAnimate::SetRepetitions, 0);
  p.Int("StartFrame", &TAnimate::StartFrame, &TAnimate::SetStartFrame, 1);
  p.Int("StopFrame", &TAnimate::StopFrame, &TAnimate::SetStopFrame, 0);
  p.Bool("Transparent", &TAnimate::Transparent, &TAnimate::SetTransparent, true);
  p.Event("OnStart", &TAnimate::OnStart);
  p.Event("OnStop", &TAnimate::OnStop);
}

void TAnimate::SetCommonAVI(TCommonAVI v) {
  if (v == FCommonAVI) return;
  Stop();
  FCommonAVI = v;
  if (v != aviNone) FFileName.clear();
}

void TAnimate::SetFileName(const std::string& v) {
  if (v == FFileName) return;
  Stop();
  FFileName = v;
  if (!v.empty()) FCommonAVI = aviNone;
}

void TAnimate::SetActive(bool v) {
  if (IsLoading()) {
    FActive = v;  // started by Play once loaded
    return;
  }
  if (v)
    Play(FStartFrame, FStopFrame, FRepetitions);
  else
    Stop();
}

void TAnimate::Play(int from, int to, int count) {
  if (!Open()) throw Exception("Impossible d'ouvrir l'animation AVI");
  FStartFrame = from < 1 ? 1 : from;
  FStopFrame = to;
  FRepetitions = count;
  FFrame = FStartFrame;
  if (FActive) return;
  FActive = true;
  OnStart(this);
}

void TAnimate::Stop() {
  if (!FActive) return;
  FActive = false;
  OnStop(this);
}

void TAnimate::Seek(int frame) {
  Stop();
  FFrame = frame < 1 ? 1 : frame;
}

WI_REGISTER_CLASS(TRichEdit);
WI_REGISTER_CLASS(TAnimate);
