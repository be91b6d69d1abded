#include "platform/forms/FormResources.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace forms {
namespace {
struct Table {
  std::mutex mutex;
  std::map<std::string, std::string> entries;  // lower-case name -> text
  std::map<std::string, std::string> names;    // lower-case name -> name as registered
};
// Function-local so that registrations from other translation units' static
// initialisers find it constructed.
Table& table() {
  static Table t;
  return t;
}
std::string lower(std::string s) {
  for (auto& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
}  // namespace

void RegisterFormResource(const char* name, const char* data, std::size_t size) {
  auto& t = table();
  std::lock_guard lock(t.mutex);
  t.entries[lower(name)] = std::string(data, size);
  t.names[lower(name)] = name;
}

bool FindFormResource(const std::string& name, std::string& text) {
  auto& t = table();
  std::lock_guard lock(t.mutex);
  auto key = lower(name);
  auto it = t.entries.find(key);
  if (it == t.entries.end()) it = t.entries.find(key + ".form");
  if (it == t.entries.end()) return false;
  text = it->second;
  return true;
}

std::vector<std::string> FormResourceNames() {
  auto& t = table();
  std::lock_guard lock(t.mutex);
  std::vector<std::string> out;
  for (auto& [k, v] : t.names) out.push_back(v);
  return out;
}

}  // namespace forms
