#pragma once
// The full layout of a new simulated PC: folders, system libraries with version
// resources, the services file, the registry basics of its Windows version.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/system/Machine.h"

namespace win {

// What a new PC holds beyond its Windows version's own setup.
struct MachineContents {
  // shfolder.dll in the system folder. Windows 95, NT 3.51 and NT 4.0 did not ship it; a
  // later browser brought it, and the PCs the programs meet have it. False: no
  // shfolder.dll at all, whatever the version (the bare PC).
  bool shFolder = true;
};

// Makes dir a PC as Windows leaves it after its setup. dir must be missing or an empty
// folder; the machine is built beside it and moved into place at the end, so a failure
// leaves nothing behind. The current machine of the process is not changed. Throws
// MachineError.
void CreateMachine(const std::filesystem::path& dir, const MachineSettings& settings,
                   const MachineContents& contents);
void CreateMachine(const std::filesystem::path& dir, const MachineSettings& settings);

// Makes CreateMachine the creator of the default machine. Programs call it at start.
void InstallMachineCreator();
// What a program does first: names itself for the journal, lets a missing default PC be
// made, and opens its PC with both its databases, so that a PC it cannot run on (a database
// missing, empty, damaged or not a PC's) is an error naming the file (MachineError) before
// the program does anything.
void StartProgram(const std::string& name);

// A library of the system folder, with its version on a Windows version.
struct SystemLibrary {
  std::string name;  // "msvbvm60.dll"
  WORD version[4];
  std::string description;
  bool englishTable = false;  // 040904B0 rather than the system's 040C04E4
};
// The libraries a new machine of this Windows version holds in its system folder.
std::vector<SystemLibrary> SystemLibraries(OsVersion os, const MachineContents& contents = {});

// The services file a new machine gets (CR LF lines), and its Windows path.
std::string DefaultServicesText(OsVersion os);
std::string ServicesFilePath(const MachineSettings& settings);

}  // namespace win
