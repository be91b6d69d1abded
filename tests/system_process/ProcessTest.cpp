#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/system/CommandLine.h"
#include "platform/system/LastError.h"
#include "platform/system/Leftovers.h"
#include "platform/system/Libraries.h"
#include "platform/system/Process.h"
#include "platform/system/Registry.h"
#include "platform/system/Restart.h"
#include "platform/system/Security.h"
#include "platform/system/Services.h"
#include "platform/system/Shutdown.h"
#include "support/TempMachine.h"

using namespace win;
namespace fs = std::filesystem;

namespace {

void WriteHostFile(const fs::path& p, const std::string& data) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << data;
}

std::string ReadHostFileWhenThere(const fs::path& p) {
  // The native program runs in real time; give it a few seconds.
  for (int i = 0; i < 500 && !fs::exists(p); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int Code(HINSTANCE h) { return int(reinterpret_cast<std::intptr_t>(h)); }

}  // namespace

TEST(CommandLine, RuntimeSplittingRules) {
  EXPECT_EQ(
      SplitCommandLine("\"C:\\Program Files\\x.exe\" a \"b c\"  d\\\\\"e f\" g\\h \"\"\"q\"\"\""),
      (std::vector<std::string>{"C:\\Program Files\\x.exe", "a", "b c", "d\\e f", "g\\h",
                                "\"q\""}));
  EXPECT_EQ(SplitCommandLine("x.exe \\\"lit\\\" \"\""),
            (std::vector<std::string>{"x.exe", "\"lit\"", ""}));
  for (std::string arg : {"plain", "two words", "quote\"inside", "trailing\\", "tail \\\\", ""}) {
    auto back = SplitCommandLine("p.exe " + QuoteArgument(arg));
    ASSERT_EQ(back.size(), 2u) << arg;
    EXPECT_EQ(back[1], arg);
  }
}

TEST(CommandLine, ToolkitParametersAndProgramSearch) {
  TempMachine pc;
  SetProgramPath("D:\\Install.exe");
  SetCommandLine("\"D:\\Install.exe\"   R  \"a b\"c /Q");
  EXPECT_EQ(ParamCount(), 3);
  EXPECT_EQ(ParamStr(0), "D:\\Install.exe");
  EXPECT_EQ(ParamStr(1), "R");
  EXPECT_EQ(ParamStr(2), "a bc");
  EXPECT_EQ(ParamStr(3), "/Q");
  EXPECT_EQ(ParamStr(4), "");
  char path[MAX_PATH];
  EXPECT_EQ(GetModuleFileName(nullptr, path, sizeof path), 14u);
  EXPECT_STREQ(path, "D:\\Install.exe");
  EXPECT_EQ(GetModuleFileName(nullptr, path, 4), 4u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

  WriteHostFile(pc.c() / "Program Files" / "App" / "setup.exe", "MZ");
  auto pa = SplitProgram("C:\\Program Files\\App\\setup.exe R /x");
  EXPECT_EQ(pa.program, "C:\\Program Files\\App\\setup.exe");
  EXPECT_EQ(pa.args, "R /x");
  pa = SplitProgram("C:\\Program Files\\App\\setup R");
  EXPECT_EQ(pa.program, "C:\\Program Files\\App\\setup");
  pa = SplitProgram("C:\\Nowhere\\x.exe -s");
  EXPECT_EQ(pa.program, "C:\\Nowhere\\x.exe");
  SetProgramPath("");
}

TEST(Process, ShellExecuteCodesAndWindowsPrograms) {
  TempMachine pc;
  WriteHostFile(pc.c() / "Media" / "Files" / "Base" / "vbrun60.exe", "MZ\x90");
  WriteHostFile(pc.c() / "Media" / "readme.txt", "hello");
  WriteHostFile(pc.c() / "Media" / "junk.exe", "not a program");

  EXPECT_EQ(
      Code(ShellExecute(nullptr, "open", "C:\\Media\\missing.exe", nullptr, nullptr, SW_SHOW)),
      SE_ERR_FNF);
  EXPECT_EQ(Code(ShellExecute(nullptr, "open", "C:\\NoFolder\\x.exe", nullptr, nullptr, SW_SHOW)),
            SE_ERR_PNF);
  EXPECT_EQ(Code(ShellExecute(nullptr, "open", "C:\\Media\\readme.txt", nullptr, nullptr, SW_SHOW)),
            SE_ERR_NOASSOC);
  EXPECT_EQ(Code(ShellExecute(nullptr, "open", "C:\\Media\\junk.exe", nullptr, nullptr, SW_SHOW)),
            SE_ERR_BADFORMAT);
  EXPECT_EQ(WinExec("C:\\Media\\missing.exe", SW_SHOW), UINT(SE_ERR_FNF));
  EXPECT_TRUE(StartedPrograms().empty());

  EXPECT_GT(Code(ShellExecute(nullptr, "open", "C:\\Media\\Files\\Base\\vbrun60.exe", "/Q", nullptr,
                              SW_SHOWNOACTIVATE)),
            32);
  EXPECT_GT(
      Code(ShellExecute(nullptr, "open", "C:\\Media\\Files", nullptr, nullptr, SW_SHOWNORMAL)), 32);
  // A registered association opens the document with its program.
  HKEY h;
  RegCreateKeyEx(HKEY_CLASSES_ROOT, ".txt", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr);
  RegSetValueEx(h, "", 0, REG_SZ, reinterpret_cast<const BYTE*>("txtfile"), 8);
  RegCloseKey(h);
  RegCreateKeyEx(HKEY_CLASSES_ROOT, "txtfile\\shell\\open\\command", 0, nullptr, 0, KEY_ALL_ACCESS,
                 nullptr, &h, nullptr);
  std::string cmd = "C:\\Media\\Files\\Base\\vbrun60.exe \"%1\"";
  RegSetValueEx(h, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(cmd.c_str()),
                DWORD(cmd.size() + 1));
  RegCloseKey(h);
  EXPECT_GT(
      Code(ShellExecute(nullptr, nullptr, "C:\\Media\\readme.txt", nullptr, nullptr, SW_SHOW)), 32);

  auto started = StartedPrograms();
  ASSERT_EQ(started.size(), 3u);
  EXPECT_EQ(started[0].path, "C:\\Media\\Files\\Base\\vbrun60.exe");
  EXPECT_EQ(started[0].parameters, "/Q");
  EXPECT_EQ(started[0].show, SW_SHOWNOACTIVATE);
  EXPECT_EQ(started[1].path, "C:\\WINDOWS\\explorer.exe");
  EXPECT_EQ(started[1].parameters, "C:\\Media\\Files");
  EXPECT_EQ(started[2].parameters, "\"C:\\Media\\readme.txt\"");
}

TEST(Process, NativeScriptsReallyRun) {
  TempMachine pc;
  fs::path out = pc.dir() / "out.txt";
  WriteHostFile(pc.c() / "Tools" / "next installer.sh",
                "#!/bin/sh\n"
                "{ printf '%s\\n' \"$WINPC\" \"$WI_WINDOWS_PATH\" \"$#\"; for a in \"$@\"; do "
                "printf '[%s]\\n' \"$a\"; done; pwd; } > '" +
                    out.string() + "'\n");
  int code = Code(ShellExecute(nullptr, "open", "C:\\Tools\\next installer.sh", "A \"two words\"",
                               "C:\\", SW_SHOW));
  ASSERT_GT(code, 32);
  std::string text = ReadHostFileWhenThere(out);
  EXPECT_EQ(text, pc.dir().string() + "\nC:\\Tools\\next installer.sh\n2\n[A]\n[two words]\n" +
                      fs::canonical(pc.c()).string() + "\n");
  EXPECT_TRUE(
      StartedPrograms().empty());  // native programs are journaled, not recorded as Windows ones

  auto waited = StartCommandLine("\"C:\\Tools\\next installer.sh\" x", "", SW_SHOW, true);
  EXPECT_TRUE(waited.native);
  EXPECT_EQ(waited.exitCode, 0);
}

TEST(Process, BootRunsRunOnceAndStartsAutomaticServices) {
  TempMachine pc;
  WriteHostFile(pc.c() / "Media" / "Install.exe", "MZ");
  SC_HANDLE scm = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  for (auto [name, start] :
       {std::pair{"Auto", SERVICE_AUTO_START}, std::pair{"Manual", SERVICE_DEMAND_START}}) {
    SC_HANDLE s = CreateService(scm, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                start, SERVICE_ERROR_NORMAL, std::string("C:\\") + name + ".exe",
                                nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(s, nullptr);
    CloseServiceHandle(s);
  }
  CloseServiceHandle(scm);
  HKEY h;
  ASSERT_EQ(
      RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0,
                     nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
      ERROR_SUCCESS);
  std::string cmd = "C:\\Media\\Install.exe R";
  RegSetValueEx(h, "Installation MARQETO", 0, REG_SZ, reinterpret_cast<const BYTE*>(cmd.c_str()),
                DWORD(cmd.size() + 1));
  RegCloseKey(h);

  HANDLE token;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
  TOKEN_PRIVILEGES tp{1, {{{}, SE_PRIVILEGE_ENABLED}}};
  LookupPrivilegeValue(nullptr, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid);
  AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
  CloseHandle(token);
  ASSERT_TRUE(ExitWindowsEx(EWX_REBOOT, 0));

  BootMachine(pc.machine());
  EXPECT_FALSE(PendingRestart().has_value());
  auto services = ListServices();
  ASSERT_EQ(services.size(), 2u);
  EXPECT_EQ(services[0].name, "Auto");
  EXPECT_EQ(services[0].state, SERVICE_RUNNING);
  EXPECT_EQ(services[1].state, SERVICE_STOPPED);
  auto started = StartedPrograms();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].path, "C:\\Media\\Install.exe");
  EXPECT_EQ(started[0].parameters, "R");
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE,
                         "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0, KEY_READ, &h),
            ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueEx(h, "Installation MARQETO", nullptr, nullptr, nullptr, &size),
            ERROR_FILE_NOT_FOUND);
  RegCloseKey(h);

  BootMachine(pc.machine());  // RunOnce ran once
  EXPECT_EQ(StartedPrograms().size(), 1u);
}

// Joining the session leaves a mark in the PC's folder, not a row of its state: a program
// that ended without leaving (killed) is no member, keeps no other program's mark, and its
// mark goes at the next sweep.
TEST(Process, SessionMembersAreTheJoinedProgramsStillRunning) {
  TempMachine pc;
  auto pids = [&] {
    std::vector<int> out;
    for (auto [pid, started] : SessionMembers(pc.machine())) out.push_back(pid);
    return out;
  };
  auto marks = [&] {
    int n = 0;
    for (const auto& e : fs::directory_iterator(pc.machine().Dir()))
      n += e.path().filename().string().find("-session") != std::string::npos;
    return n;
  };
  JoinSession();
  EXPECT_EQ(pids(), std::vector<int>{int(::getpid())});
  pid_t child = ::fork();
  if (child == 0) {
    JoinSession();
    ::_exit(SessionMembers(pc.machine()).size() == 2 ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(pids(), std::vector<int>{int(::getpid())});
  EXPECT_EQ(marks(), 2);
  SweepLeftovers(pc.machine(), false);
  EXPECT_EQ(marks(), 1);
  LeaveSession();
  EXPECT_TRUE(pids().empty());
  EXPECT_EQ(marks(), 0);
}
