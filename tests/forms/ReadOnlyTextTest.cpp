// Text a person reads and copies: the report (a read-only rich edit) and message boxes.
#include <gtest/gtest.h>

#include "platform/forms/Clipboard.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/ControlPaint.h"
#include "platform/forms/Forms.h"
#include "platform/forms/UiDriver.h"

namespace {

using win::MAKELPARAM;
using win::WORD;

// Ctrl+A then Ctrl+C copy it all; Shift+Down from the start selects the first row; the left
// button dragged over a row selects what it passed; the caret moves though nothing can be
// typed.
TEST(ReadOnlyTextTest, TheReportIsSelectedWithKeysAndMouseAndCopied) {
  TForm form(nullptr);
  form.SetClientWidth(300);
  form.SetClientHeight(120);
  auto* report = new TRichEdit(&form);
  report->SetBounds(0, 0, 300, 120);
  report->SetParent(&form);
  report->SetReadOnly(true);
  report->Lines()->Add("Démarrage de l'installation...");
  report->Lines()->Add("Fin de l'installation.");
  form.Show();
  ASSERT_TRUE(report->Focused());
  UiDriver::Key('A', ssCtrl);
  UiDriver::Key('C', ssCtrl);
  EXPECT_EQ(ClipboardText(), "Démarrage de l'installation...\r\nFin de l'installation.");
  UiDriver::Key(win::VK_HOME, ssCtrl);
  UiDriver::Key(win::VK_DOWN, ssShift);
  UiDriver::Key('C', ssCtrl);
  EXPECT_EQ(ClipboardText(), "Démarrage de l'installation...\r\n");
  UiDriver::Chars("x");
  EXPECT_EQ(report->Lines()->Get(0), "Démarrage de l'installation...");

  auto rows = ControlPaint::RichEditRows(report);
  ASSERT_EQ(rows.size(), 2u);
  int start = 32, end = start + 3;  // "Fin", after the first line and its CR LF
  int x0 = ControlPaint::RichEditCaretX(report, rows[1], start);
  int x1 = ControlPaint::RichEditCaretX(report, rows[1], end);
  int y = rows[1].top + rows[1].height / 2;
  report->Perform(win::WM_LBUTTONDOWN, 1, MAKELPARAM(WORD(x0), WORD(y)));
  report->Perform(win::WM_MOUSEMOVE, 1, MAKELPARAM(WORD(x1), WORD(y)));
  report->Perform(win::WM_LBUTTONUP, 0, MAKELPARAM(WORD(x1), WORD(y)));
  UiDriver::Key('C', ssCtrl);
  EXPECT_EQ(ClipboardText(), "Fin");
  EXPECT_EQ(report->CaretPos(), end);
}

// Ctrl+C on a message box copies it whole, as Windows writes it.
TEST(ReadOnlyTextTest, AMessageBoxCopiesItself) {
  std::unique_ptr<TMessageForm> box(
      CreateMessageDialog("Voulez-vous annuler ?", mtConfirmation, MsgButtons({mbYes, mbNo})));
  box->Show();
  UiDriver::Key('C', ssCtrl);
  const std::string rule = "---------------------------\r\n";
  EXPECT_EQ(ClipboardText(), rule + "Confirmation\r\n" + rule + "Voulez-vous annuler ?\r\n" + rule +
                                 "Oui   Non   \r\n" + rule);
  EXPECT_EQ(box->ModalResult(), mrNone);
}

}  // namespace
