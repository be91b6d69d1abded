#pragma once
// The general helper unit of both programs: messages, busy cursor, error reporting and
// registry values (in their own headers, included here), plus string, folder and
// system helpers.
#include <string>
#include <vector>

#include "toolkit/ErrorReporting.h"
#include "toolkit/MessageHelpers.h"
#include "toolkit/PanelLayout.h"
#include "toolkit/RegistryHelpers.h"
#include "toolkit/SystemServices.h"

// Cuts Text at every Separator. Empty inner pieces are kept, a last empty piece is not:
// "a;;b;" gives a, "", b; "" gives nothing.
void SplitString(const std::string& Text, std::vector<std::string>& List, char Separator);
// The parent folder with its trailing backslash: C:\A\B\ and C:\A\B give C:\A\. Without an
// inner backslash Install takes the first three characters (the drive root), Tolvane the
// first one.
void ExtractParentDir(const std::string& Path, std::string& Parent);
// The system folder with a trailing backslash; a failure is reported (ReportLastError
// with an empty message) and ends in the silent abort.
void GetSystemDir(std::string& Dir);
// The Windows folder with a trailing backslash, or empty when the platform gives none.
void GetWindowsDir(std::string& Dir);
// Appends a backslash to a non-empty Path that does not end with one.
void AddBackslash(std::string& Path);

// Creates every missing level of Path (a drive such as C: is never created). A failure
// goes to ReportLastError with the folder that could not be made.
void CreateDirectories(const std::string& Path);
// Appends Dir\name for each file of Dir whose extension is Ext (".lck", "lck" and "*.lck"
// all mean lck; "*" or ".*" every file), in the order found. Folders are skipped.
void ListFilesByExt(const std::string& Dir, const std::string& Ext, std::vector<std::string>& List);
