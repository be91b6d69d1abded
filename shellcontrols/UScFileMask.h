#pragma once
// A file mask: patterns separated by ';' (blanks around them ignored). While it is built,
// it holds the names of the files the patterns find in a folder.
#include <string>
#include <vector>

#include "platform/forms/Classes.h"
#include "platform/system/WinTypes.h"

class TScFileMask {
 public:
  TScFileMask() = default;
  ~TScFileMask() { Free(); }
  TScFileMask(const TScFileMask&) = delete;
  TScFileMask& operator=(const TScFileMask&) = delete;

  const std::string& Text() const { return FText; }
  void SetText(const std::string& Value);
  const std::vector<std::string>& Patterns() const { return FPatterns; }
  // Lists the files the patterns find in the folder (none for no folder path or a mask that
  // takes everything: the mask is then not active).
  void Build(const std::string& FolderPath);
  void Free();
  bool Active() const { return FFilter != nullptr; }
  // Folders always match, and everything while the mask is not active.
  bool Matches(const std::string& Name, win::DWORD Attributes) const;

 private:
  std::string FText;
  std::vector<std::string> FPatterns;
  TStringList* FFilter = nullptr;
};
