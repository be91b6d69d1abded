#pragma once
// The system's French error texts, as FormatMessage gives them (each ending with CR LF).
#include <string>

#include "platform/system/WinTypes.h"

namespace win {

inline constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
inline constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
inline constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
inline constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
inline constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
inline constexpr DWORD FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x00002000;
inline constexpr DWORD FORMAT_MESSAGE_MAX_WIDTH_MASK = 0x000000FF;

// FORMAT_MESSAGE_FROM_SYSTEM only: writes the text of messageId into buffer (at most size
// bytes, NUL included) and returns its length, or 0 with the last error 317 when the
// system has no text for it (122 when the buffer is too small).
DWORD FormatMessage(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                    char* buffer, DWORD size, void* arguments);
// The text for code, or empty when there is none.
std::string SystemMessageText(DWORD code);
// As the toolkit's SysErrorMessage: the system text without its trailing line end and
// period, or empty.
std::string SysErrorMessage(DWORD code);

}  // namespace win
