#pragma once
// Service control for the Firebird engine: free functions that take service names, open
// and close their own handles, and wait for a result by polling once a second (at most
// 21 tests). Every one first requires the NT platform and opens the manager with the
// right to create services, so all of them need administrator rights.
// The removal's operations (DeleteNTService, NTServiceExists) exist in Tolvane's build
// only; the wizard's CreateNTService takes a dependency list.
#include <string>

// Raises "Platform is not Windows NT" on Windows 95/98/Me.
void CheckWinNT();
// An own-process service (interactive when asked), started automatically, normal error
// control, local system account. ImagePath is passed as given. The description is set
// where the platform offers it (not on NT 4.0).
#if WI_PROGRAM_INSTALL
// Dependencies: empty for none, else the names the service depends on, several separated
// by NUL characters (the list's two closing NULs are added here).
void CreateNTService(const std::string& ImagePath, const std::string& ServiceName,
                     const std::string& DisplayName, const std::string& Dependencies,
                     bool Interactive, const std::string& Description);
#else
void CreateNTService(const std::string& ImagePath, const std::string& ServiceName,
                     const std::string& DisplayName, bool Interactive,
                     const std::string& Description);
// True when the service is still registered after the wait.
bool DeleteNTService(const std::string& ServiceName);
bool NTServiceExists(const std::string& ServiceName);
#endif
// A service of that name that already exists takes the settings CreateNTService gives (the
// command line, display name, automatic start, local system account, no dependencies, and
// the description where the platform has one); False when there is no such service. A
// refused change raises the system error.
bool ReconfigureNTService(const std::string& ImagePath, const std::string& ServiceName,
                          const std::string& DisplayName, bool Interactive,
                          const std::string& Description);
bool IsNTServiceRunning(const std::string& ServiceName);
// True when the service runs after the wait; a refused start raises the system error.
bool StartNTService(const std::string& ServiceName);
// True when the service has not stopped after the wait: still running, or still stopping
// (a stop that hangs). A refused stop raises the system error.
bool StopNTService(const std::string& ServiceName);
