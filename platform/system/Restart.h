#pragma once
// The simulated restart of the machine (`machine boot`, ExitWindowsEx with a reboot):
// carries out the delayed moves (NT) or the [rename] lines of WININIT.INI (9x), releases
// the files in use, then runs the hooks other units register (services, RunOnce).
#include <functional>

namespace win {

class Machine;

// Hooks run in the order they were added, after the file work of the restart.
void AddBootHook(std::function<void(Machine&)> hook);
void BootMachine(Machine& m);

}  // namespace win
