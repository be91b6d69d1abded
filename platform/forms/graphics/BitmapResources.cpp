#include "platform/forms/graphics/BitmapResources.h"

#include <map>
#include <mutex>

#include "platform/forms/graphics/ImageFiles.h"

namespace win {
namespace {
std::string Upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}
std::mutex mutex;
std::map<std::string, Surface>& Table() {
  static std::map<std::string, Surface> t;
  return t;
}
}  // namespace

void RegisterBitmapResource(const std::string& name, const std::string& pixelMap) {
  Surface s = ParsePixelMap(pixelMap);
  std::lock_guard lock(mutex);
  Table()[Upper(name)] = std::move(s);
}

void RegisterBitmapResourceData(const std::string& name, const std::vector<std::uint8_t>& bmp) {
  Surface s = DecodeBmp(bmp);
  std::lock_guard lock(mutex);
  Table()[Upper(name)] = std::move(s);
}

std::optional<Surface> FindBitmapResource(const std::string& name) {
  std::lock_guard lock(mutex);
  auto it = Table().find(Upper(name));
  if (it == Table().end()) return std::nullopt;
  return it->second;
}

}  // namespace win
