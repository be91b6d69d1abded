#include "platform/shell/FileOperation.h"

#include <cstring>

#include "platform/shell/ChangeNotify.h"
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

DWORD CopyTree(const std::string& from, const std::string& to) {
  if (!IsDir(from)) {
    if (!CopyFile(from, to, FALSE)) return Fail();
    SHChangeNotify(SHCNE_CREATE, SHCNF_PATH, to.c_str(), nullptr);
    return 0;
  }
  if (!IsDir(to)) {
    if (!CreateDirectory(to)) return Fail();
    SHChangeNotify(SHCNE_MKDIR, SHCNF_PATH, to.c_str(), nullptr);
  }
  WIN32_FIND_DATA fd;
  HANDLE h = FindFirstFile(Join(from, "*"), &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  DWORD err = 0;
  do {
    if (fd.cFileName == "." || fd.cFileName == "..") continue;
    err = CopyTree(Join(from, fd.cFileName), Join(to, fd.cFileName));
  } while (!err && FindNextFile(h, &fd));
  FindClose(h);
  return err;
}

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

// True when `inner` is `outer` or lies below it (names compared without regard to case).
bool Within(const std::string& inner, const std::string& outer) {
  Machine& m = Machine::Current();
  std::string a = FoldCase(m.FullPathName(inner)), b = FoldCase(m.FullPathName(outer));
  return a == b || (a.size() > b.size() && a.compare(0, b.size(), b) == 0 && (a[b.size()] == '\\' || b.back() == '\\'));
}

std::string CollisionName(const std::string& folder, const std::string& name) {
  std::string candidate = "Copie de " + name;
  for (int n = 2; Exists(Join(folder, candidate)); ++n)
    candidate = "Copie (" + std::to_string(n) + ") de " + name;
  return candidate;
}

}  // namespace

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
  if (!op || !op->pFrom || op->wFunc < FO_MOVE || op->wFunc > FO_RENAME) return int(ERROR_INVALID_PARAMETER);
  op->fAnyOperationsAborted = FALSE;
  std::vector<std::string> from = ReadList(op->pFrom);
  std::vector<std::string> to = ReadList(op->pTo);
  Machine& m = Machine::Current();
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
      SHChangeNotify(dir ? SHCNE_RENAMEFOLDER : SHCNE_RENAMEITEM, SHCNF_PATH, src.c_str(), to[0].c_str());
      m.Journal("shell", "renamed " + src + " to " + to[0]);
    } else {
      if (to.empty()) return int(ERROR_INVALID_PARAMETER);
      std::string target;
      if (op->fFlags & FOF_MULTIDESTFILES) {
        if (i >= to.size()) return int(ERROR_INVALID_PARAMETER);
        target = to[i];
      } else {
        if (!IsDir(to[0])) return int(ERROR_PATH_NOT_FOUND);
        target = Join(to[0], BaseName(src));
      }
      bool same = SameText(m.FullPathName(target), m.FullPathName(src));
      if (!same && IsDir(src) && Within(target, src)) return int(ERROR_INVALID_PARAMETER);
      if (same) {
        if (!(op->fFlags & FOF_RENAMEONCOLLISION)) return int(ERROR_FILE_EXISTS);
        target = Join(Parent(target), CollisionName(Parent(target), BaseName(src)));
      }
      bool dir = IsDir(src);
      if (op->wFunc == FO_MOVE && !Exists(target)) {
        if (!MoveFile(src, target)) err = Fail();
        else SHChangeNotify(dir ? SHCNE_RENAMEFOLDER : SHCNE_RENAMEITEM, SHCNF_PATH, src.c_str(), target.c_str());
      } else {
        err = CopyTree(src, target);
        if (!err && op->wFunc == FO_MOVE) err = DeleteTree(src);
      }
      if (!err) m.Journal("shell", std::string(op->wFunc == FO_MOVE ? "moved " : "copied ") + src + " to " + target);
    }
    if (err) {
      op->fAnyOperationsAborted = TRUE;
      return int(err);
    }
  }
  return 0;
}

DWORD ShellCopyItems(const std::vector<std::string>& paths, const std::string& toFolder, bool move,
                     bool renameOnCollision) {
  std::string from = DoubleNullList(paths), to = DoubleNullList({toFolder});
  SHFILEOPSTRUCT op;
  op.wFunc = move ? FO_MOVE : FO_COPY;
  op.pFrom = from.c_str();
  op.pTo = to.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | (renameOnCollision ? FOF_RENAMEONCOLLISION : 0);
  return DWORD(SHFileOperation(&op));
}

DWORD ShellDeleteItems(const std::vector<std::string>& paths) {
  std::string from = DoubleNullList(paths);
  SHFILEOPSTRUCT op;
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  return DWORD(SHFileOperation(&op));
}

}  // namespace win
