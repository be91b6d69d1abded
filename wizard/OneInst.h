#pragma once
// Single-instance marker of the wizard: a named semaphore that lives as long as the
// process holds its handle. Only used as a marker, never waited on.
#include <string>

// The semaphore's name is the application title.
inline constexpr const char* kInstanceTokenName = "Installation minimum MARQETO";

// Creates the marker and keeps its handle; True only when another copy already holds it.
// A creation that gives no handle returns False, so the wizard then runs.
bool AlreadyRunning();
// Closes the marker's handle, so that a program started next (the next installer, or a
// new copy of the wizard) does not find this copy running. Safe to call more than once.
// The program calls it on its way out, while the machine's state is still open; a copy
// that dies without it no longer counts as a holder.
void ReleaseInstanceToken();
