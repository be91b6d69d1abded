#pragma once
// Groups the records that file calls keep in the machine's state (attributes, short names,
// journal lines) into one transaction of state.db for a unit of work made of several calls
// in a row, such as the placement of one file: one commit instead of one per call. The
// files themselves change at once, as always; only their records wait, and no longer than
// the unit lasts. A record that must be kept before its file appears (a staging writer)
// ends the open transaction first. The changes other processes make to the machine's
// folders are looked for once, at the unit's first lookup (DirectoryCache::BeginUnit).
#include "platform/system/WinTypes.h"

namespace win {

class Machine;

class RecordBatch {
 public:
  // Begins the transaction at once, so that the reads of the calls in between need no
  // transaction of their own either. A machine whose state cannot be written now leaves
  // each call to record on its own (and fail as it would).
  explicit RecordBatch(Machine& m);
  // Commits what was not committed yet (best effort: a failure cannot be told from here).
  ~RecordBatch();
  RecordBatch(const RecordBatch&) = delete;
  RecordBatch& operator=(const RecordBatch&) = delete;

  // Commits the records so far. FALSE with ERROR_GEN_FAILURE when state.db refused.
  BOOL Commit();

 private:
  Machine& machine_;
};

// For the platform's file calls. Inside a batch of this thread, begins its transaction
// for m (ending one begun for another machine); outside, does nothing.
void JoinRecordBatch(Machine& m);
// Commits the open transaction of this thread's batch, if any.
BOOL FlushRecordBatch();

}  // namespace win
