#include "toolkit/ErrorReporting.h"

#include "platform/system/ErrorMessages.h"
#include "platform/system/Exceptions.h"
#include "platform/system/LastError.h"
#include "platform/system/Program.h"
#include "toolkit/MessageHelpers.h"

namespace {
const char* const SCopyError = "Ne peut pas copier le fichier :";
const char* const SCopyDestination = "Destination :";
const char* const SDeleteError = "Ne peut pas supprimer le fichier :";
const char* const SAttributesError = "Ne peut pas modifier les attributs du fichier : ";

// Shows the message, then ends the operation silently unless told to go on.
void ShowThenAbort(const std::string& message, bool Continue) {
  ShowError(message);
  if (!Continue) Abort();
}

// Install lets the caller report a failed copy or deletion; Tolvane shows it itself.
void ProgramSpecificReport(const std::string& message, bool Continue) {
  if (Continue) {
    ShowError(message);
    return;
  }
  if constexpr (wi::kIsTolvane) {
    ShowThenAbort(message, false);
  } else {
    throw Exception(message);
  }
}
}  // namespace

std::string SysErrorText(win::DWORD Code) {
  char buffer[512];
  win::DWORD len = win::FormatMessage(win::FORMAT_MESSAGE_FROM_SYSTEM, nullptr, Code, 0, buffer,
                                      sizeof buffer, nullptr);
  if (len == 0) return "code : " + std::to_string(Code);
  return std::string(buffer, len);
}

std::string LastErrorText() { return SysErrorText(win::GetLastError()); }

std::string CopyErrorMessage(const std::string& Source, const std::string& Dest,
                             const std::string& SystemText) {
  return std::string(SCopyError) + "\r\n" + Source + "\r\n" + SCopyDestination + "\r\n" + Dest +
         "\r\n" + SystemText;
}

std::string DeleteErrorMessage(const std::string& FileName, const std::string& SystemText) {
  return std::string(SDeleteError) + "\r\n" + FileName + "\r\n" + SystemText;
}

std::string AttributesErrorMessage(const std::string& FileName, const std::string& SystemText) {
  return std::string(SAttributesError) + "\r\n" + FileName + "\r\n" + SystemText;
}

void ReportLastError(const std::string& Msg, bool Continue) {
  ShowThenAbort(Msg + "\r\n" + LastErrorText(), Continue);
}

void ReportCopyError(const std::string& Source, const std::string& Dest, bool Continue) {
  ProgramSpecificReport(CopyErrorMessage(Source, Dest, LastErrorText()), Continue);
}

void ReportDeleteError(const std::string& FileName, bool Continue) {
  ProgramSpecificReport(DeleteErrorMessage(FileName, LastErrorText()), Continue);
}

void ReportAttributesError(const std::string& FileName, bool Continue) {
  ShowThenAbort(AttributesErrorMessage(FileName, LastErrorText()), Continue);
}
