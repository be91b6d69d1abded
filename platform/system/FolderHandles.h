#pragma once
// Descriptors of the host folders that file calls name their files in, so that a call walks
// one name rather than the whole host path.
//
// A folder is held by the identity (device, inode) that path resolution proved for it: a
// descriptor is taken only for a folder whose identity is known, and checked against it
// when opened, so that a folder moved, removed or replaced since never receives a file
// meant for the path. A held descriptor keeps its folder's inode alive, so no other folder
// can take the same identity while it is held. Few folders are held (the least recently
// used is let go); a descriptor lent to a call stays open until the call is done, whatever
// other threads do meanwhile. Where no descriptor is to be had, the full path serves.
#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/system/Machine.h"

namespace win {

class FolderHandle {
 public:
  // For the host path host, whose folder resolution proved to be (dev, ino); 0 for unknown.
  FolderHandle(const std::string& host, dev_t dev, ino_t ino);
  // For r.host, in the folder Resolve saw.
  explicit FolderHandle(const Machine::Resolved& r)
      : FolderHandle(r.host, r.folderDev, r.folderIno) {}
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;
  ~FolderHandle();

  // What the *at calls take: the folder's descriptor and the last name, or AT_FDCWD and the
  // full host path.
  int dir() const { return dir_; }
  const char* name() const { return name_; }
  bool held() const { return held_ != nullptr; }

  // Descriptors held at the moment (tests).
  static size_t HeldCount();
  // Lets every held descriptor go (tests; those lent to a call close once it is done).
  static void Release();

  struct Held;

 private:
  std::shared_ptr<const Held> held_;
  int dir_;
  const char* name_;
};

}  // namespace win
