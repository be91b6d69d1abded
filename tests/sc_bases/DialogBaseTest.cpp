#include <gtest/gtest.h>

#include "shellcontrols/FScOpenDlg.h"

namespace {

class TTestDialog : public TScDialog {
 public:
  using TScDialog::TScDialog;
  bool Execute() override { return true; }
};

std::string Record(TScDialog& d) {
  TMemoryStream s;
  d.WriteFormState(s);
  return s.Bytes();
}

}  // namespace

TEST(DialogBase, NewDialogWritesMinusOneSizesAndNormalState) {
  TTestDialog d(nullptr);
  EXPECT_EQ(Record(d), std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x00", 9));
}

TEST(DialogBase, RecordRoundTripsLittleEndian) {
  TTestDialog d(nullptr);
  d.SetFormWidth(0x01020304);
  d.SetFormHeight(-2);
  d.SetFormWindowState(wsMaximized);
  std::string bytes = Record(d);
  EXPECT_EQ(bytes, std::string("\x04\x03\x02\x01\xFE\xFF\xFF\xFF\x02", 9));
  TTestDialog e(nullptr);
  TMemoryStream in(bytes);
  e.ReadFormState(in);
  EXPECT_EQ(e.FormWidth(), 0x01020304);
  EXPECT_EQ(e.FormHeight(), -2);
  EXPECT_EQ(e.FormWindowState(), wsMaximized);
  EXPECT_EQ(in.Position(), 9);  // nothing read beyond the record
}

TEST(DialogBase, ZeroSizesAreReadAsTheyAre) {
  TTestDialog d(nullptr);
  TMemoryStream in(std::string("\0\0\0\0\0\0\0\0\x01", 9));
  d.ReadFormState(in);
  EXPECT_EQ(d.FormWidth(), 0);
  EXPECT_EQ(d.FormHeight(), 0);
  EXPECT_EQ(d.FormWindowState(), wsMinimized);
}

TEST(DialogBase, ShortStreamFailsKeepingWhatWasRead) {
  TTestDialog d(nullptr);
  TMemoryStream in(std::string("\x10\0\0\0\x20\0", 6));
  EXPECT_THROW(d.ReadFormState(in), EStreamReadError);
  EXPECT_EQ(d.FormWidth(), 16);
  EXPECT_EQ(d.FormHeight(), -1);

  TMemoryStream out;
  out.SetLimit(5);
  EXPECT_THROW(d.WriteFormState(out), EStreamWriteError);
}

TEST(DialogBase, StateByteAboveMaximizedIsTakenAsNormal) {
  TTestDialog d(nullptr);
  d.SetFormWindowState(wsMaximized);
  TMemoryStream in(std::string("\x01\0\0\0\x01\0\0\0\x07", 9));
  d.ReadFormState(in);
  EXPECT_EQ(d.FormWindowState(), wsNormal);
}

TEST(DialogBase, InitializedFiresWithTheDialog) {
  TTestDialog d(nullptr);
  TObject* sender = nullptr;
  d.DoInitialized();  // unassigned: nothing
  d.OnInitialized = [&](TObject* s) { sender = s; };
  d.DoInitialized();
  EXPECT_EQ(sender, &d);
}
