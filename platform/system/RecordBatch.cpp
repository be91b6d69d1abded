#include "platform/system/RecordBatch.h"

#include <memory>

#include "platform/system/DirectoryCache.h"
#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "platform/system/Sqlite.h"

namespace win {

namespace {

struct Batch {
  int depth = 0;
  Machine* machine = nullptr;
  std::unique_ptr<SqliteTransaction> tx;
};
thread_local Batch t_batch;

}  // namespace

RecordBatch::RecordBatch(Machine& m) : machine_(m) {
  m.Folders().BeginUnit();
  if (++t_batch.depth > 1) return;
  try {
    JoinRecordBatch(m);
  } catch (const std::exception&) {
    t_batch.tx.reset();
    t_batch.machine = nullptr;
  }
}

RecordBatch::~RecordBatch() {
  if (--t_batch.depth == 0) FlushRecordBatch();
  machine_.Folders().EndUnit();
}

BOOL RecordBatch::Commit() { return FlushRecordBatch(); }

void JoinRecordBatch(Machine& m) {
  if (t_batch.depth == 0) return;
  if (t_batch.tx && t_batch.machine == &m) return;
  FlushRecordBatch();
  t_batch.tx = std::make_unique<SqliteTransaction>(m.State());
  t_batch.machine = &m;
}

BOOL FlushRecordBatch() {
  // Taken out first: whatever happens, the next record begins afresh.
  std::unique_ptr<SqliteTransaction> tx = std::move(t_batch.tx);
  t_batch.machine = nullptr;
  if (!tx) return TRUE;
  try {
    tx->Commit();
    return TRUE;
  } catch (const std::exception&) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;  // tx rolls back as it goes
  }
}

}  // namespace win
