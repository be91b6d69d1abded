#include "shellcontrols/UScShell95.h"

#include "platform/shell/Com.h"

namespace {
int gInitCount = 0;
}

void StartShell95Unit() {
  if (gInitCount++ == 0) win::CoInitialize(nullptr);
}

void StopShell95Unit() {
  if (gInitCount > 0 && --gInitCount == 0) win::CoUninitialize();
}
