#pragma once
// Every folder and file on a machine's drives, with the files' bytes: two snapshots are
// equal exactly when nothing on the PC's disks was added, removed or changed.
#include <filesystem>
#include <map>
#include <string>

#include "support/TestFiles.h"

namespace testfiles {

using PcSnapshot =
    std::map<std::string, std::string>;  // host path below drives/ -> bytes ("/" for folders)

inline PcSnapshot SnapshotDrives(const std::filesystem::path& machineDir) {
  PcSnapshot out;
  const auto drives = machineDir / "drives";
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(drives, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    std::string rel = std::filesystem::relative(it->path(), drives, ec).generic_string();
    out[rel] = it->is_directory(ec) ? std::string("/") : ReadFile(it->path());
  }
  return out;
}

}  // namespace testfiles
