// The version checks of UScTreeList, compiled apart: the shell utilities' headers and the
// view headers are not included together.
#include "shellcontrols/UScShellUtils.h"

bool ScIsWinNT() { return IsWinNT(); }
bool ScComCtl6() { return GetComCtlVersion().MS > 0x5FFFF; }
bool ScComCtlBelow472() { return GetComCtlVersion().MS < ((4u << 16) | 72u); }
