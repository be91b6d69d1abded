#include "platform/system/PeFile.h"

#include <algorithm>
#include <cstdio>

#include "platform/system/Text.h"

namespace win {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr DWORD kFixedSignature = 0xFEEF04BD;
constexpr DWORD kRtVersion = 16;
constexpr DWORD kFileAlign = 0x200;
constexpr DWORD kSectionAlign = 0x1000;
constexpr DWORD kTextRva = 0x1000;
constexpr DWORD kRsrcRva = 0x2000;
constexpr DWORD kHighBit = 0x80000000u;
// The optional header's data directories: 8 bytes each, the resources' the third.
constexpr size_t kDirectorySize = 8;
constexpr size_t kResourceDirectory = 2;

size_t Align(size_t v, size_t a) { return (v + a - 1) / a * a; }

void Put16(Bytes& b, size_t at, WORD v) {
  b[at] = std::uint8_t(v);
  b[at + 1] = std::uint8_t(v >> 8);
}
void Put32(Bytes& b, size_t at, DWORD v) {
  for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}
void Add16(Bytes& b, WORD v) {
  b.push_back(std::uint8_t(v));
  b.push_back(std::uint8_t(v >> 8));
}
void Add32(Bytes& b, DWORD v) {
  for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
}
void PadTo4(Bytes& b) {
  while (b.size() % 4) b.push_back(0);
}
void AddText16(Bytes& b, const std::string& utf8) {
  for (char16_t c : Utf8ToUtf16(utf8)) Add16(b, WORD(c));
  Add16(b, 0);
}

// One node of a version block: header, key, value, children, each child 4-aligned.
Bytes VersionNodeBytes(const std::string& key, const Bytes& value, WORD type, WORD valueLength,
                       const std::vector<Bytes>& children) {
  Bytes b;
  Add16(b, 0);
  Add16(b, valueLength);
  Add16(b, type);
  AddText16(b, key);
  PadTo4(b);
  b.insert(b.end(), value.begin(), value.end());
  for (const Bytes& c : children) {
    PadTo4(b);
    b.insert(b.end(), c.begin(), c.end());
  }
  Put16(b, 0, WORD(b.size()));
  return b;
}

Bytes StringNode(const std::string& key, const std::string& text) {
  Bytes v;
  AddText16(v, text);
  return VersionNodeBytes(key, v, 1, WORD(v.size() / 2), {});
}

std::string DottedVersion(WORD a, WORD b, WORD c, WORD d) {
  return std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c) + "." +
         std::to_string(d);
}

DWORD PeChecksum(const Bytes& file, size_t checksumAt) {
  std::uint64_t sum = 0;
  for (size_t i = 0; i < file.size(); i += 2) {
    if (i == checksumAt || i == checksumAt + 2) continue;
    WORD w = file[i] | (i + 1 < file.size() ? WORD(file[i + 1]) << 8 : 0);
    sum += w;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return DWORD(sum + file.size());
}

// Bounds-checked little-endian reads over the file; every failed read leaves ok false.
struct Reader {
  const std::uint8_t* data;
  size_t size;
  bool Has(std::uint64_t off, std::uint64_t len) const { return off <= size && len <= size - off; }
  bool U16(std::uint64_t off, WORD& v) const {
    if (!Has(off, 2)) return false;
    v = WORD(data[off] | (data[off + 1] << 8));
    return true;
  }
  bool U32(std::uint64_t off, DWORD& v) const {
    if (!Has(off, 4)) return false;
    v = DWORD(data[off]) | (DWORD(data[off + 1]) << 8) | (DWORD(data[off + 2]) << 16) |
        (DWORD(data[off + 3]) << 24);
    return true;
  }
};

struct Section {
  DWORD va, vsize, rawSize, rawPtr;
};

// File offset and bytes available in the file for an RVA; false when not backed by data.
bool MapRva(const Reader& r, const std::vector<Section>& sections, DWORD rva, size_t& off,
            size_t& avail) {
  for (const Section& s : sections) {
    std::uint64_t span = std::max(s.vsize, s.rawSize);
    if (rva < s.va || rva - std::uint64_t(s.va) >= span) continue;
    std::uint64_t delta = rva - s.va;
    if (delta >= s.rawSize) return false;
    std::uint64_t o = std::uint64_t(s.rawPtr) + delta;
    if (o >= r.size) return false;
    off = size_t(o);
    avail = size_t(std::min<std::uint64_t>(s.rawSize - delta, r.size - o));
    return true;
  }
  return false;
}

// One resource directory, within the resource section [base, base + limit).
struct ResourceEntry {
  DWORD name;
  DWORD target;
};
bool ReadDirectory(const Reader& r, size_t base, size_t limit, DWORD dirOff,
                   std::vector<ResourceEntry>& out) {
  if (std::uint64_t(dirOff) + 16 > limit) return false;
  WORD named = 0, ids = 0;
  if (!r.U16(base + dirOff + 12, named) || !r.U16(base + dirOff + 14, ids)) return false;
  std::uint64_t count = std::uint64_t(named) + ids;
  if (std::uint64_t(dirOff) + 16 + count * 8 > limit) return false;
  out.clear();
  for (std::uint64_t i = 0; i < count; ++i) {
    ResourceEntry e{};
    if (!r.U32(base + dirOff + 16 + i * 8, e.name) || !r.U32(base + dirOff + 20 + i * 8, e.target))
      return false;
    out.push_back(e);
  }
  return true;
}

}  // namespace

// ---- writing ------------------------------------------------------------------------

namespace {

std::string LongestTextProblem(const PeVersionSpec& spec, size_t blockBytes) {
  const std::pair<const char*, const std::string*> texts[] = {
      {"CompanyName", &spec.company},       {"FileDescription", &spec.description},
      {"ProductName", &spec.product},       {"OriginalFilename", &spec.originalName},
      {"InternalName", &spec.internalName}, {"LegalCopyright", &spec.copyright},
      {"FileVersion", &spec.fileVersion},   {"ProductVersion", &spec.productVersion}};
  const char* longest = texts[0].first;
  size_t units = 0;
  for (const auto& [key, text] : texts) {
    size_t n = Utf8ToUtf16(*text).size();
    if (n > units) longest = key, units = n;
  }
  return std::string("the version texts take ") + std::to_string(blockBytes) +
         " bytes where a version resource holds at most 65535 (" + longest + ": " +
         std::to_string(units) + " characters)";
}

}  // namespace

std::vector<std::uint8_t> BuildVersionBlock(const PeVersionSpec& spec) {
  bool ownProduct =
      spec.productMajor || spec.productMinor || spec.productRelease || spec.productBuild;
  WORD pa = ownProduct ? spec.productMajor : spec.major;
  WORD pb = ownProduct ? spec.productMinor : spec.minor;
  WORD pc = ownProduct ? spec.productRelease : spec.release;
  WORD pd = ownProduct ? spec.productBuild : spec.build;

  Bytes fixed;
  Add32(fixed, kFixedSignature);
  Add32(fixed, 0x00010000);  // structure version 1.0
  Add32(fixed, (DWORD(spec.major) << 16) | spec.minor);
  Add32(fixed, (DWORD(spec.release) << 16) | spec.build);
  Add32(fixed, (DWORD(pa) << 16) | pb);
  Add32(fixed, (DWORD(pc) << 16) | pd);
  Add32(fixed, 0x3F);        // flags mask
  Add32(fixed, 0);           // flags: a release build
  Add32(fixed, 0x00040004);  // VOS_NT_WINDOWS32
  Add32(fixed, spec.dll ? 2 : 1);
  Add32(fixed, 0);  // subtype
  Add32(fixed, 0);  // date, never set by linkers
  Add32(fixed, 0);

  std::string fileVersion = spec.fileVersion.empty()
                                ? DottedVersion(spec.major, spec.minor, spec.release, spec.build)
                                : spec.fileVersion;
  std::string productVersion = spec.productVersion.empty()
                                   ? (ownProduct ? DottedVersion(pa, pb, pc, pd) : fileVersion)
                                   : spec.productVersion;
  std::string internalName = spec.internalName;
  if (internalName.empty()) {
    internalName = spec.originalName;
    size_t dot = internalName.rfind('.');
    if (dot != std::string::npos && dot > 0) internalName.resize(dot);
  }

  std::vector<Bytes> strings;
  strings.push_back(StringNode("CompanyName", spec.company));
  strings.push_back(StringNode("FileDescription", spec.description));
  strings.push_back(StringNode("FileVersion", fileVersion));
  strings.push_back(StringNode("InternalName", internalName));
  if (!spec.copyright.empty()) strings.push_back(StringNode("LegalCopyright", spec.copyright));
  strings.push_back(StringNode("OriginalFilename", spec.originalName));
  strings.push_back(StringNode("ProductName", spec.product));
  strings.push_back(StringNode("ProductVersion", productVersion));

  char table[9];
  std::snprintf(table, sizeof table, "%04X%04X", unsigned(spec.language), unsigned(spec.codePage));
  Bytes stringTable = VersionNodeBytes(table, {}, 1, 0, strings);
  Bytes stringFileInfo = VersionNodeBytes("StringFileInfo", {}, 1, 0, {stringTable});

  Bytes translation;
  Add16(translation, spec.language);
  Add16(translation, spec.codePage);
  Bytes var = VersionNodeBytes("Translation", translation, 0, WORD(translation.size()), {});
  Bytes varFileInfo = VersionNodeBytes("VarFileInfo", {}, 1, 0, {var});

  Bytes block = VersionNodeBytes("VS_VERSION_INFO", fixed, 0, WORD(fixed.size()),
                                 {stringFileInfo, varFileInfo});
  // Every length in the block is 16 bits: the whole block, and so each text, must fit.
  if (block.size() > 0xFFFF) throw PeTextTooLong(LongestTextProblem(spec, block.size()));
  return block;
}

std::vector<std::uint8_t> BuildPeFile(const PeVersionSpec& spec) {
  // The resource section: three directory levels (type, name, language), one data entry,
  // then the version block.
  Bytes block = BuildVersionBlock(spec);
  Bytes rsrc(96, 0);
  auto dir = [&](size_t at, DWORD name, DWORD target) {
    Put16(rsrc, at + 14, 1);  // one entry, by id
    Put32(rsrc, at + 16, name);
    Put32(rsrc, at + 20, target);
  };
  dir(0, kRtVersion, kHighBit | 24);
  dir(24, 1, kHighBit | 48);  // VS_VERSION_INFO is resource 1
  dir(48, spec.language, 72);
  Put32(rsrc, 72, kRsrcRva + 96);
  Put32(rsrc, 76, DWORD(block.size()));
  rsrc.insert(rsrc.end(), block.begin(), block.end());

  // A DLL entry point answering TRUE (mov eax,1; ret 0Ch), or a program returning 0.
  Bytes code =
      spec.dll ? Bytes{0xB8, 0x01, 0x00, 0x00, 0x00, 0xC2, 0x0C, 0x00} : Bytes{0x33, 0xC0, 0xC3};

  const DWORD headersSize = kFileAlign;
  const DWORD textRaw = headersSize;
  const DWORD textRawSize = DWORD(Align(code.size(), kFileAlign));
  const DWORD rsrcRaw = textRaw + textRawSize;
  const DWORD rsrcRawSize = DWORD(Align(rsrc.size(), kFileAlign));
  const DWORD imageSize = kRsrcRva + DWORD(Align(rsrc.size(), kSectionAlign));

  Bytes f(rsrcRaw + rsrcRawSize, 0);
  // MZ header and a DOS stub that prints the usual refusal.
  f[0] = 'M';
  f[1] = 'Z';
  Put16(f, 0x02, 0x90);
  Put16(f, 0x04, 3);
  Put16(f, 0x08, 4);
  Put16(f, 0x0C, 0xFFFF);
  Put16(f, 0x10, 0xB8);
  Put16(f, 0x18, 0x40);
  Put32(f, 0x3C, 0x80);
  const std::uint8_t stub[] = {0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09,
                               0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
  std::copy(std::begin(stub), std::end(stub), f.begin() + 0x40);
  const char* msg = "This program cannot be run in DOS mode.\r\r\n$";
  std::copy(msg, msg + 43, f.begin() + 0x4E);

  const size_t pe = 0x80;
  f[pe] = 'P';
  f[pe + 1] = 'E';
  const size_t coff = pe + 4;
  Put16(f, coff, 0x14C);  // i386
  Put16(f, coff + 2, 2);  // sections
  Put32(f, coff + 4, 0x41107B9A);
  Put16(f, coff + 16, 0xE0);
  Put16(f, coff + 18,
        WORD(spec.dll ? 0x210E : 0x010F));  // programs have their relocations stripped

  const size_t opt = coff + 20;
  Put16(f, opt, 0x10B);  // PE32
  f[opt + 2] = 6;        // linker 6.0
  Put32(f, opt + 4, textRawSize);
  Put32(f, opt + 8, rsrcRawSize);
  Put32(f, opt + 16, kTextRva);  // entry point
  Put32(f, opt + 20, kTextRva);
  Put32(f, opt + 24, kRsrcRva);
  Put32(f, opt + 28, spec.dll ? 0x10000000 : 0x00400000);
  Put32(f, opt + 32, kSectionAlign);
  Put32(f, opt + 36, kFileAlign);
  Put16(f, opt + 40, 4);  // OS 4.0
  Put16(f, opt + 44, spec.major);
  Put16(f, opt + 46, spec.minor);
  Put16(f, opt + 48, 4);  // subsystem 4.0
  Put32(f, opt + 56, imageSize);
  Put32(f, opt + 60, headersSize);
  Put16(f, opt + 68, 2);  // GUI
  Put32(f, opt + 72, 0x100000);
  Put32(f, opt + 76, 0x1000);
  Put32(f, opt + 80, 0x100000);
  Put32(f, opt + 84, 0x1000);
  Put32(f, opt + 92, 16);
  Put32(f, opt + 96 + kResourceDirectory * kDirectorySize, kRsrcRva);
  Put32(f, opt + 96 + kResourceDirectory * kDirectorySize + 4, DWORD(rsrc.size()));

  const size_t sec = opt + 0xE0;
  auto section = [&](size_t at, const char* name, DWORD vsize, DWORD va, DWORD rawSize,
                     DWORD rawPtr, DWORD flags) {
    for (int i = 0; name[i] && i < 8; ++i) f[at + i] = std::uint8_t(name[i]);
    Put32(f, at + 8, vsize);
    Put32(f, at + 12, va);
    Put32(f, at + 16, rawSize);
    Put32(f, at + 20, rawPtr);
    Put32(f, at + 36, flags);
  };
  section(sec, ".text", DWORD(code.size()), kTextRva, textRawSize, textRaw, 0x60000020);
  section(sec + 40, ".rsrc", DWORD(rsrc.size()), kRsrcRva, rsrcRawSize, rsrcRaw, 0x40000040);

  std::copy(code.begin(), code.end(), f.begin() + textRaw);
  std::copy(rsrc.begin(), rsrc.end(), f.begin() + rsrcRaw);

  // Requested size: data after the last section, as installers and signed files have.
  if (spec.padTo > f.size()) {
    size_t from = f.size();
    f.resize(spec.padTo);
    std::uint32_t x = 0x9E3779B9u ^ (DWORD(spec.major) << 16 | spec.build);
    for (size_t i = from; i < f.size(); ++i) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      f[i] = std::uint8_t(x);
    }
  }
  Put32(f, opt + 64, PeChecksum(f, opt + 64));
  return f;
}

// ---- reading ------------------------------------------------------------------------

PeVersionRead ReadPeVersionBlock(const std::uint8_t* data, size_t size,
                                 std::vector<std::uint8_t>& block) {
  Reader r{data, size};
  WORD mz = 0;
  if (!r.U16(0, mz) || mz != 0x5A4D) return PeVersionRead::NotPe;
  DWORD peOff = 0;
  DWORD sig = 0;
  if (!r.U32(0x3C, peOff) || !r.U32(peOff, sig) || sig != 0x00004550)
    return PeVersionRead::BadFormat;
  const std::uint64_t coff = std::uint64_t(peOff) + 4;
  WORD sectionCount = 0, optSize = 0, magic = 0;
  if (!r.U16(coff + 2, sectionCount) || !r.U16(coff + 16, optSize)) return PeVersionRead::BadFormat;
  const std::uint64_t opt = coff + 20;
  if (!r.Has(opt, optSize) || !r.U16(opt, magic)) return PeVersionRead::BadFormat;
  std::uint64_t dirs;
  if (magic == 0x10B)
    dirs = 96;
  else if (magic == 0x20B)
    dirs = 112;
  else
    return PeVersionRead::BadFormat;
  DWORD dirCount = 0;
  if (optSize < dirs || !r.U32(opt + dirs - 4, dirCount)) return PeVersionRead::BadFormat;

  std::uint64_t secTable = opt + optSize;
  if (!r.Has(secTable, std::uint64_t(sectionCount) * 40)) return PeVersionRead::BadFormat;
  std::vector<Section> sections;
  for (WORD i = 0; i < sectionCount; ++i) {
    Section s{};
    std::uint64_t at = secTable + std::uint64_t(i) * 40;
    r.U32(at + 8, s.vsize);
    r.U32(at + 12, s.va);
    r.U32(at + 16, s.rawSize);
    r.U32(at + 20, s.rawPtr);
    sections.push_back(s);
  }

  DWORD rsrcRva = 0, rsrcSize = 0;
  const std::uint64_t rsrcDir = dirs + kResourceDirectory * kDirectorySize;
  if (dirCount <= kResourceDirectory || optSize < rsrcDir + kDirectorySize)
    return PeVersionRead::NoVersion;
  r.U32(opt + rsrcDir, rsrcRva);
  r.U32(opt + rsrcDir + 4, rsrcSize);
  if (rsrcRva == 0 || rsrcSize == 0) return PeVersionRead::NoVersion;
  size_t base = 0, limit = 0;
  if (!MapRva(r, sections, rsrcRva, base, limit)) return PeVersionRead::BadFormat;

  std::vector<ResourceEntry> entries;
  if (!ReadDirectory(r, base, limit, 0, entries)) return PeVersionRead::BadFormat;
  auto type = std::find_if(entries.begin(), entries.end(), [](const ResourceEntry& e) {
    return e.name == kRtVersion && (e.target & kHighBit);
  });
  if (type == entries.end()) return PeVersionRead::NoVersion;
  if (!ReadDirectory(r, base, limit, type->target & ~kHighBit, entries))
    return PeVersionRead::BadFormat;
  // Resource 1 (VS_VERSION_INFO) first, else any name.
  auto name = std::find_if(entries.begin(), entries.end(), [](const ResourceEntry& e) {
    return e.name == 1 && (e.target & kHighBit);
  });
  if (name == entries.end())
    name = std::find_if(entries.begin(), entries.end(),
                        [](const ResourceEntry& e) { return (e.target & kHighBit) != 0; });
  if (name == entries.end()) return PeVersionRead::NoVersion;
  if (!ReadDirectory(r, base, limit, name->target & ~kHighBit, entries))
    return PeVersionRead::BadFormat;
  auto lang = std::find_if(entries.begin(), entries.end(),
                           [](const ResourceEntry& e) { return (e.target & kHighBit) == 0; });
  if (lang == entries.end()) return PeVersionRead::NoVersion;
  if (std::uint64_t(lang->target) + 16 > limit) return PeVersionRead::BadFormat;
  DWORD dataRva = 0, dataSize = 0;
  r.U32(base + lang->target, dataRva);
  r.U32(base + lang->target + 4, dataSize);
  size_t dataOff = 0, dataAvail = 0;
  if (!MapRva(r, sections, dataRva, dataOff, dataAvail) || dataSize > dataAvail)
    return PeVersionRead::BadFormat;
  WORD length = 0;
  if (!r.U16(dataOff, length) || length < 6 || length > dataSize) return PeVersionRead::BadFormat;
  block.assign(data + dataOff, data + dataOff + length);
  return PeVersionRead::Found;
}

bool ParseVersionNode(const std::uint8_t* block, size_t limit, size_t offset, VersionNode& node) {
  Reader r{block, limit};
  WORD length = 0, valueLength = 0, type = 0;
  if (!r.U16(offset, length) || !r.U16(offset + 2, valueLength) || !r.U16(offset + 4, type))
    return false;
  if (length < 6 || !r.Has(offset, length)) return false;
  const size_t end = offset + length;
  std::u16string key;
  size_t pos = offset + 6;
  for (;;) {
    WORD c = 0;
    if (pos + 2 > end || !r.U16(pos, c)) return false;
    pos += 2;
    if (c == 0) break;
    key += char16_t(c);
  }
  node.key = Utf16ToUtf8(key);
  node.offset = offset;
  node.length = length;
  node.type = type;
  node.valueOffset = std::min(Align(pos, 4), end);
  // Some linkers count text values in bytes instead of characters: keep within the node.
  size_t valueSize = type == 1 ? size_t(valueLength) * 2 : valueLength;
  node.valueSize = std::min(valueSize, end - node.valueOffset);
  node.childrenOffset = std::min(Align(node.valueOffset + node.valueSize, 4), end);
  return true;
}

std::vector<VersionNode> VersionNodeChildren(const std::uint8_t* block, const VersionNode& node) {
  std::vector<VersionNode> out;
  const size_t end = node.offset + node.length;
  size_t pos = node.childrenOffset;
  while (pos + 6 <= end) {
    VersionNode child;
    if (!ParseVersionNode(block, end, pos, child)) break;
    out.push_back(child);
    pos = Align(pos + child.length, 4);
  }
  return out;
}

}  // namespace win
