// A whole exported registry imported into a new PC, beside the same rows inserted into a
// bare SQLite table in the same run.
//
// The export is generated as the registry editor writes one: UTF-16 LE behind its mark,
// CR LF, keys in the order of a walk, each with five values among text, dword, hex(2),
// hex(7), hex(b), hex(0) and binary data continued over lines. Timed:
//   - the import: `machine reg PC import FILE`'s work, from the file to the committed
//     registry.db of a PC just made;
//   - the baseline: the same rows as the registry keeps them (keys: parent, name, name
//     folded for comparison, time; values: key, name, folded name, type, data), already in
//     memory, inserted with one prepared statement each into two bare tables (no index, no
//     constraint, SQLite's default settings) of a new database, in one transaction.
// Prints both times, their ratio and the machine's load.
//
//   bench_RegImportBench [keys]      (default 200000; values: five a key)
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "platform/system/Machine.h"
#include "platform/system/MachineSetup.h"
#include "platform/system/Registry.h"
#include "platform/system/Text.h"
#include "tests/support/Utf16Files.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct GenValue {
  std::string name;
  unsigned type;
  std::string stored;  // the bytes the registry holds (texts in UTF-8)
  std::string text;    // the right-hand side as the export writes it
};

std::string HexBytes(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ',';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// "name"=hex(..): wrapped as the editor wraps it, 80 columns, "\" and two blanks.
std::string Wrapped(const std::string& head, const std::string& hex) {
  std::string out = head;
  std::size_t col = head.size();
  for (std::size_t i = 0; i < hex.size(); i += 3) {
    out.append(hex, i, 3);
    col += 3;
    if (col > 76 && i + 3 < hex.size()) {
      out += "\\\n  ";
      col = 2;
    }
  }
  return out;
}

// The five values of key number k.
std::vector<GenValue> ValuesOf(std::size_t k, std::mt19937& rng) {
  std::vector<GenValue> v;
  const std::string n = std::to_string(k);
  std::string name = "Produit d'essai n° " + n;
  v.push_back({"DisplayName", 1, name + '\0', ""});
  std::uint32_t d = rng();
  v.push_back({"Version", 4, std::string(reinterpret_cast<const char*>(&d), 4), ""});
  std::string path = "%ProgramFiles%\\Éditeur\\Produit" + n + "\\bin;%SystemRoot%\\system32";
  v.push_back({"InstallPath", 2, path + '\0', ""});
  std::string blob(24 + rng() % 40, '\0');
  for (char& c : blob) c = char(rng());
  v.push_back({"Data", 3, blob, ""});
  switch (k % 3) {
    case 0:
      v.push_back({"Modules", 7, std::string("core\0ui\0réseau\0\0", 17), ""});
      break;
    case 1: {
      std::uint64_t q = (std::uint64_t(rng()) << 32) | rng();
      v.push_back({"Stamp", 11, std::string(reinterpret_cast<const char*>(&q), 8), ""});
      break;
    }
    default:
      v.push_back({"Marker", 0, "", ""});
  }
  for (GenValue& x : v) {
    const std::string head = "\"" + x.name + "\"=";
    if (x.type == 1) {
      x.text = head + "\"" + x.stored.substr(0, x.stored.size() - 1) + "\"";
    } else if (x.type == 4) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "dword:%08x", d);
      x.text = head + buf;
    } else if (x.type == 3) {
      x.text = Wrapped(head + "hex:", HexBytes(x.stored));
    } else {
      char type[16];
      std::snprintf(type, sizeof type, "hex(%x):", x.type);
      const bool text = x.type == 2 || x.type == 7;
      std::string bytes =
          text ? win::Utf16LeBytes(win::Utf8ToUtf16(x.stored.substr(0, x.stored.size() - 1))) +
                     std::string(2, '\0')
               : x.stored;
      x.text = Wrapped(head + type, HexBytes(bytes));
    }
  }
  return v;
}

// Keys in the order of a walk: 20 vendors, 100 products each, then components under the
// products until `keys` are made. Calls f(depth, name, index of the parent or -1) for each.
void WalkKeys(std::size_t keys, const std::function<void(int, const std::string&, long)>& f) {
  std::size_t made = 0;
  const std::size_t perProduct = keys > 2020 ? (keys - 2020 + 1999) / 2000 : 0;
  for (int a = 0; a < 20 && made < keys; ++a) {
    const long vendor = long(made++);
    f(1, "Éditeur" + std::to_string(a), -1);
    for (int b = 0; b < 100 && made < keys; ++b) {
      const long product = long(made++);
      f(2, "Produit" + std::to_string(b), vendor);
      for (std::size_t c = 0; c < perProduct && made < keys; ++c, ++made)
        f(3, "Composant" + std::to_string(c), product);
    }
  }
}

// The export, written as UTF-16 LE with CR LF.
std::uintmax_t WriteExport(const fs::path& file, std::size_t keys) {
  std::ofstream out(file, std::ios::binary);
  std::string chunk = "\xFF\xFE";
  auto put = [&](const std::string& utf8) {
    chunk += testfiles::Utf16LeCrLf(utf8);
    if (chunk.size() > (1 << 20)) {
      out.write(chunk.data(), std::streamsize(chunk.size()));
      chunk.clear();
    }
  };
  put("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Banc]\n\n");
  std::mt19937 rng(11);
  std::vector<std::string> path(4);
  path[0] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Banc";
  std::size_t k = 0;
  WalkKeys(keys, [&](int depth, const std::string& name, long) {
    path[std::size_t(depth)] = path[std::size_t(depth) - 1] + "\\" + name;
    std::string text = "[" + path[std::size_t(depth)] + "]\n";
    for (const GenValue& v : ValuesOf(k++, rng)) text += v.text + "\n";
    put(text + "\n");
  });
  out.write(chunk.data(), std::streamsize(chunk.size()));
  out.close();
  return fs::file_size(file);
}

void Check(int rc, sqlite3* db) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::exit(1);
  }
}

// The same rows into bare tables; the rows are made before the clock starts.
double BareInsert(const fs::path& file, std::size_t keys) {
  struct KeyRow {
    long parent;
    std::string name, folded;
  };
  std::vector<KeyRow> keyRows;
  std::vector<std::pair<long, GenValue>> valueRows;
  std::mt19937 rng(11);
  WalkKeys(keys, [&](int, const std::string& name, long parent) {
    keyRows.push_back({parent, name, win::FoldCase(name)});
    for (GenValue& v : ValuesOf(keyRows.size() - 1, rng)) {
      v.text = win::FoldCase(v.name);  // the rows hold the folded name, not the text
      valueRows.emplace_back(long(keyRows.size()), std::move(v));
    }
  });
  sqlite3* db = nullptr;
  Check(sqlite3_open(file.c_str(), &db), db);
  Check(sqlite3_exec(db,
                     "CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER, name TEXT,"
                     " folded TEXT, lastwrite INTEGER);"
                     "CREATE TABLE vals(id INTEGER PRIMARY KEY, key INTEGER, name TEXT,"
                     " folded TEXT, type INTEGER, data BLOB)",
                     nullptr, nullptr, nullptr),
        db);
  auto t0 = Clock::now();
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
  sqlite3_stmt *k = nullptr, *v = nullptr;
  Check(sqlite3_prepare_v2(db, "INSERT INTO keys(parent, name, folded, lastwrite) VALUES(?,?,?,?)",
                           -1, &k, nullptr),
        db);
  Check(sqlite3_prepare_v2(db, "INSERT INTO vals(key, name, folded, type, data) VALUES(?,?,?,?,?)",
                           -1, &v, nullptr),
        db);
  for (const KeyRow& r : keyRows) {
    sqlite3_bind_int64(k, 1, r.parent + 1);
    sqlite3_bind_text(k, 2, r.name.data(), int(r.name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(k, 3, r.folded.data(), int(r.folded.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(k, 4, 1);
    Check(sqlite3_step(k), db);
    sqlite3_reset(k);
  }
  for (const auto& [key, r] : valueRows) {
    sqlite3_bind_int64(v, 1, key);
    sqlite3_bind_text(v, 2, r.name.data(), int(r.name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(v, 3, r.text.data(), int(r.text.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(v, 4, r.type);
    sqlite3_bind_blob(v, 5, r.stored.data(), int(r.stored.size()), SQLITE_TRANSIENT);
    Check(sqlite3_step(v), db);
    sqlite3_reset(v);
  }
  sqlite3_finalize(k);
  sqlite3_finalize(v);
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
  auto t1 = Clock::now();
  sqlite3_close(db);
  return bench::Ms(t0, t1) / 1000;
}

double Import(const fs::path& pc, const fs::path& file) {
  win::MachineSettings settings;
  settings.simulatedTime = true;
  win::CreateMachine(pc, settings);
  win::Machine::Use(pc);
  auto t0 = Clock::now();
  std::ifstream in(file, std::ios::binary);
  win::RegImportStream(in);
  win::Machine::Current().CloseDatabases();  // with the log carried into the database
  auto t1 = Clock::now();
  return bench::Ms(t0, t1) / 1000;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t keys =
      argc > 1 ? std::size_t(std::max(2100L, std::strtol(argv[1], nullptr, 10))) : 200000;
  const fs::path root =
      fs::temp_directory_path() / ("wi-regbench-" + std::to_string(std::random_device{}()));
  fs::create_directories(root);
  const std::uintmax_t bytes = WriteExport(root / "hklm.reg", keys);
  double imported = 0, bare = 0;
  try {
    // Alternate which goes first, and keep the better of two rounds each.
    for (int round = 0; round < 2; ++round) {
      const std::string n = std::to_string(round);
      double b = 0, i = 0;
      if (round % 2) b = BareInsert(root / ("bare" + n + ".db"), keys);
      i = Import(root / ("pc" + n), root / "hklm.reg");
      if (!(round % 2)) b = BareInsert(root / ("bare" + n + ".db"), keys);
      imported = round ? std::min(imported, i) : i;
      bare = round ? std::min(bare, b) : b;
      fs::remove_all(root / ("pc" + n));
      fs::remove(root / ("bare" + n + ".db"));
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "import failed: %s\n", e.what());
    fs::remove_all(root);
    return 1;
  }
  fs::remove_all(root);
  std::printf(
      "%zu keys, %zu values, export %.0f MB (UTF-16): import into a new PC %.2f s, bare "
      "insert of the same rows %.2f s, ratio %.2f (load %s)\n",
      keys, keys * 5, double(bytes) / 1e6, imported, bare, imported / bare,
      bench::LoadAverage().c_str());
  return 0;
}
