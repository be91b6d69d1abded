#pragma once
// Template parts of Classes.h.

template <class Cls, class Base>
TClassInfo TClassInfo::Make(const char* name) {
  TClassInfo info;
  info.name = name;
  info.parent = Base::StaticClassInfo();
  if constexpr (std::is_base_of_v<TComponent, Cls> && !std::is_abstract_v<Cls> &&
                std::is_constructible_v<Cls, TComponent*>)
    info.create = [](TComponent* owner) -> TComponent* { return new Cls(owner); };
  Cls::DefineProps(info.own);
  return info;
}

template <class T>
TPropInfo& TPropList::Int(const std::string& name, int (T::*get)() const, void (T::*set)(int),
                          int def) {
  TPropInfo p;
  p.name = name;
  p.kind = pkInteger;
  p.def = TValue::Int(def);
  p.get = [get](TPersistent* o) { return TValue::Int((static_cast<T*>(o)->*get)()); };
  p.set = [set](TPersistent* o, const TValue& v) { (static_cast<T*>(o)->*set)(int(v.i)); };
  return Add(std::move(p));
}

template <class T>
TPropInfo& TPropList::Bool(const std::string& name, bool (T::*get)() const, void (T::*set)(bool),
                           bool def) {
  TPropInfo p;
  p.name = name;
  p.kind = pkBool;
  p.names = {"False", "True"};
  p.def = TValue::Bool(def);
  p.get = [get](TPersistent* o) { return TValue::Bool((static_cast<T*>(o)->*get)()); };
  p.set = [set](TPersistent* o, const TValue& v) { (static_cast<T*>(o)->*set)(v.i != 0); };
  return Add(std::move(p));
}

template <class T, class E>
TPropInfo& TPropList::Enum(const std::string& name, E (T::*get)() const, void (T::*set)(E),
                           std::vector<std::string> names, E def) {
  TPropInfo p;
  p.name = name;
  p.kind = pkEnum;
  p.def = TValue::Ident(names.at(size_t(def)));
  p.names = std::move(names);
  auto n = p.names;
  p.get = [get, n](TPersistent* o) {
    return TValue::Ident(n.at(size_t((static_cast<T*>(o)->*get)())));
  };
  p.set = [set](TPersistent* o, const TValue& v) { (static_cast<T*>(o)->*set)(E(v.i)); };
  return Add(std::move(p));
}

template <class T>
TPropInfo& TPropList::Set(const std::string& name, unsigned (T::*get)() const,
                          void (T::*set)(unsigned), std::vector<std::string> names, unsigned def) {
  TPropInfo p;
  p.name = name;
  p.kind = pkSet;
  p.names = std::move(names);
  auto n = p.names;
  auto toValue = [n](unsigned bits) {
    TValue v;
    v.kind = TValue::vSet;
    for (size_t i = 0; i < n.size(); ++i)
      if (bits & (1u << i)) v.set.push_back(n[i]);
    return v;
  };
  p.def = toValue(def);
  p.get = [get, toValue](TPersistent* o) { return toValue((static_cast<T*>(o)->*get)()); };
  p.set = [set](TPersistent* o, const TValue& v) { (static_cast<T*>(o)->*set)(unsigned(v.i)); };
  return Add(std::move(p));
}

template <class T>
TPropInfo& TPropList::String(const std::string& name, std::string (T::*get)() const,
                             void (T::*set)(const std::string&), std::string def) {
  TPropInfo p;
  p.name = name;
  p.kind = pkString;
  p.def = TValue::Str(std::move(def));
  p.get = [get](TPersistent* o) { return TValue::Str((static_cast<T*>(o)->*get)()); };
  p.set = [set](TPersistent* o, const TValue& v) { (static_cast<T*>(o)->*set)(v.s); };
  return Add(std::move(p));
}

template <class T>
TPropInfo& TPropList::Color(const std::string& name, int (T::*get)() const, void (T::*set)(int),
                            int def) {
  TPropInfo p;
  p.name = name;
  p.kind = pkColor;
  auto toValue = [](int c) {
    std::string n;
    return ColorToIdent(c, n) ? TValue::Ident(n) : TValue::Int(c);
  };
  p.def = toValue(def);
  p.get = [get, toValue](TPersistent* o) { return toValue((static_cast<T*>(o)->*get)()); };
  p.set = [set](TPersistent* o, const TValue& v) { (static_cast<T*>(o)->*set)(int(v.i)); };
  return Add(std::move(p));
}

template <class T, class O>
TPropInfo& TPropList::Object(const std::string& name, O* (T::*get)() const) {
  TPropInfo p;
  p.name = name;
  p.kind = std::is_base_of_v<TStrings, O> ? pkStrings : pkClass;
  p.object = [get](TPersistent* o) -> TPersistent* { return (static_cast<T*>(o)->*get)(); };
  return Add(std::move(p));
}

template <class T, class O>
TPropInfo& TPropList::Collection(const std::string& name, O* (T::*get)() const) {
  TPropInfo p;
  p.name = name;
  p.kind = pkCollection;
  p.object = [get](TPersistent* o) -> TPersistent* { return (static_cast<T*>(o)->*get)(); };
  return Add(std::move(p));
}

template <class T, class C>
TPropInfo& TPropList::Component(const std::string& name, C* (T::*get)() const, void (T::*set)(C*)) {
  TPropInfo p;
  p.name = name;
  p.kind = pkComponent;
  p.componentClass = C::StaticClassName();
  p.object = [get](TPersistent* o) -> TPersistent* { return (static_cast<T*>(o)->*get)(); };
  p.set = [set](TPersistent* o, const TValue& v) {
    (static_cast<T*>(o)->*set)(dynamic_cast<C*>(v.comp));
  };
  return Add(std::move(p));
}

template <class T, class Ev>
TPropInfo& TPropList::Event(const std::string& name, Ev T::*member) {
  TPropInfo p;
  p.name = name;
  p.kind = pkEvent;
  p.get = [member](TPersistent* o) { return TValue::Ident((static_cast<T*>(o)->*member).Name); };
  // v.s: method name; v.method: the handler the root registered under it.
  p.set = [member, name](TPersistent* o, const TValue& v) {
    auto& ev = static_cast<T*>(o)->*member;
    if (v.s.empty()) {
      ev = nullptr;
      return;
    }
    auto* fn = v.method ? std::any_cast<decltype(ev.Fn)>(v.method) : nullptr;
    if (!fn) throw EReadError("the method " + v.s + " does not have the parameters of " + name);
    ev.Fn = *fn;
    ev.Name = v.s;
  };
  return Add(std::move(p));
}
