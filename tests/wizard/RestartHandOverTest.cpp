// Restart after files in use, the RunOnce registration, the hand-over to the next
// installer, the "R" start and printing the report.
#include "WizardTestSupport.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/WindowPainter.h"
#include "platform/forms/graphics/Printers.h"
#include "platform/system/Shutdown.h"
#include "toolkit/InstallTools2.h"
#include "wizard/ReportPrinting.h"

namespace wzt {
namespace {

using Lines = std::vector<std::string>;

// Programs started with that file name (the run-time installer may be started too).
std::vector<win::StartedProgram> Started(const std::string& name) {
  std::vector<win::StartedProgram> out;
  for (auto& p : win::StartedPrograms())
    if (p.path.size() >= name.size() &&
        win::SameText(p.path.substr(p.path.size() - name.size()), name))
      out.push_back(p);
  return out;
}

const char* const kRebootQuestion =
    "Des fichiers actuellement utilisés par le système doivent être mis à jour, il est "
    "nécessaire de redémarrer le système pour celà. Voulez-vous redémarrer le système "
    "maintenant ?";
const char* const kContinueLater =
    "L'installation se poursuivra lorsque vous aurez redémarré l'ordinateur.";

// Windows NT 4.0 with its msvcrt.dll in use, and a next installer named by the plan.
class Nt4Test : public WizardTest {
 protected:
  explicit Nt4Test(win::MachineSettings s = OsSettings(win::OsVersion::NT4))
      : WizardTest(std::move(s)) {}
  void SetUp() override {
    MakeMedia({}, folder_);
    WritePlan("NextInstaller=Suite\\Setup.exe\r\n");
    Put(ProgramDir() + "Files\\Suite\\Setup.exe", "MZ a Windows program");
    win::Machine::Current().LockFile(Host(ReadSystemDir() + "\\msvcrt.dll"));
    // The client is there: the item steps stay short.
    Put(ReadSystemDir() + "\\GDS32.DLL", "present");
  }
  std::string folder_;
};

TEST_F(Nt4Test, YesRegistersTheWizardAndRestarts) {
  Expect("Avertissement", kRebootQuestion, "Oui");
  RunType("rbClient");
  EXPECT_EQ(Report().front(), "Démarrage de l'installation...");
  EXPECT_EQ(Report().back(), "Fin de l'installation.");
  bool found = false;
  EXPECT_EQ(RunOnceValue(&found), "\"D:\\Install.exe\" R");
  EXPECT_TRUE(found);
  auto restart = win::PendingRestart();
  ASSERT_TRUE(restart.has_value());
  EXPECT_EQ(restart->flags, win::EWX_REBOOT);
  EXPECT_EQ(restart->reason, 0x80040002u);
  EXPECT_FALSE(frmMain->RunNextOnClose);
  // Back in the loop, the session ends: the wizard closes; the hand-over waits for the run
  // after the restart.
  UiDriver::RunUntilIdle();
  EXPECT_TRUE(Application->Terminated());
  EXPECT_TRUE(Started("Setup.exe").empty());
  auto journal = win::Machine::Current().ReadJournal();
  EXPECT_NE(journal.back().text.find("end of the session"), std::string::npos);
}

TEST_F(Nt4Test, IgnoreLetsNextStartTheNextInstaller) {
  Expect("Avertissement", kRebootQuestion, "Ignorer");
  RunType("rbClient");
  EXPECT_FALSE(win::PendingRestart().has_value());
  bool found = true;
  RunOnceValue(&found);
  EXPECT_FALSE(found);
  EXPECT_TRUE(frmMain->RunNextOnClose);
  EXPECT_EQ(ButtonState().nextCaption, "Suivant >");
  Next();
  EXPECT_TRUE(Application->Terminated());
  auto started = Started("Setup.exe");
  ASSERT_EQ(started.size(), 1u);
  EXPECT_TRUE(win::SameText(started[0].path, "D:\\Files\\Suite\\Setup.exe"));
  EXPECT_EQ(started[0].parameters, "A");
  EXPECT_EQ(started[0].show, win::SW_SHOWNORMAL);
}

TEST_F(Nt4Test, NoPromisesToContinueAndRegistersItWithoutRestarting) {
  Expect("Avertissement", kRebootQuestion, "Non");
  Expect("Avertissement", kContinueLater, "OK");
  RunType("rbClient");
  EXPECT_FALSE(win::PendingRestart().has_value());
  EXPECT_EQ(RunOnceValue(), "\"D:\\Install.exe\" R");
  EXPECT_FALSE(frmMain->RunNextOnClose);
  Next();
  EXPECT_TRUE(Application->Terminated());
  EXPECT_TRUE(Started("Setup.exe").empty());
}

TEST_F(Nt4Test, NoWithoutNextInstallerOnlyCloses) {
  RemovePlan();
  Expect("Avertissement", kRebootQuestion, "Non");
  RunType("rbClient");
  bool found = true;
  RunOnceValue(&found);
  EXPECT_FALSE(found);
  EXPECT_EQ(ButtonState().nextCaption, "Quitter");
}

TEST_F(Nt4Test, SystemLibraryFailureEndsTheRunWithoutItemLines) {
  std::filesystem::remove(Host("D:\\Files\\Base\\shfolder.dll"));
  UiScript::Expect("Erreur", "shfolder.dll", "OK");
  RunType("rbClient");
  EXPECT_EQ(Report(), (Lines{"Démarrage de l'installation...", "Fin de l'installation."}));
  EXPECT_FALSE(frmMain->RunNextOnClose);
  // Next reads "Suivant >" (a next installer is named) but starts nothing.
  EXPECT_EQ(ButtonState().nextCaption, "Suivant >");
  Next();
  EXPECT_TRUE(Started("Setup.exe").empty());
}

class Nt4BlankFolderTest : public Nt4Test {
 protected:
  Nt4BlankFolderTest() {
    folder_ = "Installation MARQETO";
    SetProgram("D:\\Installation MARQETO\\Install.exe");
  }
};

TEST_F(Nt4BlankFolderTest, RunOnceValueQuotesAPathWithBlanks) {
  Expect("Avertissement", kRebootQuestion, "Oui");
  RunType("rbClient");
  EXPECT_EQ(RunOnceValue(), "\"D:\\Installation MARQETO\\Install.exe\" R");
  // The command line Windows will run names this program and passes "R".
  auto args = win::SplitCommandLine(RunOnceValue());
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[0], "D:\\Installation MARQETO\\Install.exe");
  EXPECT_EQ(args[1], "R");
}

TEST_F(Nt4Test, RestartThatCannotRegisterShowsTheSystemErrorAndDoesNotRestart) {
  // The RunOnce key is opened, never created: without it the restart cannot be arranged.
  ASSERT_EQ(win::RegDeleteKey(win::HKEY_LOCAL_MACHINE, kRunOnceKey), 0);
  Expect("Avertissement", kRebootQuestion, "Oui");
  UiScript::Expect("Erreur", "Erreur système.  Code : 2.", "OK");
  RunType("rbClient");
  EXPECT_FALSE(win::PendingRestart().has_value());
  EXPECT_FALSE(frmMain->RunNextOnClose);
  EXPECT_EQ(Report().back(), "Fin de l'installation.");
}

// --- Files in use outside the NT 4.0 system-library step ----------------------------------

class XpInUseTest : public WizardTest {
 protected:
  void SetUp() override {
    media::MediaOptions o;
    o.fileVersions["msvcrt.dll"] = "9.0.0.0";  // newer than the PC's own copy
    MakeMedia(o);
    win::Machine::Current().LockFile(Host(ReadSystemDir() + "\\msvcrt.dll"));
  }
};

TEST_F(XpInUseTest, ClientInstallationWithALibraryInUseOffersTheRestart) {
  Expect("Avertissement", kRebootQuestion, "Ignorer");
  RunType("rbClient");
  EXPECT_EQ(Report()[2], "Client Firebird installé.");
  EXPECT_TRUE(frmMain->RunNextOnClose);
}

class Win98InUseTest : public WizardTest {
 protected:
  Win98InUseTest() : WizardTest(OsSettings(win::OsVersion::Win98)) {}
  void SetUp() override {
    // The PC has an older PDF module, in use by some program.
    MakeMedia();
    std::filesystem::copy_file(Host("D:\\Files\\Base\\wPDF200A.dll"),
                               Host(ReadSystemDir() + "\\wPDF200A.dll"));
    media::MediaOptions o;
    o.fileVersions["wPDF200A.dll"] = "3.0.0.0";
    MakeMedia(o);
    win::Machine::Current().LockFile(Host(ReadSystemDir() + "\\wPDF200A.dll"));
    Put(ReadSystemDir() + "\\GDS32.DLL", "present");
  }
};

TEST_F(Win98InUseTest, PdfModuleInUseLeadsToARestartWithoutPrivileges) {
  Expect("Avertissement", kRebootQuestion, "Oui");
  RunType("rbClient");
  EXPECT_EQ(Report().back(), "Fin de l'installation.");
  EXPECT_EQ(RunOnceValue(), "\"D:\\Install.exe\" R");
  auto restart = win::PendingRestart();
  ASSERT_TRUE(restart.has_value());
  EXPECT_EQ(restart->flags, win::EWX_REBOOT);
  // Windows 98 replaces the module from WININIT.INI at its next start.
  std::string wininit;
  ASSERT_TRUE(win::ReadWholeFile(TWindowsInstaller::GetWindowsDir() + "WININIT.INI", wininit));
  EXPECT_NE(wininit.find("[rename]"), std::string::npos);
}

// --- Hand-over on a plain XP PC --------------------------------------------------------------

class HandOverTest : public WizardTest {
 protected:
  void SetUp() override {
    MakeMedia();
    Put(ReadSystemDir() + "\\GDS32.DLL", "present");
  }
};

TEST_F(HandOverTest, NextStartsTheNextInstallerWithAAfterReleasingTheMarker) {
  WritePlan("NextInstaller=Suite\\Setup.exe\r\n");
  Put("D:\\Files\\Suite\\Setup.exe", "MZ a Windows program");
  ASSERT_FALSE(AlreadyRunning());
  RunType("rbClient");
  EXPECT_EQ(ButtonState().nextCaption, "Suivant >");
  Next();
  EXPECT_TRUE(Application->Terminated());
  auto started = win::StartedPrograms();
  ASSERT_FALSE(started.empty());
  EXPECT_TRUE(win::SameText(started.back().path, "D:\\Files\\Suite\\Setup.exe"));
  EXPECT_EQ(started.back().parameters, "A");
  // The next installer finds no running wizard.
  win::HANDLE h = win::CreateSemaphore(nullptr, 0, 1, kInstanceTokenName);
  EXPECT_EQ(win::GetLastError(), 0u);
  win::CloseHandle(h);
}

TEST_F(HandOverTest, MissingNextInstallerShowsTheStartErrorAndStillCloses) {
  WritePlan("NextInstaller=Missing.exe\r\n");
  RunType("rbClient");
  Expect("Erreur",
         "Démarrage du programme D:\\Files\\Missing.exe\r\n\r\nThe specified file was "
         "not found.",
         "OK");
  Next();
  EXPECT_TRUE(Application->Terminated());
  EXPECT_TRUE(Started("Missing.exe").empty());
}

TEST_F(HandOverTest, KeyAloneOpensTheMediaFolder) {
  WritePlan("NextInstaller=\r\n");
  RunType("rbClient");
  EXPECT_EQ(ButtonState().nextCaption, "Suivant >");
  Next();
  EXPECT_TRUE(Application->Terminated());
}

TEST_F(HandOverTest, RStartOpensOnTheEndStepAndRunsAtOnce) {
  WritePlan("NextInstaller=Suite\\Setup.exe\r\n");
  Put("D:\\Files\\Suite\\Setup.exe", "MZ a Windows program");
  StartWizard("R");
  EXPECT_EQ(frmMain->CurrentStep(), frmEndInstall);
  EXPECT_EQ(frmMain->History.size(), 2u);
  EXPECT_TRUE(frmMain->Finished);
  // No install type was chosen in this start: only the run's own lines.
  EXPECT_EQ(Report(), (Lines{"Démarrage de l'installation...", "Fin de l'installation."}));
  auto b = ButtonState();
  EXPECT_FALSE(b.back);
  EXPECT_FALSE(b.cancel);
  EXPECT_TRUE(b.next);
  EXPECT_EQ(b.nextCaption, "Suivant >");
  Next();
  EXPECT_EQ(win::StartedPrograms().back().parameters, "A");
}

TEST_F(HandOverTest, ClicksQueuedBeforeTheRunAreIgnoredByIt) {
  StartWizard();
  Next();
  Check("rbClient");
  UiDriver::RunUntilIdle();
  // A user who clicks Next twice, then Back and Cancel: the clicks wait in the queue
  // while the first Next starts the run.
  for (TButton* b : {frmMain->ButtonNext, frmMain->ButtonPrev, frmMain->ButtonCancel})
    win::PostMessage(b->Handle(), win::BM_CLICK, 0, 0);
  frmMain->ActionNext->Execute();
  UiDriver::RunUntilIdle();
  EXPECT_FALSE(Application->Terminated());
  EXPECT_EQ(frmMain->CurrentStep(), frmEndInstall);
  EXPECT_EQ(Report().back(), "Fin de l'installation.");
  EXPECT_TRUE(UiScript::Dialogs().empty());  // no cancel question either
}

TEST_F(HandOverTest, BackAndCancelAreIgnoredOnceTheRunBegan) {
  RunType("rbClient");
  size_t lines = Report().size();
  frmMain->ActionBackExecute(nullptr);
  frmMain->ActionAnnulerExecute(nullptr);  // no question: the run is over
  EXPECT_EQ(frmMain->CurrentStep(), frmEndInstall);
  EXPECT_EQ(Report().size(), lines);
  EXPECT_FALSE(Application->Terminated());
}

// --- Printing -----------------------------------------------------------------------------

class PrintTest : public HandOverTest {
 protected:
  void SetUp() override {
    HandOverTest::SetUp();
    InstallReportPrinter();
  }
  std::vector<std::filesystem::path> Jobs() {
    std::vector<std::filesystem::path> out;
    if (std::filesystem::exists(PrintedFolder()))
      for (auto& e : std::filesystem::directory_iterator(PrintedFolder())) out.push_back(e.path());
    return out;
  }
};

// The PDF's text is in the Windows code page.
std::string Latin1(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    auto c = static_cast<unsigned char>(utf8[i]);
    if (c == 0xC3 && i + 1 < utf8.size())
      out += char(0x40 + static_cast<unsigned char>(utf8[++i]));
    else
      out += char(c);
  }
  return out;
}

TEST_F(PrintTest, CancelPrintsNothingOkPrintsOneJobWithTheReport) {
  RunType("rbClient");
  UiScript::ExpectPrinterSetup(false);
  Click("SpeedButtonPrint");
  EXPECT_TRUE(Jobs().empty());
  UiScript::ExpectPrinterSetup(true);
  Click("SpeedButtonPrint");
  auto jobs = Jobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].filename(), "Update report.pdf");
  std::ifstream in(jobs[0], std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  std::string pdf = ss.str();
  EXPECT_NE(pdf.find("/Title (Update report)"), std::string::npos);
  for (const auto& line : Report()) {
    if (line.empty()) continue;
    std::string text = Latin1(line);
    EXPECT_NE(pdf.find("(" + text + ") Tj"), std::string::npos) << line;
  }
}

// The print button as a person finds it: a printer drawn on the report's button bar; a
// mouse click on that drawing prints; the disabled button shows its engraved look.
TEST_F(PrintTest, ThePrintButtonShowsAPrinterAndPrintsWhenClickedThere) {
  RunType("rbClient");
  win::Surface shot;
  WindowPainter::PaintClient(frmMain, shot);
  // Where the end step's button bar lies in the frame's picture.
  TSpeedButton* button = frmEndInstall->SpeedButtonPrint;
  win::POINT at{button->Left(), button->Top()};
  for (TControl* p = button->Parent(); p && p != frmMain; p = p->Parent())
    at.x += p->Left(), at.y += p->Top();
  const std::uint32_t back = shot.Row(at.y + 1)[at.x + 1];
  int drawn = 0, dark = 0;
  for (int y = 0; y < button->Height(); ++y)
    for (int x = 0; x < button->Width(); ++x) {
      std::uint32_t p = shot.Row(at.y + y)[at.x + x];
      drawn += p != back;
      dark += p == 0x000000;
    }
  EXPECT_GT(drawn, 80) << "the printer is visible";
  EXPECT_GT(dark, 20) << "its outline";
  EXPECT_FALSE(frmEndInstall->PanelButtons->Caption().empty());

  // The mouse pressed and released in the middle of the glyph.
  win::POINT local{};
  TControl* target = WindowPainter::ControlAt(frmMain, at.x + 12, at.y + 12, &local);
  ASSERT_EQ(target, button);
  UiScript::ExpectPrinterSetup(true);
  const win::LPARAM lp = win::MAKELPARAM(win::WORD(local.x), win::WORD(local.y));
  target->Perform(win::WM_LBUTTONDOWN, 0, lp);
  target->Perform(win::WM_LBUTTONUP, 0, lp);
  UiDriver::RunUntilIdle();
  ASSERT_EQ(Jobs().size(), 1u);
  EXPECT_EQ(Jobs()[0].filename(), "Update report.pdf");

  // Disabled: the same outline engraved in grey, no black left.
  button->SetEnabled(false);
  win::Surface greyed;
  WindowPainter::PaintClient(frmMain, greyed);
  int black = 0, grey = 0;
  for (int y = 0; y < button->Height(); ++y)
    for (int x = 0; x < button->Width(); ++x) {
      std::uint32_t p = greyed.Row(at.y + y)[at.x + x];
      black += p == 0x000000;
      grey += p == 0x808080;
    }
  EXPECT_EQ(black, 0);
  EXPECT_GT(grey, 20);
}

}  // namespace
}  // namespace wzt
