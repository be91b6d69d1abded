#pragma once
// One registry value at a time, with a French message when the key cannot be opened.
// Readers treat a missing key or value as empty; a value of the wrong type raises the
// registry object's "Type de données incorrect pour '<name>'".
#include <cstdint>
#include <string>

#include "platform/system/Registry.h"

void ReadRegString(win::HKEY Root, const std::string& Key, const std::string& Name,
                   std::string& Value);
void ReadRegInteger(win::HKEY Root, const std::string& Key, const std::string& Name, bool& Exists,
                    std::int32_t& Value);
// The key path is created when missing.
void WriteRegInteger(win::HKEY Root, const std::string& Key, const std::string& Name,
                     std::int32_t Value);
void WriteRegString(win::HKEY Root, const std::string& Key, const std::string& Name,
                    const std::string& Value);
// Deletes Key with everything below it; a missing key or a refused deletion is ignored.
void DeleteRegKey(win::HKEY Root, const std::string& Key);

extern const char* const SRegReadError;   // "Lecture d'une valeur de registre impossible : ..."
extern const char* const SRegWriteError;  // "Écriture d'une valeur de registre impossible : ..."
