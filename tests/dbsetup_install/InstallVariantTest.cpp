// The engine as the wizard builds it: the same installation, but failed copies reach the
// caller as exceptions carrying the message instead of a dialog.
#include "tests/dbsetup_tolvane/DbSetupTestSupport.h"

using namespace dbt;

namespace {

class WizardEngine : public EngineTest {
 protected:
  WizardEngine() { MakeMedia(); }
};

TEST_F(WizardEngine, InstallsTheServerAsTolvaneDoes) {
  EXPECT_FALSE(InstallServer());
  EXPECT_EQ(DialogCount(), 0u);
  EXPECT_EQ(RegString(win::HKEY_LOCAL_MACHINE, kInstancesKey, "DefaultInstance"), kTarget);
  EXPECT_EQ(SharedCount(kTarget + "bin\\fbserver.exe"), 1);
  EXPECT_EQ(Read(ServicesFile()), ServicesWithFirebird());
  EXPECT_TRUE(engine_->InstanceHasServer(kDefaultInstance));
  EXPECT_TRUE(engine_->StartGuardian());
  EXPECT_TRUE(engine_->IsServerRunning());
}

TEST_F(WizardEngine, AMissingMediaFileRaisesItsMessageWithoutADialog) {
  std::filesystem::remove(Host(kSource + "fbclient.dll"));
  try {
    InstallClient();
    FAIL();
  } catch (const EAbort&) {
    FAIL() << "silent abort";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()).rfind(
                  "Ne peut pas copier le fichier :\r\n" + kSource + "fbclient.dll", 0),
              0u)
        << e.what();
  }
  EXPECT_EQ(DialogCount(), 0u);
  EXPECT_FALSE(Exists(kTarget));
}

TEST_F(WizardEngine, IdenticalVersionAbandonsWithTheSameTexts) {
  InstallServer();
  UiScript::Expect("Avertissement",
                   "=Un programme Firebird de version identique est déjà installé.", "ok");
  UiScript::Expect("Information", "=Installation abandonnée.", "ok");
  try {
    InstallServer();
    FAIL();
  } catch (const EAbort& e) {
    EXPECT_STREQ(e.what(), "Opération abandonnée");
  }
}

}  // namespace
