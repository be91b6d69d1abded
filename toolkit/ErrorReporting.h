#pragma once
// System error texts and the four reporters of failed file operations. A reporter builds
// "what failed\r\nfile(s)\r\nsystem text" from the thread's last error at the moment it
// is called. With Continue false:
//   ReportLastError, ReportAttributesError: error box, then the silent abort (EAbort);
//   ReportCopyError, ReportDeleteError: Install throws Exception(message) without a box,
//                                       Tolvane shows the box, then the silent abort.
// With Continue true every reporter only shows the box and returns.
#include <string>

#include "platform/system/WinTypes.h"

// The system's text for Code, line end included; "code : <Code>" when it has none.
std::string SysErrorText(win::DWORD Code);
// SysErrorText of the calling thread's last error.
std::string LastErrorText();

void ReportLastError(const std::string& Msg, bool Continue = false);
void ReportCopyError(const std::string& Source, const std::string& Dest, bool Continue = false);
void ReportDeleteError(const std::string& FileName, bool Continue = false);
void ReportAttributesError(const std::string& FileName, bool Continue = false);

// The message texts themselves (for callers that build their own reports and for tests).
std::string CopyErrorMessage(const std::string& Source, const std::string& Dest,
                             const std::string& SystemText);
std::string DeleteErrorMessage(const std::string& FileName, const std::string& SystemText);
std::string AttributesErrorMessage(const std::string& FileName, const std::string& SystemText);
