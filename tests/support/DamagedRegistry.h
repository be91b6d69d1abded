#pragma once
// The ways a PC's registry.db gets damaged, applied to a machine folder whose databases are
// closed, with the words the error names each one by.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/TestFiles.h"

namespace damaged {

enum class Damage { Truncated, Garbage, BadHeader, Empty, Missing };

inline const std::vector<Damage>& AllDamages() {
  static const std::vector<Damage> all = {Damage::Truncated, Damage::Garbage, Damage::BadHeader,
                                          Damage::Empty, Damage::Missing};
  return all;
}

inline std::string Name(Damage d) {
  switch (d) {
    case Damage::Truncated:
      return "truncated";
    case Damage::Garbage:
      return "garbage";
    case Damage::BadHeader:
      return "bad header";
    case Damage::Empty:
      return "empty";
    case Damage::Missing:
      return "missing";
  }
  return "?";
}

// What the error line says about the file.
inline std::string Problem(Damage d) {
  switch (d) {
    case Damage::Truncated:
      return "is cut short";
    case Damage::Garbage:
      return "is not a registry database";
    case Damage::BadHeader:
      return "has a damaged header";
    case Damage::Empty:
      return "is empty";
    case Damage::Missing:
      return "is missing";
  }
  return "?";
}

// Damages pc/registry.db (the write-ahead log, if any, goes first: the damage is the file's).
inline void Apply(const std::filesystem::path& pc, Damage d) {
  const auto db = pc / "registry.db";
  for (const char* side : {"-wal", "-shm"}) std::filesystem::remove(db.string() + side);
  std::string bytes = testfiles::ReadFile(db);
  switch (d) {
    case Damage::Truncated:
      // Cut inside the last page but one: neither a whole number of pages nor the size the
      // header gives.
      bytes.resize(bytes.size() > 8192 ? bytes.size() - 4096 - 100 : bytes.size() / 2 + 1);
      break;
    case Damage::Garbage: {
      std::mt19937 rng(7);
      for (auto& c : bytes) c = char(rng());
      break;
    }
    case Damage::BadHeader:
      bytes[16] = 0x03;  // a page size of 768 bytes
      bytes[17] = 0x00;
      break;
    case Damage::Empty:
      bytes.clear();
      break;
    case Damage::Missing:
      std::filesystem::remove(db);
      return;
  }
  std::ofstream(db, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace damaged
