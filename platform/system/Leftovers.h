#pragma once
// Temporary files that a program killed while it wrote leaves on a PC, told apart from those
// of programs still running, and their removal.
//
// Two kinds exist. The platform writes every file under a hidden temporary name beside it
// and renames it into place; that name carries its writer (process id and start time). The
// placement engine stages copies under names such as "is-0K3Q9.tmp", which carry no writer:
// the platform records the writer of such a name in state.db before it creates the file,
// and forgets it when the name goes. A file of either kind whose writer no longer runs is a
// leftover; nothing whose writer still runs is ever removed.
//
// Every process that opens a PC leaves a hidden mark in the PC's folder, named as its write
// temporaries are, until it closes the PC. A mark whose process has gone tells that a
// program was killed: the next opening of the PC, and every restart, walks its drives and
// removes the leftovers. A staging copy is a leftover only when its writer was killed: one
// that a program ended without using is kept (it may hold the only copy of a file).
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace win {

class Machine;

// A fresh name for a write temporary of this process (no folder), and the test for one.
std::string WriteTempName();
bool IsWriteTempName(const std::string& name);
// A process's mark of having the PC open or being in its session, beside the temporaries of
// machine.ini in the PC's folder.
bool IsProcessMark(const std::string& name);
// "is-" + five base-32 digits + ".tmp", in any case.
bool IsStagingName(const std::string& name);

// Before a call creates host under a staging name: records this process as its writer.
// Does nothing for other names.
void NoteStagingWriter(Machine& m, const std::string& host);
// After the staging name host went away (moved, deleted, or never made).
void ForgetStagingWriter(Machine& m, const std::string& host);

// The mark of this process having the PC open (empty when none can be made); the mark goes
// back to Unregister.
std::filesystem::path RegisterOpening(Machine& m);
void UnregisterOpening(const std::filesystem::path& mark);
// The mark of this process being in the PC's session (it gets the session's end), taken back
// as an opening mark; and the processes of the session still running: pid and start time.
// A file in the PC's folder, not a row of the state: joining costs no write to the store.
std::filesystem::path RegisterSession(Machine& m);
std::vector<std::pair<int, std::uint64_t>> SessionMembers(Machine& m);
// Removes the marks this process holds, without allocating or locking: for a way out that
// runs no destructor (ExitNow, std::terminate). A forked child removes none of its parent's.
void RemoveOpeningMarks();

// Removes the leftovers of writers that were killed: when the mark of a process that has
// gone is found, or when walk is set, the write temporaries on the PC's own drive folders
// (linked folders are not entered) and the staging copies of killed writers. Returns the
// number removed.
int SweepLeftovers(Machine& m, bool walk);
// The folder dir (a host path) holds nothing but leftovers: they are removed and true is
// returned, so that the folder counts as empty.
bool ClearLeftoversIn(Machine& m, const std::filesystem::path& dir);

}  // namespace win
