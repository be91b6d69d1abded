#include "platform/forms/Clipboard.h"

#include "platform/forms/DisplayBackend.h"
#include "platform/forms/graphics/DisplaySurface.h"

namespace {
std::string& Held() {
  static auto* text = new std::string;
  return *text;
}
}  // namespace

void SetClipboardText(const std::string& utf8) {
  Held() = utf8;
  if (!DisplayBackend::UsesX11()) return;
  std::string lf;
  for (size_t i = 0; i < utf8.size(); ++i)
    if (!(utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n')) lf += utf8[i];
  win::SetX11Clipboard(lf);
}

std::string ClipboardText() { return Held(); }
