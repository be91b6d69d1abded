#include "platform/shell/ContextMenu.h"

#include <cstring>

#include "platform/shell/ChangeNotify.h"
#include "platform/shell/DragDrop.h"
#include "platform/shell/FileOperation.h"
#include "platform/shell/Ole.h"
#include "platform/shell/ShellFolder.h"
#include "platform/shell/ShellLink.h"
#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "platform/system/Process.h"

namespace win {

namespace {

struct Command {
  UINT offset;
  const char* verb;
  const char* caption;
  const char* help;
};
const Command kCommands[] = {
    {SHCMD_OPEN, "open", "&Ouvrir", "Ouvre l'élément sélectionné."},
    {SHCMD_EXPLORE, "explore", "&Explorer", "Explore le dossier sélectionné."},
    {SHCMD_LINK, "link", "Créer un &raccourci", "Crée un raccourci vers l'élément sélectionné."},
    {SHCMD_DELETE, "delete", "&Supprimer", "Supprime les éléments sélectionnés."},
    {SHCMD_RENAME, "rename", "Re&nommer", "Renomme l'élément sélectionné."},
    {SHCMD_PROPERTIES, "properties", "P&ropriétés",
     "Affiche les propriétés des éléments sélectionnés."},
    {SHCMD_CUT, "cut", "Co&uper", "Déplace les éléments sélectionnés vers le Presse-papiers."},
    {SHCMD_COPY, "copy", "&Copier", "Copie les éléments sélectionnés vers le Presse-papiers."},
    {SHCMD_PASTE, "paste", "C&oller", "Insère les éléments du Presse-papiers."},
    {SHCMD_NEWFOLDER, "newfolder", "Nouveau &dossier", "Crée un nouveau dossier vide."},
};

const Command* ByOffset(UINT offset) {
  for (const auto& c : kCommands)
    if (c.offset == offset) return &c;
  return nullptr;
}
const Command* ByVerb(const std::string& verb) {
  for (const auto& c : kCommands)
    if (SameText(verb, c.verb)) return &c;
  return nullptr;
}

bool IsDir(const std::string& p) {
  DWORD a = GetFileAttributes(p);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string BaseName(const std::string& path) {
  std::string p = path;
  while (p.size() > 3 && p.back() == '\\') p.pop_back();
  std::size_t cut = p.find_last_of('\\');
  return cut == std::string::npos ? p : p.substr(cut + 1);
}

std::string Join(const std::string& dir, const std::string& name) {
  return !dir.empty() && dir.back() == '\\' ? dir + name : dir + "\\" + name;
}

HRESULT FromError(DWORD e) { return HRESULT_FROM_WIN32(e ? e : ERROR_GEN_FAILURE); }

bool IsVirtual(const std::string& p) { return p.rfind("::", 0) == 0; }

class FileContextMenu final : public ComObject<IContextMenu, IID_IContextMenu> {
 public:
  FileContextMenu(std::string folder, std::vector<std::string> items)
      : folder_(std::move(folder)), items_(std::move(items)) {
    for (const auto& p : items_) {
      fixed_ = fixed_ || IsProtectedShellPath(p);
      virtual_ = virtual_ || IsVirtual(p);
    }
  }

  HRESULT QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last, UINT flags) override {
    if (!IsMenu(menu)) return E_INVALIDARG;
    UINT pos = index, top = 0;
    bool any = false;
    auto add = [&](UINT offset, bool isDefault = false) {
      if (first + offset > last) return;
      const Command* c = ByOffset(offset);
      InsertMenu(menu, pos, MF_BYPOSITION | MF_STRING, first + offset, c->caption);
      if (isDefault && !(flags & CMF_NODEFAULT)) SetMenuDefaultItem(menu, pos, TRUE);
      ++pos;
      top = std::max(top, offset + 1);
      any = true;
    };
    auto separator = [&] {
      if (any && !(flags & CMF_DEFAULTONLY))
        InsertMenu(menu, pos++, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    };
    if (items_.empty()) {
      if (flags & CMF_DEFAULTONLY) return MAKE_HRESULT(0, 0, 0);
      add(SHCMD_PASTE);
      add(SHCMD_NEWFOLDER);
      separator();
      add(SHCMD_PROPERTIES);
      return MAKE_HRESULT(0, 0, top);
    }
    bool allFolders = true;
    for (const auto& p : items_) allFolders = allFolders && (IsVirtual(p) || IsDir(p));
    add(SHCMD_OPEN, true);
    if (flags & CMF_DEFAULTONLY) return MAKE_HRESULT(0, 0, top);
    if (allFolders && (flags & CMF_EXPLORE)) add(SHCMD_EXPLORE);
    separator();
    if (fixed_) {
      // A drive, My Computer or the desktop: nothing that would take it away.
      if (Allowed(SHCMD_PASTE)) add(SHCMD_PASTE);
      separator();
      if (Allowed(SHCMD_LINK)) add(SHCMD_LINK);
      separator();
      add(SHCMD_PROPERTIES);
      return MAKE_HRESULT(0, 0, top);
    }
    // The shell's Send To sub-menu, empty until its owner fills it.
    HMENU sendTo = CreatePopupMenu();
    AppendMenu(sendTo, MF_STRING | MF_GRAYED, 0, "(vide)");
    InsertMenu(menu, pos++, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(sendTo),
               "Envo&yer vers");
    separator();
    add(SHCMD_CUT);
    add(SHCMD_COPY);
    if (allFolders && items_.size() == 1) add(SHCMD_PASTE);
    separator();
    add(SHCMD_LINK);
    add(SHCMD_DELETE);
    if ((flags & CMF_CANRENAME) && items_.size() == 1) add(SHCMD_RENAME);
    separator();
    add(SHCMD_PROPERTIES);
    return MAKE_HRESULT(0, 0, top);
  }

  HRESULT InvokeCommand(CMINVOKECOMMANDINFO* info) override {
    if (!info || !info->lpVerb) return E_INVALIDARG;
    const Command* c = IS_INTRESOURCE(info->lpVerb)
                           ? ByOffset(UINT(reinterpret_cast<std::uintptr_t>(info->lpVerb)))
                           : ByVerb(info->lpVerb);
    if (!c || !Allowed(c->offset)) return E_INVALIDARG;
    Machine& m = Machine::Current();
    switch (c->offset) {
      case SHCMD_OPEN:
      case SHCMD_EXPLORE:
        for (const auto& p : items_) {
          if (IsVirtual(p)) {
            m.Journal("shell", std::string(c->verb) + " " + p);
            continue;
          }
          HINSTANCE r = ShellExecute(info->hwnd, c->verb, p, nullptr, nullptr, info->nShow);
          if (reinterpret_cast<std::intptr_t>(r) <= 32) return FromError(GetLastError());
        }
        return S_OK;
      case SHCMD_LINK:
        return MakeLinks();
      case SHCMD_DELETE:
        return Outcome(ShellDeleteItems(items_));
      case SHCMD_RENAME:
        return S_OK;
      case SHCMD_PROPERTIES:
        for (const auto& p : items_.empty() ? std::vector<std::string>{folder_} : items_)
          m.Journal("shell", "properties " + p);
        return S_OK;
      case SHCMD_CUT:
      case SHCMD_COPY:
        return ToClipboard(c->offset == SHCMD_CUT);
      case SHCMD_PASTE:
        return Paste(items_.empty() ? folder_ : items_[0]);
      case SHCMD_NEWFOLDER:
        return NewFolder();
    }
    return E_INVALIDARG;
  }

  HRESULT GetCommandString(UINT_PTR idCmd, UINT type, UINT*, char* name, UINT cchMax) override {
    const Command* c = ByOffset(UINT(idCmd));
    if (!c || !Allowed(c->offset)) return E_INVALIDARG;
    if (type == GCS_VALIDATEA) return S_OK;
    const char* text = type == GCS_VERBA ? c->verb : type == GCS_HELPTEXTA ? c->help : nullptr;
    if (!text) return E_INVALIDARG;
    if (!name || cchMax == 0) return E_INVALIDARG;
    std::size_t n = std::min<std::size_t>(std::strlen(text), cchMax - 1);
    std::memcpy(name, text, n);
    name[n] = 0;
    return S_OK;
  }

 private:
  // A declined question is no failure: nothing was done because the user said so.
  static HRESULT Outcome(DWORD e) {
    return e == ERROR_CANCELLED ? S_FALSE : e ? FromError(e) : S_OK;
  }

  bool Allowed(UINT offset) const {
    if (items_.empty())
      return offset == SHCMD_PASTE || offset == SHCMD_NEWFOLDER || offset == SHCMD_PROPERTIES;
    if (fixed_) {
      if (offset == SHCMD_OPEN || offset == SHCMD_EXPLORE || offset == SHCMD_PROPERTIES)
        return true;
      if (offset == SHCMD_LINK) return !virtual_;
      return offset == SHCMD_PASTE && !virtual_ && items_.size() == 1 && IsDir(items_[0]);
    }
    if (offset == SHCMD_NEWFOLDER) return false;
    if (offset == SHCMD_PASTE || offset == SHCMD_EXPLORE) {
      for (const auto& p : items_)
        if (!IsDir(p)) return false;
      return offset != SHCMD_PASTE || items_.size() == 1;
    }
    return true;
  }

  HRESULT MakeLinks() {
    for (const auto& p : items_) {
      std::string base = BaseName(p);
      if (base.size() == 3 && base[1] == ':') base = std::string("Lecteur ") + base[0];
      std::string link = Join(folder_, "Raccourci vers " + base + ".lnk");
      for (int n = 2; GetFileAttributes(link) != INVALID_FILE_ATTRIBUTES; ++n)
        link = Join(folder_, "Raccourci (" + std::to_string(n) + ") vers " + base + ".lnk");
      ComPtr<IShellLinkA> sl;
      HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    sl.put_void());
      if (FAILED(hr)) return hr;
      sl->SetPath(p.c_str());
      ComPtr<IPersistFile> pf;
      hr = sl->QueryInterface(IID_IPersistFile, pf.put_void());
      if (FAILED(hr)) return hr;
      std::u16string w = ToWide(link);
      hr = pf->Save(w.c_str(), TRUE);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }

  HRESULT ToClipboard(bool cut) {
    LPITEMIDLIST parent = nullptr;
    HRESULT hr = SHParseDisplayName(folder_, &parent, 0, nullptr);
    if (FAILED(hr)) return hr;
    std::vector<LPITEMIDLIST> children;
    for (const auto& p : items_) {
      LPITEMIDLIST abs = nullptr;
      hr = SHParseDisplayName(p, &abs, 0, nullptr);
      if (FAILED(hr)) break;
      children.push_back(ILClone(ILFindLastID(abs)));
      ILFree(abs);
    }
    ComPtr<IDataObject> data;
    if (SUCCEEDED(hr)) {
      std::vector<LPCITEMIDLIST> kids(children.begin(), children.end());
      hr = CreateShellDataObject(parent, UINT(kids.size()), kids.data(), data.put());
    }
    for (auto c : children) ILFree(c);
    ILFree(parent);
    if (FAILED(hr)) return hr;
    HGLOBAL effect = GlobalAlloc(GMEM_MOVEABLE, 4);
    if (!effect) return E_OUTOFMEMORY;
    DWORD value = cut ? DROPEFFECT_MOVE : DROPEFFECT_COPY | DROPEFFECT_LINK;
    std::memcpy(GlobalLock(effect), &value, 4);
    FORMATETC fe;
    fe.cfFormat = CLIPFORMAT(RegisterClipboardFormat(CFSTR_PREFERREDDROPEFFECT));
    STGMEDIUM sm;
    sm.tymed = TYMED_HGLOBAL;
    sm.hGlobal = effect;
    data->SetData(&fe, &sm, TRUE);
    Machine::Current().Journal(
        "shell",
        std::string(cut ? "cut " : "copied to the clipboard ") + items_[0] +
            (items_.size() > 1 ? " and " + std::to_string(items_.size() - 1) + " more" : ""));
    return OleSetClipboard(data.get());
  }

  HRESULT Paste(const std::string& target) {
    ComPtr<IDataObject> data;
    if (FAILED(OleGetClipboard(data.put()))) return E_FAIL;
    FORMATETC fe;
    fe.cfFormat = CF_HDROP;
    STGMEDIUM sm;
    HRESULT hr = data->GetData(&fe, &sm);
    if (FAILED(hr)) return hr;
    std::vector<std::string> paths = ReadHDrop(sm.hGlobal);
    ReleaseStgMedium(&sm);
    if (paths.empty()) return E_FAIL;
    DWORD effect = DROPEFFECT_COPY;
    fe.cfFormat = CLIPFORMAT(RegisterClipboardFormat(CFSTR_PREFERREDDROPEFFECT));
    if (SUCCEEDED(data->GetData(&fe, &sm))) {
      if (GlobalSize(sm.hGlobal) >= 4) std::memcpy(&effect, GlobalLock(sm.hGlobal), 4);
      ReleaseStgMedium(&sm);
    }
    bool move = (effect & DROPEFFECT_MOVE) && !(effect & DROPEFFECT_COPY);
    DWORD e = ShellCopyItems(paths, target, move, true);
    if (e) return Outcome(e);
    if (move) OleSetClipboard(nullptr);  // moved items are no longer there to paste
    return S_OK;
  }

  HRESULT NewFolder() {
    std::string name = "Nouveau dossier";
    for (int n = 2; GetFileAttributes(Join(folder_, name)) != INVALID_FILE_ATTRIBUTES; ++n)
      name = "Nouveau dossier (" + std::to_string(n) + ")";
    std::string path = Join(folder_, name);
    if (!CreateDirectory(path)) return FromError(GetLastError());
    Machine::Current().Journal("shell", "new folder " + path);
    SHChangeNotify(SHCNE_MKDIR, SHCNF_PATH, path.c_str(), nullptr);
    return S_OK;
  }

  std::string folder_;
  std::vector<std::string> items_;
  bool fixed_ = false;    // a drive root, a virtual folder or the desktop among the items
  bool virtual_ = false;  // an item without a file-system path ("::{...}")
};

}  // namespace

HRESULT CreateFileContextMenu(const std::string& folderPath,
                              const std::vector<std::string>& itemPaths, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  auto* menu = new FileContextMenu(folderPath, itemPaths);
  HRESULT hr = menu->QueryInterface(riid, ppv);
  menu->Release();
  return hr;
}

}  // namespace win
