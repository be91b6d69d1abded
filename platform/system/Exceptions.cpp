#include "platform/system/Exceptions.h"

#include "platform/system/ErrorMessages.h"
#include "platform/system/LastError.h"

void Abort() { throw EAbort(); }

void RaiseLastOSError() { RaiseLastOSError(win::GetLastError()); }

void RaiseLastOSError(win::DWORD code) {
  if (code == 0) throw EOSError("Un appel à une fonction du système d'exploitation a échoué", 0);
  throw EOSError(
      "Erreur système.  Code : " + std::to_string(code) + ".\r\n" + win::SysErrorMessage(code),
      code);
}
