// Libraries and special folders, fonts, sockets and the named semaphore.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "platform/system/Files.h"
#include "platform/system/Fonts.h"
#include "platform/system/LastError.h"
#include "platform/system/Libraries.h"
#include "platform/system/Registry.h"
#include "platform/system/Semaphore.h"
#include "platform/system/ShellFolders.h"
#include "platform/system/Sockets.h"
#include "support/TempMachine.h"
#include "support/TestFiles.h"
#include "support/TinyFonts.h"

using namespace win;
namespace fs = std::filesystem;

namespace {

void SetRegString(HKEY root, const std::string& key, const std::string& name,
                  const std::string& value) {
  HKEY h;
  ASSERT_EQ(RegCreateKeyEx(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  RegSetValueEx(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                DWORD(value.size() + 1));
  RegCloseKey(h);
}

using testfonts::TinyTrueType;

}  // namespace

TEST(Libraries, ShellFolderLibraryAndItsFolders) {
  TempMachine pc;
  EXPECT_EQ(LoadLibrary("shfolder.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(LoadLibrary("C:\\Media\\shfolder.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

  testfiles::PutFile(pc.c() / "WINDOWS" / "system32" / "shfolder.dll", "MZ");
  testfiles::PutFile(pc.c() / "Media" / "SHFOLDER.DLL", "MZ");
  HMODULE sys = LoadLibrary("shfolder.dll");
  HMODULE media = LoadLibrary("C:\\Media\\shfolder.dll");
  ASSERT_NE(sys, nullptr);
  ASSERT_NE(media, nullptr);
  EXPECT_NE(sys, media);
  EXPECT_EQ(LoadLibrary("SHFOLDER"), sys);  // same module, counted twice
  char path[MAX_PATH];
  ASSERT_GT(GetModuleFileName(media, path, sizeof path), 0u);
  EXPECT_STREQ(path, "C:\\Media\\SHFOLDER.DLL");
  EXPECT_EQ(GetProcAddress(sys, "NoSuchEntry"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

  auto get = reinterpret_cast<PFN_SHGetFolderPathA>(GetProcAddress(sys, "SHGetFolderPathA"));
  ASSERT_NE(get, nullptr);
  char out[MAX_PATH];
  EXPECT_EQ(get(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, out),
            E_FAIL);  // no value
  SetRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
               "ProgramFilesDir", "C:\\Program Files");
  EXPECT_EQ(get(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, out),
            HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(get(nullptr, CSIDL_PROGRAM_FILES | CSIDL_FLAG_CREATE, nullptr, 0, out), S_OK);
  EXPECT_STREQ(out, "C:\\Program Files");
  EXPECT_TRUE(fs::is_directory(pc.c() / "Program Files"));
  EXPECT_EQ(get(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, out), S_OK);

  EXPECT_EQ(get(nullptr, CSIDL_FONTS, nullptr, 0, out), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(get(nullptr, CSIDL_FONTS | CSIDL_FLAG_CREATE, nullptr, 0, out), S_OK);
  EXPECT_STREQ(out, "C:\\WINDOWS\\Fonts");
  EXPECT_EQ(get(nullptr, 0x7F, nullptr, 0, out), E_INVALIDARG);

  EXPECT_TRUE(FreeLibrary(sys));
  EXPECT_EQ(GetModuleHandle("shfolder.dll"), sys);  // one load left
  EXPECT_TRUE(FreeLibrary(sys));
  EXPECT_TRUE(FreeLibrary(media));
  EXPECT_EQ(GetModuleHandle("shfolder.dll"), nullptr);
  EXPECT_FALSE(FreeLibrary(sys));
}

TEST(Libraries, Shell32ExportsTheFolderFunctionFromWindows2000On) {
  for (auto [os, exported] :
       {std::pair{OsVersion::NT4, false}, std::pair{OsVersion::Win98, false},
        std::pair{OsVersion::Win2000, true}, std::pair{OsVersion::WinXP, true}}) {
    TempMachine pc(OsSettings(os));
    EXPECT_EQ(LoadLibrary("shell32.dll"), nullptr);
    testfiles::PutFile(pc.machine().HostPath(pc.machine().Settings().SystemDir() + "\\shell32.dll"),
                       "");
    HMODULE shell = LoadLibrary("shell32.dll");
    ASSERT_NE(shell, nullptr);
    EXPECT_EQ(GetProcAddress(shell, "SHGetFolderPathA") != nullptr, exported) << OsVersionName(os);
  }
  TempMachine pc;
  testfiles::PutFile(pc.c() / "WINDOWS" / "system32" / "notpe.dll", "text");
  EXPECT_EQ(LoadLibrary("notpe.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
  EXPECT_NE(LoadLibrary("kernel32.dll"), nullptr);  // always there, no file needed
}

TEST(Fonts, AddFontResourceReadsTheFamilyAndJoinsTheScreenList) {
  TempMachine pc;
  testfiles::PutFile(pc.c() / "WINDOWS" / "Fonts" / "TT0646Z_.TTF", TinyTrueType("OCR-B-10 BT"));
  testfiles::PutFile(pc.c() / "WINDOWS" / "Fonts" / "arial.ttf", TinyTrueType("Arial"));
  testfiles::PutFile(pc.c() / "WINDOWS" / "Fonts" / "broken.ttf", "not a font at all");
  SetRegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
               "Arial (TrueType)", "arial.ttf");
  SetRegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
               "Gone Face (TrueType)", "gone.ttf");
  EXPECT_EQ(FontFamilies(), (std::vector<std::string>{"Arial", "Gone Face"}));

  EXPECT_EQ(AddFontResource("C:\\WINDOWS\\Fonts\\broken.ttf"), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
  EXPECT_EQ(AddFontResource("C:\\WINDOWS\\Fonts\\missing.ttf"), 0);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(AddFontResource("C:\\NoFolder\\x.ttf"), 0);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

  EXPECT_EQ(AddFontResource("C:\\WINDOWS\\Fonts\\TT0646Z_.TTF"), 1);
  EXPECT_EQ(FontFamilies(), (std::vector<std::string>{"Arial", "Gone Face", "OCR-B-10 BT"}));
  RecordBroadcast(0x001D, 0, 0);
  ASSERT_EQ(Broadcasts().size(), 1u);
  EXPECT_EQ(Broadcasts()[0].message, 0x001Du);
  bool journaled = false;
  for (auto& e : pc.machine().ReadJournal()) journaled |= e.text == "WM_FONTCHANGE broadcast";
  EXPECT_TRUE(journaled);

  BootFonts();  // the session ended
  EXPECT_EQ(FontFamilies(), (std::vector<std::string>{"Arial", "Gone Face"}));
}

TEST(Sockets, HostAddressesFromTheMachine) {
  TempMachine pc;
  auto lookup = [&](std::optional<std::vector<std::string>> ips) {
    MachineSettings s = pc.machine().Settings();
    s.hostName = "POSTE1";
    s.ipv4 = std::move(ips);
    pc.machine().SaveSettings(s);
    std::vector<std::string> out;
    WSADATA data;
    EXPECT_EQ(WSAStartup(MAKEWORD(1, 0), &data), 0);
    char name[255];
    EXPECT_EQ(win::gethostname(name, sizeof name), 0);
    EXPECT_STREQ(name, "POSTE1");
    hostent* h = win::gethostbyname(name);
    EXPECT_NE(h, nullptr);
    for (int i = 0; h && h->h_addr_list[i]; ++i) {
      in_addr a;
      std::memcpy(&a.S_addr, h->h_addr_list[i], 4);
      out.push_back(win::inet_ntoa(a));
    }
    EXPECT_EQ(WSACleanup(), 0);
    return out;
  };
  EXPECT_EQ(lookup(std::vector<std::string>{}), std::vector<std::string>{});
  EXPECT_EQ(lookup(std::vector<std::string>{"192.168.1.20"}),
            std::vector<std::string>{"192.168.1.20"});
  EXPECT_EQ(lookup(std::vector<std::string>{"10.0.0.5", "172.16.3.4"}),
            (std::vector<std::string>{"10.0.0.5", "172.16.3.4"}));
  for (auto& ip : lookup(std::nullopt))
    EXPECT_NE(ip.rfind("127.", 0), 0u) << ip;  // the real host's

  char name[4];
  EXPECT_EQ(win::gethostname(name, sizeof name), SOCKET_ERROR);  // not started
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(1, 0), &data), 0);
  EXPECT_EQ(win::gethostname(name, sizeof name), SOCKET_ERROR);  // "POSTE1" does not fit
  EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
  EXPECT_EQ(win::gethostbyname("elsewhere.example"), nullptr);
  EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
  WSACleanup();
}

TEST(Sockets, OnlyFourDecimalBytesMakeAnAddress) {
  EXPECT_EQ(win::inet_addr("192.168.1.20"), 0x1401A8C0u);
  EXPECT_EQ(win::inet_addr("0.0.0.255"), 0xFF000000u);
  // A number past 32 bits once wrapped round to a small one (4294967296 read as 0).
  for (const char* bad : {"4294967296.0.0.1", "256.0.0.1", "1.2.3", "1.2.3.4.5", " 1.2.3.4",
                          "1.2.3.4 ", "1. 2.3.4", "+1.2.3.4", "-1.2.3.4", "1..3.4", ""})
    EXPECT_EQ(win::inet_addr(bad), 0xFFFFFFFFu) << bad;
}

TEST(Semaphore, NamedSemaphoreIsSharedAndOutlivesNoProcess) {
  TempMachine pc;
  const char* name = "Installation minimum MARQETO";
  int toParent[2], toChild[2];
  ASSERT_EQ(pipe(toParent), 0);
  ASSERT_EQ(pipe(toChild), 0);
  pc.machine().CloseDatabases();  // the child opens its own connection
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    HANDLE h = CreateSemaphore(nullptr, 0, 1, name);
    char answer = (h && GetLastError() == 0) ? 'F' : 'x';
    (void)!write(toParent[1], &answer, 1);
    (void)!read(toChild[0], &answer, 1);
    _exit(0);  // dies holding the handle
  }
  char answer = 0;
  ASSERT_EQ(read(toParent[0], &answer, 1), 1);
  EXPECT_EQ(answer, 'F');  // the child came first

  HANDLE second = CreateSemaphore(nullptr, 0, 1, name);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(CloseHandle(second));

  (void)!write(toChild[1], "x", 1);
  int status = 0;
  waitpid(child, &status, 0);
  HANDLE again = CreateSemaphore(nullptr, 0, 1, name);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(GetLastError(), 0u);
  HANDLE third = CreateSemaphore(nullptr, 0, 1, "INSTALLATION MINIMUM MARQETO");
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(CloseHandle(third));
  EXPECT_TRUE(CloseHandle(again));
  EXPECT_FALSE(CloseHandle(again));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  HANDLE fresh = CreateSemaphore(nullptr, 0, 1, name);
  EXPECT_EQ(GetLastError(), 0u);  // every holder closed it
  CloseHandle(fresh);

  EXPECT_EQ(CreateSemaphore(nullptr, 2, 1, name), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) close(fd);
}

TEST(Semaphore, AReleasePastTheMaximumIsRefusedHoweverLarge) {
  TempMachine pc;
  for (const char* name : {static_cast<const char*>(nullptr), "Compte de postes"}) {
    HANDLE h = CreateSemaphore(nullptr, 1, 2, name);
    ASSERT_NE(h, nullptr);
    LONG previous = -1;
    // 1 + the largest count wrapped round below the maximum and was taken.
    EXPECT_FALSE(ReleaseSemaphore(h, std::numeric_limits<LONG>::max(), &previous));
    EXPECT_EQ(GetLastError(), ERROR_TOO_MANY_POSTS);
    EXPECT_TRUE(ReleaseSemaphore(h, 1, &previous));
    EXPECT_EQ(previous, 1);
    EXPECT_FALSE(ReleaseSemaphore(h, 1, nullptr));
    CloseHandle(h);
  }
}
