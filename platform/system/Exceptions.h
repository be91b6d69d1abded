#pragma once
// The toolkit's exception classes: every failure carries a ready-to-show message.
#include <exception>
#include <string>

#include "platform/system/WinTypes.h"

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }
  void SetMessage(std::string m) { message_ = std::move(m); }

 private:
  std::string message_;
};

// The silent abort: default handlers show nothing for it.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Opération abandonnée") {}
};

// An operating-system failure passed on unchanged.
class EOSError : public Exception {
 public:
  EOSError(std::string message, win::DWORD code) : Exception(std::move(message)), ErrorCode(code) {}
  win::DWORD ErrorCode;
};

[[noreturn]] void Abort();
// "Erreur système.  Code : %d.\r\n%s" for the last error, or "Un appel à une fonction du
// système d'exploitation a échoué" when the last error is 0.
[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseLastOSError(win::DWORD code);
