#include "platform/system/CacheSwitch.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace win {

namespace {
bool FromEnvironment() {
  const char* off = std::getenv("WI_NO_CACHES");
  return !off || !*off || std::strcmp(off, "0") == 0;
}
std::atomic<bool>& Switch() {
  static std::atomic<bool> on{FromEnvironment()};
  return on;
}
}  // namespace

bool CachesOn() { return Switch().load(std::memory_order_relaxed); }

void SetCachesOn(bool on) { Switch().store(on); }

}  // namespace win
