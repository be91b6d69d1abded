#pragma once
// The wizard driven in-process: a throw-away PC with sample media on D:, the forms created
// as the program entry creates them, and dialog answers checked at the end of each test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/forms/Forms.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/UiScript.h"
#include "platform/system/CommandLine.h"
#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "platform/system/MachineSetup.h"
#include "platform/system/Process.h"
#include "platform/system/Registry.h"
#include "platform/system/Semaphore.h"
#include "tests/support/TempMachine.h"
#include "tests/support/TestFiles.h"
#include "tools/media/SampleMedia.h"
#include "wizard/InstallForms.h"
#include "wizard/OneInst.h"
#include "wizard/WizardControls.h"
#include "wizard/dmDoInstallUnit.h"
#include "wizard/frmEndInstallUnit.h"
#include "wizard/frmMainUnit.h"
#include "wizard/frmSelectConfigSourceUnit.h"
#include "wizard/frmSelectDriveUnit.h"
#include "wizard/frmSelectItemsUnit.h"
#include "wizard/frmWelcomeUnit.h"

namespace wzt {

// A PC as Windows leaves it after its setup, with simulated time.
class WizardPc : public TempMachine {
 public:
  explicit WizardPc(win::MachineSettings settings)
      : TempMachine(std::move(settings), &win::CreateMachine, "wi-wizard-") {}
};

using testfiles::Exists;
using testfiles::Host;
using testfiles::Put;

inline std::string RegString(win::HKEY root, const std::string& key, const std::string& name,
                             bool* found = nullptr) {
  win::HKEY k = nullptr;
  if (found) *found = false;
  if (win::RegOpenKeyEx(root, key, 0, win::KEY_READ, &k) != 0) return "";
  char buf[2048] = {};
  win::DWORD size = sizeof buf, type = 0;
  bool ok =
      win::RegQueryValueEx(k, name, nullptr, &type, reinterpret_cast<win::BYTE*>(buf), &size) == 0;
  win::RegCloseKey(k);
  if (found) *found = ok;
  return ok ? std::string(buf) : "";
}

inline std::string RunOnceValue(bool* found = nullptr) {
  return RegString(win::HKEY_LOCAL_MACHINE, kRunOnceKey, kRunOnceName, found);
}

class WizardTest : public ::testing::Test {
 protected:
  explicit WizardTest(win::MachineSettings settings = {}) : pc_(std::move(settings)) {
    UiScript::Reset();
  }
  ~WizardTest() override { DestroyWizard(); }
  void TearDown() override {
    auto unused = UiScript::UnusedAnswers();
    EXPECT_TRUE(unused.empty()) << "unused dialog answer: " << unused.front();
  }

  // Sample media below the program's folder (D:\ by default).
  void MakeMedia(const media::MediaOptions& options = {}, const std::string& folder = "") {
    auto root = folder.empty() ? pc_.d() : pc_.d() / folder;
    media::CreateSampleMedia(root, options);
  }
  void WritePlan(const std::string& text) { Put(ProgramDir() + "Files\\install_base.cfg", text); }
  void RemovePlan() { std::filesystem::remove(Host(ProgramDir() + "Files\\install_base.cfg")); }
  std::string ProgramDir() const {
    return programPath_.substr(0, programPath_.find_last_of('\\') + 1);
  }
  void SetProgram(const std::string& path) { programPath_ = path; }

  // The program entry, without the message loop: forms created in its order, then Setup.
  void CreateWizard(const std::string& args = "") {
    win::SetProgramPath(programPath_);
    win::SetCommandLine("\"" + programPath_ + "\"" + (args.empty() ? "" : " " + args));
    Application->Reset();
    Application->SetTitle("Installation minimum MARQETO");
    CreateInstallForms();
    frmMain->Show();
  }
  // Creates the wizard and lets its start timer run.
  void StartWizard(const std::string& args = "") {
    CreateWizard(args);
    UiDriver::Advance(20);
  }
  void DestroyWizard() {
    Application->DestroyComponents();
    Application->Reset();
    frmMain = nullptr;
    dmDoInstall = nullptr;
    frmSelectItems = nullptr;
    frmSelectDrive = nullptr;
    frmSelectConfigSource = nullptr;
    frmEndInstall = nullptr;
    frmWelcome = nullptr;
  }

  // As a user: the program is idle (actions updated) before each click.
  void Click(const std::string& name) {
    UiDriver::RunUntilIdle();
    UiDriver::Click(nullptr, name);
  }
  void Check(const std::string& name) {
    UiDriver::RunUntilIdle();
    UiDriver::Check(nullptr, name);
  }
  void Next() { Click("ActionNext"); }
  // Welcome, then the item step with the given type, then the end step (the run).
  void RunType(const std::string& radio) {
    StartWizard();
    Next();
    Check(radio);
    Next();
  }
  void Expect(const std::string& title, const std::string& message, const std::string& answer) {
    UiScript::Expect(title, "=" + message, answer);
  }

  // What the frame shows of its buttons: enabled state and caption of each.
  struct Buttons {
    bool back, next, cancel;
    std::string nextCaption;
  };
  Buttons ButtonState() {
    frmMain->UpdateButtons();
    return {frmMain->ActionBack->Enabled(), frmMain->ActionNext->Enabled(),
            frmMain->ActionAnnuler->Enabled(), frmMain->ButtonNext->Caption()};
  }
  std::vector<std::string> Report() {
    std::vector<std::string> out;
    TStrings* lines = frmEndInstall->RichEditReport->Lines();
    out.reserve(size_t(lines->Count()));
    for (int i = 0; i < lines->Count(); ++i) out.push_back(lines->Get(i));
    return out;
  }
  std::vector<std::string> DialogMessages() {
    std::vector<std::string> out;
    for (auto& d : UiScript::Dialogs()) out.push_back(d.message);
    return out;
  }

  WizardPc pc_;
  std::string programPath_ = "D:\\Install.exe";
};

}  // namespace wzt
