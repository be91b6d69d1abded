#include "platform/system/Semaphore.h"

#include <unistd.h>

#include <map>
#include <mutex>

#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "platform/system/Process.h"
#include "platform/system/Sqlite.h"

namespace win {

namespace {

struct Semaphore {
  std::string name;      // folded; empty for an unnamed one
  std::int64_t row = 0;  // the holder record of a named one
  LONG count = 0;        // unnamed ones only
  LONG maximum = 0;
};

std::mutex g_mutex;
std::map<HANDLE, Semaphore> g_semaphores;
std::uintptr_t g_next = 0;

HANDLE Fail(DWORD code) {
  SetLastError(code);
  return nullptr;
}

SqliteDb& Db() { return Machine::Current().State(); }

// Drops holders that died and semaphores nobody holds.
void Sweep(SqliteDb& db, const std::string& name) {
  std::vector<std::int64_t> dead;
  {
    auto st = db.Prepare("SELECT id, pid, started FROM semaphore_holders WHERE name = ?");
    st.Bind(1, name);
    while (st.Step())
      if (!ProcessAlive(int(st.ColumnInt(1)), std::uint64_t(st.ColumnInt(2))))
        dead.push_back(st.ColumnInt(0));
  }
  for (auto id : dead) {
    auto del = db.Prepare("DELETE FROM semaphore_holders WHERE id = ?");
    del.Bind(1, id);
    del.Step();
  }
  auto del = db.Prepare(
      "DELETE FROM semaphores WHERE name = ? AND NOT EXISTS"
      " (SELECT 1 FROM semaphore_holders h WHERE h.name = semaphores.name)");
  del.Bind(1, name);
  del.Step();
}

HANDLE NewHandle(Semaphore s) {
  static std::once_flag once;
  std::call_once(once, [] {
    AddHandleCloser([](HANDLE h) {
      Semaphore s;
      {
        std::lock_guard lock(g_mutex);
        auto it = g_semaphores.find(h);
        if (it == g_semaphores.end()) return false;
        s = it->second;
        g_semaphores.erase(it);
      }
      if (!s.name.empty()) {
        try {
          SqliteDb& db = Db();
          SqliteTransaction t(db);
          auto del = db.Prepare("DELETE FROM semaphore_holders WHERE id = ?");
          del.Bind(1, s.row);
          del.Step();
          Sweep(db, s.name);
          t.Commit();
        } catch (const std::exception&) {
          // The record of a closed handle goes with the next sweep (its process is checked).
        }
      }
      return true;
    });
  });
  std::lock_guard lock(g_mutex);
  HANDLE h = reinterpret_cast<HANDLE>(std::uintptr_t(0x5E000000) + 4 * ++g_next);
  g_semaphores[h] = std::move(s);
  return h;
}

}  // namespace

HANDLE CreateSemaphore(void*, LONG initialCount, LONG maximumCount, const char* name) {
  if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount)
    return Fail(ERROR_INVALID_PARAMETER);
  if (!name || !*name) {
    SetLastError(0);
    return NewHandle(Semaphore{"", 0, initialCount, maximumCount});
  }
  std::string n = name;
  if (n.size() > MAX_PATH) return Fail(ERROR_FILENAME_EXCED_RANGE);
  if (n.find('\\') != std::string::npos && n.rfind("Global\\", 0) != 0 &&
      n.rfind("Local\\", 0) != 0)
    return Fail(ERROR_BAD_PATHNAME);
  try {
    std::string key = FoldCase(n);
    SqliteDb& db = Db();
    SqliteTransaction t(db);
    Sweep(db, key);
    bool exists = false;
    {
      auto st = db.Prepare("SELECT 1 FROM semaphores WHERE name = ?");
      st.Bind(1, key);
      exists = st.Step();
    }
    if (!exists) {
      auto ins = db.Prepare("INSERT INTO semaphores(name, count, maximum) VALUES(?,?,?)");
      ins.Bind(1, key).Bind(2, std::int64_t(initialCount)).Bind(3, std::int64_t(maximumCount));
      ins.Step();
    }
    int pid = int(::getpid());
    auto hold = db.Prepare("INSERT INTO semaphore_holders(name, pid, started) VALUES(?,?,?)");
    hold.Bind(1, key).Bind(2, std::int64_t(pid)).Bind(3, std::int64_t(ProcessStartTime(pid)));
    hold.Step();
    std::int64_t row = db.LastInsertRowId();
    t.Commit();
    HANDLE h = NewHandle(Semaphore{key, row, 0, 0});
    SetLastError(exists ? ERROR_ALREADY_EXISTS : 0);
    return h;
  } catch (const std::exception&) {
    return Fail(ERROR_GEN_FAILURE);
  }
}

BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount) {
  if (releaseCount <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string name;
  {
    std::lock_guard lock(g_mutex);
    auto it = g_semaphores.find(semaphore);
    if (it == g_semaphores.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    Semaphore& s = it->second;
    if (s.name.empty()) {
      if (releaseCount > s.maximum - s.count) {
        SetLastError(ERROR_TOO_MANY_POSTS);
        return FALSE;
      }
      if (previousCount) *previousCount = s.count;
      s.count += releaseCount;
      return TRUE;
    }
    name = s.name;
  }
  try {
    SqliteDb& db = Db();
    SqliteTransaction t(db);
    auto st = db.Prepare("SELECT count, maximum FROM semaphores WHERE name = ?");
    st.Bind(1, name);
    if (!st.Step()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    LONG count = LONG(st.ColumnInt(0)), maximum = LONG(st.ColumnInt(1));
    if (releaseCount > maximum - count) {
      SetLastError(ERROR_TOO_MANY_POSTS);
      return FALSE;
    }
    auto up = db.Prepare("UPDATE semaphores SET count = ? WHERE name = ?");
    up.Bind(1, std::int64_t(count) + releaseCount).Bind(2, name);
    up.Step();
    t.Commit();
    if (previousCount) *previousCount = count;
    return TRUE;
  } catch (const std::exception&) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
}

}  // namespace win
