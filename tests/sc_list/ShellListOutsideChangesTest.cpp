// The shell list over a folder that another program changes: the change reaches the list
// through the host's file events, and the merge refresh (or a new fill) shows the folder as
// it is, whatever was made, removed or renamed between two looks.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"
#include "platform/forms/UiDriver.h"
#include "platform/system/Clock.h"
#include "platform/system/Files.h"
#include "platform/system/MachineSetup.h"
#include "shellcontrols/UScShellList.h"
#include "support/TempMachine.h"
#include "tests/sc_list/ShowFolder.h"

using namespace win;
namespace fs = std::filesystem;

namespace {

class OutsideChanges : public ::testing::Test {
 protected:
  TempMachine pc;
  TForm* form = nullptr;
  TScShellList* list = nullptr;

  void SetUp() override {
    clock::SetSimulated(true);
    Application->Reset();
    Screen->SetActiveForm(nullptr);
    CreateDirectory("C:\\Dossier");
    for (const char* n : {"un.txt", "deux.txt", "Un nom long trois.txt"})
      WriteWholeFile(std::string("C:\\Dossier\\") + n, n);
    CreateDirectory("C:\\Dossier\\Sous");
    form = new TForm(Application);
    form->SetBounds(0, 0, 640, 480);
    list = NewReportList(form, 0, 0, 600, 400);
    ASSERT_TRUE(ShowFolderIn(list, "C:\\Dossier"));
  }
  void TearDown() override {
    delete form;
    Application->Reset();
  }
  fs::path Host(const std::string& name) { return pc.c() / "Dossier" / name; }
  void Make(const std::string& name) { std::ofstream(Host(name)) << name; }
  // The items in list order, by their shell names.
  std::vector<std::string> Shown() {
    std::vector<std::string> names;
    names.reserve(size_t(list->Items()->Count()));
    for (int i = 0; i < list->Items()->Count(); ++i)
      names.push_back(list->ItemData(i)->DisplayName());
    return names;
  }
  // What is in the folder now, in the list's order (folders first, then by name).
  std::vector<std::string> OnDisk() {
    std::vector<std::string> folders, files;
    for (auto& e : fs::directory_iterator(pc.c() / "Dossier"))
      (e.is_directory() ? folders : files).push_back(e.path().filename().string());
    auto byName = [](const std::string& a, const std::string& b) {
      return FoldCase(a) < FoldCase(b);
    };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    folders.insert(folders.end(), files.begin(), files.end());
    return folders;
  }
  // Pumps real time until the change message armed the refresh timer.
  bool WaitForChangeMessage() {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!list->RefreshTimerObject()->Enabled() && std::chrono::steady_clock::now() < end) {
      Application->ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return list->RefreshTimerObject()->Enabled();
  }
};

}  // namespace

TEST_F(OutsideChanges, AChangeFromAHostShellReachesTheListAndItsRefresh) {
  ASSERT_EQ(Shown(), OnDisk());
  ASSERT_NE(list->ChangeThread(), nullptr);
  Make("venu de dehors.txt");
  ASSERT_TRUE(WaitForChangeMessage());
  EXPECT_EQ(list->RefreshTimerObject()->Interval(), 2000);  // the timer of the list stays
  UiDriver::Advance(2000);
  EXPECT_EQ(Shown(), OnDisk());
  // A folder made outside: the list watches folder names too. The merge adds it at the end.
  fs::create_directory(Host("Nouveau dossier"));
  ASSERT_TRUE(WaitForChangeMessage());
  UiDriver::Advance(2000);
  EXPECT_EQ(Shown().back(), "Nouveau dossier");
  EXPECT_EQ(Shown().size(), OnDisk().size());
}

TEST_F(OutsideChanges, TheRefreshShowsTheFolderAsItIsNowAndKeepsWhatStayed) {
  TListItem* kept = list->Items()->Item(0);
  std::string keptName = list->ItemData(kept)->DisplayName();
  kept->SetSelected(true);
  // Made, removed and renamed between two looks; a name swapped with another.
  Make("nouveau.txt");
  fs::remove(Host("deux.txt"));
  fs::rename(Host("Un nom long trois.txt"), Host("Un nom long quatre.txt"));
  fs::rename(Host("un.txt"), Host("tmp"));
  Make("un.txt");
  fs::rename(Host("tmp"), Host("zéro.txt"));
  list->Refresh();
  EXPECT_EQ(list->Items()->Count(), int(OnDisk().size()));
  auto shown = Shown();
  std::sort(shown.begin(), shown.end());
  auto disk = OnDisk();
  std::sort(disk.begin(), disk.end());
  EXPECT_EQ(shown, disk);
  // The untouched folder is the same item, still selected.
  EXPECT_EQ(keptName, "Sous");
  EXPECT_EQ(list->Items()->Item(0), kept);
  EXPECT_TRUE(kept->Selected());
  // Every item shows its file as it is now: the new un.txt, not the old one.
  for (int i = 0; i < list->Items()->Count(); ++i) {
    TScShListData* d = list->ItemData(i);
    std::string path = d->Path();
    EXPECT_NE(GetFileAttributes(path), INVALID_FILE_ATTRIBUTES) << path;
  }
  // A fill gives the same, in order.
  list->Fill();
  EXPECT_EQ(Shown(), OnDisk());
  // Everything gone at once, then back.
  for (auto& e :
       std::vector<fs::path>(fs::directory_iterator(pc.c() / "Dossier"), fs::directory_iterator()))
    fs::remove_all(e);
  list->Refresh();
  EXPECT_EQ(list->Items()->Count(), 0);
  Make("revenu.txt");
  list->Refresh();
  EXPECT_EQ(Shown(), (std::vector<std::string>{"revenu.txt"}));
}

TEST_F(OutsideChanges, AFileRewrittenOutsideShowsItsNewSize) {
  auto sizeOf = [&](const std::string& name) {
    for (int i = 0; i < list->Items()->Count(); ++i)
      if (list->ItemData(i)->DisplayName() == name) return list->ItemData(i)->ColumnText(1);
    return std::string("absent");
  };
  EXPECT_EQ(sizeOf("un.txt"), "1 Ko");
  std::ofstream(Host("un.txt")) << std::string(5000, 'x');
  list->Refresh();
  EXPECT_EQ(sizeOf("un.txt"), "5 Ko");
  EXPECT_EQ(Shown(), OnDisk());
}
