#include "platform/forms/Classes.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include "platform/forms/Colors.h"
#include "platform/forms/Streams.h"
#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/Text.h"

const TClassInfo* TObject::StaticClassInfo() {
  static const TClassInfo info{"TObject", nullptr, {}, {}};
  return &info;
}

bool TObject::InheritsFrom(const std::string& className) const {
  return ClassInfo()->InheritsFrom(className);
}

bool TValue::operator==(const TValue& o) const {
  return kind == o.kind && i == o.i && d == o.d && s == o.s && set == o.set && list == o.list &&
         items == o.items;
}

const TPropInfo* TClassInfo::FindProp(const std::string& n) const {
  for (auto* c = this; c; c = c->parent)
    for (auto& p : c->own.props)
      if (AnsiSameText(p.name, n)) return &p;
  return nullptr;
}

std::vector<const TPropInfo*> TClassInfo::AllProps() const {
  std::vector<const TClassInfo*> chain;
  for (auto* c = this; c; c = c->parent) chain.push_back(c);
  std::vector<const TPropInfo*> out;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    for (auto& p : (*it)->own.props) {
      // A redefinition (other default) replaces the ancestor's in place.
      auto same = std::find_if(out.begin(), out.end(), [&](auto* q) { return q->name == p.name; });
      if (same != out.end())
        *same = &p;
      else
        out.push_back(&p);
    }
  return out;
}

bool TClassInfo::InheritsFrom(const std::string& n) const {
  for (auto* c = this; c; c = c->parent)
    if (AnsiSameText(c->name, n)) return true;
  return false;
}

namespace {
std::mutex& registryMutex() {
  static std::mutex m;
  return m;
}
std::map<std::string, const TClassInfo*>& registry() {
  static std::map<std::string, const TClassInfo*> r;
  return r;
}
}  // namespace

void RegisterClassInfo(const TClassInfo* info) {
  std::lock_guard lock(registryMutex());
  registry()[AnsiLowerCase(info->name)] = info;
}

const TClassInfo* FindClassInfo(const std::string& name) {
  std::lock_guard lock(registryMutex());
  auto it = registry().find(AnsiLowerCase(name));
  return it == registry().end() ? nullptr : it->second;
}

// ColorToIdent and IdentToColor come from the drawing layer, which owns the colour names.

// --- TPersistent -----------------------------------------------------------------------

void TPersistent::DefineProps(TPropList&) {}

void TPersistent::Assign(TPersistent* source) {
  if (source) {
    source->AssignTo(this);
    return;
  }
  AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest) {
  std::string src = dest == this ? "nil" : ClassName();
  throw Exception("Impossible d'assigner un " + src + " à un " + dest->ClassName());
}

// --- TComponent ------------------------------------------------------------------------

void TComponent::DefineProps(TPropList& p) {
  p.String("Name", &TComponent::Name, &TComponent::SetName).stored = [](TPersistent*) {
    return false;
  };
  p.Int("Tag", &TComponent::Tag, &TComponent::SetTag, 0);
}

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  FComponentState |= csDestroying;
  // Tell everyone who asked, then forget them.
  auto notifies = FFreeNotifies;
  FFreeNotifies.clear();
  for (auto* c : notifies) {
    c->FFreeNotifies.erase(std::remove(c->FFreeNotifies.begin(), c->FFreeNotifies.end(), this),
                           c->FFreeNotifies.end());
    c->Notification(this, opRemove);
  }
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

namespace {
bool isIdent(const std::string& s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  return std::all_of(s.begin(), s.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  });
}
}  // namespace

void TComponent::SetName(const std::string& value) {
  if (value == FName) return;
  if (!value.empty() && !isIdent(value))
    throw EComponentError("« " + value + " » n'est pas un nom de composant correct");
  if (!value.empty() && FOwner) {
    auto* other = FOwner->FindComponent(value);
    if (other && other != this)
      throw EComponentError("Un composant nommé " + value + " existe déjà");
  }
  FName = value;
}

int TComponent::ComponentIndex() const {
  if (!FOwner) return -1;
  auto& v = FOwner->FComponents;
  return int(std::find(v.begin(), v.end(), this) - v.begin());
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (auto* c : FComponents)
    if (AnsiSameText(c->FName, name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* c) {
  if (c->FOwner) c->FOwner->RemoveComponent(c);
  if (!c->FName.empty() && FindComponent(c->FName))
    throw EComponentError("Un composant nommé " + c->FName + " existe déjà");
  FComponents.push_back(c);
  c->FOwner = this;
  Notification(c, opInsert);
}

void TComponent::RemoveComponent(TComponent* c) {
  auto it = std::find(FComponents.begin(), FComponents.end(), c);
  if (it == FComponents.end()) return;
  Notification(c, opRemove);
  FComponents.erase(std::find(FComponents.begin(), FComponents.end(), c));
  c->FOwner = nullptr;
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent* c = FComponents.back();
    RemoveComponent(c);
    delete c;
  }
}

void TComponent::FreeNotification(TComponent* c) {
  if (!c || c == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), c) == FFreeNotifies.end())
    FFreeNotifies.push_back(c);
  if (std::find(c->FFreeNotifies.begin(), c->FFreeNotifies.end(), this) == c->FFreeNotifies.end())
    c->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* c) {
  if (!c) return;
  FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), c),
                      FFreeNotifies.end());
  c->FFreeNotifies.erase(std::remove(c->FFreeNotifies.begin(), c->FFreeNotifies.end(), this),
                         c->FFreeNotifies.end());
}

void TComponent::Notification(TComponent* c, TOperation op) {
  if (op == opRemove && c)
    for (auto* child : std::vector<TComponent*>(FComponents))
      if (child != c) child->Notification(c, op);
}

void TComponent::Loaded() { ClearLoading(); }

const std::any* TComponent::FindMethod(const std::string& name) const {
  for (auto& [n, m] : FMethods)
    if (AnsiSameText(n, name)) return &m;
  return nullptr;
}

std::string TComponent::MethodNameOf(const std::string&) const { return {}; }

void TComponent::BindFields() {
  for (auto& [name, bind] : FFields) {
    auto* c = FindComponent(name);
    if (!c)
      throw EReadError(std::string(ClassName()) + ": the component " + name +
                       " is missing from the form description");
    if (!bind(c))
      throw EReadError(std::string(ClassName()) + ": the component " + name + " is a " +
                       c->ClassName() + ", not of the declared class");
  }
}

void TComponent::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
  if (root != this) return;
  for (auto* c : FComponents)
    if (!c->HasParent()) proc(c);
}

// --- Tagged values ---------------------------------------------------------------------

std::uint8_t TReader::take() {
  if (FPos >= FData.size()) bad("a value");
  return std::uint8_t(FData[FPos++]);
}

void TReader::bad(const char* expected) const {
  throw EReadError(std::string("Valeur de propriété incorrecte: ") + expected + " attendu");
}

TValueType TReader::NextValue() const {
  return FPos < FData.size() ? TValueType(std::uint8_t(FData[FPos])) : vaNull;
}

void TReader::ReadListBegin() {
  if (take() != vaList) bad("liste");
}
void TReader::ReadListEnd() {
  if (take() != vaNull) bad("fin de liste");
}

int TReader::ReadInteger() {
  auto t = take();
  auto byte = [&] { return std::uint32_t(take()); };
  switch (t) {
    case vaInt8:
      return int(std::int8_t(byte()));
    case vaInt16: {
      std::uint32_t v = byte() | byte() << 8;
      return int(std::int16_t(v));
    }
    case vaInt32: {
      std::uint32_t v = byte();
      v |= byte() << 8;
      v |= byte() << 16;
      v |= byte() << 24;
      return int(std::int32_t(v));
    }
    default:
      bad("entier");
  }
}

bool TReader::ReadBoolean() {
  auto t = take();
  if (t == vaTrue) return true;
  if (t == vaFalse) return false;
  bad("booléen");
}

std::string TReader::ReadString() {
  auto t = take();
  size_t len;
  if (t == vaString || t == vaIdent)
    len = take();
  else if (t == vaLString || t == vaUTF8String) {
    len = take();
    len |= size_t(take()) << 8;
    len |= size_t(take()) << 16;
    len |= size_t(take()) << 24;
  } else
    bad("chaîne");
  if (FPos + len > FData.size()) bad("chaîne");
  std::string s = FData.substr(FPos, len);
  FPos += len;
  return s;
}

std::string TReader::ReadIdent() {
  auto t = NextValue();
  if (t == vaTrue || t == vaFalse) return ReadBoolean() ? "True" : "False";
  if (t != vaIdent) bad("identificateur");
  return ReadString();
}

void TWriter::WriteInteger(int v) {
  if (v >= -128 && v <= 127) {
    FData += char(vaInt8);
    FData += char(std::int8_t(v));
  } else if (v >= -32768 && v <= 32767) {
    FData += char(vaInt16);
    FData += char(v & 0xFF);
    FData += char((v >> 8) & 0xFF);
  } else {
    FData += char(vaInt32);
    for (int k = 0; k < 4; ++k) FData += char((std::uint32_t(v) >> (8 * k)) & 0xFF);
  }
}

void TWriter::WriteString(const std::string& s) {
  if (s.size() <= 255) {
    FData += char(vaString);
    FData += char(s.size());
  } else {
    FData += char(vaLString);
    for (int k = 0; k < 4; ++k) FData += char((s.size() >> (8 * k)) & 0xFF);
  }
  FData += s;
}

void TWriter::WriteIdent(const std::string& s) {
  if (s == "True") return WriteBoolean(true);
  if (s == "False") return WriteBoolean(false);
  FData += char(vaIdent);
  FData += char(s.size());
  FData += s;
}

namespace {
TValue readTagged(TReader& r) {
  switch (r.NextValue()) {
    case vaList: {
      TValue v;
      v.kind = TValue::vList;
      r.ReadListBegin();
      while (!r.EndOfList()) v.list.push_back(readTagged(r));
      r.ReadListEnd();
      return v;
    }
    case vaInt8:
    case vaInt16:
    case vaInt32:
      return TValue::Int(r.ReadInteger());
    case vaTrue:
    case vaFalse:
      return TValue::Bool(r.ReadBoolean());
    case vaIdent:
      return TValue::Ident(r.ReadIdent());
    case vaString:
    case vaLString:
    case vaUTF8String:
      return TValue::Str(r.ReadString());
    default:
      throw EReadError("Valeur de propriété incorrecte");
  }
}

void writeTagged(TWriter& w, const TValue& v) {
  switch (v.kind) {
    case TValue::vInt:
      w.WriteInteger(int(v.i));
      break;
    case TValue::vString:
      w.WriteString(v.s);
      break;
    case TValue::vIdent:
      w.WriteIdent(v.s);
      break;
    case TValue::vList:
      w.WriteListBegin();
      for (auto& x : v.list) writeTagged(w, x);
      w.WriteListEnd();
      break;
    default:
      throw EReadError("Valeur de propriété incorrecte");
  }
}
}  // namespace

TValue TaggedToValue(const std::string& data) {
  TReader r(data);
  TValue v = readTagged(r);
  if (!r.AtEnd()) throw EReadError("Valeur de propriété incorrecte");
  return v;
}

std::string ValueToTagged(const TValue& v) {
  TWriter w;
  writeTagged(w, v);
  return w.Data();
}

// --- Text comparison -------------------------------------------------------------------

std::string AnsiUpperCase(const std::string& s) { return win::Latin1Upper(s); }
std::string AnsiLowerCase(const std::string& s) { return win::Latin1Lower(s); }
int AnsiCompareText(const std::string& a, const std::string& b) {
  return win::Latin1Lower(a).compare(win::Latin1Lower(b));
}
bool AnsiSameText(const std::string& a, const std::string& b) {
  // Folding keeps every byte in its place, so texts of other lengths never match, and the
  // bytes can be folded where they stand.
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x == y) continue;
    if (x >= 0x80 || y >= 0x80) return AnsiCompareText(a, b) == 0;
    if (std::tolower(x) != std::tolower(y)) return false;
  }
  return true;
}

// --- TStrings --------------------------------------------------------------------------

void TStrings::DefineProps(TPropList&) {}

std::string ListIndexErrorText(int index) {
  return "Indice de liste hors limites (" + std::to_string(index) + ")";
}

void TStrings::Error(int index) const { throw EListError(ListIndexErrorText(index)); }

void TStrings::Put(int i, const std::string& s) {
  TObject* o = GetObject(i);
  Delete(i);
  InsertObject(i, s, o);
}

void TStrings::InsertObject(int i, const std::string& s, TObject* o) {
  Insert(i, s);
  PutObject(i, o);
}

int TStrings::Add(const std::string& s) {
  int n = Count();
  Insert(n, s);
  return n;
}

int TStrings::AddObject(const std::string& s, TObject* o) {
  int i = Add(s);
  PutObject(i, o);
  return i;
}

void TStrings::AddStrings(const TStrings* other) {
  BeginUpdate();
  for (int i = 0; i < other->Count(); ++i) AddObject(other->Get(i), other->GetObject(i));
  EndUpdate();
}

int TStrings::IndexOf(const std::string& s) const {
  for (int i = 0; i < Count(); ++i)
    if (AnsiCompareText(Get(i), s) == 0) return i;
  return -1;
}

int TStrings::IndexOfObject(const TObject* o) const {
  for (int i = 0; i < Count(); ++i)
    if (GetObject(i) == o) return i;
  return -1;
}

int TStrings::IndexOfName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    auto s = Get(i);
    auto eq = s.find('=');
    if (eq != std::string::npos && AnsiCompareText(s.substr(0, eq), name) == 0) return i;
  }
  return -1;
}

std::string TStrings::Values(const std::string& name) const {
  int i = IndexOfName(name);
  if (i < 0) return {};
  auto s = Get(i);
  return s.substr(s.find('=') + 1);
}

std::string TStrings::Text() const {
  std::string out;
  for (int i = 0; i < Count(); ++i) out += Get(i) + "\r\n";
  return out;
}

void TStrings::SetText(const std::string& text) {
  BeginUpdate();
  Clear();
  size_t i = 0;
  while (i < text.size()) {
    size_t e = text.find_first_of("\r\n", i);
    if (e == std::string::npos) {
      Add(text.substr(i));
      break;
    }
    Add(text.substr(i, e - i));
    if (text[e] == '\r' && e + 1 < text.size() && text[e + 1] == '\n') ++e;
    i = e + 1;
  }
  EndUpdate();
}

std::string TStrings::CommaText() const {
  std::string out;
  for (int i = 0; i < Count(); ++i) {
    auto s = Get(i);
    if (i) out += ',';
    if (s.empty() || s.find_first_of(" ,\"") != std::string::npos) {
      std::string q = "\"";
      for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
      out += q + "\"";
    } else {
      out += s;
    }
  }
  return out;
}

void TStrings::LoadFromFile(const std::string& path) {
  std::string data;
  if (!win::ReadWholeFile(path, data)) throw EFOpenError(path, win::GetLastError());
  SetText(data);
}

void TStrings::SaveToFile(const std::string& path) const {
  if (!win::WriteWholeFile(path, Text())) throw EFCreateError(path, win::GetLastError());
}

void TStrings::BeginUpdate() {
  if (FUpdateCount++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::Assign(TPersistent* source) {
  if (auto* s = dynamic_cast<TStrings*>(source)) {
    BeginUpdate();
    Clear();
    AddStrings(s);
    EndUpdate();
    return;
  }
  TPersistent::Assign(source);
}

bool TStrings::Equals(const TStrings& other) const {
  if (Count() != other.Count()) return false;
  for (int i = 0; i < Count(); ++i)
    if (Get(i) != other.Get(i)) return false;
  return true;
}

void TStrings::DefineProperties(TFiler& filer) {
  bool hasData = Count() > 0;
  if (auto* a = dynamic_cast<TStrings*>(filer.Ancestor())) hasData = !Equals(*a);
  filer.DefineProperty(
      "Strings",
      [this](TReader& r) {
        r.ReadListBegin();
        BeginUpdate();
        Clear();
        while (!r.EndOfList()) Add(r.ReadString());
        EndUpdate();
        r.ReadListEnd();
      },
      [this](TWriter& w) {
        w.WriteListBegin();
        for (int i = 0; i < Count(); ++i) w.WriteString(Get(i));
        w.WriteListEnd();
      },
      hasData);
}

// --- TStringList -----------------------------------------------------------------------

void TStringList::DefineProps(TPropList&) {}

std::string TStringList::Get(int i) const {
  if (i < 0 || i >= Count()) Error(i);
  return FItems[i].s;
}

void TStringList::Put(int i, const std::string& s) {
  if (FSorted) throw EListError("Opération non autorisée sur une liste triée");
  if (i < 0 || i >= Count()) Error(i);
  Changing();
  FItems[i].s = s;
  Changed();
}

TObject* TStringList::GetObject(int i) const {
  if (i < 0 || i >= Count()) Error(i);
  return FItems[i].o;
}

void TStringList::PutObject(int i, TObject* o) {
  if (i < 0 || i >= Count()) Error(i);
  Changing();
  FItems[i].o = o;
  Changed();
}

void TStringList::Insert(int i, const std::string& s) { InsertObject(i, s, nullptr); }

void TStringList::InsertObject(int i, const std::string& s, TObject* o) {
  if (FSorted) throw EListError("Opération non autorisée sur une liste triée");
  if (i < 0 || i > Count()) Error(i);
  Changing();
  FItems.insert(FItems.begin() + i, Item{s, o});
  Changed();
}

void TStringList::Delete(int i) {
  if (i < 0 || i >= Count()) Error(i);
  Changing();
  FItems.erase(FItems.begin() + i);
  Changed();
}

void TStringList::Clear() {
  if (FItems.empty()) return;
  Changing();
  FItems.clear();
  Changed();
}

int TStringList::Add(const std::string& s) {
  if (!FSorted) {
    Changing();
    FItems.push_back(Item{s, nullptr});
    Changed();
    return Count() - 1;
  }
  int index;
  if (Find(s, index)) {
    if (FDuplicates == dupIgnore) return index;
    if (FDuplicates == dupError) throw EListError("Doublons non autorisés dans la liste");
  }
  Changing();
  FItems.insert(FItems.begin() + index, Item{s, nullptr});
  Changed();
  return index;
}

bool TStringList::Find(const std::string& s, int& index) const {
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    int c = AnsiCompareText(FItems[mid].s, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (FDuplicates != dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

int TStringList::IndexOf(const std::string& s) const {
  if (!FSorted) return TStrings::IndexOf(s);
  int i;
  return Find(s, i) ? i : -1;
}

void TStringList::Sort() {
  Changing();
  std::stable_sort(FItems.begin(), FItems.end(),
                   [](const Item& a, const Item& b) { return AnsiCompareText(a.s, b.s) < 0; });
  Changed();
}

void TStringList::SetSorted(bool v) {
  if (v == FSorted) return;
  if (v) Sort();
  FSorted = v;
}

void TStringList::Changed() {
  if (UpdateCount() == 0) OnChange(this);
}
void TStringList::Changing() {
  if (UpdateCount() == 0) OnChanging(this);
}
void TStringList::SetUpdateState(bool updating) {
  if (updating)
    OnChanging(this);
  else
    OnChange(this);
}

// --- Collections -----------------------------------------------------------------------

void TCollectionItem::DefineProps(TPropList&) {}
void TCollection::DefineProps(TPropList&) {}

TCollectionItem::TCollectionItem(TCollection* collection) : FCollection(collection) {
  if (collection) collection->FItems.push_back(this);
}

TCollectionItem::~TCollectionItem() {
  if (FCollection) {
    auto& v = FCollection->FItems;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
}

int TCollectionItem::Index() const {
  if (!FCollection) return -1;
  auto& v = FCollection->FItems;
  return int(std::find(v.begin(), v.end(), this) - v.begin());
}

TCollection::~TCollection() { Clear(); }

TCollectionItem* TCollection::Add() {
  auto* item = FFactory(this);
  if (item->FCollection != this) {
    item->FCollection = this;
    FItems.push_back(item);
  }
  return item;
}

void TCollection::Clear() {
  while (!FItems.empty()) delete FItems.back();
}

void TCollection::Delete(int i) { delete FItems.at(i); }

void TCollection::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TCollection*>(source);
  if (!src) return TPersistent::Assign(source);
  Clear();
  for (auto* item : src->FItems) Add()->Assign(item);
}
