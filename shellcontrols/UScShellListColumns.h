#pragma once
// The shell list's columns: the file columns with their widths from Explorer's
// "DirectoryCols" value, or a folder's own columns from its details source, and the widths
// kept in the column-width store for the next list.
#include "platform/forms/ListView.h"
#include "platform/shell/ShellFolder.h"

// The widths of the columns into the store, and back.
void SaveColumnWidths(TListColumns* Columns);
void RestoreColumnWidths(TListColumns* Columns);
// "Nom", "Taille", "Type", "Modifié": widths from "DirectoryCols", or from the store while
// that value stays as it was.
void AddFileColumns(TListColumns* Columns);
// The columns the details source gives; widths from the store for a file-system folder
// when the store holds some, else from the captions.
void AddDetailsColumns(TListColumns* Columns, win::IShellDetails* Details, bool FileSystem);
