#pragma once
// Administrator test and restart of Windows.

// True when the user runs with the administrators group, and always on Windows 9x.
bool IsAdmin();
// Asks Windows to restart (after enabling the shutdown privilege on NT); returns at once.
void RebootWindows();
