#pragma once
// The shell controls' own texts (French). Every one of them is passed through
// GetShellResString (UScShellUtils.h) before use.

inline constexpr const char* SScBrowseForFolder = "Parcourir à la recherche d'un dossier";
inline constexpr const char* SScOk = "OK";
inline constexpr const char* SScCancel = "Annuler";
inline constexpr const char* SScCreateFolderHint = "Créer un dossier";
inline constexpr const char* SScCreateFolderLongHint = "Crée un nouveau dossier vide.";
inline constexpr const char* SScDeleteHint = "Supprimer";
inline constexpr const char* SScDeleteLongHint = "Supprime les éléments sélectionnés.";
inline constexpr const char* SScDialogFontName = "MS Sans Serif";
inline constexpr const char* SScNewFolder = "Nouveau dossier";
inline constexpr const char* SScCannotCreateFolder = "Impossible de créer le dossier '%2'\n\n%1";
inline constexpr const char* SScSizeKB = "%s Ko";
inline constexpr const char* SScSystemFolder = "Dossier système";
inline constexpr const char* SScColName = "Nom";
inline constexpr const char* SScColSize = "Taille";
inline constexpr const char* SScColType = "Type";
inline constexpr const char* SScColModified = "Modifié";
// Default key table: select all, delete, copy, cut, paste, refresh, rename.
inline constexpr const char* SScKeySelectAll = "Ctrl+A";
inline constexpr const char* SScKeyDelete = "Del";
inline constexpr const char* SScKeyCopy = "Ctrl+C";
inline constexpr const char* SScKeyCut = "Ctrl+X";
inline constexpr const char* SScKeyPaste = "Ctrl+V";
inline constexpr const char* SScKeyRefresh = "F5";
inline constexpr const char* SScKeyRename = "F2";

// Programming errors (English, never translated).
inline constexpr const char* SScDuplicatePidl = "TScPidlList: Duplicate PIDL";
inline constexpr const char* SScTooManySubstitutions =
    "FormatStrPos: Too many substitution strings";
inline constexpr const char* SScFolderBrowseActive = "TScFolderBrowseDlg form already active";
