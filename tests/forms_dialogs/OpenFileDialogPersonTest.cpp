// The open-file dialog without a script: a person browses the simulated PC's drives with
// keys and clicks posted to the dialog's windows.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/forms/ComboBox.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/OpenFileDialogForm.h"
#include "tests/forms_dialogs/Person.h"

namespace {

namespace fs = std::filesystem;

class OpenFileDialogPerson : public DialogPersonTest<TOpenFileDialogForm, TOpenDialog> {
 protected:
  void SetUp() override {
    PersonTest::SetUp();
    fs::create_directories(pc_.c() / "Données" / "Sous");
    fs::create_directories(pc_.d() / "Setup");
    for (const fs::path& f :
         {pc_.c() / "Données" / "install.cfg", pc_.c() / "Données" / "autre.txt",
          pc_.c() / "Données" / "Sous" / "install.cfg", pc_.c() / "Données" / "Sous" / "b.cfg",
          pc_.c() / "a.cfg", pc_.d() / "Setup" / "install.cfg"})
      std::ofstream(f) << "x";
    dialog_.SetFilter("Configuration d'installation|install.cfg|Tous les fichiers|*.*");
    dialog_.SetInitialDir("C:\\Données");
  }

  static std::vector<std::string> Lines(TForm& f) {
    std::vector<std::string> out;
    TListBox* l = Form(f).FileList;
    out.reserve(size_t(l->Count()));
    for (int i = 0; i < l->Count(); ++i) out.push_back(l->Items()->Get(i));
    return out;
  }
  // A point on line i of the file list.
  static int LineY(int i) { return i * 16 + 8; }
  // Types text into the focused field, then presses Enter.
  static void Enter(Person& p, const std::string& text) { p.Chars(text).Key(win::VK_RETURN); }
};

TEST_F(OpenFileDialogPerson, ListsFoldersThenTheFilesOfTheChosenType) {
  Person p;
  p.Look([](TForm& f) {
     EXPECT_EQ(f.Caption(), "Ouvrir");
     EXPECT_EQ(Form(f).Folder(), "C:\\Données");
     EXPECT_EQ(Lines(f), (std::vector<std::string>{"Sous", "install.cfg"}));
     EXPECT_EQ(Form(f).LookIn->Text(), "   Données");
     EXPECT_EQ(Form(f).FileType->Text(), "Configuration d'installation");
     EXPECT_TRUE(Form(f).FileNameEdit->Focused());
   })
      // The type combo opened with the mouse, its second line clicked.
      .Click("FileType")
      .Then([] {
        auto& f = Form(*Screen->ActiveForm());
        ASSERT_TRUE(f.FileType->DroppedDown());
        Person::PostClick(f.FileType->DropDownList(), 20, 13 + 6);
      })
      .Look([](TForm& f) {
        EXPECT_FALSE(Form(f).FileType->DroppedDown());
        EXPECT_EQ(Lines(f), (std::vector<std::string>{"Sous", "autre.txt", "install.cfg"}));
      })
      // Back to the first type with the keyboard: Alt+T, then Up.
      .Key('T', ssAlt)
      .Key(win::VK_UP)
      .Look([](TForm& f) {
        EXPECT_EQ(Lines(f), (std::vector<std::string>{"Sous", "install.cfg"}));
      })
      .Key(win::VK_DOWN)
      .Key(win::VK_ESCAPE);
  EXPECT_FALSE(dialog_.Execute());
  // Cancelled: the type chosen is not kept.
  EXPECT_EQ(dialog_.FilterIndex(), 1);
  EXPECT_EQ(UiScript::Dialogs().back().kind, "open");
  EXPECT_EQ(UiScript::Dialogs().back().result, mrCancel);
}

TEST_F(OpenFileDialogPerson, DoubleClicksOpenAFolderAndPickAFile) {
  dialog_.SetTitle("Choisir la configuration");
  Person p;
  p.DoubleClick("FileList", 20, LineY(0))
      .Look([](TForm& f) {
        EXPECT_EQ(f.Caption(), "Choisir la configuration");
        EXPECT_EQ(Form(f).Folder(), "C:\\Données\\Sous");
        EXPECT_EQ(Form(f).LookIn->Text(), "      Sous");
        EXPECT_EQ(Lines(f), (std::vector<std::string>{"install.cfg"}));
      })
      .DoubleClick("FileList", 20, LineY(0));
  ASSERT_TRUE(dialog_.Execute());
  EXPECT_EQ(dialog_.FileName(), "C:\\Données\\Sous\\install.cfg");
  EXPECT_EQ(dialog_.Files()->Count(), 1);
  EXPECT_EQ(dialog_.Files()->Get(0), "C:\\Données\\Sous\\install.cfg");
}

TEST_F(OpenFileDialogPerson, TypedNamesArePathsFromTheCurrentFolder) {
  {
    // A relative path to a file in a sub-folder.
    Person p;
    Enter(p, "Sous\\b.cfg");
    ASSERT_TRUE(dialog_.Execute());
    EXPECT_EQ(dialog_.FileName(), "C:\\Données\\Sous\\b.cfg");
  }
  {
    // A folder opens (the field empties); ".." climbs back; a full path elsewhere picks.
    Person p;
    Enter(p, "sous");
    p.Look([](TForm& f) {
      EXPECT_EQ(Form(f).Folder(), "C:\\Données\\Sous");
      EXPECT_EQ(Form(f).FileNameEdit->Text(), "");
    });
    Enter(p, "..\\autre.txt");
    ASSERT_TRUE(dialog_.Execute());
    EXPECT_EQ(dialog_.FileName(), "C:\\Données\\autre.txt");
  }
  {
    Person p;
    Enter(p, "D:\\Setup\\install.cfg");
    ASSERT_TRUE(dialog_.Execute());
    EXPECT_EQ(dialog_.FileName(), "D:\\Setup\\install.cfg");
  }
  {
    // A pattern filters the list; a file of it is then picked from the list by keys.
    Person p;
    Enter(p, "*.txt");
    p.Look([](TForm& f) {
       EXPECT_EQ(Lines(f), (std::vector<std::string>{"Sous", "autre.txt"}));
     })
        .Key(win::VK_TAB, ssShift)
        .Key(win::VK_DOWN)
        .Key(win::VK_DOWN)
        .Look([](TForm& f) { EXPECT_EQ(Form(f).FileNameEdit->Text(), "autre.txt"); })
        .Key(win::VK_RETURN);
    ASSERT_TRUE(dialog_.Execute());
    EXPECT_EQ(dialog_.FileName(), "C:\\Données\\autre.txt");
  }
}

TEST_F(OpenFileDialogPerson, MissingFilesAndFoldersAreRefusedWithAMessage) {
  dialog_.SetOptions(1u << ofFileMustExist);
  Person p;
  Enter(p, "absent.cfg");
  p.Look([](TForm& f) {
     EXPECT_EQ(f.Caption(), "Avertissement");
     EXPECT_NE(dynamic_cast<TMessageForm&>(f).Message->Caption().find(
                   "absent.cfg\r\nFichier introuvable."),
               std::string::npos);
   }).Key(win::VK_RETURN);
  Enter(p, "Rien\\x.cfg");
  p.Look([](TForm& f) {
     EXPECT_NE(dynamic_cast<TMessageForm&>(f).Message->Caption().find(
                   "C:\\Données\\Rien\r\nLe chemin d'accès n'existe pas."),
               std::string::npos);
   })
      .Key(win::VK_RETURN)
      // Back in the open dialog, which is still there, with the focus on the name.
      .Look([](TForm& f) {
        EXPECT_EQ(f.Caption(), "Ouvrir");
        EXPECT_TRUE(Form(f).FileNameEdit->Focused());
      })
      .Click("CancelButton");
  EXPECT_FALSE(dialog_.Execute());

  // Without ofFileMustExist a new name in an existing folder is taken, with the default
  // extension when it has none.
  dialog_.SetOptions(0);
  dialog_.SetDefaultExt("cfg");
  Person q;
  Enter(q, "nouveau");
  ASSERT_TRUE(dialog_.Execute());
  EXPECT_EQ(dialog_.FileName(), "C:\\Données\\nouveau.cfg");
}

TEST_F(OpenFileDialogPerson, CancelKeepsTheFileNameAndTheStartFollowsIt) {
  dialog_.SetInitialDir("");
  dialog_.SetFileName("C:\\Données\\Sous\\b.cfg");
  for (int way = 0; way < 3; ++way) {
    Person p;
    p.Look([](TForm& f) {
      EXPECT_EQ(Form(f).Folder(), "C:\\Données\\Sous");
      EXPECT_EQ(Form(f).FileNameEdit->Text(), "b.cfg");
    });
    p.Dismiss(way, "CancelButton");
    EXPECT_FALSE(dialog_.Execute());
    EXPECT_EQ(dialog_.FileName(), "C:\\Données\\Sous\\b.cfg");
  }
}

TEST_F(OpenFileDialogPerson, BackspaceGoesUpAndLookInChoosesADrive) {
  dialog_.SetFilter("Configurations|*.cfg");
  dialog_.SetInitialDir("C:\\Données\\Sous");
  Person p;
  p.Key(win::VK_TAB, ssShift)
      .Key(win::VK_BACK)
      .Look([](TForm& f) {
        EXPECT_EQ(Form(f).Folder(), "C:\\Données");
        EXPECT_TRUE(Form(f).FileList->Focused());
      })
      .Key('D', ssAlt)
      .Key(win::VK_HOME)
      .Look([](TForm& f) {
        EXPECT_EQ(Form(f).Folder(), "C:\\");
        EXPECT_EQ(Lines(f), (std::vector<std::string>{"Données", "WINDOWS", "a.cfg"}));
        auto& items = *Form(f).LookIn->Items();
        ASSERT_EQ(items.Count(), 2);
        EXPECT_EQ(items.Get(1), "D:\\");
      })
      .Key(win::VK_END)
      .Look([](TForm& f) {
        EXPECT_EQ(Form(f).Folder(), "D:\\");
        EXPECT_EQ(Lines(f), (std::vector<std::string>{"Setup"}));
      })
      .Key(win::VK_TAB)
      .Key(win::VK_DOWN)
      .Key(win::VK_RETURN)
      .Look([](TForm& f) { EXPECT_EQ(Form(f).Folder(), "D:\\Setup"); })
      .Key(win::VK_DOWN)
      .Key(win::VK_RETURN);
  ASSERT_TRUE(dialog_.Execute());
  EXPECT_EQ(dialog_.FileName(), "D:\\Setup\\install.cfg");
}

}  // namespace
