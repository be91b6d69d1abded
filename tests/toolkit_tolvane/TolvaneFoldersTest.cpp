// Tolvane's Program Files lookup: the shell folder, then the registry value, and no
// guessed folder names whatever the language.
#include "platform/system/Registry.h"
#include "tests/toolkit/ToolkitTestSupport.h"
#include "toolkit/InstallTools2.h"

using namespace tk;

namespace {

class TolvaneFolders : public ToolkitTest {
 protected:
  TolvaneFolders() : ToolkitTest(German()) {
    Put("C:\\WINDOWS\\system32\\shell32.dll", "");
    Put("C:\\WINDOWS\\system32\\shfolder.dll", "");
  }
  static win::MachineSettings German() {
    win::MachineSettings s;
    s.languageId = 1031;
    return s;
  }
  static std::string Find() {
    TWindowsInstaller inst("");
    std::string dir = "stale";
    inst.GetProgramFilesDir(dir);
    return dir;
  }
};

TEST_F(TolvaneFolders, ShellFolderThenRegistryValueAndNoGuesses) {
  SetProgramFilesValue("C:\\Program Files");
  EXPECT_EQ(Find(), "C:\\Program Files\\");
  EXPECT_TRUE(std::filesystem::is_directory(Host("C:\\Program Files")));

  // The shell cannot make the folder: the registry value is taken as it is.
  std::filesystem::remove_all(Host("C:\\Program Files"));
  Put("C:\\Program Files", "a file in the way");
  EXPECT_EQ(Find(), "C:\\Program Files\\");

  // Neither: empty, even where Install would find a German or English folder.
  SetProgramFilesValue("");
  for (const char* f :
       {"C:\\Windows\\Programme", "C:\\WinNT\\Programme", "C:\\Windows\\Program files"})
    std::filesystem::create_directories(Host(f));
  EXPECT_EQ(Find(), "");
}

}  // namespace
