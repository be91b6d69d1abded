// The `machine` command on PCs whose state.db or registry.db is missing, empty or another
// file, and on a PC that cannot be written: one line naming the file, a non-zero exit, and
// nothing changed on disk; the commands that only read still work on a read-only PC.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <map>
#include <random>

#include "support/MachineCommand.h"

namespace fs = std::filesystem;

namespace {

using machinecmd::ExpectOneLineError;
using machinecmd::Result;

// Every file and folder below dir, with its size and a hash of its bytes.
std::map<std::string, std::string> Everything(const fs::path& dir) {
  std::map<std::string, std::string> out;
  for (auto& e : fs::recursive_directory_iterator(dir)) {
    std::string& seen = out[fs::relative(e.path(), dir).string()];
    if (!e.is_regular_file()) continue;
    const std::string bytes = testfiles::ReadFile(e.path());
    seen = std::to_string(bytes.size()) + " " + std::to_string(std::hash<std::string>{}(bytes));
  }
  return out;
}

// A database of another program: a table of its own, no write-ahead log.
void WriteForeignDatabase(const fs::path& file) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE notes(id INTEGER PRIMARY KEY, text TEXT);", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
}

class StoreFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    root_ = fs::temp_directory_path() / ("wi-store-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(root_);
    pc_ = root_ / "pc";
    ASSERT_EQ(Run({"new", pc_.string()}).rc, 0);
    ASSERT_EQ(Run({"lock", pc_.string(), "C:\\WINDOWS\\system32\\msvcrt.dll"}).rc, 0);
  }
  void TearDown() override {
    std::system(("chmod -R u+w " + machinecmd::Quote(root_.string())).c_str());
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  Result Run(const std::vector<std::string>& args) { return machinecmd::Run(root_, args); }
  // A copy of the PC as no program has it open: without the logs' files.
  fs::path Copy(const std::string& name) {
    fs::path copy = root_ / name;
    fs::remove_all(copy);
    fs::copy(pc_, copy, fs::copy_options::recursive);
    for (const char* f : {"state.db-wal", "state.db-shm", "registry.db-wal", "registry.db-shm"})
      fs::remove(copy / f);
    return copy;
  }
  fs::path root_, pc_;
};

}  // namespace

TEST_F(StoreFailures, AMissingEmptyOrForeignDatabaseIsAnErrorNamingItAndChangesNothing) {
  struct Case {
    const char* file;
    const char* damage;
    const char* problem;
  };
  const Case cases[] = {
      {"state.db", "missing", "the state of the machine is missing"},
      {"state.db", "empty", "the state of the machine is empty"},
      {"state.db", "foreign", "the state of the machine holds no state (no state tables)"},
      {"state.db", "registry.db",
       "the state of the machine is not a state database (it holds the registry of the machine)"},
      {"registry.db", "missing", "the registry of the machine is missing"},
      {"registry.db", "foreign", "the registry of the machine holds no registry"},
      {"registry.db", "state.db",
       "the registry of the machine is not a registry database (it holds the state of the "
       "machine)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.damage);
    const fs::path copy = Copy("copy");
    const fs::path file = copy / c.file;
    const std::string damage = c.damage;
    fs::remove(file);
    if (damage == "empty") testfiles::PutFile(file, "");
    if (damage == "foreign") WriteForeignDatabase(file);
    if (damage.find(".db") != std::string::npos) fs::copy_file(pc_ / damage, file);
    // The sound database's log files may come when it is read, as for any PC in use.
    const std::string other = std::string(c.file) == "state.db" ? "registry.db" : "state.db";
    auto files = [&] {
      auto all = Everything(copy);
      all.erase(other + "-wal");
      all.erase(other + "-shm");
      return all;
    };
    const auto before = files();
    const std::string line = file.string() + ": " + c.problem;
    std::vector<std::vector<std::string>> commands = {{"services", copy.string()},
                                                      {"boot", copy.string()}};
    if (std::string(c.file) == "state.db") {
      commands.push_back({"log", copy.string()});
      commands.push_back({"lock", copy.string(), "C:\\WINDOWS\\system32\\shell32.dll"});
    } else {
      commands.push_back({"reg", copy.string(), "export"});
    }
    for (const auto& command : commands) {
      SCOPED_TRACE(command[0]);
      Result r = Run(command);
      ExpectOneLineError(r, line);
      EXPECT_NE(r.err.find("machine new"), std::string::npos) << r.err;
    }
    EXPECT_EQ(files(), before);
  }
}

// Copied as no program has it open, its logs' files left behind, and made read-only for
// everyone; root would write it all the same, so the commands then run as "nobody".
TEST_F(StoreFailures, AReadOnlyPcIsReadAndItsWritesArePermissionErrors) {
  const Result services = Run({"services", pc_.string()}), log = Run({"log", pc_.string()});
  const Result exported = Run({"reg", pc_.string(), "export"});
  ASSERT_EQ(services.rc + log.rc + exported.rc, 0);
  ASSERT_NE(log.out, "");
  const fs::path ro = Copy("ro");
  testfiles::PutFile(root_ / "in.reg", "REGEDIT4\n[HKLM\\SOFTWARE\\Later]\n\"x\"=\"1\"\n");
  ASSERT_EQ(std::system(("chmod -R a-w " + machinecmd::Quote(ro.string())).c_str()), 0);
  const auto before = Everything(ro);
  // As another user than root, the files' modes are what stops the writes.
  auto runAsOther = [&](const std::vector<std::string>& args) {
    if (::geteuid() != 0) return Run(args);
    std::string cmd = "setpriv --reuid=65534 --regid=65534 --clear-groups " +
                      machinecmd::Quote(WI_BINARY_DIR "/tools/machine/machine");
    for (const auto& a : args) cmd += " " + machinecmd::Quote(a);
    cmd += " >" + machinecmd::Quote((root_ / "out").string()) + " 2>" +
           machinecmd::Quote((root_ / "err").string());
    Result r;
    const int status = std::system(cmd.c_str());
    r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = testfiles::ReadFile(root_ / "out");
    r.err = testfiles::ReadFile(root_ / "err");
    return r;
  };
  Result r = runAsOther({"services", ro.string()});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, services.out);
  r = runAsOther({"log", ro.string()});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, log.out);
  r = runAsOther({"reg", ro.string(), "export"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, exported.out);

  ExpectOneLineError(runAsOther({"lock", ro.string(), "C:\\WINDOWS\\system32\\shell32.dll"}),
                     (ro / "state.db").string() + ": cannot be written (permission denied)");
  ExpectOneLineError(runAsOther({"reg", ro.string(), "import", (root_ / "in.reg").string()}),
                     (ro / "registry.db").string() + ": cannot be written (permission denied)");
  EXPECT_EQ(Everything(ro), before);
}
