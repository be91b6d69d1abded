#include "platform/system/StateStore.h"

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
    auto db = std::make_unique<SqliteDb>(file, SqliteOpen::kExisting);
    // Nothing is written to a file before it is known to be ours.
    if (std::string problem = StoreLayoutProblem(*db, kind); !problem.empty())
      throw MachineError(About(dir_, kind) + problem + kOnlyNew);
    db->UseWal();
    if (StoreNeedsUpgrade(*db, kind))
      UpgradeStore(*db, kind, [this](const std::string& old) { return paths_.OldStateKey(old); });
    slot = std::move(db);
  } catch (const SqliteError& e) {
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
