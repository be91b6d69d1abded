// The folder-browse dialog over a temporary PC, driven as a user would: a folder chosen in
// the tree by its node path, OK and Cancel, the read-only and button options, new folders
// and deletion from the window, the layout and size rules, the carried-over size and
// state, and the refused second activation.
#include <gtest/gtest.h>

#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/UiScript.h"
#include "platform/system/Files.h"
#include "shellcontrols/FScFolderBrowseDlg.h"
#include "shellcontrols/UScShellUtils.h"
#include "support/TempMachine.h"

using namespace win;

namespace {

const std::string kC = "Bureau\\Poste de travail\\Disque local (C:)";

// A node path as a script line writes it (backslashes escaped).
std::string Node(const std::string& path) {
  std::string r;
  for (char ch : path) r += ch == '\\' ? std::string("\\\\") : std::string(1, ch);
  return r;
}

bool Exists(const std::string& path) { return GetFileAttributes(path) != INVALID_FILE_ATTRIBUTES; }

class FolderBrowse : public ::testing::Test {
 protected:
  void SetUp() override {
    UiScript::Reset();
    Application->Reset();
    Screen->SetActiveForm(nullptr);
    CreateDirectory("C:\\Data");
    CreateDirectory("C:\\Data\\A");
    CreateDirectory("C:\\Data\\B");
    dlg = new TScFolderBrowseDlg(Application);
  }
  void TearDown() override {
    delete dlg;
    Application->Reset();
    Screen->SetActiveForm(nullptr);
  }
  // Runs Execute with the script's commands; inspect, when set, looks at the shown form.
  bool Run(const std::string& script,
           const std::function<void(TScFrmFolderBrowseDlg*)>& inspect = {}) {
    if (inspect)
      dlg->OnFormShow = [this, inspect](TObject*) { inspect(dlg->Form()); };
    else
      dlg->OnFormShow = {};
    UiScript::Load(script);
    return dlg->Execute();
  }
  void Preselect(const std::string& path) {
    LPITEMIDLIST p = nullptr;
    ASSERT_EQ(PathToPidl(path, &p), S_OK);
    dlg->SelectedFolder()->SetPidl(p);
    ShellFree(p);
  }
  TempMachine pc{{}, &CreateMachine};
  TScFolderBrowseDlg* dlg = nullptr;
};

// A form lists the dialog's settings in this order (besides Name and Tag).
TEST(FolderBrowseDlgProperties, ArePublishedInTheirOrder) {
  std::vector<std::string> names;
  for (const auto& prop : TScFolderBrowseDlg::StaticClassInfo()->own.props)
    names.push_back(prop.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Title", "FormWidth", "FormHeight", "FormWindowState",
                                             "BaseFolder", "Options", "OnAddItem", "OnFormClose",
                                             "OnFormShow", "OnSelChange", "OnInitialized",
                                             "OnTvCustomDrawSh", "OnTvCustomDrawShEx"}));
}

TEST_F(FolderBrowse, OkReturnsTheFolderChosenInTheTree) {
  Screen->ClearCursorHistory();
  EXPECT_TRUE(Run("select ScShellTree1 | " + Node(kC + "\\Data\\B") + "\nclick OkBtn\n"));
  EXPECT_EQ(dlg->SelectedFolder()->Path(), "C:\\Data\\B");
  EXPECT_EQ(dlg->Form(), nullptr);
  // The hourglass while the window is made, the cursor as it was afterwards.
  ASSERT_GE(Screen->CursorHistory().size(), 2u);
  EXPECT_EQ(Screen->CursorHistory().front(), crHourGlass);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  // Stored client area 358 x 313 kept: the outer size goes back to the dialog.
  EXPECT_EQ(dlg->FormWidth(), 364);
  EXPECT_EQ(dlg->FormHeight(), 338);
  EXPECT_EQ(dlg->FormWindowState(), wsNormal);
}

TEST_F(FolderBrowse, CancelAndEscapeKeepTheSelectedFolderButCopyTheSize) {
  Preselect("C:\\Data\\A");
  dlg->SetFormWidth(500);
  EXPECT_FALSE(Run("select ScShellTree1 | " + Node(kC + "\\Data\\B") + "\nclick CancelBtn\n"));
  EXPECT_EQ(dlg->SelectedFolder()->Path(), "C:\\Data\\A");
  EXPECT_EQ(dlg->FormWidth(), 500);
  EXPECT_EQ(dlg->FormHeight(), 340);  // a sized window keeps the 366 x 340 minimum
  // Escape goes to the Cancel button.
  EXPECT_FALSE(Run(
      "", [](TScFrmFolderBrowseDlg* f) { EXPECT_EQ(f->Perform(CM_DIALOGKEY, VK_ESCAPE, 0), 1); }));
  EXPECT_EQ(dlg->SelectedFolder()->Path(), "C:\\Data\\A");
}

TEST_F(FolderBrowse, OkWithoutANewChoiceKeepsThePreselectedFolder) {
  Preselect("C:\\Data\\A");
  std::string shownSelection;
  EXPECT_TRUE(Run("click OkBtn\n", [&](TScFrmFolderBrowseDlg* f) {
    shownSelection = f->ScShellTree1->SelectedPath();
  }));
  EXPECT_EQ(shownSelection, "C:\\Data\\A");
  EXPECT_EQ(dlg->SelectedFolder()->Path(), "C:\\Data\\A");
}

TEST_F(FolderBrowse, DefaultOptionsLayOutIconsAndRightAlignedButtons) {
  EXPECT_EQ(dlg->Options(), 0x2C2u);
  EXPECT_EQ(dlg->Title(), "");
  Run("click CancelBtn\n", [](TScFrmFolderBrowseDlg* f) {
    EXPECT_EQ(f->Caption(), "Parcourir à la recherche d'un dossier");
    EXPECT_EQ(f->ClientWidth(), 358);
    EXPECT_EQ(f->ClientHeight(), 313);
    EXPECT_EQ(f->Font()->Name(), "MS Sans Serif");
    EXPECT_FALSE(f->CreateBtn->Visible());
    EXPECT_FALSE(f->DeleteBtn->Visible());
    EXPECT_TRUE(f->CreateNewFolderBtn->Visible());
    EXPECT_TRUE(f->DeleteFolderBtn->Visible());
    const int right = f->ClientWidth();
    EXPECT_EQ(f->CancelBtn->Left() + f->CancelBtn->Width(), right - 16);
    EXPECT_EQ(f->OkBtn->Left() + f->OkBtn->Width(), f->CancelBtn->Left() - 4);
    EXPECT_EQ(f->DeleteFolderBtn->Left() + f->DeleteFolderBtn->Width(), right - 16);
    EXPECT_EQ(f->CreateNewFolderBtn->Left() + f->CreateNewFolderBtn->Width(),
              f->DeleteFolderBtn->Left() - 8);
    EXPECT_EQ(f->StatusTxt->Left() + f->StatusTxt->Width(), f->CreateNewFolderBtn->Left() - 4);
    EXPECT_EQ(f->ScShellTree1->Top(), f->StatusTxt->Top() + f->StatusTxt->Height() + 8);
    EXPECT_EQ(f->ScShellTree1->Top() + f->ScShellTree1->Height(), f->ButtonPanel->Top() - 8);
    // French texts in place of the stored English ones; the tree shows its root.
    EXPECT_EQ(f->OkBtn->Caption(), "OK");
    EXPECT_EQ(f->CancelBtn->Caption(), "Annuler");
    EXPECT_EQ(f->CreateNewFolderBtn->Hint(), "Créer un dossier|Crée un nouveau dossier vide.");
    EXPECT_EQ(f->DeleteFolderBtn->Hint(), "Supprimer|Supprime les éléments sélectionnés.");
    EXPECT_TRUE(f->ScShellTree1->ShowRoot());
    ASSERT_NE(f->SizeGrip(), nullptr);
    EXPECT_EQ(f->SizeGrip()->Left(), f->ClientWidth() - 13);
    EXPECT_EQ(f->SizeGrip()->Top(), f->ClientHeight() - 13);
  });
}

TEST_F(FolderBrowse, ReadOnlyOptionAsTolvanePlacesIt) {
  dlg->SetTitle("Dossier d'installation :");
  dlg->SetOptions(ScFbOpt(scfbReadOnly));
  dlg->SetStatusText("Choisissez");
  Run("click CancelBtn\n", [](TScFrmFolderBrowseDlg* f) {
    EXPECT_EQ(f->Caption(), "Dossier d'installation :");
    EXPECT_EQ(f->StatusTxt->Caption(), "Choisissez");
    EXPECT_TRUE(f->ScShellTree1->ReadOnly());
    EXPECT_EQ(f->ScShellTree1->Options(),
              ScOpt(scstoAutoFill) | ScOpt(scstoDesignInteractive) | ScOpt(scstoDynamicRefresh));
    for (TControl* c : {static_cast<TControl*>(f->CreateBtn), static_cast<TControl*>(f->DeleteBtn),
                        static_cast<TControl*>(f->CreateNewFolderBtn),
                        static_cast<TControl*>(f->DeleteFolderBtn)})
      EXPECT_FALSE(c->Visible()) << c->Name();
    // No icons: the status line reaches 16 pixels from the right edge.
    EXPECT_EQ(f->StatusTxt->Left() + f->StatusTxt->Width(), f->ClientWidth() - 16);
  });
}

TEST_F(FolderBrowse, TextButtonsCreateAndDeleteFolders) {
  dlg->SetOptions(ScFbOpt(scfbCreateDeleteButtons));
  Preselect("C:\\Data");
  EXPECT_FALSE(Run("click CreateBtn\nclick CancelBtn\n", [](TScFrmFolderBrowseDlg* f) {
    EXPECT_TRUE(f->CreateBtn->Visible());
    EXPECT_EQ(f->OkBtn->Left(), f->ScShellTree1->Left());
    EXPECT_EQ(f->CancelBtn->Left(), f->OkBtn->Left() + f->OkBtn->Width() + 4);
    EXPECT_FALSE(f->ScShellTree1->ReadOnly());
  }));
  EXPECT_TRUE(Exists("C:\\Data\\Nouveau dossier"));

  Preselect("C:\\Data\\B");
  UiScript::Expect("*", "", "yes");  // the shell may ask before deleting
  EXPECT_FALSE(Run("click DeleteBtn\nclick CancelBtn\n"));
  EXPECT_FALSE(Exists("C:\\Data\\B"));
  EXPECT_TRUE(Exists("C:\\Data\\A"));
}

TEST_F(FolderBrowse, RootAndVirtualFoldersDisableDeletingAndCreating) {
  std::vector<std::string> paths;
  dlg->OnSelChange = [&](TObject* sender, LPCITEMIDLIST pidl) {
    EXPECT_EQ(sender, dlg->Form());
    char buf[MAX_PATH] = {};
    paths.push_back(SHGetPathFromIDList(pidl, buf) ? buf : "");
  };
  Run("select ScShellTree1 | " + Node("Bureau\\Poste de travail") + "\nclick CancelBtn\n",
      [](TScFrmFolderBrowseDlg* f) {
        // The root node (the desktop) is selected first: never deleted.
        EXPECT_FALSE(f->DeleteFolderBtn->Enabled());
        EXPECT_FALSE(f->DeleteBtn->Enabled());
      });
  ASSERT_FALSE(paths.empty());
  EXPECT_EQ(paths.back(), "");  // My Computer has no path

  dlg->OnFormShow = [&](TObject*) {
    UiDriver::Select(nullptr, "ScShellTree1", "Bureau\\Poste de travail");
    EXPECT_FALSE(dlg->Form()->CreateNewFolderBtn->Enabled());
    EXPECT_FALSE(dlg->Form()->DeleteFolderBtn->Enabled());
    UiDriver::Select(nullptr, "ScShellTree1", kC);
    EXPECT_TRUE(dlg->Form()->DeleteFolderBtn->Enabled());
    UiDriver::Select(nullptr, "ScShellTree1", kC + "\\Data");
    EXPECT_TRUE(dlg->Form()->CreateNewFolderBtn->Enabled());
    EXPECT_TRUE(dlg->Form()->DeleteFolderBtn->Enabled());
    UiDriver::Click(nullptr, "CancelBtn");
  };
  dlg->Execute();
}

TEST_F(FolderBrowse, SizesAndWindowStateCarryOver) {
  for (int v : {-1, 0}) {
    dlg->SetFormWidth(v);
    dlg->SetFormHeight(v);
    Run("click CancelBtn\n", [](TScFrmFolderBrowseDlg* f) {
      EXPECT_EQ(f->ClientWidth(), 358);
      EXPECT_EQ(f->ClientHeight(), 313);
    });
  }
  dlg->SetFormWidth(600);
  dlg->SetFormHeight(450);
  Run("click CancelBtn\n", [](TScFrmFolderBrowseDlg* f) {
    EXPECT_EQ(f->Width(), 600);
    EXPECT_EQ(f->Height(), 450);
    EXPECT_EQ(f->ScShellTree1->Width(), 600 - 24);
    // The window cannot be made smaller than 366 x 340.
    f->SetBounds(f->Left(), f->Top(), 100, 120);
    EXPECT_EQ(f->Width(), 366);
    EXPECT_EQ(f->Height(), 340);
  });
  EXPECT_EQ(dlg->FormWidth(), 366);
  EXPECT_EQ(dlg->FormHeight(), 340);

  // A maximized window leaves its restored size behind, and its state.
  dlg->SetFormWidth(500);
  dlg->SetFormHeight(400);
  dlg->SetFormWindowState(wsMaximized);
  Run("click OkBtn\n", [](TScFrmFolderBrowseDlg* f) {
    EXPECT_EQ(f->WindowState(), wsMaximized);
    EXPECT_EQ(f->Width(), Screen->Width());
  });
  EXPECT_EQ(dlg->FormWidth(), 500);
  EXPECT_EQ(dlg->FormHeight(), 400);
  EXPECT_EQ(dlg->FormWindowState(), wsMaximized);
}

TEST_F(FolderBrowse, SecondActivationIsRefusedAndTheLiveFormStays) {
  std::string error;
  TScFrmFolderBrowseDlg* live = nullptr;
  int shows = 0, closes = 0, inits = 0;
  dlg->OnInitialized = [&](TObject* s) {
    EXPECT_EQ(s, dlg);
    ++inits;
  };
  dlg->OnFormClose = [&](TObject* s) {
    EXPECT_EQ(s, dlg->Form());
    ++closes;
  };
  dlg->OnFormShow = [&](TObject* s) {
    ++shows;
    live = dlg->Form();
    EXPECT_EQ(s, live);
    try {
      dlg->Execute();
    } catch (const Exception& e) {
      error = e.what();
    }
    EXPECT_EQ(dlg->Form(), live);
  };
  UiScript::Load("click OkBtn\n");
  EXPECT_TRUE(dlg->Execute());
  EXPECT_EQ(error, "TScFolderBrowseDlg form already active");
  EXPECT_EQ(inits, 1);
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(closes, 1);
}

TEST_F(FolderBrowse, AFailureDuringSetUpFreesTheFormAndLeavesTheResults) {
  Preselect("C:\\Data\\A");
  dlg->SetFormWidth(420);
  dlg->OnInitialized = [](TObject*) { throw Exception("boom"); };
  const int forms = Screen->FormCount();
  EXPECT_THROW(dlg->Execute(), Exception);
  EXPECT_EQ(dlg->Form(), nullptr);
  EXPECT_EQ(Screen->FormCount(), forms);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_EQ(dlg->FormWidth(), 420);
  EXPECT_EQ(dlg->FormHeight(), -1);
  EXPECT_EQ(dlg->SelectedFolder()->Path(), "C:\\Data\\A");
}

TEST_F(FolderBrowse, BaseFolderIsCopiedAndRootsTheTree) {
  TScShellLocator drives;
  drives.SetSpecialFolder(17);  // My Computer
  dlg->SetBaseFolder(&drives);
  EXPECT_NE(dlg->BaseFolder(), &drives);
  EXPECT_TRUE(dlg->BaseFolder()->Equals(&drives));
  EXPECT_TRUE(Run("select ScShellTree1 | " + Node("Poste de travail\\Disque local (C:)\\Data") +
                      "\nclick OkBtn\n",
                  [](TScFrmFolderBrowseDlg* f) {
                    EXPECT_EQ(f->ScShellTree1->Items()->GetFirstNode()->Text(), "Poste de travail");
                  }));
  EXPECT_EQ(dlg->SelectedFolder()->Path(), "C:\\Data");
}

}  // namespace
