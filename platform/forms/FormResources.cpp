#include "platform/forms/FormResources.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/system/Text.h"

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
}  // namespace

void RegisterFormResource(const char* name, const char* data, std::size_t size) {
  auto& t = table();
  std::lock_guard lock(t.mutex);
  t.entries[win::AsciiLower(name)] = std::string(data, size);
  t.names[win::AsciiLower(name)] = name;
}

bool FindFormResource(const std::string& name, std::string& text) {
  auto& t = table();
  std::lock_guard lock(t.mutex);
  auto key = win::AsciiLower(name);
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
