#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>

#include "platform/system/LastError.h"
#include "platform/system/PeFile.h"
#include "platform/system/Version.h"
#include "tests/support/TempMachine.h"

namespace fs = std::filesystem;
using namespace win;

namespace {

PeVersionSpec Sample() {
  PeVersionSpec s;
  s.major = 6;
  s.minor = 0;
  s.release = 89;
  s.build = 64;
  s.company = "Société Exemple";
  s.description = "Bibliothèque d'essai";
  s.product = "Produit";
  s.originalName = "ESSAI.DLL";
  return s;
}

void WriteHost(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Every node of a block, visited as VerQueryValue would.
size_t WalkAll(const std::vector<std::uint8_t>& block, const VersionNode& node, int depth = 0) {
  size_t n = 1;
  if (depth > 64) return n;
  for (const VersionNode& c : VersionNodeChildren(block.data(), node)) {
    EXPECT_LE(c.offset + c.length, block.size());
    EXPECT_LE(c.valueOffset + c.valueSize, block.size());
    n += WalkAll(block, c, depth + 1);
  }
  return n;
}

struct Info {
  std::vector<std::uint8_t> data;
  bool ok = false;
  explicit Info(const std::string& path) {
    DWORD handle = 1;
    DWORD size = GetFileVersionInfoSize(path, &handle);
    EXPECT_EQ(handle, 0u);
    if (!size) return;
    data.resize(size);
    ok = GetFileVersionInfo(path, handle, size, data.data()) != 0;
  }
  std::string Text(const std::string& sub) {
    void* p = nullptr;
    UINT len = 0;
    if (!VerQueryValue(data.data(), sub, &p, &len)) return "<none>";
    EXPECT_EQ(std::strlen(static_cast<char*>(p)) + 1, len);
    return static_cast<char*>(p);
  }
  VS_FIXEDFILEINFO Fixed() {
    void* p = nullptr;
    UINT len = 0;
    EXPECT_TRUE(VerQueryValue(data.data(), "\\", &p, &len));
    EXPECT_EQ(len, sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO f{};
    if (p) std::memcpy(&f, p, sizeof f);
    return f;
  }
};

}  // namespace

TEST(PeFile, WritesAValidImageWhoseVersionBlockReadsBack) {
  auto file = BuildPeFile(Sample());
  ASSERT_GE(file.size(), 0x600u);
  EXPECT_EQ(file[0], 'M');
  EXPECT_EQ(std::memcmp(&file[0x80], "PE\0\0", 4), 0);
  std::vector<std::uint8_t> block;
  ASSERT_EQ(ReadPeVersionBlock(file.data(), file.size(), block), PeVersionRead::Found);
  EXPECT_EQ(block, BuildVersionBlock(Sample()));
  VersionNode root;
  ASSERT_TRUE(ParseVersionNode(block.data(), block.size(), 0, root));
  EXPECT_EQ(root.key, "VS_VERSION_INFO");
  EXPECT_EQ(root.valueSize, 52u);
  // root, StringFileInfo, table, 7 strings, VarFileInfo, Translation
  EXPECT_EQ(WalkAll(block, root), 12u);
}

TEST(PeFile, PadsToTheRequestedSizeAndStaysReadable) {
  auto spec = Sample();
  spec.padTo = 100000;
  auto file = BuildPeFile(spec);
  EXPECT_EQ(file.size(), 100000u);
  std::vector<std::uint8_t> block;
  EXPECT_EQ(ReadPeVersionBlock(file.data(), file.size(), block), PeVersionRead::Found);
  spec.padTo = 10;  // smaller than the image: the image is kept whole
  EXPECT_EQ(BuildPeFile(spec).size(), BuildPeFile(Sample()).size());
}

TEST(PeFile, SurvivesTruncationAndDamage) {
  auto good = BuildPeFile(Sample());
  std::vector<std::uint8_t> block;
  // The block sits after the three directories and the data entry of the section.
  const size_t blockEnd = 0x400 + 96 + BuildVersionBlock(Sample()).size();
  for (size_t n = 0; n < good.size(); ++n) {
    std::vector<std::uint8_t> cut(good.data(), good.data() + n);
    auto r = ReadPeVersionBlock(cut.data(), cut.size(), block);
    EXPECT_EQ(r == PeVersionRead::Found, n >= blockEnd) << "truncated at " << n;
  }
  std::mt19937 rng(1234);
  size_t found = 0;
  for (int round = 0; round < 4000; ++round) {
    auto bad = good;
    int flips = 1 + int(rng() % 8);
    for (int i = 0; i < flips; ++i) {
      // Aim most damage at the headers and the resource section, where the offsets are.
      size_t at = (rng() % 3) ? rng() % 0x200 : 0x400 + rng() % (bad.size() - 0x400);
      bad[at] = std::uint8_t(rng());
    }
    block.clear();
    if (ReadPeVersionBlock(bad.data(), bad.size(), block) != PeVersionRead::Found) continue;
    ++found;
    VersionNode root;
    if (ParseVersionNode(block.data(), block.size(), 0, root)) WalkAll(block, root);
    // The query path must cope with any block the reader accepts.
    std::vector<std::uint8_t> buf(block);
    buf.resize(((block.size() + 3) & ~size_t(3)) + 4 + 2 * block.size());
    std::memcpy(&buf[(block.size() + 3) & ~size_t(3)], "UTF8", 4);
    void* p;
    UINT len;
    for (const char* q : {"\\", "\\StringFileInfo\\040C04E4\\CompanyName",
                          "\\VarFileInfo\\Translation", "\\StringFileInfo\\040C04E4\\ProductName"})
      if (VerQueryValue(buf.data(), q, &p, &len)) {
        auto* c = static_cast<std::uint8_t*>(p);
        EXPECT_GE(c, buf.data());
        EXPECT_LE(c + len, buf.data() + buf.size());
      }
  }
  EXPECT_GT(found, 0u);
}

TEST(PeFile, TextsThatDoNotFitAreRefusedAndTheLongestThatFitsReadsBack) {
  auto spec = Sample();
  // 16-bit lengths: 32,000 UTF-16 units of description fit beside the other texts, 33,000
  // do not, nor do 17,000 characters outside the basic plane (two units each).
  spec.description = std::string(32000, 'd');
  std::vector<std::uint8_t> block = BuildVersionBlock(spec);
  VersionNode root;
  ASSERT_TRUE(ParseVersionNode(block.data(), block.size(), 0, root));
  EXPECT_EQ(root.length, block.size());
  EXPECT_EQ(WalkAll(block, root), 12u);
  for (const std::string& text : {std::string(33000, 'd'), [] {
                                    std::string s;
                                    for (int i = 0; i < 17000; ++i) s += "\xF0\x9F\x98\x80";
                                    return s;
                                  }()}) {
    spec.description = text;
    try {
      BuildPeFile(spec);
      ADD_FAILURE() << "built";
    } catch (const PeTextTooLong& e) {
      EXPECT_NE(std::string(e.what()).find("FileDescription"), std::string::npos) << e.what();
    }
  }
}

TEST(FileVersionInfo, AnswersTheFixedInfoAndTheStrings) {
  TempMachine pc;
  WriteHost(pc.c() / "WINDOWS/system32/essai.dll", BuildPeFile(Sample()));
  Info info("c:\\windows\\SYSTEM32\\Essai.dll");
  ASSERT_TRUE(info.ok) << GetLastError();
  auto f = info.Fixed();
  EXPECT_EQ(f.dwSignature, VS_FFI_SIGNATURE);
  EXPECT_EQ(f.dwFileVersionMS, 0x00060000u);
  EXPECT_EQ(f.dwFileVersionLS, (89u << 16) | 64u);
  EXPECT_EQ(f.dwProductVersionMS, f.dwFileVersionMS);
  EXPECT_EQ(f.dwFileType, VFT_DLL);
  EXPECT_EQ(f.dwFileOS, VOS_NT_WINDOWS32);
  EXPECT_EQ(info.Text("\\StringFileInfo\\040C04E4\\CompanyName"), "Société Exemple");
  EXPECT_EQ(info.Text("\\stringfileinfo\\040c04e4\\FILEVERSION"), "6.0.89.64");
  EXPECT_EQ(info.Text("\\StringFileInfo\\040C04E4\\InternalName"), "ESSAI");
  EXPECT_EQ(info.Text("\\StringFileInfo\\040C04E4\\FileDescription"), "Bibliothèque d'essai");
  EXPECT_EQ(info.Text("\\StringFileInfo\\040C04E4\\LegalTrademarks"), "<none>");
  EXPECT_EQ(info.Text("\\StringFileInfo\\040904B0\\CompanyName"), "<none>");
  // Asking twice gives the same text (the converted copy is rewritten in place).
  EXPECT_EQ(info.Text("\\StringFileInfo\\040C04E4\\CompanyName"), "Société Exemple");
  void* p = nullptr;
  UINT len = 0;
  ASSERT_TRUE(VerQueryValue(info.data.data(), "\\VarFileInfo\\Translation", &p, &len));
  ASSERT_EQ(len, 4u);
  auto* t = static_cast<std::uint8_t*>(p);
  EXPECT_EQ(t[0] | t[1] << 8, 0x040C);
  EXPECT_EQ(t[2] | t[3] << 8, 1252);
}

TEST(FileVersionInfo, ProgramsAndEnglishTables) {
  TempMachine pc;
  auto spec = Sample();
  spec.dll = false;
  spec.language = 0x0409;
  spec.codePage = 1200;
  spec.productMajor = 2;
  spec.productMinor = 5;
  spec.originalName = "Setup.exe";
  WriteHost(pc.c() / "Setup.exe", BuildPeFile(spec));
  Info info("C:\\Setup.exe");
  ASSERT_TRUE(info.ok);
  auto f = info.Fixed();
  EXPECT_EQ(f.dwFileType, VFT_APP);
  EXPECT_EQ(f.dwProductVersionMS, 0x00020005u);
  EXPECT_EQ(f.dwProductVersionLS, 0u);
  EXPECT_EQ(info.Text("\\StringFileInfo\\040904B0\\ProductVersion"), "2.5.0.0");
  EXPECT_EQ(info.Text("\\StringFileInfo\\040904B0\\OriginalFilename"), "Setup.exe");
}

TEST(FileVersionInfo, FindsBareLibraryNamesAsTheLoaderDoes) {
  TempMachine pc;
  WriteHost(pc.c() / "WINDOWS/system32/comcat.dll", BuildPeFile(Sample()));
  DWORD h;
  EXPECT_NE(GetFileVersionInfoSize("COMCAT.DLL", &h), 0u);
  EXPECT_EQ(GetFileVersionInfoSize("absent.dll", &h), 0u);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(FileVersionInfo, ReportsEachKindOfFailure) {
  TempMachine pc;
  DWORD h;
  auto sizeOf = [&](const std::string& p) {
    SetLastError(0);
    EXPECT_EQ(GetFileVersionInfoSize(p, &h), 0u) << p;
    return GetLastError();
  };
  EXPECT_EQ(sizeOf("C:\\nothing.dll"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(sizeOf("C:\\no folder\\nothing.dll"), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(sizeOf("C:\\WINDOWS"), ERROR_ACCESS_DENIED);

  std::ofstream(pc.c() / "readme.txt") << "Bonjour\r\n";
  EXPECT_EQ(sizeOf("C:\\readme.txt"), ERROR_BAD_EXE_FORMAT);

  auto file = BuildPeFile(Sample());
  WriteHost(pc.c() / "cut.dll", std::vector<std::uint8_t>(file.begin(), file.begin() + 0x90));
  EXPECT_EQ(sizeOf("C:\\cut.dll"), ERROR_BAD_FORMAT);

  auto noRes = file;
  std::memset(&noRes[0x80 + 24 + 96 + 16], 0, 8);  // empty resource directory entry
  WriteHost(pc.c() / "nores.dll", noRes);
  EXPECT_EQ(sizeOf("C:\\nores.dll"), ERROR_RESOURCE_TYPE_NOT_FOUND);

  auto otherType = file;
  otherType[0x400 + 16] = 3;  // an icon directory instead of a version one
  WriteHost(pc.c() / "icon.dll", otherType);
  EXPECT_EQ(sizeOf("C:\\icon.dll"), ERROR_RESOURCE_TYPE_NOT_FOUND);

  WriteHost(pc.c() / "ok.dll", file);
  DWORD size = GetFileVersionInfoSize("C:\\ok.dll", &h);
  std::vector<std::uint8_t> small(64);
  EXPECT_FALSE(GetFileVersionInfo("C:\\ok.dll", 0, DWORD(small.size()), small.data()));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  std::vector<std::uint8_t> data(size);
  EXPECT_FALSE(GetFileVersionInfo("C:\\absent.dll", 0, size, data.data()));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}
