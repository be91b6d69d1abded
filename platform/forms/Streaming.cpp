#include "platform/forms/Streaming.h"

#include <cctype>
#include <cstdio>
#include <map>
#include <mutex>
#include <string_view>

#include "platform/forms/FormResources.h"
#include "platform/system/Text.h"

namespace {

// --- Parser ----------------------------------------------------------------------------

class Parser {
 public:
  Parser(const std::string& text, const std::string& source) : t_(text), src_(source) {}

  TObjectNode Root() {
    skip();
    TObjectNode n = Object();
    skip();
    if (p_ < t_.size()) fail("end of the description after the last 'end'");
    return n;
  }

 private:
  const std::string& t_;
  std::string src_;
  size_t p_ = 0;
  int line_ = 1;

  [[noreturn]] void fail(const std::string& expected) {
    std::string found;
    if (p_ >= t_.size())
      found = "end of file";
    else {
      size_t e = t_.find_first_of("\r\n", p_);
      found =
          "\"" +
          t_.substr(p_, std::min<size_t>(e == std::string::npos ? t_.size() - p_ : e - p_, 30)) +
          "\"";
    }
    throw EReadError(src_ + ":" + std::to_string(line_) + ": expected " + expected + ", found " +
                     found);
  }

  void skip() {
    while (p_ < t_.size()) {
      char c = t_[p_];
      if (c == '\n')
        ++line_, ++p_;
      else if (c == ' ' || c == '\t' || c == '\r')
        ++p_;
      else
        break;
    }
  }

  bool isIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

  std::string ident(const char* what) {
    skip();
    size_t b = p_;
    if (p_ >= t_.size() || !(std::isalpha(static_cast<unsigned char>(t_[p_])) || t_[p_] == '_'))
      fail(what);
    while (p_ < t_.size() && (isIdentChar(t_[p_]) || t_[p_] == '.')) ++p_;
    return t_.substr(b, p_ - b);
  }

  bool peekWord(const char* w) {
    skip();
    size_t n = std::string_view(w).size();
    if (t_.compare(p_, n, w) != 0) return false;
    return p_ + n >= t_.size() || !isIdentChar(t_[p_ + n]);
  }

  void expect(char c, const char* what) {
    skip();
    if (p_ >= t_.size() || t_[p_] != c) fail(what);
    ++p_;
  }

  TObjectNode Object() {
    TObjectNode n;
    n.line = line_;
    if (peekWord("object"))
      p_ += 6;
    else if (peekWord("inherited"))
      p_ += 9, n.inherited = true;
    else if (peekWord("inline"))
      p_ += 6, n.inherited = true;
    else
      fail("'object' or 'inherited'");
    std::string first = ident("a component name");
    skip();
    if (p_ < t_.size() && t_[p_] == ':') {
      ++p_;
      n.name = first;
      n.className = ident("a class name after ':'");
    } else {
      n.className = first;
    }
    for (;;) {
      skip();
      if (p_ >= t_.size())
        fail("'end' closing " + n.name + " (opened at line " + std::to_string(n.line) + ")");
      if (peekWord("end")) {
        p_ += 3;
        return n;
      }
      if (peekWord("object") || peekWord("inherited") || peekWord("inline")) {
        n.children.push_back(Object());
        continue;
      }
      int line = line_;
      std::string name = ident("a property name, an 'object' block or 'end'");
      expect('=', ("'=' after " + name).c_str());
      TValue v = Value();
      v.line = line;
      n.props.emplace_back(name, std::move(v));
      n.propLines.push_back(line);
    }
  }

  // "#nnn": a Unicode code point, or a UTF-16 pair of codes as wide strings are written.
  char32_t characterCode() {
    size_t at = p_;
    char32_t code = codeAfterHash();
    if (code >= 0xD800 && code <= 0xDBFF && p_ < t_.size() && t_[p_] == '#') {
      size_t second = p_;
      char32_t low = codeAfterHash();
      if (low >= 0xDC00 && low <= 0xDFFF) return 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      p_ = second;
    }
    if (code >= 0xD800 && code <= 0xDFFF) {
      p_ = at;
      fail("a character code, not half of a UTF-16 pair");
    }
    return code;
  }

  char32_t codeAfterHash() {
    size_t at = p_++;
    char32_t code = 0;
    size_t b = p_;
    for (; p_ < t_.size() && std::isdigit(static_cast<unsigned char>(t_[p_])); ++p_) {
      code = code * 10 + char32_t(t_[p_] - '0');
      if (code > 0x10FFFF) {
        p_ = at;
        fail("a character code up to 1114111");
      }
    }
    if (b == p_) fail("a character code after '#'");
    return code;
  }

  std::string quoted() {
    std::string out;
    for (;;) {
      if (p_ < t_.size() && t_[p_] == '\'') {
        ++p_;
        for (;;) {
          if (p_ >= t_.size() || t_[p_] == '\n') fail("a closing quote");
          if (t_[p_] == '\'') {
            if (p_ + 1 < t_.size() && t_[p_ + 1] == '\'') {
              out += '\'';
              p_ += 2;
              continue;
            }
            ++p_;
            break;
          }
          out += t_[p_++];
        }
      } else if (p_ < t_.size() && t_[p_] == '#') {
        win::AppendUtf8(out, characterCode());
      } else {
        // 'a' + 'b' continues a long string over lines.
        size_t save = p_;
        int saveLine = line_;
        skip();
        if (p_ < t_.size() && t_[p_] == '+') {
          ++p_;
          skip();
          if (p_ < t_.size() && (t_[p_] == '\'' || t_[p_] == '#')) continue;
          fail("a string after '+'");
        }
        p_ = save;
        line_ = saveLine;
        return out;
      }
    }
  }

  TValue Value() {
    skip();
    if (p_ >= t_.size()) fail("a value");
    char c = t_[p_];
    int line = line_;
    TValue v;
    v.line = line;
    if (c == '\'' || c == '#') {
      v.kind = TValue::vString;
      v.s = quoted();
    } else if (c == '-' || c == '+' || std::isdigit(static_cast<unsigned char>(c)) || c == '$') {
      size_t b = p_;
      if (c == '-' || c == '+') ++p_;
      bool hex = p_ < t_.size() && t_[p_] == '$';
      if (hex) ++p_;
      while (p_ < t_.size() && (std::isxdigit(static_cast<unsigned char>(t_[p_])) ||
                                t_[p_] == '.' || ((t_[p_] == 'e' || t_[p_] == 'E') && !hex)))
        ++p_;
      std::string num = t_.substr(b, p_ - b);
      try {
        if (hex) {
          bool neg = num[0] == '-';
          std::string digits = num.substr(num.find('$') + 1);
          if (digits.empty()) fail("hexadecimal digits after '$'");
          auto u = std::stoull(digits, nullptr, 16);
          v = TValue::Int(neg ? -std::int64_t(u) : std::int64_t(std::int32_t(std::uint32_t(u))));
        } else if (num.find_first_of(".eE") != std::string::npos) {
          v.kind = TValue::vDouble;
          v.d = std::stod(num);
        } else {
          size_t used = 0;
          v = TValue::Int(std::stoll(num, &used));
          if (used != num.size()) fail("a number");
        }
      } catch (const std::logic_error&) {
        p_ = b;
        fail("a number");
      }
    } else if (c == '[') {
      ++p_;
      v.kind = TValue::vSet;
      skip();
      if (p_ < t_.size() && t_[p_] == ']') {
        ++p_;
      } else {
        for (;;) {
          v.set.push_back(ident("a set member"));
          skip();
          if (p_ < t_.size() && t_[p_] == ',') {
            ++p_;
            continue;
          }
          expect(']', "',' or ']' in a set");
          break;
        }
      }
    } else if (c == '(') {
      ++p_;
      v.kind = TValue::vList;
      for (;;) {
        skip();
        if (p_ < t_.size() && t_[p_] == ')') {
          ++p_;
          break;
        }
        if (p_ >= t_.size()) fail("')' closing the list opened at line " + std::to_string(line));
        v.list.push_back(Value());
      }
    } else if (c == '{') {
      ++p_;
      v.kind = TValue::vBinary;
      // Two digits a byte, decoded as they are read: pictures run to tens of kilobytes, and
      // every program start reads its forms.
      auto digit = [](char h) {
        if (h >= '0' && h <= '9') return h - '0';
        if (h >= 'a' && h <= 'f') return h - 'a' + 10;
        if (h >= 'A' && h <= 'F') return h - 'A' + 10;
        return -1;
      };
      int high = -1;
      for (;;) {
        skip();
        if (p_ >= t_.size()) fail("'}' closing the data opened at line " + std::to_string(line));
        if (t_[p_] == '}') {
          ++p_;
          break;
        }
        if (digit(t_[p_]) < 0) fail("hexadecimal digits or '}'");
        for (int d; p_ < t_.size() && (d = digit(t_[p_])) >= 0; ++p_) {
          if (high < 0) {
            high = d;
          } else {
            v.s += char(high << 4 | d);
            high = -1;
          }
        }
      }
      if (high >= 0) fail("an even number of hexadecimal digits");
    } else if (c == '<') {
      ++p_;
      v.kind = TValue::vCollection;
      for (;;) {
        skip();
        if (p_ < t_.size() && t_[p_] == '>') {
          ++p_;
          break;
        }
        if (!peekWord("item")) fail("'item' or '>' in a collection");
        p_ += 4;
        std::vector<std::pair<std::string, TValue>> item;
        for (;;) {
          skip();
          if (peekWord("end")) {
            p_ += 3;
            break;
          }
          int pl = line_;
          std::string name = ident("a property name or 'end' in a collection item");
          expect('=', ("'=' after " + name).c_str());
          TValue iv = Value();
          iv.line = pl;
          item.emplace_back(name, std::move(iv));
        }
        v.items.push_back(std::move(item));
      }
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      v.kind = TValue::vIdent;
      v.s = ident("a value");
    } else {
      fail("a value");
    }
    v.line = line;
    return v;
  }
};

// --- Loader ----------------------------------------------------------------------------

// Collects what DefineProperties offers, to read or write one of them.
class DefinitionCollector : public TFiler {
 public:
  struct Def {
    std::string name;
    std::function<void(TReader&)> read;
    std::function<void(TWriter&)> write;
    std::function<void(const std::string&)> readBin;
    std::function<void(std::string&)> writeBin;
    bool hasData = false;
    bool binary = false;
  };
  std::vector<Def> defs;
  void DefineProperty(const std::string& name, std::function<void(TReader&)> read,
                      std::function<void(TWriter&)> write, bool hasData) override {
    defs.push_back(Def{name, std::move(read), std::move(write), {}, {}, hasData, false});
  }
  void DefineBinaryProperty(const std::string& name, std::function<void(const std::string&)> read,
                            std::function<void(std::string&)> write, bool hasData) override {
    defs.push_back(Def{name, {}, {}, std::move(read), std::move(write), hasData, true});
  }
};

std::string kindName(TValue::Kind k) {
  switch (k) {
    case TValue::vInt:
      return "an integer";
    case TValue::vDouble:
      return "a number";
    case TValue::vString:
      return "a string";
    case TValue::vIdent:
      return "an identifier";
    case TValue::vSet:
      return "a set";
    case TValue::vList:
      return "a list";
    case TValue::vBinary:
      return "binary data";
    case TValue::vCollection:
      return "a collection";
    default:
      return "nothing";
  }
}

struct Fixup {
  TPersistent* obj;
  const TPropInfo* prop;
  std::string target;
  int line;
};

class Loader {
 public:
  Loader(TComponent* root, std::string source) : root_(root), src_(std::move(source)) {}

  void SetSource(std::string s) { src_ = std::move(s); }

  void Load(const TObjectNode& n) {
    if (!root_->InheritsFrom(n.className))
      fail(n.line, "the class " + std::string(root_->ClassName()) +
                       " (or one of its ancestors), not " + n.className);
    loaded_.push_back(root_);
    root_->BeginLoading();
    if (!n.name.empty() && root_->Name().empty()) root_->SetName(n.name);
    Apply(root_, n, root_);
  }

  void Finish() {
    for (auto& f : fixups_) {
      TComponent* c = root_->FindComponent(f.target);
      if (!c && AnsiCompareText(root_->Name(), f.target) == 0) c = root_;
      if (!c)
        fail(f.line, "a component of the form for " + f.prop->name + ", not \"" + f.target + "\"");
      if (!c->InheritsFrom(f.prop->componentClass))
        fail(f.line, "a " + f.prop->componentClass + " for " + f.prop->name + ", not the " +
                         c->ClassName() + " " + f.target);
      TValue v;
      v.comp = c;
      f.prop->set(f.obj, v);
    }
    root_->BindFields();
    for (auto* c : loaded_) c->Loaded();
  }

 private:
  TComponent* root_;
  std::string src_;
  std::vector<TComponent*> loaded_;
  std::vector<Fixup> fixups_;

  [[noreturn]] void fail(int line, const std::string& what) {
    throw EReadError(src_ + ":" + std::to_string(line) + ": expected " + what);
  }

  void Apply(TComponent* comp, const TObjectNode& n, TComponent* container) {
    for (size_t i = 0; i < n.props.size(); ++i) SetPath(comp, n.props[i].first, n.props[i].second);
    for (auto& child : n.children) {
      TComponent* c = nullptr;
      if (child.inherited) {
        c = root_->FindComponent(child.name);
        if (!c)
          fail(child.line,
               "a component " + child.name + " inherited from the ancestor description");
        if (!c->InheritsFrom(child.className))
          fail(child.line, "the class " + std::string(c->ClassName()) + " for " + child.name);
      } else {
        auto* info = FindClassInfo(child.className);
        if (!info) fail(child.line, "a registered class, not the unknown class " + child.className);
        if (!info->create) fail(child.line, "a class that can be created, not " + child.className);
        if (root_->FindComponent(child.name))
          fail(child.line, "a new component name, not " + child.name + " (already used)");
        c = info->create(root_);
        try {
          c->SetName(child.name);
        } catch (const Exception& e) {
          fail(child.line, "a component name: " + e.Message());
        }
      }
      c->BeginLoading();
      loaded_.push_back(c);
      c->SetParentComponent(comp);
      Apply(c, child, comp);
    }
  }

  void SetPath(TPersistent* obj, const std::string& path, const TValue& v) {
    size_t dot;
    std::string rest = path;
    while ((dot = rest.find('.')) != std::string::npos) {
      std::string head = rest.substr(0, dot);
      auto* p = obj->ClassInfo()->FindProp(head);
      if (!p || !p->object || p->kind == pkComponent)
        fail(v.line, "a property of " + std::string(obj->ClassName()) + ", not \"" + head + "\"");
      obj = p->object(obj);
      if (!obj) fail(v.line, "an object in " + head);
      rest = rest.substr(dot + 1);
    }
    Set(obj, rest, v);
  }

  void Set(TPersistent* obj, const std::string& name, const TValue& v) {
    auto* p = obj->ClassInfo()->FindProp(name);
    if (!p) {
      DefinitionCollector dc;
      obj->DefineProperties(dc);
      for (auto& d : dc.defs) {
        if (AnsiCompareText(d.name, name) != 0) continue;
        try {
          if (d.binary) {
            if (v.kind != TValue::vBinary) fail(v.line, "binary data { ... } for " + name);
            d.readBin(v.s);
          } else {
            TReader r(ValueToTagged(v));
            d.read(r);
          }
        } catch (const EReadError& e) {
          if (std::string(e.what()).rfind(src_, 0) == 0) throw;
          fail(v.line, "a valid value for " + name + " (" + e.Message() + ")");
        }
        return;
      }
      fail(v.line, "a property of " + std::string(obj->ClassName()) +
                       ", not the unknown property \"" + name + "\"");
    }
    auto bad = [&](const std::string& expected) {
      fail(v.line, expected + " for " + p->name + ", not " + kindName(v.kind) +
                       (v.kind == TValue::vIdent ? " " + v.s : ""));
    };
    TValue x = v;
    switch (p->kind) {
      case pkInteger:
        if (v.kind != TValue::vInt) bad("an integer");
        if (v.i < INT32_MIN || v.i > UINT32_MAX) bad("a 32-bit integer");
        x.i = std::int32_t(std::uint32_t(v.i));
        break;
      case pkBool:
      case pkEnum: {
        if (v.kind != TValue::vIdent)
          bad(p->kind == pkBool ? "True or False" : "one of " + join(p->names));
        int k = index(p->names, v.s);
        if (k < 0)
          fail(v.line,
               (p->kind == pkBool ? std::string("True or False") : "one of " + join(p->names)) +
                   " for " + p->name + ", not " + v.s);
        x.i = k;
        break;
      }
      case pkSet: {
        if (v.kind != TValue::vSet) bad("a set [" + join(p->names) + "]");
        unsigned bits = 0;
        for (auto& m : v.set) {
          int k = index(p->names, m);
          if (k < 0)
            fail(v.line, "members of " + join(p->names) + " for " + p->name + ", not " + m);
          bits |= 1u << k;
        }
        x.i = bits;
        break;
      }
      case pkString:
        if (v.kind != TValue::vString) bad("a string");
        break;
      case pkColor: {
        int c;
        if (v.kind == TValue::vIdent) {
          if (!IdentToColor(v.s, c))
            fail(v.line, "a colour name or number for " + p->name + ", not " + v.s);
          x.i = c;
        } else if (v.kind == TValue::vInt) {
          x.i = std::int32_t(std::uint32_t(v.i));
        } else {
          bad("a colour");
        }
        break;
      }
      case pkComponent:
        if (v.kind != TValue::vIdent) bad("a component name");
        if (v.s == "nil") {
          x.comp = nullptr;
          break;
        }
        fixups_.push_back(Fixup{obj, p, v.s, v.line});
        return;
      case pkEvent: {
        if (v.kind != TValue::vIdent) bad("a method name");
        x.method = root_->FindMethod(v.s);
        if (!x.method)
          fail(v.line, "a method of " + std::string(root_->ClassName()) + " for " + p->name +
                           ", not the unknown method " + v.s);
        try {
          p->set(obj, x);
        } catch (const EReadError& e) {
          fail(v.line, e.Message());
        }
        return;
      }
      case pkCollection: {
        if (v.kind != TValue::vCollection) bad("a collection < item ... end >");
        auto* coll = dynamic_cast<TCollection*>(p->object(obj));
        coll->Clear();
        for (auto& item : v.items) {
          auto* it = coll->Add();
          for (auto& [pn, pv] : item) SetPath(it, pn, pv);
        }
        return;
      }
      case pkClass:
      case pkStrings:
        fail(v.line, "a sub-property (" + p->name + ".Name = ...), not a value for " + p->name);
    }
    try {
      p->set(obj, x);
    } catch (const Exception& e) {
      fail(v.line, "a valid value for " + p->name + " (" + e.Message() + ")");
    }
  }

  static int index(const std::vector<std::string>& names, const std::string& s) {
    for (size_t i = 0; i < names.size(); ++i)
      if (AnsiCompareText(names[i], s) == 0) return int(i);
    return -1;
  }
  static std::string join(const std::vector<std::string>& v) {
    std::string out;
    for (auto& s : v) out += (out.empty() ? "" : ", ") + s;
    return out;
  }
};

// --- Writer ----------------------------------------------------------------------------

std::string quote(const std::string& s) {
  if (s.empty()) return "''";
  std::string out;
  bool inQuote = false;
  for (char c : s) {
    auto u = static_cast<unsigned char>(c);
    if (u < 32) {
      if (inQuote) out += '\'', inQuote = false;
      out += "#" + std::to_string(u);
    } else {
      if (!inQuote) out += '\'', inQuote = true;
      out += c == '\'' ? std::string("''") : std::string(1, c);
    }
  }
  if (inQuote) out += '\'';
  return out;
}

std::string valueText(const TValue& v, const std::string& indent) {
  switch (v.kind) {
    case TValue::vInt:
      return std::to_string(v.i);
    case TValue::vDouble: {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%g", v.d);
      return buf;
    }
    case TValue::vString:
      return quote(v.s);
    case TValue::vIdent:
      return v.s;
    case TValue::vSet: {
      std::string out = "[";
      for (size_t i = 0; i < v.set.size(); ++i) out += (i ? ", " : "") + v.set[i];
      return out + "]";
    }
    case TValue::vList: {
      std::string out = "(";
      for (auto& x : v.list) out += "\n" + indent + "  " + valueText(x, indent + "  ");
      return out + ")";
    }
    case TValue::vBinary: {
      static const char* hex = "0123456789ABCDEF";
      std::string out = "{";
      for (size_t i = 0; i < v.s.size(); ++i) {
        if (i % 32 == 0) out += "\n" + indent + "  ";
        auto u = static_cast<unsigned char>(v.s[i]);
        out += hex[u >> 4];
        out += hex[u & 15];
      }
      return out + "}";
    }
    default:
      return "nil";
  }
}

class Writer {
 public:
  explicit Writer(TComponent* root) : root_(root) {}
  std::string Write() {
    Object(root_, "");
    return out_;
  }

 private:
  TComponent* root_;
  std::string out_;

  void Object(TComponent* c, const std::string& indent) {
    out_ += indent + "object " + c->Name() + ": " + c->ClassName() + "\n";
    Props(c, "", indent + "  ");
    c->GetChildren([&](TComponent* child) { Object(child, indent + "  "); }, root_);
    out_ += indent + "end\n";
  }

  void Props(TPersistent* o, const std::string& prefix, const std::string& indent) {
    for (auto* p : o->ClassInfo()->AllProps()) {
      switch (p->kind) {
        case pkClass:
        case pkStrings: {
          if (p->stored && !p->stored(o)) continue;
          if (auto* sub = p->object(o)) Props(sub, prefix + p->name + ".", indent);
          continue;
        }
        case pkCollection: {
          auto* coll = dynamic_cast<TCollection*>(p->object(o));
          if (!coll || coll->Count() == 0) continue;
          out_ += indent + prefix + p->name + " = <";
          for (int i = 0; i < coll->Count(); ++i) {
            out_ += "\n" + indent + "  item\n";
            Props(coll->Items(i), "", indent + "    ");
            out_ += indent + "  end";
          }
          out_ += ">\n";
          continue;
        }
        case pkComponent: {
          auto* target = dynamic_cast<TComponent*>(p->object(o));
          if (target) out_ += indent + prefix + p->name + " = " + target->Name() + "\n";
          continue;
        }
        case pkEvent: {
          TValue v = p->get(o);
          if (!v.s.empty()) out_ += indent + prefix + p->name + " = " + v.s + "\n";
          continue;
        }
        default:
          break;
      }
      TValue v = p->get(o);
      bool stored = p->stored ? p->stored(o) : !(p->def && *p->def == v);
      if (stored) out_ += indent + prefix + p->name + " = " + valueText(v, indent) + "\n";
    }
    DefinitionCollector dc;
    o->DefineProperties(dc);
    for (auto& d : dc.defs) {
      if (!d.hasData || (!d.binary && !d.write) || (d.binary && !d.writeBin)) continue;
      TValue v;
      if (d.binary) {
        v.kind = TValue::vBinary;
        d.writeBin(v.s);
      } else {
        TWriter w;
        d.write(w);
        v = TaggedToValue(w.Data());
      }
      out_ += indent + prefix + d.name + " = " + valueText(v, indent) + "\n";
    }
  }
};

std::string headerClass(const std::string& text) {
  // "object Name: TClass" or "inherited Name: TClass" on the first line that has text.
  size_t p = text.find_first_not_of(" \t\r\n");
  if (p == std::string::npos) return {};
  size_t e = text.find_first_of("\r\n", p);
  std::string line = text.substr(p, e == std::string::npos ? std::string::npos : e - p);
  size_t colon = line.find(':');
  if (colon == std::string::npos) return {};
  size_t b = line.find_first_not_of(" \t", colon + 1);
  if (b == std::string::npos) return {};
  size_t end = line.find_first_of(" \t", b);
  return line.substr(b, end == std::string::npos ? std::string::npos : end - b);
}

}  // namespace

TObjectNode ParseFormText(const std::string& text, const std::string& source) {
  return Parser(text, source).Root();
}

void ReadComponentFromText(TComponent* root, const std::string& text, const std::string& source) {
  TObjectNode n = ParseFormText(text, source);
  Loader l(root, source);
  l.Load(n);
  l.Finish();
}

bool InitInheritedComponent(TComponent* root) {
  // Ancestors first: each description adds to what its ancestor's made.
  std::vector<std::pair<std::string, std::string>> chain;  // name, text
  auto names = forms::FormResourceNames();
  for (auto* c = root->ClassInfo(); c; c = c->parent) {
    for (auto& n : names) {
      std::string text;
      if (forms::FindFormResource(n, text) && AnsiCompareText(headerClass(text), c->name) == 0) {
        chain.emplace_back(n, std::move(text));
        break;
      }
    }
  }
  if (chain.empty()) return false;
  Loader l(root, "");
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    l.SetSource(it->first);
    l.Load(ParseFormText(it->second, it->first));
  }
  l.Finish();
  return true;
}

TComponent* CreateComponentFromText(const std::string& text, const std::string& source,
                                    TComponent* owner) {
  TObjectNode n = ParseFormText(text, source);
  auto* info = FindClassInfo(n.className);
  if (!info || !info->create)
    throw EReadError(source + ":" + std::to_string(n.line) +
                     ": expected a registered class, not the unknown class " + n.className);
  TComponent* c = info->create(owner);
  try {
    Loader l(c, source);
    l.Load(n);
    l.Finish();
  } catch (...) {
    delete c;
    throw;
  }
  return c;
}

std::string WriteComponentToText(TComponent* root) { return Writer(root).Write(); }
