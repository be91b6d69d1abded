// Writes the fuzz targets' seeds (seeds/<Name>/...) with our own code: forms written by the
// toolkit, registry texts as our export and the registry editor write them, PE files of our
// PE writer, item id lists of our shell.
//
//   fuzz_make_seeds DIR      (DIR: fuzz/seeds)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/Streaming.h"
#include "platform/shell/ItemIdList.h"
#include "platform/shell/Ole.h"
#include "platform/shell/ShellFolder.h"
#include "platform/system/Machine.h"
#include "platform/system/PeFile.h"
#include "platform/system/Registry.h"
#include "tests/support/Utf16Files.h"

namespace fs = std::filesystem;

namespace {

void Put(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

void FormSeeds(const fs::path& dir) {
  TForm form(nullptr);
  form.SetName("Essai");
  form.SetCaption("Réglages \xF0\x9F\x98\x80");
  form.SetClientWidth(320);
  auto* panel = new TPanel(&form);
  panel->SetName("Panneau");
  panel->SetParent(&form);
  auto* label = new TLabel(&form);
  label->SetName("Etiquette");
  label->SetParent(panel);
  label->SetCaption("L'été");
  auto* button = new TButton(&form);
  button->SetName("Valider");
  button->SetParent(panel);
  button->SetCaption("&OK");
  Put(dir / "written.form", WriteComponentToText(&form));
  Put(dir / "values.form",
      "object Essai: TForm\n  Caption = 'a'#233'b'#128512#55357#56832 + 'c'\n  Tag = -$7F\n"
      "  Left = 12\n  Font.Height = -13\n  BorderIcons = [biSystemMenu, biMinimize]\n"
      "  object Liste: TListBox\n    Items.Strings = (\n      'un'\n      'deux')\n  end\nend\n");
}

void RegSeeds(const fs::path& dir) {
  const fs::path pc = fs::temp_directory_path() / "wi-fuzz-seeds-pc";
  fs::remove_all(pc);
  win::MachineSettings settings;
  settings.simulatedTime = true;
  win::Machine::CreateBare(pc, settings);
  win::Machine::Use(pc);
  win::RegImportText(
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Editeur]\n@=\"défaut\"\n\"Chemin\"=\"C:\\\\Program "
      "Files\\\\\\\"x\\\"\"\n\"Nombre\"=dword:0000002a\n\"Bin\"=hex:01,02,ff\n"
      "\"Exp\"=hex(2):25,57,49,4e,44,49,52,25,00\n[HKEY_CURRENT_USER\\Software\\Editeur\\Sous]\n"
      "\"a\\\\b\"=\"v\"\n");
  Put(dir / "export.reg", win::RegExportText(""));
  fs::remove_all(pc);
  const std::string v5 =
      "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Éditeur]\n"
      "@=\"défaut \xF0\x9F\x98\x80\"\n\"Nombre\"=dword:0000002a\n"
      "\"Chemin\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,25,\\\n"
      "  00,00,00\n\"Liste\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
      "\"Grand\"=hex(b):01,02,03,04,05,06,07,08\n\"Rien\"=hex(0):\n\"Parti\"=-\n\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Ancien]\n";
  Put(dir / "editor-utf16.reg", testfiles::Utf16File(v5));
  Put(dir / "editor-utf8.reg", "\xEF\xBB\xBF" + v5);
}

void PeSeeds(const fs::path& dir) {
  win::PeVersionSpec dll;
  dll.major = 1, dll.minor = 5, dll.release = 3, dll.build = 4870;
  dll.company = "Éditeur";
  dll.description = "Bibliothèque";
  dll.product = "Produit";
  dll.originalName = "ESSAI.DLL";
  auto bytes = win::BuildPeFile(dll);
  Put(dir / "library.dll", std::string(bytes.begin(), bytes.end()));
  win::PeVersionSpec exe = dll;
  exe.dll = false;
  exe.language = 0x0409;
  exe.codePage = 1200;
  exe.copyright = "(c) 2004";
  exe.originalName = "ESSAI.EXE";
  bytes = win::BuildPeFile(exe);
  Put(dir / "program.exe", std::string(bytes.begin(), bytes.end()));
}

void IdListSeeds(const fs::path& dir) {
  win::pidl::FileItem folder;
  folder.folder = true;
  folder.attributes = 0x10;
  folder.name = "Program Files";
  folder.shortName = "PROGRA~1";
  win::pidl::FileItem file;
  file.size = 1234;
  file.name = "lisez-moi.txt";
  file.shortName = "LISEZ-~1.TXT";
  const std::vector<std::string> items = {win::pidl::RootItem(win::CLSID_MyComputer),
                                          win::pidl::DriveItem('C'),
                                          win::pidl::FileItemBytes(folder)};
  win::LPITEMIDLIST parent = win::pidl::Make(items);
  win::LPITEMIDLIST child = win::pidl::Make({win::pidl::FileItemBytes(file)});
  Put(dir / "list", std::string(reinterpret_cast<const char*>(parent), win::ILGetSize(parent)));
  win::HGLOBAL array = win::MakeIdListArray(parent, {child, child});
  const auto* b = static_cast<const char*>(win::GlobalLock(array));
  Put(dir / "array", std::string(b, win::GlobalSize(array)));
  win::GlobalUnlock(array);
  win::GlobalFree(array);
  win::ILFree(parent);
  win::ILFree(child);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds DIR\n");
    return 2;
  }
  setenv("WI_HEADLESS", "1", 1);
  const fs::path dir = argv[1];
  FormSeeds(dir / "FormText");
  RegSeeds(dir / "RegText");
  PeSeeds(dir / "PeVersion");
  IdListSeeds(dir / "IdList");
  return 0;
}
