#pragma once
// Small text helpers every layer may use: trimming, ASCII case, splitting and counting the
// characters of UTF-8 text. Where callers need different meanings (which bytes are blank,
// what a final separator means), each meaning has a function of its own, named for it.
// The machine's name folding, which also folds Latin letters, is FoldCase (MachineText.h);
// UTF-8 to UTF-16 and back is in Utf8.h.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace win {

// --- Trimming both ends ----------------------------------------------------------------
// Bytes of UTF-8 characters are never blank, so no character is ever cut.

// Spaces and tabs; a line end is text.
std::string TrimSpacesAndTabs(std::string_view s);
// Every byte up to the space: spaces, tabs, line ends and all other control characters.
std::string TrimSpacesAndControls(std::string_view s);

// --- ASCII case ------------------------------------------------------------------------
// Only a..z and A..Z change: the bytes of other characters stay as they are, whatever the
// C library's locale.

std::string AsciiUpper(std::string s);
std::string AsciiLower(std::string s);
bool AsciiSameText(std::string_view a, std::string_view b);

// --- Splitting -------------------------------------------------------------------------

// Each separator ends a piece, as a reader of separated records takes them: "a;;b;" gives
// "a", "", "b", and "a;;b" the same; an empty text gives no piece.
std::vector<std::string> SplitTerminated(std::string_view s, char separator);
// Lines ended by CR, LF or CR LF, taken as SplitTerminated takes pieces: no line after a
// final line end, none in an empty text.
std::vector<std::string> SplitTerminatedLines(std::string_view s);

// --- UTF-8 -----------------------------------------------------------------------------

// The characters of a UTF-8 text, counted by the bytes that start one: a continuation byte
// (10xxxxxx) starts none, even where no lead byte stands before it.
std::size_t CountUtf8Characters(std::string_view s);

}  // namespace win
