#include "platform/forms/graphics/BitmapResources.h"

#include <map>
#include <mutex>

#include "platform/forms/graphics/ImageFiles.h"
#include "platform/system/Text.h"

namespace win {
namespace {
std::mutex mutex;
std::map<std::string, Surface>& Table() {
  static std::map<std::string, Surface> t;
  return t;
}
// Resources not made yet.
std::map<std::string, std::function<std::string()>>& Sources() {
  static std::map<std::string, std::function<std::string()>> t;
  return t;
}
}  // namespace

void RegisterBitmapResource(const std::string& name, const std::string& pixelMap) {
  Surface s = ParsePixelMap(pixelMap);
  std::lock_guard lock(mutex);
  Sources().erase(AsciiUpper(name));
  Table()[AsciiUpper(name)] = std::move(s);
}

void RegisterBitmapResourceSource(const std::string& name, std::function<std::string()> make) {
  std::lock_guard lock(mutex);
  Table().erase(AsciiUpper(name));
  Sources()[AsciiUpper(name)] = std::move(make);
}

void RegisterBitmapResourceData(const std::string& name, const std::vector<std::uint8_t>& bmp) {
  Surface s = DecodeBmp(bmp);
  std::lock_guard lock(mutex);
  Sources().erase(AsciiUpper(name));
  Table()[AsciiUpper(name)] = std::move(s);
}

std::optional<Surface> FindBitmapResource(const std::string& name) {
  const std::string key = AsciiUpper(name);
  std::lock_guard lock(mutex);
  auto it = Table().find(key);
  if (it == Table().end()) {
    auto source = Sources().find(key);
    if (source == Sources().end()) return std::nullopt;
    Surface s = ParsePixelMap(source->second());
    Sources().erase(source);
    it = Table().emplace(key, std::move(s)).first;
  }
  return it->second;
}

}  // namespace win
