#pragma once
// Values of the current machine's HKEY_LOCAL_MACHINE that tests set up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/system/Registry.h"

// Writes a value under HKEY_LOCAL_MACHINE, the key made as needed.
inline void SetMachineValue(const std::string& key, const std::string& name, win::DWORD type,
                            const std::vector<win::BYTE>& data) {
  win::HKEY k;
  ASSERT_EQ(win::RegCreateKeyEx(win::HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, win::KEY_ALL_ACCESS,
                                nullptr, &k, nullptr),
            0);
  ASSERT_EQ(win::RegSetValueEx(k, name, 0, type, data.data(), win::DWORD(data.size())), 0);
  win::RegCloseKey(k);
}

// The registry's ProgramFilesDir, or none for "".
inline void SetProgramFilesValue(const std::string& value) {
  win::HKEY k;
  ASSERT_EQ(
      win::RegCreateKeyEx(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                          0, nullptr, 0, win::KEY_ALL_ACCESS, nullptr, &k, nullptr),
      0);
  if (value.empty())
    win::RegDeleteValue(k, "ProgramFilesDir");
  else
    win::RegSetValueEx(k, "ProgramFilesDir", 0, win::REG_SZ,
                       reinterpret_cast<const win::BYTE*>(value.c_str()),
                       win::DWORD(value.size() + 1));
  win::RegCloseKey(k);
}
