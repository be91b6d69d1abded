#pragma once
// Byte streams of the class library: the exact read and write operations fail with the
// stream errors when fewer bytes than asked could be moved.
#include <cstdint>
#include <string>

#include "platform/forms/Classes.h"

class EStreamError : public Exception {
 public:
  using Exception::Exception;
};
// "Erreur de lecture de flux"
class EStreamReadError : public EStreamError {
 public:
  EStreamReadError();
};
// "Erreur d'écriture de flux"
class EStreamWriteError : public EStreamError {
 public:
  EStreamWriteError();
};

// A file that cannot be opened for reading, or created for writing: "Impossible d'ouvrir le
// fichier %s" or "Impossible de créer le fichier %s", then the system's reason for code on a
// line of its own when it has one.
class EFOpenError : public EStreamError {
 public:
  EFOpenError(const std::string& fileName, win::DWORD code);
};
class EFCreateError : public EStreamError {
 public:
  EFCreateError(const std::string& fileName, win::DWORD code);
};

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
 public:
  // Bytes actually moved.
  virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
  virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  void ReadBuffer(void* buffer, std::int64_t count);
  void WriteBuffer(const void* buffer, std::int64_t count);
  std::int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(std::int64_t p) { Seek(p, soBeginning); }
  std::int64_t Size();
};

// A stream over bytes in memory; a set capacity limit makes writes beyond it fail.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string bytes) : FData(std::move(bytes)) {}
  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  const std::string& Bytes() const { return FData; }
  void Clear() {
    FData.clear();
    FPos = 0;
  }
  void SetLimit(std::int64_t limit) { FLimit = limit; }

 private:
  std::string FData;
  std::int64_t FPos = 0;
  std::int64_t FLimit = -1;
};
