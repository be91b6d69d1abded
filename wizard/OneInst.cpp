#include "wizard/OneInst.h"

#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/Semaphore.h"

namespace {

win::HANDLE gToken = nullptr;

}  // namespace

bool AlreadyRunning() {
  ReleaseInstanceToken();
  gToken = win::CreateSemaphore(nullptr, 0, 1, kInstanceTokenName);
  return gToken != nullptr && win::GetLastError() == win::ERROR_ALREADY_EXISTS;
}

void ReleaseInstanceToken() {
  if (gToken) {
    win::CloseHandle(gToken);
    gToken = nullptr;
  }
}
