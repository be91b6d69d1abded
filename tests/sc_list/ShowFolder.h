#pragma once
// Shows a folder of the PC in a shell list and lets the list fill, as a program does.
#include <gtest/gtest.h>

#include <string>

#include "platform/forms/Forms.h"
#include "platform/forms/UiDriver.h"
#include "shellcontrols/UScShellList.h"
#include "shellcontrols/UScShellUtils.h"

inline ::testing::AssertionResult ShowFolderIn(TScShellList* list, const std::string& path) {
  win::LPITEMIDLIST p = nullptr;
  if (PathToPidl(path, &p) != win::S_OK)
    return ::testing::AssertionFailure() << "no item-id list for " << path;
  list->Folder()->SetPidl(p);
  ShellFree(p);
  list->HandleNeeded();
  UiDriver::RunUntilIdle();
  return ::testing::AssertionSuccess();
}

// A shell list in report view on form, at the given bounds.
inline TScShellList* NewReportList(TForm* form, int left, int top, int width, int height) {
  auto* list = new TScShellList(form);
  list->SetParent(form);
  list->SetBounds(left, top, width, height);
  list->SetViewStyle(vsReport);
  return list;
}
