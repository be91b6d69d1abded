#include "platform/forms/UiScript.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/forms/UiDriver.h"
#include "platform/system/Process.h"
#include "platform/system/Text.h"

namespace UiScript {
namespace {

struct Answer {
  std::string kind;  // "dialog", "open", "printer"
  std::string title;
  std::string message;
  bool exact = false;
  std::string answer;
  std::string where;
  bool used = false;
};

struct State {
  std::recursive_mutex mutex;
  bool testMode = false;
  bool envRead = false;
  bool scriptGiven = false;  // WI_UI_SCRIPT named a script, or answers were added by code
  bool testScripted = true;  // test mode: the script stands in for the user
  std::vector<Answer> answers;
  std::deque<Command> commands;
  std::vector<DialogRecord> records;
};

State& state() {
  static State s;
  return s;
}

std::string stripAmpersand(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&' && i + 1 < s.size()) {
      out += s[++i];
      continue;
    }
    out += s[i];
  }
  return out;
}

// Splits on unescaped '|' and resolves the escapes of each field. Only the blanks written
// around a field are dropped: escaped characters are text (a message may end with \r\n).
std::vector<std::string> splitFields(const std::string& s) {
  std::vector<std::string> fields(1);
  size_t kept = 0;  // length of the current field up to its last character that counts
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  auto add = [&](char c, bool escaped) {
    auto& f = fields.back();
    if (!escaped && blank(c) && kept == 0) return;  // leading blank
    f += c;
    if (escaped || !blank(c)) kept = f.size();
  };
  auto close = [&] { fields.back().resize(kept); };
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\\' && i + 1 < s.size()) {
      char n = s[++i];
      switch (n) {
        case 'r':
          add('\r', true);
          break;
        case 'n':
          add('\n', true);
          break;
        case 't':
          add('\t', true);
          break;
        default:
          add(n, true);
          break;
      }
    } else if (c == '|') {
      close();
      fields.emplace_back();
      kept = 0;
    } else {
      add(c, false);
    }
  }
  close();
  return fields;
}

const char* kKinds[] = {"warning", "error", "information", "confirmation"};

bool titleFits(const Answer& a, const std::string& kind, const std::string& title) {
  if (a.title.empty() || a.title == "*") return true;
  if (a.title == title) return true;
  for (auto k : kKinds)
    if (win::AsciiLower(a.title) == k) return kind == k;
  return false;
}

bool messageFits(const Answer& a, const std::string& message) {
  if (a.exact) return a.message == message;
  return a.message.empty() || message.find(a.message) != std::string::npos;
}

std::string describe(const std::string& title, const std::string& message) {
  std::string m = message;
  for (size_t p = 0; (p = m.find("\r\n", p)) != std::string::npos;) m.replace(p, 2, "\\r\\n");
  return "\"" + title + "\": \"" + m + "\"";
}

bool scripted(const State& s) { return s.testMode ? s.testScripted : s.scriptGiven; }

// Why a dialog without an answer cannot go on, for its error.
std::string unanswered(const State& s) {
  return scripted(s) ? "" : " (no display to show it and no UI script, WI_UI_SCRIPT, to answer it)";
}

void addLine(State& s, const std::string& raw, const std::string& where) {
  size_t start = raw.find_first_not_of(" \t\r\n");
  if (start == std::string::npos || raw[start] == '#') return;
  std::string line = raw.substr(start);
  size_t sp = line.find_first_of(" \t\r\n");
  std::string verb = win::AsciiLower(line.substr(0, sp));
  // The fields trim their own blanks, but not escaped ones ("\ " at the end of a line).
  std::string rest = sp == std::string::npos ? "" : line.substr(sp);
  auto fields = splitFields(rest);
  auto need = [&](size_t n, const char* shape) {
    if (fields.size() != n || (n == 1 && fields[0].empty() && verb != "close"))
      throw EUiScriptError(where + ": expected \"" + shape + "\"");
  };
  if (verb == "dialog") {
    need(3, "dialog TITLE | MESSAGE | ANSWER");
    Answer a{"dialog", fields[0], fields[1], false, fields[2], where};
    if (!a.message.empty() && a.message[0] == '=') {
      a.exact = true;
      a.message.erase(0, 1);
    }
    s.answers.push_back(a);
  } else if (verb == "open") {
    need(2, "open TITLE | FILE");
    s.answers.push_back(Answer{"open", fields[0], "", false, fields[1], where});
  } else if (verb == "printer") {
    need(1, "printer ok|cancel");
    auto v = win::AsciiLower(fields[0]);
    if (v != "ok" && v != "cancel")
      throw EUiScriptError(where + ": expected \"printer ok|cancel\"");
    s.answers.push_back(Answer{"printer", "", "", false, v, where});
  } else if (verb == "click" || verb == "check" || verb == "uncheck") {
    need(1, (verb + " NAME").c_str());
    s.commands.push_back(Command{verb, fields, where});
  } else if (verb == "type" || verb == "select") {
    need(2, (verb + " NAME | TEXT").c_str());
    s.commands.push_back(Command{verb, fields, where});
  } else if (verb == "wait") {
    need(1, "wait MS");
    char* end = nullptr;
    std::strtoul(fields[0].c_str(), &end, 10);
    if (fields[0].empty() || *end)
      throw EUiScriptError(where + ": expected \"wait MS\" with a number of milliseconds");
    s.commands.push_back(Command{verb, fields, where});
  } else if (verb == "close") {
    s.commands.push_back(
        Command{verb, fields[0].empty() ? std::vector<std::string>{} : fields, where});
  } else {
    throw EUiScriptError(where + ": unknown command \"" + verb +
                         "\" (expected dialog, open, printer, click, type, check, uncheck, "
                         "select, wait or close)");
  }
}

}  // namespace

void Reset() {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.testMode = true;
  s.envRead = true;
  s.testScripted = true;
  s.answers.clear();
  s.commands.clear();
  s.records.clear();
  UiDriver::Reset();
}

bool Scripted() {
  LoadFromEnvironment();
  auto& s = state();
  std::lock_guard lock(s.mutex);
  return scripted(s);
}

void SetScripted(bool on) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.testScripted = on;
}

void Record(const DialogRecord& dialog) {
  LoadFromEnvironment();
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.records.push_back(dialog);
}

void Expect(const std::string& title, const std::string& message, const std::string& answer,
            bool exact) {
  LoadFromEnvironment();
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.scriptGiven = true;
  Answer a{"dialog", title, message, exact, answer, "Expect"};
  if (!exact && !message.empty() && message[0] == '=') {
    a.exact = true;
    a.message.erase(0, 1);
  }
  s.answers.push_back(a);
}

void ExpectOpen(const std::string& title, const std::string& file) {
  LoadFromEnvironment();
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.scriptGiven = true;
  s.answers.push_back(Answer{"open", title, "", false, file, "ExpectOpen"});
}

void ExpectPrinterSetup(bool ok) {
  LoadFromEnvironment();
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.scriptGiven = true;
  s.answers.push_back(Answer{"printer", "", "", false, ok ? "ok" : "cancel", "ExpectPrinterSetup"});
}

void Load(const std::string& text, const std::string& source) {
  LoadFromEnvironment();  // the program's script comes first, whoever adds to it
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.scriptGiven = true;
  std::istringstream in(text);
  std::string line;
  int n = 0;
  while (std::getline(in, line)) addLine(s, line, source + ":" + std::to_string(++n));
}

void LoadFile(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) throw EUiScriptError("cannot read the UI script " + hostPath);
  std::stringstream ss;
  ss << in.rdbuf();
  Load(ss.str(), hostPath);
}

void LoadFromEnvironment() {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  if (s.envRead) return;
  s.envRead = true;
  const char* path = std::getenv("WI_UI_SCRIPT");
  if (!path || !*path) return;
  s.scriptGiven = true;
  try {
    LoadFile(path);
  } catch (const EUiScriptError& e) {
    Fail(e.what());
  }
}

const std::vector<DialogRecord>& Dialogs() {
  LoadFromEnvironment();
  return state().records;
}

std::vector<std::string> UnusedAnswers() {
  LoadFromEnvironment();
  auto& s = state();
  std::lock_guard lock(s.mutex);
  std::vector<std::string> out;
  for (auto& a : s.answers)
    if (!a.used)
      out.push_back(a.where + ": " + a.kind + " " + a.title + " | " + a.message + " | " + a.answer);
  return out;
}

bool HasPendingCommands() {
  LoadFromEnvironment();
  auto& s = state();
  std::lock_guard lock(s.mutex);
  return !s.commands.empty();
}

int AnswerMessageDialog(const std::string& kind, const std::string& title,
                        const std::string& message, const std::vector<std::string>& buttons,
                        const std::vector<std::string>& captions) {
  LoadFromEnvironment();
  auto& s = state();
  std::lock_guard lock(s.mutex);
  DialogRecord rec{kind, title, message, captions, "", 0};
  for (auto& a : s.answers) {
    if (a.used || a.kind != "dialog" || !titleFits(a, kind, title) || !messageFits(a, message))
      continue;
    auto want = win::AsciiLower(stripAmpersand(a.answer));
    for (size_t i = 0; i < buttons.size(); ++i) {
      if (want == buttons[i] || want == win::AsciiLower(stripAmpersand(captions[i]))) {
        a.used = true;
        rec.answer = captions[i];
        s.records.push_back(rec);
        return int(i);
      }
    }
    s.records.push_back(rec);
    std::string list;
    for (auto& c : captions) list += (list.empty() ? "" : ", ") + c;
    Fail(a.where + ": the answer \"" + a.answer + "\" is not a button of the dialog " +
         describe(title, message) + " (buttons: " + list + ")");
  }
  s.records.push_back(rec);
  Fail("unexpected dialog " + describe(title, message) + unanswered(s));
}

std::optional<std::string> AnswerOpenDialog(const std::string& title) {
  LoadFromEnvironment();
  auto& s = state();
  std::lock_guard lock(s.mutex);
  for (auto& a : s.answers) {
    if (a.used || a.kind != "open" || !titleFits(a, "open", title)) continue;
    a.used = true;
    s.records.push_back(DialogRecord{"open", title, "", {}, a.answer, a.answer.empty() ? 2 : 1});
    if (a.answer.empty()) return std::nullopt;
    return a.answer;
  }
  s.records.push_back(DialogRecord{"open", title, "", {}, "", 0});
  Fail("unexpected open dialog \"" + title + "\"" + unanswered(s));
}

bool AnswerPrinterSetup() {
  LoadFromEnvironment();
  auto& s = state();
  std::lock_guard lock(s.mutex);
  for (auto& a : s.answers) {
    if (a.used || a.kind != "printer") continue;
    a.used = true;
    s.records.push_back(DialogRecord{
        "printer", "Configuration de l'impression", "", {}, a.answer, a.answer == "ok" ? 1 : 2});
    return a.answer == "ok";
  }
  s.records.push_back(DialogRecord{"printer", "Configuration de l'impression", "", {}, "", 0});
  Fail("unexpected printer setup dialog" + unanswered(s));
}

std::optional<Command> NextCommand() {
  LoadFromEnvironment();
  auto& s = state();
  std::lock_guard lock(s.mutex);
  if (s.commands.empty()) return std::nullopt;
  Command c = s.commands.front();
  s.commands.pop_front();
  return c;
}

void Fail(const std::string& message) {
  bool test;
  {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    test = s.testMode;
  }
  if (test) throw EUiScriptError(message);
  std::fprintf(stderr, "UI script: %s\n", message.c_str());
  std::fflush(stderr);
  win::ExitNow(3);
}

}  // namespace UiScript
