// PE files on any bytes: the version block found or refused, then every node of an accepted
// block walked and queried as version.dll's callers query it; never a read outside them.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/system/PeFile.h"
#include "platform/system/Version.h"

namespace {

void Walk(const std::vector<std::uint8_t>& block, const win::VersionNode& node, int depth) {
  if (depth > 16) return;
  for (const win::VersionNode& child : win::VersionNodeChildren(block.data(), node))
    Walk(block, child, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> block;
  if (win::ReadPeVersionBlock(data, size, block) != win::PeVersionRead::Found) return 0;
  win::VersionNode root;
  if (win::ParseVersionNode(block.data(), block.size(), 0, root)) Walk(block, root, 0);
  // Laid out as GetFileVersionInfo hands it over: the block, then room for converted texts.
  const std::size_t aligned = (block.size() + 3) & ~std::size_t(3);
  std::vector<std::uint8_t> info(aligned + 4 + 2 * block.size(), 0);
  std::memcpy(info.data(), block.data(), block.size());
  std::memcpy(info.data() + aligned, "UTF8", 4);
  void* value = nullptr;
  win::UINT len = 0;
  std::string table = "040904B0";
  if (win::VerQueryValue(info.data(), "\\VarFileInfo\\Translation", &value, &len) && len >= 4) {
    const auto* t = static_cast<const std::uint8_t*>(value);
    char buf[9];
    std::snprintf(buf, sizeof buf, "%04X%04X", unsigned(t[0] | t[1] << 8),
                  unsigned(t[2] | t[3] << 8));
    table = buf;
  }
  win::VerQueryValue(info.data(), "\\", &value, &len);
  for (const char* name : {"CompanyName", "FileDescription", "FileVersion", "ProductName"})
    win::VerQueryValue(info.data(), "\\StringFileInfo\\" + table + "\\" + name, &value, &len);
  return 0;
}
