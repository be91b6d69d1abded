#pragma once
// The component model: objects with a class name and a published-property table,
// persistent objects, components with owners and names, string lists and collections, and
// the filer interface through which classes store extra data in form descriptions.
#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/system/Exceptions.h"

class TObject;
class TPersistent;
class TComponent;
class TFiler;
class TReader;
class TWriter;
struct TClassInfo;
struct TValue;
class TPropList;

// An event: a callable plus the name of the method it was bound to (written back into form
// descriptions). Assign a lambda directly; loading binds by method name.
template <class... A>
struct TEvent {
  std::function<void(A...)> Fn;
  std::string Name;
  TEvent() = default;
  template <class F>
  requires std::is_invocable_v<F, A...> TEvent(F f) : Fn(std::move(f)) {}
  template <class F>
  requires std::is_invocable_v<F, A...> TEvent& operator=(F f) {
    Fn = std::move(f);
    Name.clear();
    return *this;
  }
  TEvent& operator=(std::nullptr_t) {
    Fn = nullptr;
    Name.clear();
    return *this;
  }
  explicit operator bool() const { return bool(Fn); }
  void operator()(A... a) const {
    if (Fn) Fn(a...);
  }
};
using TNotifyEvent = TEvent<TObject*>;

#define WI_CLASS(Cls, Base)                                                  \
 public:                                                                     \
  using inherited = Base;                                                    \
  static const char* StaticClassName() { return #Cls; }                      \
  const char* ClassName() const override { return #Cls; }                    \
  static const TClassInfo* StaticClassInfo() {                               \
    static const TClassInfo info = TClassInfo::Make<Cls, Base>(#Cls);        \
    return &info;                                                            \
  }                                                                          \
  const TClassInfo* ClassInfo() const override { return StaticClassInfo(); } \
  static void DefineProps(TPropList& props);                                 \
                                                                             \
 private:

class TObject {
 public:
  virtual ~TObject() = default;
  static const char* StaticClassName() { return "TObject"; }
  virtual const char* ClassName() const { return "TObject"; }
  static const TClassInfo* StaticClassInfo();
  virtual const TClassInfo* ClassInfo() const { return StaticClassInfo(); }
  bool InheritsFrom(const std::string& className) const;
};

enum TPropKind {
  pkInteger,
  pkBool,
  pkEnum,
  pkSet,
  pkString,
  pkColor,
  pkClass,
  pkComponent,
  pkEvent,
  pkStrings,
  pkCollection
};

// A value as stored in a form description.
struct TValue {
  enum Kind { vNull, vInt, vDouble, vString, vIdent, vSet, vList, vBinary, vCollection };
  Kind kind = vNull;
  std::int64_t i = 0;
  double d = 0;
  std::string s;                 // string, identifier, binary bytes
  std::vector<std::string> set;  // set members
  std::vector<TValue> list;      // list items
  std::vector<std::vector<std::pair<std::string, TValue>>> items;  // collection
  int line = 0;
  TComponent* comp = nullptr;        // resolved component reference
  const std::any* method = nullptr;  // resolved event handler
  static TValue Int(std::int64_t v) {
    TValue x;
    x.kind = vInt;
    x.i = v;
    return x;
  }
  static TValue Str(std::string v) {
    TValue x;
    x.kind = vString;
    x.s = std::move(v);
    return x;
  }
  static TValue Ident(std::string v) {
    TValue x;
    x.kind = vIdent;
    x.s = std::move(v);
    return x;
  }
  static TValue Bool(bool v) { return Ident(v ? "True" : "False"); }
  bool operator==(const TValue& o) const;
};

// The failure of a load: ready-to-show, naming the source and line.
class EReadError : public Exception {
 public:
  using Exception::Exception;
};
class EClassNotFound : public EReadError {
 public:
  using EReadError::EReadError;
};
class EComponentError : public Exception {
 public:
  using Exception::Exception;
};
class EListError : public Exception {
 public:
  using Exception::Exception;
};
// The lists' error for a bad index: "Indice de liste hors limites (%d)".
std::string ListIndexErrorText(int index);

// How a property is read from and written to a stored value.
struct TPropInfo {
  std::string name;
  TPropKind kind = pkInteger;
  std::vector<std::string> names;  // enum and set member names, by ordinal
  std::function<TValue(TPersistent*)> get;
  std::function<void(TPersistent*, const TValue&)> set;
  std::function<TPersistent*(TPersistent*)> object;  // pkClass, pkStrings
  std::function<bool(TPersistent*)> stored;          // written when true (default: get != def)
  std::optional<TValue> def;
  std::string componentClass;  // pkComponent: required class
};

class TPropList {
 public:
  std::vector<TPropInfo> props;
  TPropInfo& Add(TPropInfo p) {
    props.push_back(std::move(p));
    return props.back();
  }

  template <class T>
  TPropInfo& Int(const std::string& name, int (T::*get)() const, void (T::*set)(int), int def = 0);
  template <class T>
  TPropInfo& Bool(const std::string& name, bool (T::*get)() const, void (T::*set)(bool), bool def);
  template <class T, class E>
  TPropInfo& Enum(const std::string& name, E (T::*get)() const, void (T::*set)(E),
                  std::vector<std::string> names, E def);
  // Sets are bit masks over the member names' ordinals.
  template <class T>
  TPropInfo& Set(const std::string& name, unsigned (T::*get)() const, void (T::*set)(unsigned),
                 std::vector<std::string> names, unsigned def);
  template <class T>
  TPropInfo& String(const std::string& name, std::string (T::*get)() const,
                    void (T::*set)(const std::string&), std::string def = "");
  template <class T>
  TPropInfo& Color(const std::string& name, int (T::*get)() const, void (T::*set)(int), int def);
  // A nested persistent object whose own properties are written as Name.Sub.
  template <class T, class O>
  TPropInfo& Object(const std::string& name, O* (T::*get)() const);
  template <class T, class C>
  TPropInfo& Component(const std::string& name, C* (T::*get)() const, void (T::*set)(C*));
  template <class T, class O>
  TPropInfo& Collection(const std::string& name, O* (T::*get)() const);
  template <class T, class Ev>
  TPropInfo& Event(const std::string& name, Ev T::*member);
};

struct TClassInfo {
  std::string name;
  const TClassInfo* parent = nullptr;
  std::function<TComponent*(TComponent* owner)> create;  // empty for abstract classes
  TPropList own;
  const TPropInfo* FindProp(const std::string& name) const;
  // All properties, ancestors' first.
  std::vector<const TPropInfo*> AllProps() const;
  bool InheritsFrom(const std::string& className) const;
  template <class Cls, class Base>
  static TClassInfo Make(const char* name);
};

// Class registry: form descriptions create components by class name.
void RegisterClassInfo(const TClassInfo* info);
template <class T>
void RegisterClass() {
  RegisterClassInfo(T::StaticClassInfo());
}
const TClassInfo* FindClassInfo(const std::string& name);
// Registers T at start-up: WI_REGISTER_CLASS(TPanel) in one .cpp file.
#define WI_REGISTER_CLASS(Cls) static const bool wi_registered_##Cls = (RegisterClass<Cls>(), true)

// Colour names (clBlack, clSilver, clBtnFace...) and their values.
bool ColorToIdent(int color, std::string& name);
bool IdentToColor(const std::string& name, int& color);

class TPersistent : public TObject {
  WI_CLASS(TPersistent, TObject)
 public:
  // Copies from source; the default refuses with "Impossible d'assigner un X à un Y".
  virtual void Assign(TPersistent* source);
  // Lets a class store data beyond its published properties.
  virtual void DefineProperties(TFiler& filer) {}
  virtual TPersistent* GetOwner() const { return nullptr; }

 protected:
  virtual void AssignTo(TPersistent* dest);
};

enum TOperation { opInsert, opRemove };
enum TComponentStateFlag : unsigned {
  csLoading = 1,
  csReading = 2,
  csWriting = 4,
  csDestroying = 8,
  csDesigning = 16,
  csInline = 32,
  csAncestor = 64,
  csUpdating = 128,
  csFixups = 256
};

class TComponent : public TPersistent {
  WI_CLASS(TComponent, TPersistent)
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }
  std::string Name() const { return FName; }
  virtual void SetName(const std::string& value);
  int Tag() const { return FTag; }
  void SetTag(int v) { FTag = v; }
  int ComponentCount() const { return int(FComponents.size()); }
  TComponent* Components(int i) const { return FComponents.at(i); }
  int ComponentIndex() const;
  TComponent* FindComponent(const std::string& name) const;  // case-insensitive
  void InsertComponent(TComponent* c);
  void RemoveComponent(TComponent* c);
  void DestroyComponents();
  unsigned ComponentState() const { return FComponentState; }
  bool IsLoading() const { return FComponentState & csLoading; }
  bool IsDestroying() const { return FComponentState & csDestroying; }
  // Asks to be told (Notification opRemove) when c goes away.
  void FreeNotification(TComponent* c);
  void RemoveFreeNotification(TComponent* c);
  TPersistent* GetOwner() const override { return FOwner; }

  // Loading from form descriptions.
  void BeginLoading() { FComponentState |= csLoading | csReading; }
  virtual void Loaded();
  // Published methods (bound to events by name) and published fields (set to the
  // component of that name after loading).
  template <class T, class... A>
  void Method(const std::string& name, void (T::*m)(A...)) {
    T* self = static_cast<T*>(this);
    FMethods[name] = std::function<void(A...)>([self, m](A... a) { (self->*m)(a...); });
  }
  template <class C>
  void Field(const std::string& name, C*& ref) {
    FFields.push_back({name, [&ref](TComponent* c) {
                         ref = dynamic_cast<C*>(c);
                         return ref != nullptr || c == nullptr;
                       }});
  }
  const std::any* FindMethod(const std::string& name) const;
  std::string MethodNameOf(const std::string& eventName) const;
  // Binds the published fields; throws naming a missing one.
  void BindFields();
  // The events' handlers by method name, for writing back.
  virtual void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root);
  // The parent used when nested in a description (controls: their parent control).
  virtual void SetParentComponent(TComponent* parent) {}
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual bool HasParent() const { return false; }

 protected:
  virtual void Notification(TComponent* c, TOperation op);
  void SetDestroying() { FComponentState |= csDestroying; }
  void ClearLoading() { FComponentState &= ~(csLoading | csReading); }
  friend class TFormLoader;

 private:
  TComponent* FOwner = nullptr;
  std::string FName;
  int FTag = 0;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  unsigned FComponentState = 0;
  std::map<std::string, std::any> FMethods;
  std::vector<std::pair<std::string, std::function<bool(TComponent*)>>> FFields;
};

// Values stored through DefineProperties use the tagged binary layout.
enum TValueType : std::uint8_t {
  vaNull = 0,
  vaList = 1,
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaExtended = 5,
  vaString = 6,
  vaIdent = 7,
  vaFalse = 8,
  vaTrue = 9,
  vaBinary = 10,
  vaSet = 11,
  vaLString = 12,
  vaNil = 13,
  vaCollection = 14,
  vaUTF8String = 18
};

class TFiler {
 public:
  virtual ~TFiler() = default;
  // The object written against (inherited descriptions), or null.
  TPersistent* Ancestor() const { return FAncestor; }
  virtual void DefineProperty(const std::string& name, std::function<void(TReader&)> read,
                              std::function<void(TWriter&)> write, bool hasData) = 0;
  virtual void DefineBinaryProperty(const std::string& name,
                                    std::function<void(const std::string&)> read,
                                    std::function<void(std::string&)> write, bool hasData) = 0;

 protected:
  TPersistent* FAncestor = nullptr;
};

class TReader : public TFiler {
 public:
  explicit TReader(std::string data) : FData(std::move(data)) {}
  TValueType NextValue() const;
  void ReadListBegin();
  void ReadListEnd();
  bool EndOfList() const { return NextValue() == vaNull; }
  int ReadInteger();
  bool ReadBoolean();
  std::string ReadString();
  std::string ReadIdent();
  bool AtEnd() const { return FPos >= FData.size(); }
  // Only the top-level property being read is served; nested definitions are ignored.
  void DefineProperty(const std::string&, std::function<void(TReader&)>,
                      std::function<void(TWriter&)>, bool) override {}
  void DefineBinaryProperty(const std::string&, std::function<void(const std::string&)>,
                            std::function<void(std::string&)>, bool) override {}

 private:
  std::uint8_t take();
  [[noreturn]] void bad(const char* expected) const;
  std::string FData;
  size_t FPos = 0;
};

class TWriter : public TFiler {
 public:
  void WriteListBegin() { FData += char(vaList); }
  void WriteListEnd() { FData += char(vaNull); }
  // The smallest of Int8, Int16, Int32 that holds the value.
  void WriteInteger(int v);
  void WriteBoolean(bool v) { FData += char(v ? vaTrue : vaFalse); }
  void WriteString(const std::string& s);
  void WriteIdent(const std::string& s);
  const std::string& Data() const { return FData; }
  void DefineProperty(const std::string&, std::function<void(TReader&)>,
                      std::function<void(TWriter&)>, bool) override {}
  void DefineBinaryProperty(const std::string&, std::function<void(const std::string&)>,
                            std::function<void(std::string&)>, bool) override {}

 private:
  std::string FData;
};

// Tagged bytes <-> stored values (for defined properties in text descriptions).
TValue TaggedToValue(const std::string& data);
std::string ValueToTagged(const TValue& v);

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStrings : public TPersistent {
  WI_CLASS(TStrings, TPersistent)
 public:
  virtual int Count() const = 0;
  virtual std::string Get(int i) const = 0;
  virtual void Put(int i, const std::string& s);
  virtual TObject* GetObject(int i) const { return nullptr; }
  virtual void PutObject(int i, TObject* o) {}
  virtual void Insert(int i, const std::string& s) = 0;
  virtual void InsertObject(int i, const std::string& s, TObject* o);
  virtual void Delete(int i) = 0;
  virtual void Clear() = 0;
  virtual int Add(const std::string& s);
  int AddObject(const std::string& s, TObject* o);
  void AddStrings(const TStrings* other);
  std::string operator[](int i) const { return Get(i); }
  std::string Strings(int i) const { return Get(i); }
  TObject* Objects(int i) const { return GetObject(i); }
  void SetObjects(int i, TObject* o) { PutObject(i, o); }
  // Case-insensitive (ASCII and Latin letters compare as the system does).
  virtual int IndexOf(const std::string& s) const;
  int IndexOfObject(const TObject* o) const;
  int IndexOfName(const std::string& name) const;
  std::string Values(const std::string& name) const;
  // Lines joined by CR LF, each followed by one. Setting splits at CR LF, LF or CR.
  std::string Text() const;
  virtual void SetText(const std::string& text);
  std::string CommaText() const;
  void LoadFromFile(const std::string& path);
  void SaveToFile(const std::string& path) const;
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }
  void Assign(TPersistent* source) override;
  void DefineProperties(TFiler& filer) override;
  bool Equals(const TStrings& other) const;

 protected:
  virtual void SetUpdateState(bool updating) {}
  [[noreturn]] void Error(int index) const;

 private:
  int FUpdateCount = 0;
};

class TStringList : public TStrings {
  WI_CLASS(TStringList, TStrings)
 public:
  int Count() const override { return int(FItems.size()); }
  std::string Get(int i) const override;
  void Put(int i, const std::string& s) override;
  TObject* GetObject(int i) const override;
  void PutObject(int i, TObject* o) override;
  void Insert(int i, const std::string& s) override;
  void InsertObject(int i, const std::string& s, TObject* o) override;
  void Delete(int i) override;
  void Clear() override;
  int Add(const std::string& s) override;
  bool Find(const std::string& s, int& index) const;
  int IndexOf(const std::string& s) const override;
  void Sort();
  bool Sorted() const { return FSorted; }
  void SetSorted(bool v);
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates d) { FDuplicates = d; }
  TNotifyEvent OnChange, OnChanging;

 protected:
  void Changed();
  void Changing();
  void SetUpdateState(bool updating) override;

 private:
  struct Item {
    std::string s;
    TObject* o = nullptr;
  };
  std::vector<Item> FItems;
  bool FSorted = false;
  TDuplicates FDuplicates = dupIgnore;
};

// Compares as the system's case-insensitive comparison of texts.
int AnsiCompareText(const std::string& a, const std::string& b);
// Equality of AnsiCompareText, without building folded copies.
bool AnsiSameText(const std::string& a, const std::string& b);
std::string AnsiUpperCase(const std::string& s);
std::string AnsiLowerCase(const std::string& s);

class TCollection;
class TCollectionItem : public TPersistent {
  WI_CLASS(TCollectionItem, TPersistent)
 public:
  explicit TCollectionItem(TCollection* collection);
  ~TCollectionItem() override;
  TCollection* Collection() const { return FCollection; }
  int Index() const;

 private:
  TCollection* FCollection;
  friend class TCollection;
};

class TCollection : public TPersistent {
  WI_CLASS(TCollection, TPersistent)
 public:
  using ItemFactory = std::function<TCollectionItem*(TCollection*)>;
  explicit TCollection(ItemFactory factory) : FFactory(std::move(factory)) {}
  ~TCollection() override;
  int Count() const { return int(FItems.size()); }
  TCollectionItem* Items(int i) const { return FItems.at(i); }
  TCollectionItem* Add();
  void Clear();
  void Delete(int i);
  void Assign(TPersistent* source) override;
  TPersistent* GetOwner() const override { return FOwner; }
  void SetOwner(TPersistent* o) { FOwner = o; }

 private:
  friend class TCollectionItem;
  ItemFactory FFactory;
  std::vector<TCollectionItem*> FItems;
  TPersistent* FOwner = nullptr;
};

#include "platform/forms/ClassesImpl.h"
