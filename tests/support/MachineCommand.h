#pragma once
// Runs the `machine` command as a user would, from a shell, capturing what it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TestFiles.h"

namespace machinecmd {

struct Result {
  int rc = -1;
  std::string out, err;
};

// s as one shell word.
inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Its output goes through the files "out" and "err" in scratch.
inline Result Run(const std::filesystem::path& scratch, const std::vector<std::string>& args) {
  std::string cmd = Quote(WI_BINARY_DIR "/tools/machine/machine");
  for (const auto& a : args) cmd += " " + Quote(a);
  cmd += " >" + Quote((scratch / "out").string()) + " 2>" + Quote((scratch / "err").string());
  Result r;
  int status = std::system(cmd.c_str());
  r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = testfiles::ReadFile(scratch / "out");
  r.err = testfiles::ReadFile(scratch / "err");
  return r;
}

// A failure is one line on stderr, nothing on stdout, and a non-zero exit.
inline void ExpectOneLineError(const Result& r, const std::string& needle) {
  EXPECT_NE(r.rc, 0);
  EXPECT_EQ(r.out, "");
  ASSERT_FALSE(r.err.empty());
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  EXPECT_NE(r.err.find(needle), std::string::npos) << r.err;
}

}  // namespace machinecmd
