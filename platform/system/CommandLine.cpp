#include "platform/system/CommandLine.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include "platform/system/Machine.h"
#include "platform/system/Process.h"

namespace fs = std::filesystem;

namespace win {

namespace {

std::mutex g_mutex;
bool g_haveLine = false;
std::string g_line;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The arguments this process got from the host, without the program itself.
std::vector<std::string> HostArguments() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    args.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  if (!args.empty()) args.erase(args.begin());
  return args;
}

bool ExistingFile(const std::string& winPath) {
  Machine::Resolved r;
  if (!Machine::Current().Resolve(winPath, r)) return false;
  std::error_code ec;
  return fs::is_regular_file(r.host, ec);
}

bool HasExtension(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  size_t dot = path.rfind('.');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

}  // namespace

const char* GetCommandLine() {
  std::lock_guard lock(g_mutex);
  if (!g_haveLine) {
    if (const char* env = std::getenv("WI_COMMAND_LINE"); env && *env) {
      g_line = env;
    } else {
      std::vector<std::string> args{ProgramPath()};
      for (auto& a : HostArguments()) args.push_back(a);
      g_line = "\"" + args[0] + "\"";
      for (size_t i = 1; i < args.size(); ++i) g_line += " " + QuoteArgument(args[i]);
    }
    g_haveLine = true;
  }
  return g_line.c_str();
}

void SetCommandLine(const std::string& commandLine) {
  std::lock_guard lock(g_mutex);
  g_line = commandLine;
  g_haveLine = true;
}

std::vector<std::string> SplitCommandLine(const std::string& s) {
  std::vector<std::string> out;
  size_t i = 0, n = s.size();
  while (i < n && IsBlank(s[i])) ++i;
  if (i >= n) return out;
  // The program name: quotes group, no backslash escapes.
  {
    std::string prog;
    bool quoted = false;
    while (i < n && (quoted || !IsBlank(s[i]))) {
      if (s[i] == '"')
        quoted = !quoted;
      else
        prog += s[i];
      ++i;
    }
    out.push_back(prog);
  }
  while (true) {
    while (i < n && IsBlank(s[i])) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n && (quoted || !IsBlank(s[i]))) {
      if (s[i] == '\\') {
        size_t count = 0;
        while (i < n && s[i] == '\\') {
          ++count;
          ++i;
        }
        if (i < n && s[i] == '"') {
          arg.append(count / 2, '\\');
          if (count % 2) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(count, '\\');
        }
        continue;
      }
      if (s[i] == '"') {
        // Inside quotes, "" is a literal quote.
        if (quoted && i + 1 < n && s[i + 1] == '"') {
          arg += '"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      arg += s[i++];
    }
    out.push_back(arg);
  }
  return out;
}

std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      out.append(backslashes * 2 + 1, '\\');
      out += '"';
    } else {
      out.append(backslashes, '\\');
      out += c;
    }
    backslashes = 0;
  }
  out.append(backslashes * 2, '\\');
  out += '"';
  return out;
}

std::string JoinCommandLine(const std::vector<std::string>& args) {
  std::string out;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i) out += ' ';
    out += (i == 0 && args[i].find_first_of(" \t") != std::string::npos) ? "\"" + args[i] + "\""
                                                                         : QuoteArgument(args[i]);
  }
  return out;
}

ProgramAndArgs SplitProgram(const std::string& commandLine) {
  size_t i = 0, n = commandLine.size();
  while (i < n && IsBlank(commandLine[i])) ++i;
  auto rest = [&](size_t from) {
    while (from < n && IsBlank(commandLine[from])) ++from;
    return commandLine.substr(std::min(from, n));
  };
  if (i < n && commandLine[i] == '"') {
    size_t close = commandLine.find('"', i + 1);
    if (close == std::string::npos) return {commandLine.substr(i + 1), ""};
    return {commandLine.substr(i + 1, close - i - 1), rest(close + 1)};
  }
  // Candidate ends: every blank run after a token, and the end of the line.
  std::vector<size_t> ends;
  for (size_t j = i; j <= n; ++j)
    if (j == n || (IsBlank(commandLine[j]) && j > i && !IsBlank(commandLine[j - 1])))
      ends.push_back(j);
  for (size_t end : ends) {
    std::string candidate = commandLine.substr(i, end - i);
    if (ExistingFile(candidate) || (!HasExtension(candidate) && ExistingFile(candidate + ".exe")))
      return {candidate, rest(end)};
  }
  size_t first = ends.empty() ? n : ends.front();
  return {commandLine.substr(i, first - i), rest(first)};
}

}  // namespace win

namespace {

// The toolkit's cutting: characters up to the space separate, quotes toggle and vanish.
std::vector<std::string> ToolkitParams() {
  std::string s = win::GetCommandLine();
  std::vector<std::string> out;
  size_t i = 0;
  while (true) {
    while (i < s.size() && (unsigned char)s[i] <= ' ') ++i;
    if (i >= s.size()) break;
    std::string p;
    bool quoted = false;
    while (i < s.size() && (quoted || (unsigned char)s[i] > ' ')) {
      if (s[i] == '"')
        quoted = !quoted;
      else
        p += s[i];
      ++i;
    }
    out.push_back(p);
  }
  return out;
}

}  // namespace

int ParamCount() {
  auto p = ToolkitParams();
  return p.empty() ? 0 : int(p.size()) - 1;
}

std::string ParamStr(int index) {
  if (index == 0) return win::ProgramPath();
  auto p = ToolkitParams();
  if (index < 0 || size_t(index) >= p.size()) return "";
  return p[size_t(index)];
}
