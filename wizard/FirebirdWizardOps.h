#pragma once
// Adapter for the engine operation that only the wizard's build of TdmFirebirdInstall
// carries. Until dbsetup_install provides ClientDllsPresent itself, it is computed here
// the same way: a fresh search for the client library, present when one copy was found.
// Replace the body with `return Engine.ClientDllsPresent();` once the engine has it.
#include "dbsetup/dmFirebirdInstallUnit.h"

inline bool ClientDllsPresent(TdmFirebirdInstall& Engine) {
  Engine.FindClientDlls();
  return Engine.GetClientDlls().Count() > 0;
}
