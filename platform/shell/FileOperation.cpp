#include "platform/shell/FileOperation.h"

#include <cstring>

#include "platform/forms/MessageDialogs.h"
#include "platform/shell/ChangeNotify.h"
#include "platform/shell/ShellFolder.h"
#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/Machine.h"

namespace win {

namespace {

std::vector<std::string> ReadList(const char* p) {
  std::vector<std::string> out;
  if (!p) return out;
  while (*p) {
    out.emplace_back(p);
    p += std::strlen(p) + 1;
  }
  return out;
}

std::string BaseName(const std::string& path) {
  std::size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string Join(const std::string& dir, const std::string& name) {
  if (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) return dir + name;
  return dir + "\\" + name;
}

std::string Parent(const std::string& path) {
  std::size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

bool IsDir(const std::string& path) {
  DWORD a = GetFileAttributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::string& path) { return GetFileAttributes(path) != INVALID_FILE_ATTRIBUTES; }

DWORD Fail() {
  DWORD e = GetLastError();
  return e ? e : ERROR_GEN_FAILURE;
}

// The resolved spelling used to compare paths ("" for one that leaves its drive).
std::string Key(const std::string& path) { return FoldCase(Machine::Current().FullPathName(path)); }

// True when `inner` is `outer` or lies below it.
bool Within(const std::string& inner, const std::string& outer) {
  std::string a = Key(inner), b = Key(outer);
  if (a.empty() || b.empty()) return false;
  return a == b || (a.size() > b.size() && a.compare(0, b.size(), b) == 0 &&
                    (a[b.size()] == '\\' || b.back() == '\\'));
}

std::string CollisionName(const std::string& folder, const std::string& name) {
  std::string candidate = "Copie de " + name;
  for (int n = 2; Exists(Join(folder, candidate)); ++n)
    candidate = "Copie (" + std::to_string(n) + ") de " + name;
  return candidate;
}

enum class Answer { Yes, No, Cancel };

// One operation's questions: Oui à tout stops the replace questions for the rest of it.
class Questions {
 public:
  explicit Questions(bool confirm) : confirm_(confirm) {}

  bool ConfirmDelete(const std::vector<std::string>& paths) const {
    if (!confirm_ || paths.empty()) return true;
    std::string msg;
    if (paths.size() > 1)
      msg = "Voulez-vous vraiment supprimer ces " + std::to_string(paths.size()) + " éléments ?";
    else if (IsDir(paths[0]))
      msg = "Voulez-vous vraiment supprimer le dossier '" + BaseName(paths[0]) +
            "' et tout son contenu ?";
    else
      msg = "Voulez-vous vraiment supprimer '" + BaseName(paths[0]) + "' ?";
    return MessageDlg(msg, mtConfirmation, MsgButtons({mbYes, mbNo}), 0) == mrYes;
  }

  // Asked before `target` (an existing file or folder) takes what comes from `source`.
  Answer ConfirmReplace(const std::string& source, const std::string& target) {
    if (!confirm_ || all_) return Answer::Yes;
    std::string name = BaseName(target);
    std::string msg =
        IsDir(source) ? "Ce dossier contient déjà un dossier nommé '" + name +
                            "'.\r\n\r\nSi des fichiers du dossier existant portent le même nom que "
                            "ceux du dossier que vous "
                            "déplacez ou copiez, ils seront remplacés. Voulez-vous quand même "
                            "déplacer ou copier le dossier ?"
                      : "Ce dossier contient déjà un fichier nommé '" + name +
                            "'.\r\n\r\nVoulez-vous remplacer le fichier existant par celui-ci ?";
    switch (MessageDlg(msg, mtConfirmation, MsgButtons({mbYes, mbYesToAll, mbNo, mbCancel}), 0)) {
      case mrYesToAll:
        all_ = true;
        return Answer::Yes;
      case mrYes:
        return Answer::Yes;
      case mrNo:
        skipped_ = true;
        return Answer::No;
      default:
        return Answer::Cancel;
    }
  }
  bool Skipped() const { return skipped_; }

 private:
  bool confirm_;
  bool all_ = false;
  bool skipped_ = false;
};

// What a tree walk ended with: 0, a system error, or ERROR_CANCELLED.
DWORD DeleteTree(const std::string& path) {
  if (!IsDir(path)) {
    if (!DeleteFile(path)) return Fail();
    SHChangeNotify(SHCNE_DELETE, SHCNF_PATH, path.c_str(), nullptr);
    return 0;
  }
  WIN32_FIND_DATA fd;
  HANDLE h = FindFirstFile(Join(path, "*"), &fd);
  DWORD err = 0;
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (fd.cFileName == "." || fd.cFileName == "..") continue;
      err = DeleteTree(Join(path, fd.cFileName));
    } while (!err && FindNextFile(h, &fd));
    FindClose(h);
  }
  if (err) return err;
  if (!RemoveDirectory(path)) return Fail();
  SHChangeNotify(SHCNE_RMDIR, SHCNF_PATH, path.c_str(), nullptr);
  return 0;
}

// The names inside a folder (without "." and "..").
std::vector<std::string> Children(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATA fd;
  HANDLE h = FindFirstFile(Join(dir, "*"), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (fd.cFileName != "." && fd.cFileName != "..") names.push_back(fd.cFileName);
  } while (FindNextFile(h, &fd));
  FindClose(h);
  return names;
}

// One file copied over (replace) or beside what is there; the source goes when `move`.
DWORD CopyOneFile(const std::string& from, const std::string& to, bool replace, bool move) {
  if (!CopyFile(from, to, replace ? FALSE : TRUE)) return Fail();
  SHChangeNotify(replace ? SHCNE_UPDATEITEM : SHCNE_CREATE, SHCNF_PATH, to.c_str(), nullptr);
  if (move) {
    if (!DeleteFile(from)) return Fail();
    SHChangeNotify(SHCNE_DELETE, SHCNF_PATH, from.c_str(), nullptr);
  }
  return 0;
}

// Copies `from` to `to`, or moves it when `move`; an existing target is replaced (a file)
// or merged into (a folder) only when the user agrees. A declined item stays where it was.
DWORD Transfer(const std::string& from, const std::string& to, bool move, Questions& ask,
               bool asked = false) {
  bool dir = IsDir(from);
  if (Exists(to)) {
    if (dir != IsDir(to)) return ERROR_ALREADY_EXISTS;  // a file and a folder of one name
    if (!asked) {
      Answer a = ask.ConfirmReplace(from, to);
      if (a == Answer::Cancel) return ERROR_CANCELLED;
      if (a == Answer::No) return 0;
    }
    if (dir) {
      DWORD err = 0;
      for (const auto& name : Children(from))
        if ((err = Transfer(Join(from, name), Join(to, name), move, ask))) return err;
      // A folder left with declined items stays; an empty one has gone over completely.
      if (move && Children(from).empty()) {
        if (!RemoveDirectory(from)) return Fail();
        SHChangeNotify(SHCNE_RMDIR, SHCNF_PATH, from.c_str(), nullptr);
      }
      return 0;
    }
    return CopyOneFile(from, to, true, move);
  }
  if (move && MoveFile(from, to)) {
    SHChangeNotify(dir ? SHCNE_RENAMEFOLDER : SHCNE_RENAMEITEM, SHCNF_PATH, from.c_str(),
                   to.c_str());
    return 0;
  }
  if (!dir) return CopyOneFile(from, to, false, move);
  if (!CreateDirectory(to)) return Fail();
  SHChangeNotify(SHCNE_MKDIR, SHCNF_PATH, to.c_str(), nullptr);
  // The new folder is ours: what goes into it needs no question.
  return Transfer(from, to, move, ask, true);
}

}  // namespace

bool IsProtectedShellPath(const std::string& path) {
  if (path.empty() || path.rfind("::", 0) == 0) return true;  // a virtual folder
  std::string full = Machine::Current().FullPathName(path);
  if (full.empty() || full.size() <= 3) return true;  // a drive root, or a path off its drive
  std::string desktop = SpecialFolderPath(CSIDL_DESKTOPDIRECTORY);
  return !desktop.empty() && Key(full) == Key(desktop);
}

bool IsItemOfFolder(const std::string& path, const std::string& folder) {
  std::string full = Machine::Current().FullPathName(path);
  if (full.size() <= 3) return false;  // a drive root is nobody's item
  std::string parent = Parent(full);
  if (parent.size() == 2) parent += '\\';  // an item of a drive root
  std::string a = Key(parent), b = Key(folder);
  return !a.empty() && a == b;
}

std::string DoubleNullList(const std::vector<std::string>& names) {
  std::string s;
  for (const auto& n : names) {
    s += n;
    s += '\0';
  }
  s += '\0';
  return s;
}

int SHFileOperation(SHFILEOPSTRUCT* op) {
  if (!op || !op->pFrom || op->wFunc < FO_MOVE || op->wFunc > FO_RENAME)
    return int(ERROR_INVALID_PARAMETER);
  op->fAnyOperationsAborted = FALSE;
  std::vector<std::string> from = ReadList(op->pFrom);
  std::vector<std::string> to = ReadList(op->pTo);
  for (auto& src : from)
    while (src.size() > 3 && (src.back() == '\\' || src.back() == '/')) src.pop_back();
  Machine& m = Machine::Current();
  Questions ask((op->fFlags & FOF_NOCONFIRMATION) == 0);
  // What must never go is refused before anything is done.
  if (op->wFunc != FO_COPY)
    for (const auto& src : from)
      if (IsProtectedShellPath(src)) return int(ERROR_ACCESS_DENIED);
  if (op->wFunc == FO_DELETE) {
    for (const auto& src : from)
      if (!Exists(src)) return int(ERROR_FILE_NOT_FOUND);
    if (!ask.ConfirmDelete(from)) {
      op->fAnyOperationsAborted = TRUE;
      return int(ERROR_CANCELLED);
    }
  }
  for (std::size_t i = 0; i < from.size(); ++i) {
    const std::string& src = from[i];
    if (!Exists(src)) return int(ERROR_FILE_NOT_FOUND);
    DWORD err = 0;
    if (op->wFunc == FO_DELETE) {
      err = DeleteTree(src);
      if (!err) m.Journal("shell", "deleted " + src);
    } else if (op->wFunc == FO_RENAME) {
      if (to.empty()) return int(ERROR_INVALID_PARAMETER);
      bool dir = IsDir(src);
      if (!MoveFile(src, to[0])) return int(Fail());
      SHChangeNotify(dir ? SHCNE_RENAMEFOLDER : SHCNE_RENAMEITEM, SHCNF_PATH, src.c_str(),
                     to[0].c_str());
      m.Journal("shell", "renamed " + src + " to " + to[0]);
    } else {
      if (to.empty()) return int(ERROR_INVALID_PARAMETER);
      const bool move = op->wFunc == FO_MOVE;
      std::string target;
      if (op->fFlags & FOF_MULTIDESTFILES) {
        if (i >= to.size()) return int(ERROR_INVALID_PARAMETER);
        target = to[i];
      } else {
        if (!IsDir(to[0])) return int(ERROR_PATH_NOT_FOUND);
        target = Join(to[0], BaseName(src));
      }
      if (BaseName(src).empty())
        return int(ERROR_INVALID_PARAMETER);  // a drive root has no name to copy to
      const std::string targetKey = Key(target);
      if (targetKey.empty()) return int(ERROR_INVALID_NAME);
      bool same = targetKey == Key(src);
      if (same && move) continue;  // already in that folder: nothing to do
      if (!same && IsDir(src) && Within(target, src)) return int(ERROR_INVALID_PARAMETER);
      if (same) {
        if (!(op->fFlags & FOF_RENAMEONCOLLISION)) return int(ERROR_FILE_EXISTS);
        target = Join(Parent(target), CollisionName(Parent(target), BaseName(src)));
      }
      err = Transfer(src, target, move, ask);
      if (!err)
        m.Journal("shell", std::string(move ? "moved " : "copied ") + src + " to " + target);
    }
    if (err) {
      op->fAnyOperationsAborted = TRUE;
      return int(err);
    }
  }
  if (ask.Skipped()) op->fAnyOperationsAborted = TRUE;
  return 0;
}

DWORD ShellCopyItems(const std::vector<std::string>& paths, const std::string& toFolder, bool move,
                     bool renameOnCollision) {
  std::string from = DoubleNullList(paths), to = DoubleNullList({toFolder});
  SHFILEOPSTRUCT op;
  op.wFunc = move ? FO_MOVE : FO_COPY;
  op.pFrom = from.c_str();
  op.pTo = to.c_str();
  op.fFlags = FOF_SILENT | FOF_NOERRORUI | (renameOnCollision ? FOF_RENAMEONCOLLISION : 0);
  return DWORD(SHFileOperation(&op));
}

DWORD ShellDeleteItems(const std::vector<std::string>& paths) {
  std::string from = DoubleNullList(paths);
  SHFILEOPSTRUCT op;
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_SILENT | FOF_NOERRORUI;
  return DWORD(SHFileOperation(&op));
}

}  // namespace win
