#pragma once
// Windows command lines: the text a program receives (GetCommandLine), the two ways of
// cutting it into parameters (the C run-time's, used for native programs we start, and the
// toolkit's ParamCount/ParamStr), and finding the program a command line names.
#include <string>
#include <vector>

namespace win {

// This process's command line: the one it was started with by the machine (WI_COMMAND_LINE),
// else the program's Windows path, quoted, followed by its arguments, each quoted when
// it holds blanks.
const char* GetCommandLine();
// Replaces it (tests, and programs started with a command line of their own).
void SetCommandLine(const std::string& commandLine);

// The C run-time's rules: blanks and tabs separate; quotes group and are removed; 2n
// backslashes before a quote give n backslashes and the quote acts, 2n+1 give n and a
// literal quote; other backslashes are literal. The first element is the program.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);
// One argument quoted so that SplitCommandLine gives it back unchanged.
std::string QuoteArgument(const std::string& arg);
std::string JoinCommandLine(const std::vector<std::string>& args);

// The program a command line names and the rest of the line. A quoted first token is the
// program; otherwise, as CreateProcess does with blanks, ever longer runs of tokens are
// tried ("C:\Program.exe", "C:\Program Files\x.exe" ...) and the first that names an
// existing file (".exe" appended when there is no extension) wins; when none exists the
// first token is taken.
struct ProgramAndArgs {
  std::string program;  // as written (not resolved)
  std::string args;     // what follows, leading blanks removed
};
ProgramAndArgs SplitProgram(const std::string& commandLine);

}  // namespace win

// The toolkit's parameter access: blanks (any character up to the space) separate; a quote
// toggles quoting and is dropped, so "a b"c is one parameter a bc. ParamStr(0) is the
// program's full path; an index past the end gives an empty text.
int ParamCount();
std::string ParamStr(int index);
