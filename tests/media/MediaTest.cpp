// The sample media: layout, versions, contents, the font, and the command's errors.
#include <ft2build.h>
#include <gtest/gtest.h>
#include FT_FREETYPE_H

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/system/PeFile.h"
#include "tools/media/SampleMedia.h"

namespace fs = std::filesystem;

namespace {

class MediaDir : public ::testing::Test {
 protected:
  MediaDir() {
    std::random_device rd;
    dir_ = fs::temp_directory_path() / ("wi-media-" + std::to_string(rd()) + std::to_string(rd()));
  }
  ~MediaDir() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  fs::path dir_;
};

// The file version of a PE file, from its VS_FIXEDFILEINFO.
std::string PeVersion(const std::string& data) {
  std::vector<std::uint8_t> block;
  auto r = win::ReadPeVersionBlock(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(),
                                   block);
  if (r != win::PeVersionRead::Found) return "none";
  win::VersionNode root;
  if (!win::ParseVersionNode(block.data(), block.size(), 0, root) || root.valueSize < 52)
    return "bad";
  std::uint32_t ms, ls;
  std::memcpy(&ms, block.data() + root.valueOffset + 8, 4);
  std::memcpy(&ls, block.data() + root.valueOffset + 12, 4);
  return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
         std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF);
}

TEST_F(MediaDir, BothProgramsGetTheirCompleteSets) {
  media::CreateSampleMedia(dir_, {});
  for (const auto& name : media::FirebirdFileNames()) {
    EXPECT_GT(fs::file_size(dir_ / "Files" / name), 0u) << name;
    EXPECT_TRUE(fs::exists(dir_ / "Files" / "Base" / "Firebird15" / "Files" / name)) << name;
  }
  for (const char* name :
       {"vbrun60.exe", "wPDF200A.dll", "TT0646Z_.TTF", "shfolder.dll", "msvcrt.dll", "msvcp60.dll"})
    EXPECT_TRUE(fs::exists(dir_ / "Files" / "Base" / name)) << name;
  std::string plan = Read(dir_ / "Files" / "install_base.cfg");
  EXPECT_NE(plan.find("Step="), std::string::npos);
  EXPECT_EQ(plan.find("NextInstaller="), std::string::npos);
}

TEST_F(MediaDir, ProgramsCarryTheChosenVersions) {
  media::MediaOptions o;
  o.version = "1.5.2.4731";
  o.fileVersions["FBGUARD.EXE"] = "1.5.4.4910";
  o.tolvane = true;
  o.install = false;
  media::CreateSampleMedia(dir_, o);
  EXPECT_EQ(PeVersion(Read(dir_ / "Files" / "fbserver.exe")), "1.5.2.4731");
  EXPECT_EQ(PeVersion(Read(dir_ / "Files" / "gds32.dll")), "1.5.2.4731");
  EXPECT_EQ(PeVersion(Read(dir_ / "Files" / "fbguard.exe")), "1.5.4.4910");
  EXPECT_EQ(PeVersion(Read(dir_ / "Files" / "msvcrt.dll")), "6.1.9844.0");
  EXPECT_FALSE(fs::exists(dir_ / "Files" / "Base"));
  // Text files are Windows text; the data files are not empty.
  std::string conf = Read(dir_ / "Files" / "firebird.conf");
  EXPECT_NE(conf.find("#RemoteServicePort = 3050\r\n"), std::string::npos);
  size_t lf = 0, crlf = 0;
  for (size_t i = 0; i < conf.size(); ++i)
    if (conf[i] == '\n') ++lf, crlf += i > 0 && conf[i - 1] == '\r';
  EXPECT_EQ(lf, crlf);
  EXPECT_GE(fs::file_size(dir_ / "Files" / "security.fdb"), 4096u);
  EXPECT_NE(Read(dir_ / "Files" / "security.fdb").find("SYSDBA"), std::string::npos);
  EXPECT_EQ(PeVersion(Read(dir_ / "Files" / "firebird.conf")), "none");
}

TEST_F(MediaDir, BadVersionsAreRefusedBeforeAnythingIsWritten) {
  media::MediaOptions o;
  o.fileVersions["fbserver.exe"] = "1.5.x";
  EXPECT_THROW(media::CreateSampleMedia(dir_, o), media::MediaError);
  o.fileVersions = {{"firebird.conf", "1.0.0.0"}};
  EXPECT_THROW(media::CreateSampleMedia(dir_, o), media::MediaError);
  o.fileVersions.clear();
  o.version = "1.5.3.70000";
  EXPECT_THROW(media::CreateSampleMedia(dir_, o), media::MediaError);
  EXPECT_FALSE(fs::exists(dir_));
  EXPECT_EQ(media::ParseFileVersion("1.5.3.4870").Text(), "1.5.3.4870");
  EXPECT_THROW(media::ParseFileVersion("1.5.3"), media::MediaError);
  EXPECT_THROW(media::ParseFileVersion("1.5.3.4.1"), media::MediaError);
}

TEST_F(MediaDir, CommandLine) {
  std::ostringstream out, err;
  EXPECT_EQ(
      media::RunMediaCommand({dir_.string(), "--tolvane", "--file", "gbak.exe=1.5.0.1"}, out, err),
      0);
  EXPECT_EQ(PeVersion(Read(dir_ / "Files" / "gbak.exe")), "1.5.0.1");
  EXPECT_TRUE(err.str().empty());

  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{},
                                             {dir_.string(), "--version"},
                                             {dir_.string(), "--version", "abc"},
                                             {dir_.string(), "--file", "gbak.exe"},
                                             {dir_.string(), "--frobnicate"},
                                             {dir_.string(), "other"}}) {
    std::ostringstream o2, e2;
    EXPECT_EQ(media::RunMediaCommand(bad, o2, e2), 1);
    std::string line = e2.str();
    EXPECT_EQ(line.rfind("media: ", 0), 0u) << line;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
  }
}

TEST_F(MediaDir, UnwritableFolderIsOneClearError) {
  fs::create_directories(dir_);
  std::ofstream(dir_ / "Files") << "a file where the folder should be";
  std::ostringstream out, err;
  EXPECT_EQ(media::RunMediaCommand({dir_.string()}, out, err), 1);
  EXPECT_NE(err.str().find("Files"), std::string::npos) << err.str();
}

std::uint32_t SfntSum(const std::vector<std::uint8_t>& b) {
  std::uint32_t sum = 0;
  for (size_t i = 0; i + 3 < b.size(); i += 4)
    sum += std::uint32_t(b[i]) << 24 | std::uint32_t(b[i + 1]) << 16 |
           std::uint32_t(b[i + 2]) << 8 | b[i + 3];
  return sum;
}

TEST(SampleFont, IsAValidTrueTypeFontNamedOcrB) {
  auto font = media::BuildOcrFont();
  ASSERT_EQ(font.size() % 4, 0u);
  EXPECT_EQ(SfntSum(font), 0xB1B0AFBAu);  // whole-file checksum, as the format wants it

  FT_Library lib;
  ASSERT_EQ(FT_Init_FreeType(&lib), 0);
  FT_Face face;
  ASSERT_EQ(FT_New_Memory_Face(lib, font.data(), FT_Long(font.size()), 0, &face), 0);
  EXPECT_STREQ(face->family_name, "OCR-B-10 BT");
  EXPECT_STREQ(face->style_name, "Regular");
  EXPECT_TRUE(FT_IS_SFNT(face));
  EXPECT_TRUE(FT_IS_FIXED_WIDTH(face));
  ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, 32), 0);
  for (char c : std::string("017ILOT-")) {
    FT_UInt index = FT_Get_Char_Index(face, FT_ULong(c));
    EXPECT_NE(index, 0u) << c;
    ASSERT_EQ(FT_Load_Glyph(face, index, FT_LOAD_RENDER), 0) << c;
    EXPECT_GT(face->glyph->bitmap.width * face->glyph->bitmap.rows, 0u) << c;
  }
  EXPECT_EQ(FT_Get_Char_Index(face, 'Z'), 0u);
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
}

}  // namespace
