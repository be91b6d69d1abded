// Registry texts on any bytes: their lines and entries, then the whole import into a
// machine of the fuzzer's own; a text is imported or refused with its line, never a crash.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "platform/system/Machine.h"
#include "platform/system/Registry.h"
#include "platform/system/RegistryTextReader.h"

namespace {
std::filesystem::path g_machine;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char dir[] = "/tmp/wi-fuzz-reg-XXXXXX";
  if (!mkdtemp(dir)) std::abort();
  g_machine = std::filesystem::path(dir) / "pc";
  win::MachineSettings settings;
  settings.simulatedTime = true;
  win::Machine::CreateBare(g_machine, settings);
  win::Machine::Use(g_machine);
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(g_machine.parent_path(), ec);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    std::istringstream in(text);
    win::RegTextLines lines(in);
    win::RegTextParser parser;
    win::RegTextEntry entry;
    std::string line;
    int number = 0;
    while (lines.Next(line, number)) parser.Parse(line, number, entry);
    parser.Finish();
  } catch (const win::RegTextError&) {
    return 0;
  }
  try {
    win::RegImportText(text);
  } catch (const std::runtime_error&) {
  }
  return 0;
}
