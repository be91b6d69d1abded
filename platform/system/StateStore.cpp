#include "platform/system/StateStore.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/system/MachineSettings.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Sqlite.h"
#include "platform/system/StoreSchema.h"

namespace fs = std::filesystem;

namespace win {

namespace {
fs::path FileOf(const fs::path& dir, StoreKind kind) {
  return dir / (kind == StoreKind::kState ? "state.db" : "registry.db");
}

// The start of an error line about a database.
std::string About(const fs::path& dir, StoreKind kind) {
  return FileOf(dir, kind).string() + ": " + StoreTitle(kind) + " ";
}

// How a database is opened: for writing where this process may write it and its folder
// (SQLite makes the log's files beside it). Else read only: through the log as it is, or,
// where no one at all may write the file or its folder and the log holds nothing, the
// database file alone (its log's index, which cannot be made, is then not needed).
SqliteOpen OpenModeOf(const fs::path& file) {
  const fs::path dir = file.parent_path();
  const std::string wal = file.string() + "-wal", shm = file.string() + "-shm";
  auto writable = [](const std::string& p) { return ::access(p.c_str(), W_OK) == 0; };
  auto absent = [](const std::string& p) { return ::access(p.c_str(), F_OK) != 0; };
  if (writable(file.string()) && writable(dir.string()) && (absent(wal) || writable(wal)) &&
      (absent(shm) || writable(shm)))
    return SqliteOpen::kExisting;
  struct stat f, d, w;
  const bool noWriter = ::stat(file.c_str(), &f) == 0 && !(f.st_mode & 0222) &&
                        ::stat(dir.c_str(), &d) == 0 && !(d.st_mode & 0222);
  const bool emptyLog = ::stat(wal.c_str(), &w) != 0 || w.st_size == 0;
  return noWriter && emptyLog ? SqliteOpen::kImmutable : SqliteOpen::kReadOnly;
}

// What the user can do about a database that is not there or not one of a PC.
constexpr const char* kOnlyNew =
    " (a PC gets its databases from `machine new` only: put the file back from a copy of this "
    "PC)";
}  // namespace

StateStore::StateStore(const fs::path& dir, const PathResolver& paths) : dir_(dir), paths_(paths) {}

StateStore::~StateStore() = default;

SqliteDb& StateStore::Open(StoreKind kind, std::unique_ptr<SqliteDb>& slot) {
  if (slot) return *slot;
  const fs::path file = FileOf(dir_, kind);
  if (std::string problem = StoreFileProblem(file, kind); !problem.empty())
    throw MachineError(About(dir_, kind) + problem + kOnlyNew);
  try {
    auto db = std::make_unique<SqliteDb>(file, OpenModeOf(file));
    // Nothing is written to a file before it is known to be ours.
    if (std::string problem = StoreLayoutProblem(*db, kind); !problem.empty())
      throw MachineError(About(dir_, kind) + problem + kOnlyNew);
    // A PC that may not be written is read as it is, in any layout this program reads.
    if (!db->ReadOnly()) {
      db->UseWal();
      if (StoreNeedsUpgrade(*db, kind))
        UpgradeStore(*db, kind, [this](const std::string& old) { return paths_.OldStateKey(old); });
    }
    slot = std::move(db);
  } catch (const SqliteError& e) {
    if (e.PermissionDenied()) throw MachineError(e.what());
    throw MachineError(About(dir_, kind) + "is damaged (" + e.what() + ")");
  }
  return *slot;
}

SqliteDb& StateStore::State() { return Open(StoreKind::kState, state_); }

SqliteDb& StateStore::RegistryDb() { return Open(StoreKind::kRegistry, registry_); }

void StateStore::CheckRegistry() {
  SqliteDb& db = RegistryDb();
  std::string result;
  try {
    result = db.IntegrityCheck();
  } catch (const SqliteError& e) {
    result = e.what();
  }
  if (result != "ok") {
    registry_.reset();
    size_t eol = result.find('\n');
    throw MachineError(About(dir_, StoreKind::kRegistry) + "is damaged (" + result.substr(0, eol) +
                       ")");
  }
}

void StateStore::CloseDatabases() {
  registry_.reset();
  state_.reset();
}

}  // namespace win
