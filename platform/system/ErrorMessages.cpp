#include "platform/system/ErrorMessages.h"

#include <cstring>
#include <map>

#include "platform/system/LastError.h"

namespace win {

namespace {
constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;

const std::map<DWORD, const char*>& Table() {
  static const std::map<DWORD, const char*> table = {
      {0, "L'opération a réussi."},
      {1, "Fonction incorrecte."},
      {2, "Le fichier spécifié est introuvable."},
      {3, "Le chemin d'accès spécifié est introuvable."},
      {5, "Accès refusé."},
      {32, "Le processus ne peut pas accéder au fichier car ce fichier est utilisé par un autre "
           "processus."},
  };
  return table;
}
}  // namespace

std::string SystemMessageText(DWORD code) {
  auto it = Table().find(code);
  if (it == Table().end()) return "";
  return std::string(it->second) + "\r\n";
}

DWORD FormatMessage(DWORD flags, const void*, DWORD messageId, DWORD, char* buffer, DWORD size,
                    void*) {
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string text = SystemMessageText(messageId);
  if (text.empty()) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  if (!buffer || size < text.size() + 1) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return DWORD(text.size());
}

std::string SysErrorMessage(DWORD code) {
  std::string t = SystemMessageText(code);
  while (!t.empty() && (static_cast<unsigned char>(t.back()) <= 32 || t.back() == '.')) t.pop_back();
  return t;
}

}  // namespace win
