#pragma once
// Files of the current machine by Windows path, and host files, written and read whole.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/system/Machine.h"

namespace testfiles {

// A host file with its folders.
inline void PutFile(const std::filesystem::path& p, const std::string& text) {
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

// A host file's content; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline std::filesystem::path Host(const std::string& winPath) {
  return win::Machine::Current().HostPath(winPath);
}

inline void Put(const std::string& winPath, const std::string& content) {
  PutFile(Host(winPath), content);
}

inline std::string Read(const std::string& winPath) { return ReadFile(Host(winPath)); }

inline bool Exists(const std::string& winPath) {
  std::error_code ec;
  return std::filesystem::exists(Host(winPath), ec);
}

}  // namespace testfiles
