#pragma once
// COM for the shell controls: CoInitialize at start-up, CoUninitialize at shut-down.
// Counter-guarded; UScShellUtils starts it first.
void StartShell95Unit();
void StopShell95Unit();
