#pragma once
// The text helpers every layer uses: trimming, case, the machine's name folding, splitting,
// stepping through and decoding UTF-8 text, UTF-8 to UTF-16 and back, and UTF-16 bytes. Where
// callers need different meanings (which bytes are blank, what a final separator means, which
// letters fold), each meaning has a function of its own, named for it.

#include <cstddef>
#include <cstdint>
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
// Spaces, tabs and line ends (CR, LF).
std::string TrimWhiteSpace(std::string_view s);

// --- ASCII case ------------------------------------------------------------------------
// Only a..z and A..Z change: the bytes of other characters stay as they are, whatever the
// C library's locale.

std::string AsciiUpper(std::string s);
std::string AsciiLower(std::string s);
bool AsciiSameText(std::string_view a, std::string_view b);

// --- Latin-1 case ----------------------------------------------------------------------
// ASCII letters and the Latin-1 letters of two-byte UTF-8 (À..Þ and à..þ, not × and ÷),
// each byte kept in its place, so the text keeps its length. The byte after a C3 byte is
// taken as its second byte, whatever it is.

std::string Latin1Upper(std::string s);
std::string Latin1Lower(std::string s);

// --- The machine's names ---------------------------------------------------------------

// Case folding used for every name comparison of the machine (ASCII and Latin letters).
std::string FoldCase(const std::string& utf8);
bool SameText(const std::string& a, const std::string& b);
// text for an error line: control bytes and bytes that are not UTF-8 become \xNN.
std::string EscapeBytes(const std::string& text);

// --- Splitting -------------------------------------------------------------------------

// Each separator ends a piece, as a reader of separated records takes them: "a;;b;" gives
// "a", "", "b", and "a;;b" the same; an empty text gives no piece.
std::vector<std::string> SplitTerminated(std::string_view s, char separator);
// Lines ended by CR, LF or CR LF, taken as SplitTerminated takes pieces: no line after a
// final line end, none in an empty text.
std::vector<std::string> SplitTerminatedLines(std::string_view s);
// Each separator stands between two pieces, as in a list a user typed: n separators give
// n + 1 pieces, "a;" gives "a" and "", and an empty text gives one empty piece.
std::vector<std::string> Split(std::string_view s, char separator);
// Lines ended by CR, LF or CR LF, taken as Split takes pieces: n line ends give n + 1
// lines, an empty text one empty line.
std::vector<std::string> SplitLines(std::string_view s);
// The pieces between separators, empty ones left out, as the names of a path: \a\\b\ gives
// "a" and "b".
std::vector<std::string> SplitNonEmpty(std::string_view s, char separator);
// Lines ended by LF, taken as SplitTerminated takes pieces, each without one CR at its end:
// a CR LF file reads as an LF one, while a lone CR inside a line is text.
std::vector<std::string> SplitLfLines(std::string_view s);

// --- UTF-8 -----------------------------------------------------------------------------

// The characters of a UTF-8 text, counted by the bytes that start one: a continuation byte
// (10xxxxxx) starts none, even where no lead byte stands before it.
std::size_t CountUtf8Characters(std::string_view s);
// The UTF-16 units of those characters: two for one that starts with F0..FF, one for the rest.
std::size_t CountUtf16Units(std::string_view s);
// 10xxxxxx: a byte inside a character, never the first one.
inline bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
// Where the character after the one at byte b starts (the end at most); where the one
// before b starts (0 at least). They step over continuation bytes, stray ones included.
std::size_t Utf8NextChar(std::string_view s, std::size_t b);
std::size_t Utf8PrevChar(std::string_view s, std::size_t b);
// Where character n starts, counted as CountUtf8Characters counts (so that
// CountUtf8Characters(s.substr(0, Utf8ByteOf(s, n))) == n); the end when there are no more.
std::size_t Utf8ByteOf(std::string_view s, std::size_t n);

// The code point at s[at], at moved past it. A lead byte C0..F7 followed by all its
// continuation bytes gives the value they spell (overlong forms and values past U+10FFFF
// as they come); any other byte stands for itself, as a Latin-1 character, so that no
// byte of invalid text is lost.
char32_t NextUtf8CodePoint(std::string_view s, std::size_t& at);
// Every code point of s, as NextUtf8CodePoint takes them.
std::u32string Utf8ToUtf32(std::string_view s);
// Appends the UTF-8 bytes of one code point.
void AppendUtf8(std::string& out, char32_t cp);

// --- UTF-16 ----------------------------------------------------------------------------

// Invalid UTF-8 becomes U+FFFD, one per bad byte.
std::u16string Utf8ToUtf16(const std::string& s);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& s);

// The units as little-endian byte pairs; no byte order mark, no terminator.
std::string Utf16LeBytes(std::u16string_view s);
// The units of little-endian byte pairs, up to the first NUL unit or the last whole pair.
std::u16string Utf16FromLeBytes(const std::uint8_t* bytes, std::size_t size);

}  // namespace win
