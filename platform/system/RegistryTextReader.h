#pragma once
// Reading the registry editor's text files: the logical lines of a text in each encoding
// the editor writes, and what each line says. Nothing here touches a registry.
#include <condition_variable>
#include <deque>
#include <exception>
#include <istream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/system/WinTypes.h"

namespace win {

// A text that cannot be read: "line N: what".
class RegTextError : public std::runtime_error {
 public:
  RegTextError(int line, const std::string& what);
};

// The logical lines of a registry text. UTF-16 LE with its byte-order mark (what the
// editor writes) and UTF-8 with one become UTF-8; a text without a mark is taken byte for
// byte (REGEDIT4). LF or CR LF ends a line; a line ending in "\" goes on on the next one
// (long hexadecimal values). The input is read in blocks, so a text of any size takes
// little memory.
class RegTextLines {
 public:
  // Throws RegTextError for a text in UTF-16 big-endian.
  explicit RegTextLines(std::istream& in);
  // The next logical line and the number of its first line; false at the end. Throws
  // RegTextError when a UTF-16 text ends in half a character.
  bool Next(std::string& line, int& number);

 private:
  bool PhysicalLine(std::string& out);
  bool Fill();
  void AppendUnit(std::string& out, char16_t unit);
  std::istream& in_;
  std::vector<char> buf_;
  std::size_t at_ = 0, end_ = 0;
  bool utf16_ = false;
  char16_t high_ = 0;  // a high surrogate waiting for its pair
  int physical_ = 0;
  std::string raw_;
};

// What one logical line says.
struct RegTextEntry {
  enum class Kind { Nothing, Key, Value } kind = Kind::Nothing;
  bool remove = false;  // "[-KEY]", "name"=-
  std::string path;     // a key's full name as written ("HKEY_LOCAL_MACHINE\\...")
  std::string root;     // its root as written ("HKLM")
  std::vector<std::string> names, foldedNames;  // the names below the root
  std::string name;                             // a value's name; empty for "@"
  std::string folded;                           // the name as the registry compares it (FoldCase)
  DWORD type = 0;                               // a value's type
  std::vector<BYTE> data;  // as the registry holds it: texts in UTF-8 with their zeros
};

// The lines of one text, in order: the first with anything on it must be the header
// ("REGEDIT4" or "Windows Registry Editor Version 5.00"); then keys, each followed by its
// values. Roots, names and levels are checked against Windows' limits. In a version 5 text, the
// hexadecimal data of texts (types 1, 2 and 7) is UTF-16 and becomes UTF-8.
class RegTextParser {
 public:
  // Throws RegTextError.
  void Parse(std::string_view line, int number, RegTextEntry& out);
  // Throws RegTextError when the text had no header.
  void Finish() const;

 private:
  void ParseKey(std::string_view text, int number, RegTextEntry& out);
  static void SplitKeyPath(std::string_view path, int number, RegTextEntry& out);
  void ParseValue(std::string_view text, int number, RegTextEntry& out);
  bool header_ = false;
  bool unicode_ = false;
  bool inKey_ = false, keyRemoved_ = false;
};

// What a text says, entry by entry (lines with nothing on them left out), read and parsed
// on a thread of its own: reading a large text and writing what it says then go at once.
// An error of the text comes out of Next in its place, after the entries before it.
class RegTextEntries {
 public:
  // `in` must outlive the object.
  explicit RegTextEntries(std::istream& in);
  // Stops the reading and waits for its thread.
  ~RegTextEntries();
  RegTextEntries(const RegTextEntries&) = delete;
  RegTextEntries& operator=(const RegTextEntries&) = delete;
  // The next entry (valid until the next call) and the number of its line; false at the
  // end of the text. Throws what reading the text threw (RegTextError).
  bool Next(const RegTextEntry*& entry, int& line);

 private:
  struct Parsed {
    RegTextEntry entry;
    int line = 0;
  };
  // Entries are kept with their buffers and written over, batch after batch.
  struct Batch {
    std::vector<Parsed> items;
    std::size_t count = 0;
  };
  void Read();
  bool Hand(Batch& batch);
  Batch Spare();
  std::istream& in_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch> ready_;
  std::vector<Batch> spare_;
  bool ended_ = false, stop_ = false;
  std::exception_ptr error_;
  Batch current_;  // the reader's side
  std::size_t at_ = 0;
  std::thread thread_;  // last: it starts once the rest is made
};

}  // namespace win
