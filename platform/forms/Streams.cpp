#include "platform/forms/Streams.h"

#include <algorithm>
#include <cstring>

#include "platform/system/ErrorMessages.h"

EStreamReadError::EStreamReadError() : EStreamError("Erreur de lecture de flux") {}
EStreamWriteError::EStreamWriteError() : EStreamError("Erreur d'écriture de flux") {}

namespace {
std::string WithReason(std::string text, win::DWORD code) {
  const std::string reason = code ? win::SysErrorMessage(code) : std::string();
  if (!reason.empty()) text += "\r\n" + reason;
  return text;
}
}  // namespace

EFOpenError::EFOpenError(const std::string& fileName, win::DWORD code)
    : EStreamError(WithReason("Impossible d'ouvrir le fichier " + fileName, code)) {}
EFCreateError::EFCreateError(const std::string& fileName, win::DWORD code)
    : EStreamError(WithReason("Impossible de créer le fichier " + fileName, code)) {}

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EStreamReadError();
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EStreamWriteError();
}

std::int64_t TStream::Size() {
  std::int64_t pos = Seek(0, soCurrent);
  std::int64_t end = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return end;
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
  if (count <= 0 || FPos >= std::int64_t(FData.size())) return 0;
  std::int64_t n = std::min<std::int64_t>(count, std::int64_t(FData.size()) - FPos);
  std::memcpy(buffer, FData.data() + FPos, size_t(n));
  FPos += n;
  return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  std::int64_t n = count;
  if (FLimit >= 0) n = std::max<std::int64_t>(0, std::min(count, FLimit - FPos));
  if (n == 0) return 0;
  if (FPos + n > std::int64_t(FData.size())) FData.resize(size_t(FPos + n));
  std::memcpy(FData.data() + FPos, buffer, size_t(n));
  FPos += n;
  return n;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = origin == soBeginning ? 0
                      : origin == soCurrent ? FPos
                                            : std::int64_t(FData.size());
  FPos = std::max<std::int64_t>(0, base + offset);
  return FPos;
}
