#pragma once
// The file layer our SQLite connections open their databases through: the host's own ("unix")
// with fewer system calls per commit, and the same files, bytes and locks as any other
// program sees them (the sqlite3 tool or another program of ours on the plain layer).
//
// - The frames a commit appends to the write-ahead log go to the file in one write rather
//   than two per page. They are kept in memory only until the connection's next call of any
//   other kind, and at the latest until the commit frame is whole, so that a commit whose
//   frames cannot be written fails, as it does on the plain layer.
// - Taking a shared lock on a reader slot of the log's index right after giving up the
//   exclusive lock on it (what a reader does when it moves the slot's mark) is one lock call
//   that turns the one lock into the other.
// - The end of a write transaction gives up the writer's lock and the reader's slot in one
//   lock call, where the process holds no lock between the two. The writer's unlock waits
//   for the reader's only within the call of SQLite that ends the transaction: SqliteVfsSettle
//   after each call makes it at once when the connection goes on reading.
struct sqlite3;

namespace win {

// Registers the layer once, not as the default, and gives its name for sqlite3_open_v2.
const char* SqliteVfsName();
// After a call of SQLite on db by this thread: a writer's unlock still put off is made.
void SqliteVfsSettle(sqlite3* db);

}  // namespace win
