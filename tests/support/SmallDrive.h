#pragma once
// A small file system (a 1 MiB tmpfs) mounted below a machine's folder and linked in as one
// of its drives, for the tests of a full disk. Mounting needs the right to: without it
// mounted() is false and the test skips.
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/system/FolderHandles.h"

class SmallDrive {
 public:
  SmallDrive(const std::filesystem::path& machineDir, char letter) : mount_(machineDir / "small") {
    std::filesystem::create_directories(mount_);
    if (::mount("tmpfs", mount_.c_str(), "tmpfs", 0, "size=1m") != 0) return;
    mounted_ = true;
    std::filesystem::create_directory_symlink(mount_,
                                              machineDir / "drives" / std::string(1, letter));
  }
  // The empty string when it was unmounted as it should be, else why not.
  std::string Unmount() {
    if (!mounted_) return "";
    mounted_ = false;
    // The file calls hold descriptors of the folders they wrote in: let go first, or the
    // file system stays busy.
    win::FolderHandle::Release();
    if (::umount(mount_.c_str()) == 0) return "";
    std::string why = std::strerror(errno);
    ::umount2(mount_.c_str(), MNT_DETACH);
    return "cannot unmount " + mount_.string() + ": " + why;
  }
  ~SmallDrive() { Unmount(); }
  SmallDrive(const SmallDrive&) = delete;
  SmallDrive& operator=(const SmallDrive&) = delete;

  bool mounted() const { return mounted_; }
  // Takes the room that is left.
  void Fill() {
    std::ofstream fill(mount_ / "filler", std::ios::binary);
    std::string block(4096, 'x');
    while (fill.write(block.data(), std::streamsize(block.size()))) {
    }
  }

 private:
  std::filesystem::path mount_;
  bool mounted_ = false;
};
