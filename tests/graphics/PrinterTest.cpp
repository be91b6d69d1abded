// A printed job becomes a PDF file that poppler accepts.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/forms/graphics/Printers.h"
#include "platform/system/Machine.h"

using namespace win;

namespace {
std::string Capture(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[512];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  return out;
}
bool Have(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}
}  // namespace

TEST(Printer, JobsBecomePdfFilesInThePrintedFolder) {
  auto dir = std::filesystem::temp_directory_path() / ("wi_print_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  Machine::CreateBare(dir, MachineSettings{});
  Machine::Use(dir);
  EXPECT_EQ(PrintedFolder(), dir / "printed");

  TPrinter p;
  p.SetTitle("Update report");
  p.BeginDoc();
  EXPECT_TRUE(p.Printing());
  TCanvas& c = p.Canvas();
  c.Font().SetName("Arial");
  c.Font().SetSize(10);
  c.TextOut(100, 100, "Installation du serveur Firebird");
  p.NewPage();
  c.TextOut(100, 100, "Fin de l'installation.");
  EXPECT_EQ(p.PageNumber(), 2);
  p.EndDoc();
  EXPECT_FALSE(p.Printing());
  auto file = dir / "printed" / "Update report.pdf";
  ASSERT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(p.LastFile(), file);

  // A second job of the same title keeps the first file.
  p.BeginDoc();
  p.EndDoc();
  EXPECT_TRUE(std::filesystem::exists(dir / "printed" / "Update report (2).pdf"));
  // An aborted job writes nothing.
  p.SetTitle("Aborted");
  p.BeginDoc();
  p.Abort();
  EXPECT_TRUE(p.Aborted());
  EXPECT_FALSE(std::filesystem::exists(dir / "printed" / "Aborted.pdf"));

  if (Have("pdfinfo")) {
    std::string info = Capture("pdfinfo '" + file.string() + "' 2>&1");
    auto at = info.find("Pages:");
    ASSERT_NE(at, std::string::npos) << info;
    EXPECT_EQ(std::stoi(info.substr(at + 6)), 2) << info;
    EXPECT_NE(info.find("Update report"), std::string::npos) << info;
  }
  if (Have("pdftotext")) {
    std::string text = Capture("pdftotext '" + file.string() + "' - 2>&1");
    EXPECT_NE(text.find("Installation du serveur Firebird"), std::string::npos) << text;
    EXPECT_NE(text.find("Fin de l'installation."), std::string::npos) << text;
  }
  std::filesystem::remove_all(dir);
}
