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
namespace win {

// Registers the layer once, not as the default, and gives its name for sqlite3_open_v2.
const char* SqliteVfsName();

}  // namespace win
