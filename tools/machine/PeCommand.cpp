// machine pe FILE --version a.b.c.d [--dll] [--size N] [...]: a sample PE file.
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "platform/system/PeFile.h"
#include "tools/machine/MachineCommand.h"

namespace fs = std::filesystem;

namespace {

void ParseVersion(const std::string& text, win::PeVersionSpec& spec) {
  auto notFour = [&] {
    return UsageError("a version is four numbers a.b.c.d, not \"" + text + "\"");
  };
  unsigned v[4];
  const char* at = text.data();
  const char* end = at + text.size();
  for (int i = 0; i < 4; ++i) {
    if (i > 0 && (at == end || *at++ != '.')) throw notFour();
    auto [next, error] = std::from_chars(at, end, v[i]);
    if (next == at) throw notFour();
    if (error == std::errc::result_out_of_range) v[i] = ~0u;  // too large: said below
    at = next;
  }
  if (at != end) throw notFour();
  for (unsigned x : v)
    if (x > 0xFFFF) throw UsageError("version parts go up to 65535: \"" + text + "\"");
  spec.major = win::WORD(v[0]);
  spec.minor = win::WORD(v[1]);
  spec.release = win::WORD(v[2]);
  spec.build = win::WORD(v[3]);
}

int RunPe(const std::vector<std::string>& args) {
  std::string file;
  bool haveVersion = false;
  win::PeVersionSpec spec;
  spec.dll = false;
  spec.company = "Exemple";
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      return RequireArgument(args, ++i, "value of " + a);
    };
    if (a == "--version") {
      ParseVersion(value(), spec);
      haveVersion = true;
    } else if (a == "--dll") {
      spec.dll = true;
    } else if (a == "--size") {
      const std::string& v = value();
      if (v.empty() || v.size() > 10 || v.find_first_not_of("0123456789") != std::string::npos)
        throw UsageError("--size takes a number of bytes, not \"" + v + "\"");
      spec.padTo = std::stoull(v);
      if (spec.padTo > (size_t(1) << 30)) throw UsageError("--size is limited to 1 GiB");
    } else if (a == "--company") {
      spec.company = value();
    } else if (a == "--description") {
      spec.description = value();
    } else if (a == "--product") {
      spec.product = value();
    } else if (a == "--name") {
      spec.originalName = value();
    } else if (a == "--english") {
      spec.language = 0x0409;
      spec.codePage = 1200;
    } else if (a.rfind("--", 0) == 0) {
      throw UsageError("unknown option " + a);
    } else if (file.empty()) {
      file = a;
    } else {
      throw UsageError("unexpected argument \"" + a + "\"");
    }
  }
  if (file.empty()) throw UsageError("missing output FILE");
  if (!haveVersion) throw UsageError("missing --version a.b.c.d");
  if (spec.originalName.empty()) spec.originalName = fs::path(file).filename().string();
  if (spec.description.empty()) spec.description = spec.originalName;
  if (spec.product.empty()) spec.product = spec.originalName;

  auto bytes = win::BuildPeFile(spec);
  fs::path tmp = file + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) {
      std::error_code ec;
      fs::remove(tmp, ec);
      throw std::runtime_error(file + ": cannot be written");
    }
  }
  std::error_code ec;
  fs::rename(tmp, file, ec);
  if (ec) {
    fs::remove(tmp, ec);
    throw std::runtime_error(file + ": cannot be written");
  }
  return 0;
}

const bool registered = RegisterMachineCommand(
    {"pe",
     "pe FILE --version a.b.c.d [--dll] [--size N] [--company TEXT] [--description TEXT] "
     "[--product TEXT] [--name ORIGINALNAME] [--english]",
     "writes a sample Windows program (or library) with that version resource, at least N "
     "bytes long",
     RunPe});

}  // namespace
