#pragma once
// One switch for every cache of the platform's answers: the listings of host folders, the
// paths resolved in a unit of work, the held folder descriptors, the drive folders found and
// the read caches of the state store. WI_NO_CACHES set (to anything but "" or "0") turns
// them all off: every answer is then asked afresh, which tells a cache's fault from the
// code's.
namespace win {

bool CachesOn();
// Sets the switch for the rest of the process, whatever the environment said (tests).
void SetCachesOn(bool on);

}  // namespace win
