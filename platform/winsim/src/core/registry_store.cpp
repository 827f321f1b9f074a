// The registry tree of the simulated machine and its registry.reg file.
//
// registry.reg is REGEDIT4 text as regedit writes it, CR LF line ends:
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Vendor]
//   ;dacl: Everyone=F003F/2
//   "Name"="text"
//   "Count"=dword:00000004
//   "Raw"=hex(7):41,00,00,00
//
// A REG_SZ is written as "..." only when that text gives back the very same
// bytes (one terminating zero, no other zero, no control characters); every
// other value is written as hex: (REG_BINARY) or hex(N): with the type N in
// hex, wrapped with "\" as regedit wraps it. A REG_DWORD of four bytes is
// dword:.
//
// The DACL of a key is a comment line right under its header, which regedit
// ignores:
//
//   ;dacl: ENTRY, ENTRY, ...            entries the key holds itself; it also
//                                       inherits from its parent
//   ;dacl protected: ENTRY, ...         the key inherits nothing
//   ;dacl: null                         a null DACL: everyone may do anything
//
// ENTRY is [deny ]TRUSTEE=MASK/FLAGS, MASK the access mask and FLAGS the ACE
// flags, both in hex. A key without the line holds no entries of its own and
// inherits; a root key without it has an empty DACL (Windows 9x has none).
// Inherited entries are never written: they follow from the parents.
#include "core/registry_store.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/machine.h"

namespace winsim {

namespace {

// Letter case as Windows folds it for key and value names in code page 1252.
unsigned char FoldCase(unsigned char c) {
  if (c >= 'a' && c <= 'z') return (unsigned char)(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return (unsigned char)(c - 0x20);
  switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
  }
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldCase((unsigned char)a[i]) != FoldCase((unsigned char)b[i])) return false;
  return true;
}

struct Store {
  std::unique_ptr<RegKey> roots[3];  // HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_USER
  // Deleted keys stay alive until the tree is unloaded, so that a handle
  // still pointing at one can say ERROR_KEY_DELETED.
  std::vector<std::unique_ptr<RegKey>> graveyard;
  unsigned generation = 1;
  bool loaded = false;
};

Store& S() {
  static Store s;
  return s;
}

const char* const kRootNames[3] = {"HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_USER"};

void MakeRoots() {
  Store& s = S();
  for (int i = 0; i < 3; ++i)
    if (!s.roots[i]) s.roots[i].reset(new RegKey(kRootNames[i], nullptr));
}

// A path split into its root key and the names below it. HKEY_CLASSES_ROOT
// and HKEY_CURRENT_CONFIG are views of keys below HKEY_LOCAL_MACHINE.
struct SplitPathResult {
  int root = -1;
  std::vector<std::string> names;
  bool emptyName = false;
};

struct RootAlias {
  const char* longName;
  const char* shortName;
  int root;
  const char* below;
};

const RootAlias kRootAliases[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", 0, ""},
    {"HKEY_USERS", "HKU", 1, ""},
    {"HKEY_CURRENT_USER", "HKCU", 2, ""},
    {"HKEY_CLASSES_ROOT", "HKCR", 0, "SOFTWARE\\Classes"},
    {"HKEY_CURRENT_CONFIG", "HKCC", 0, "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"},
};

std::vector<std::string> SplitNames(const std::string& path, bool* emptyName) {
  std::vector<std::string> names;
  if (path.empty()) return names;
  size_t pos = 0;
  while (true) {
    size_t end = path.find('\\', pos);
    std::string name = path.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (name.empty()) {
      // A single trailing backslash is tolerated; any other empty name is not.
      if (end != std::string::npos || pos == 0) *emptyName = true;
    } else {
      names.push_back(name);
    }
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  return names;
}

SplitPathResult SplitPath(const std::string& path) {
  SplitPathResult r;
  size_t slash = path.find('\\');
  std::string rootName = path.substr(0, slash);
  for (const auto& a : kRootAliases) {
    if (SameName(rootName, a.longName) || SameName(rootName, a.shortName)) {
      r.root = a.root;
      bool unused = false;
      r.names = SplitNames(a.below, &unused);
      break;
    }
  }
  if (r.root < 0) return r;
  if (slash != std::string::npos) {
    std::vector<std::string> more = SplitNames(path.substr(slash + 1), &r.emptyName);
    r.names.insert(r.names.end(), more.begin(), more.end());
  }
  return r;
}

std::string Hex(unsigned long v) {
  char buf[16];
  snprintf(buf, sizeof buf, "%lX", v);
  return buf;
}

// ---- export ----

// Quoted text as regedit writes it. CR and LF, which regedit's text cannot
// carry, appear only in value names (string data holding them is written as
// hex) and are written \r and \n, so that no line of the file breaks.
void AppendQuoted(const std::string& text, std::string& out) {
  out += '"';
  for (char c : text) {
    if (c == '\\' || c == '"') {
      out += '\\';
    } else if (c == '\r' || c == '\n') {
      out += c == '\r' ? "\\r" : "\\n";
      continue;
    }
    out += c;
  }
  out += '"';
}

// True when "..." in the file reads back as exactly these bytes.
bool IsCleanString(const std::vector<uint8_t>& data) {
  if (data.empty() || data.back() != 0) return false;
  for (size_t i = 0; i + 1 < data.size(); ++i)
    if (data[i] < 0x20 && data[i] != '\t') return false;
  return true;
}

void AppendValue(const RegValue& v, std::string& out) {
  std::string line;
  if (v.name.empty())
    line = "@";
  else
    AppendQuoted(v.name, line);
  line += '=';
  if (v.type == REG_SZ && IsCleanString(v.data)) {
    AppendQuoted(std::string(v.data.begin(), v.data.end() - 1), line);
    out += line + "\r\n";
    return;
  }
  if (v.type == REG_DWORD && v.data.size() == 4) {
    char buf[16];
    unsigned long d = (unsigned long)v.data[0] | ((unsigned long)v.data[1] << 8) | ((unsigned long)v.data[2] << 16) |
                      ((unsigned long)v.data[3] << 24);
    snprintf(buf, sizeof buf, "dword:%08lx", d);
    out += line + buf + "\r\n";
    return;
  }
  if (v.type == REG_BINARY) {
    line += "hex:";
  } else {
    char buf[24];
    snprintf(buf, sizeof buf, "hex(%lx):", (unsigned long)v.type);
    line += buf;
  }
  // As regedit: a line is broken with "\" once it reaches 77 columns, and
  // continues indented by two spaces.
  size_t column = line.size();
  out += line;
  for (size_t i = 0; i < v.data.size(); ++i) {
    char buf[4];
    snprintf(buf, sizeof buf, "%02x", v.data[i]);
    out += buf;
    if (i + 1 == v.data.size()) break;
    out += ',';
    column += 3;
    if (column >= 77) {
      out += "\\\r\n  ";
      column = 2;
    }
  }
  out += "\r\n";
}

std::string DaclLine(const RegKey& key) {
  if (key.nullDacl()) return ";dacl: null\r\n";
  std::vector<const RegAce*> own;
  for (const auto& ace : key.dacl())
    if (!(ace.inheritance & INHERITED_ACE)) own.push_back(&ace);
  // A root key inherits from nothing; a key that inherits and holds nothing
  // of its own needs no line.
  bool isProtected = key.daclProtected() || !key.parent();
  if (own.empty() && (!key.parent() || !key.daclProtected())) return "";
  std::string line = isProtected ? ";dacl protected:" : ";dacl:";
  for (size_t i = 0; i < own.size(); ++i) {
    line += i ? ", " : " ";
    if (own[i]->deny) line += "deny ";
    line += own[i]->trustee + "=" + Hex(own[i]->mask) + "/" + Hex(own[i]->inheritance);
  }
  return line + "\r\n";
}

void ExportKey(const RegKey& key, std::string& out) {
  out += "[" + key.Path() + "]\r\n";
  out += DaclLine(key);
  for (const auto& v : key.values()) AppendValue(v, out);
  out += "\r\n";
  for (const auto& child : key.children()) ExportKey(*child, out);
}

// ---- import ----

struct ImportOp {
  enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue, SetDacl };
  ImportOp(Kind k, std::string p) : kind(k), path(std::move(p)) {}
  Kind kind;
  std::string path;
  std::string name;
  DWORD type = REG_NONE;
  std::vector<uint8_t> data;
  std::vector<RegAce> dacl;
  bool daclProtected = false;
  bool nullDacl = false;
};

class Parser {
 public:
  Parser(const std::string& text, const std::string& source) : m_source(source) {
    size_t pos = 0;
    while (pos <= text.size()) {
      size_t end = text.find('\n', pos);
      std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      m_lines.push_back(line);
      if (end == std::string::npos) break;
      pos = end + 1;
    }
  }

  std::vector<ImportOp> Parse() {
    size_t i = 0;
    while (i < m_lines.size() && Blank(m_lines[i])) ++i;
    if (i == m_lines.size() || m_lines[i] != "REGEDIT4") Fail(i < m_lines.size() ? i : 0, "not a REGEDIT4 file");
    ++i;
    std::string key;  // the key of the lines that follow, "" before the first
    bool keyDeleted = false;
    bool valuesSeen = false;
    for (; i < m_lines.size(); ++i) {
      const std::string& line = m_lines[i];
      if (Blank(line)) continue;
      if (line[0] == '[') {
        if (line.size() < 3 || line.back() != ']') Fail(i, "a key header must be [KEY] or [-KEY]");
        std::string path = line.substr(1, line.size() - 2);
        keyDeleted = path[0] == '-';
        if (keyDeleted) path = path.substr(1);
        CheckPath(i, path);
        ImportOp op(keyDeleted ? ImportOp::DeleteKey : ImportOp::CreateKey, path);
        m_ops.push_back(op);
        key = path;
        valuesSeen = false;
        continue;
      }
      if (line.compare(0, 5, ";dacl") == 0) {
        if (key.empty() || keyDeleted) Fail(i, "a DACL line must follow a key header");
        if (valuesSeen) Fail(i, "the DACL line must come right under the key header");
        ParseDacl(i, key, line);
        continue;
      }
      if (line[0] == ';') continue;
      if (line[0] != '"' && line[0] != '@') Fail(i, "cannot read this line");
      if (key.empty()) Fail(i, "a value before the first key header");
      valuesSeen = true;
      ParseValue(i, key, keyDeleted);
    }
    return m_ops;
  }

 private:
  static bool Blank(const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos;
  }

  [[noreturn]] void Fail(size_t line, const std::string& what) {
    throw MachineError(m_source + ":" + std::to_string(line + 1) + ": " + what);
  }

  void CheckPath(size_t i, const std::string& path) {
    SplitPathResult r = SplitPath(path);
    if (r.root < 0) Fail(i, "unknown root key in '" + path + "'");
    if (r.emptyName) Fail(i, "empty key name in '" + path + "'");
  }

  // Reads "..." starting at line[pos] (the opening quote); returns the
  // position after the closing quote.
  size_t ReadQuoted(size_t i, const std::string& line, size_t pos, std::string* text) {
    text->clear();
    for (++pos; pos < line.size(); ++pos) {
      char c = line[pos];
      if (c == '"') return pos + 1;
      if (c == '\\') {
        if (pos + 1 >= line.size()) break;
        char next = line[++pos];
        if (next != '\\' && next != '"' && next != 'r' && next != 'n')
          Fail(i, std::string("unknown escape \\") + next);
        c = next == 'r' ? '\r' : next == 'n' ? '\n' : next;
      }
      text->push_back(c);
    }
    Fail(i, "a quoted text without its closing quote");
  }

  void ParseValue(size_t& i, const std::string& key, bool keyDeleted) {
    const std::string line = m_lines[i];
    ImportOp op(ImportOp::SetValue, key);
    size_t pos;
    if (line[0] == '@') {
      pos = 1;
    } else {
      pos = ReadQuoted(i, line, 0, &op.name);
    }
    if (pos >= line.size() || line[pos] != '=') Fail(i, "'=' expected after the value name");
    std::string data = line.substr(pos + 1);
    if (data == "-") {
      op.kind = ImportOp::DeleteValue;
    } else if (!data.empty() && data[0] == '"') {
      std::string text;
      size_t end = ReadQuoted(i, data, 0, &text);
      if (end != data.size()) Fail(i, "text after the closing quote");
      op.type = REG_SZ;
      op.data.assign(text.begin(), text.end());
      op.data.push_back(0);
    } else if (data.compare(0, 6, "dword:") == 0) {
      std::string digits = data.substr(6);
      if (digits.empty() || digits.size() > 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        Fail(i, "dword: needs one to eight hex digits");
      unsigned long d = strtoul(digits.c_str(), nullptr, 16);
      op.type = REG_DWORD;
      for (int b = 0; b < 4; ++b) op.data.push_back((uint8_t)(d >> (8 * b)));
    } else if (data.compare(0, 3, "hex") == 0) {
      size_t colon = data.find(':');
      if (colon == std::string::npos) Fail(i, "hex: or hex(N): expected");
      std::string kind = data.substr(3, colon - 3);
      if (kind.empty()) {
        op.type = REG_BINARY;
      } else {
        if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')') Fail(i, "hex(N): expected");
        std::string n = kind.substr(1, kind.size() - 2);
        if (n.empty() || n.size() > 8 || n.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
          Fail(i, "the type in hex(N): must be hex digits");
        op.type = (DWORD)strtoul(n.c_str(), nullptr, 16);
      }
      std::string bytes = data.substr(colon + 1);
      size_t first = i;
      while (!bytes.empty() && bytes.back() == '\\') {
        bytes.pop_back();
        if (++i >= m_lines.size()) Fail(first, "the value continues past the end of the file");
        const std::string& next = m_lines[i];
        bytes += next.substr(std::min(next.size(), next.find_first_not_of(" \t")));
      }
      ParseBytes(first, bytes, &op.data);
    } else {
      Fail(i, "cannot read the value data");
    }
    if (!keyDeleted) m_ops.push_back(op);
  }

  void ParseBytes(size_t i, const std::string& text, std::vector<uint8_t>* out) {
    size_t pos = 0;
    std::string t;
    for (char c : text)
      if (c != ' ' && c != '\t') t += c;
    if (t.empty()) return;
    while (true) {
      size_t comma = t.find(',', pos);
      std::string byte = t.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
      if (byte.empty() || byte.size() > 2 || byte.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        Fail(i, "bad hex byte '" + byte + "'");
      out->push_back((uint8_t)strtoul(byte.c_str(), nullptr, 16));
      if (comma == std::string::npos) break;
      pos = comma + 1;
    }
  }

  void ParseDacl(size_t i, const std::string& key, const std::string& line) {
    ImportOp op(ImportOp::SetDacl, key);
    std::string rest;
    if (line.compare(0, 6, ";dacl:") == 0) {
      rest = line.substr(6);
    } else if (line.compare(0, 16, ";dacl protected:") == 0) {
      rest = line.substr(16);
      op.daclProtected = true;
    } else {
      Fail(i, "a DACL line is ';dacl:' or ';dacl protected:'");
    }
    if (rest == " null") {
      op.nullDacl = true;
      m_ops.push_back(op);
      return;
    }
    size_t pos = 0;
    while (pos < rest.size()) {
      if (rest[pos] != ' ') Fail(i, "entries are separated by ', '");
      ++pos;
      size_t end = rest.find(',', pos);
      std::string entry = rest.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
      pos = end == std::string::npos ? rest.size() : end + 1;
      RegAce ace;
      if (entry.compare(0, 5, "deny ") == 0) {
        ace.deny = true;
        entry = entry.substr(5);
      }
      size_t eq = entry.rfind('=');
      size_t slash = entry.rfind('/');
      if (eq == std::string::npos || slash == std::string::npos || slash < eq) Fail(i, "an entry is TRUSTEE=MASK/FLAGS");
      const char* trustee = CanonicalTrustee(entry.substr(0, eq));
      if (!trustee) Fail(i, "unknown trustee '" + entry.substr(0, eq) + "'");
      std::string mask = entry.substr(eq + 1, slash - eq - 1);
      std::string flags = entry.substr(slash + 1);
      const char* hex = "0123456789abcdefABCDEF";
      if (mask.empty() || mask.size() > 8 || mask.find_first_not_of(hex) != std::string::npos || flags.empty() ||
          flags.size() > 2 || flags.find_first_not_of(hex) != std::string::npos)
        Fail(i, "MASK and FLAGS are hex numbers");
      ace.trustee = trustee;
      ace.mask = (ACCESS_MASK)strtoul(mask.c_str(), nullptr, 16);
      ace.inheritance = (DWORD)strtoul(flags.c_str(), nullptr, 16);
      if (ace.inheritance & INHERITED_ACE) Fail(i, "inherited entries are not written");
      op.dacl.push_back(ace);
    }
    m_ops.push_back(op);
  }

  std::string m_source;
  std::vector<std::string> m_lines;
  std::vector<ImportOp> m_ops;
};

void Apply(const std::vector<ImportOp>& ops) {
  Registry& reg = Registry::Get();
  for (const auto& op : ops) {
    switch (op.kind) {
      case ImportOp::CreateKey:
        reg.Create(op.path);
        break;
      case ImportOp::DeleteKey:
        reg.Delete(op.path);
        break;
      case ImportOp::SetValue:
        reg.Create(op.path)->SetValue(op.name, op.type, op.data.data(), op.data.size());
        break;
      case ImportOp::DeleteValue:
        reg.Create(op.path)->DeleteValue(op.name);
        break;
      case ImportOp::SetDacl: {
        RegKey* key = reg.Create(op.path);
        key->SetNullDacl(op.nullDacl);
        key->SetExplicitDacl(op.dacl, op.daclProtected);
        break;
      }
    }
  }
}

// ---- the machine's registry.reg ----

class RegistrySubsystem : public Subsystem {
 public:
  RegistrySubsystem() : Subsystem(10) {}

  void Load(Machine& m) override {
    Unload();
    std::string path = m.PathOf("registry.reg");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw MachineError(path + ": cannot be read");
    std::stringstream text;
    text << in.rdbuf();
    std::vector<ImportOp> ops = Parser(text.str(), path).Parse();
    MakeRoots();
    S().loaded = true;
    ++S().generation;
    Apply(ops);
    for (auto& root : S().roots) root->RefreshInheritance();
  }

  void Save(Machine& m) override {
    if (!S().loaded) return;
    namespace fs = std::filesystem;
    std::string path = m.PathOf("registry.reg");
    std::string tmp = path + ".tmp";
    std::string text = Registry::Get().Export();
    {
      std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
      out.write(text.data(), (std::streamsize)text.size());
      out.flush();
      if (!out) {
        fprintf(stderr, "winsim: cannot write %s\n", tmp.c_str());
        return;
      }
    }
    std::error_code ec;
    fs::rename(tmp, path, ec);
    if (ec) fprintf(stderr, "winsim: cannot replace %s: %s\n", path.c_str(), ec.message().c_str());
  }

  void Unload() override {
    Store& s = S();
    for (auto& root : s.roots) root.reset();
    s.graveyard.clear();
    s.loaded = false;
    ++s.generation;
  }

  void Seed(Machine& m) override;
};

RegistrySubsystem g_registry;

RegAce Ace(const char* trustee, ACCESS_MASK mask) { return RegAce{trustee, mask, false, CONTAINER_INHERIT_ACE}; }

struct ProductName {
  const char* os;
  const char* name;
};

const ProductName kProductNames[] = {
    {"95", "Microsoft Windows 95"},         {"98", "Microsoft Windows 98"},
    {"me", "Microsoft Windows ME"},         {"nt4", "Microsoft Windows NT"},
    {"2000", "Microsoft Windows 2000"},     {"xp", "Microsoft Windows XP"},
    {"2003", "Microsoft Windows Server 2003"}, {"vista", "Windows Vista (TM) Business"},
    {"7", "Windows 7 Professional"},        {"7-x64", "Windows 7 Professional"},
};

// The registry a fresh Windows of the machine's kind has, as far as the
// programs and the simulated spooler and set-up service use it.
//
// Key security on NT: HKEY_LOCAL_MACHINE and HKEY_USERS grant Administrators
// and SYSTEM KEY_ALL_ACCESS and Users KEY_READ, inherited by every subkey.
// HKLM\SYSTEM\CurrentControlSet\Enum does not inherit: SYSTEM has
// KEY_ALL_ACCESS, Administrators only READ_CONTROL | WRITE_DAC | KEY_READ and
// Everyone KEY_READ, so an administrator can read the device keys and change
// their DACL but deletes them only after granting himself the right. The
// user owns HKEY_CURRENT_USER. Windows 9x has no key security at all.
void RegistrySubsystem::Seed(Machine& m) {
  const OsInfo& os = m.os();
  Registry& reg = Registry::Get();
  std::string osName = m.ini().Get("os", "name", "");
  if (os.IsNT()) {
    std::vector<RegAce> machine = {Ace("Administrators", KEY_ALL_ACCESS), Ace("SYSTEM", KEY_ALL_ACCESS),
                                   Ace("Users", KEY_READ)};
    reg.Find("HKEY_LOCAL_MACHINE")->SetExplicitDacl(machine, true);
    reg.Find("HKEY_USERS")->SetExplicitDacl(machine, true);
    reg.Find("HKEY_CURRENT_USER")
        ->SetExplicitDacl({Ace("User", KEY_ALL_ACCESS), Ace("Administrators", KEY_ALL_ACCESS),
                           Ace("SYSTEM", KEY_ALL_ACCESS)},
                          true);
  }

  const char* product = "Microsoft Windows";
  for (const auto& p : kProductNames)
    if (osName == p.os) product = p.name;

  std::vector<std::string> views = {"HKLM\\SOFTWARE"};
  if (os.wow64) views.push_back("HKLM\\SOFTWARE\\Wow6432Node");
  for (const auto& software : views) {
    bool wow = software != "HKLM\\SOFTWARE";
    RegKey* cv = reg.Create(software + "\\Microsoft\\Windows\\CurrentVersion");
    cv->SetString("ProgramFilesDir", wow ? "C:\\Program Files (x86)" : "C:\\Program Files");
    cv->SetString("CommonFilesDir",
                  wow ? "C:\\Program Files (x86)\\Common Files" : "C:\\Program Files\\Common Files");
    if (!os.IsNT()) {
      char version[32];
      snprintf(version, sizeof version, "%u.%02u.%u", os.major, os.minor, os.build);
      cv->SetString("ProductName", product);
      cv->SetString("VersionNumber", version);
      cv->SetString("SystemRoot", os.windir);
    }
    reg.Create(software + "\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    if (os.IsNT()) {
      char version[16], build[16];
      snprintf(version, sizeof version, "%u.%u", os.major, os.minor);
      snprintf(build, sizeof build, "%u", os.build);
      RegKey* nt = reg.Create(software + "\\Microsoft\\Windows NT\\CurrentVersion");
      nt->SetString("ProductName", product);
      nt->SetString("CurrentVersion", version);
      nt->SetString("CurrentBuildNumber", build);
      if (!os.csd.empty()) nt->SetString("CSDVersion", os.csd);
      nt->SetString("SystemRoot", os.windir);
    }
  }
  reg.Create("HKLM\\SOFTWARE\\Classes");

  const std::string print = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print";
  if (os.IsNT()) {
    reg.Create(print + "\\Environments\\Windows NT x86")->SetString("Directory", "w32x86");
    if (os.wow64) reg.Create(print + "\\Environments\\Windows x64")->SetString("Directory", "x64");
  } else {
    reg.Create(print + "\\Environments\\Windows 4.0");
  }
  reg.Create(print + "\\Monitors");
  reg.Create(print + "\\Printers");

  RegKey* enumKey = reg.Create("HKLM\\SYSTEM\\CurrentControlSet\\Enum");
  if (os.IsNT())
    enumKey->SetExplicitDacl({Ace("SYSTEM", KEY_ALL_ACCESS),
                              Ace("Administrators", READ_CONTROL | WRITE_DAC | KEY_READ), Ace("Everyone", KEY_READ)},
                             true);
  for (const char* bus : {"USB", "USBPRINT", "Root"}) enumKey->CreateChild(bus);
  reg.Create("HKLM\\SYSTEM\\Setup");
  reg.Create("HKLM\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current");
  reg.Create("HKU\\.DEFAULT");
  reg.Create("HKCU\\Software");
}

}  // namespace

// ---- keys ----

RegKey::RegKey(std::string name, RegKey* parent) : m_name(std::move(name)), m_parent(parent) {}

std::string RegKey::Path() const { return m_parent ? m_parent->Path() + "\\" + m_name : m_name; }

RegKey* RegKey::Child(const std::string& name) const {
  for (const auto& c : m_children)
    if (SameName(c->m_name, name)) return c.get();
  return nullptr;
}

RegKey* RegKey::CreateChild(const std::string& name) {
  if (RegKey* existing = Child(name)) return existing;
  m_children.emplace_back(new RegKey(name, this));
  RegKey* child = m_children.back().get();
  child->RefreshInheritance();
  return child;
}

bool RegKey::DeleteChild(const std::string& name) {
  for (auto it = m_children.begin(); it != m_children.end(); ++it) {
    if (SameName((*it)->m_name, name)) {
      (*it)->MarkDeleted();
      S().graveyard.push_back(std::move(*it));
      m_children.erase(it);
      return true;
    }
  }
  return false;
}

const RegValue* RegKey::Value(const std::string& name) const {
  for (const auto& v : m_values)
    if (SameName(v.name, name)) return &v;
  return nullptr;
}

void RegKey::SetValue(const std::string& name, DWORD type, const void* data, size_t size) {
  const uint8_t* bytes = (const uint8_t*)data;
  for (auto& v : m_values) {
    if (SameName(v.name, name)) {
      // An existing value keeps the letter case of its name.
      v.type = type;
      v.data.assign(bytes, bytes + size);
      return;
    }
  }
  m_values.push_back(RegValue{name, type, std::vector<uint8_t>(bytes, bytes + size)});
}

void RegKey::SetString(const std::string& name, const std::string& text, DWORD type) {
  std::vector<uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  SetValue(name, type, data.data(), data.size());
}

void RegKey::SetDword(const std::string& name, DWORD value) {
  uint8_t data[4] = {(uint8_t)value, (uint8_t)(value >> 8), (uint8_t)(value >> 16), (uint8_t)(value >> 24)};
  SetValue(name, REG_DWORD, data, sizeof data);
}

void RegKey::SetMultiString(const std::string& name, const std::vector<std::string>& strings) {
  std::vector<uint8_t> data;
  for (const auto& s : strings) {
    data.insert(data.end(), s.begin(), s.end());
    data.push_back(0);
  }
  data.push_back(0);
  SetValue(name, REG_MULTI_SZ, data.data(), data.size());
}

bool RegKey::DeleteValue(const std::string& name) {
  for (auto it = m_values.begin(); it != m_values.end(); ++it) {
    if (SameName(it->name, name)) {
      m_values.erase(it);
      return true;
    }
  }
  return false;
}

void RegKey::MarkDeleted() {
  m_deleted = true;
  for (auto& c : m_children) c->MarkDeleted();
}

void RegKey::SetExplicitDacl(const std::vector<RegAce>& entries, bool isProtected) {
  m_daclProtected = isProtected;
  m_dacl.clear();
  for (const auto& ace : entries)
    if (!(ace.inheritance & INHERITED_ACE)) m_dacl.push_back(ace);
  RefreshInheritance();
}

void RegKey::RefreshInheritance() {
  m_dacl.erase(std::remove_if(m_dacl.begin(), m_dacl.end(),
                              [](const RegAce& a) { return (a.inheritance & INHERITED_ACE) != 0; }),
               m_dacl.end());
  if (m_parent && !m_daclProtected && !m_nullDacl && !m_parent->m_nullDacl) {
    for (const auto& ace : m_parent->m_dacl) {
      RegAce inherited;
      if (InheritedAce(ace, &inherited)) m_dacl.push_back(inherited);
    }
  }
  for (auto& c : m_children) c->RefreshInheritance();
}

bool InheritedAce(const RegAce& parentAce, RegAce* childAce) {
  DWORD flags = parentAce.inheritance;
  bool noPropagate = (flags & NO_PROPAGATE_INHERIT_ACE) != 0;
  *childAce = parentAce;
  if (flags & CONTAINER_INHERIT_ACE) {
    childAce->inheritance = INHERITED_ACE | (noPropagate ? 0 : (flags & (CONTAINER_INHERIT_ACE | OBJECT_INHERIT_ACE)));
    return true;
  }
  if ((flags & OBJECT_INHERIT_ACE) && !noPropagate) {
    // Passed on to the objects below, never effective on a key.
    childAce->inheritance = INHERITED_ACE | OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE;
    return true;
  }
  return false;
}

bool SameKeyName(const std::string& a, const std::string& b) { return SameName(a, b); }

std::string FoldedKeyName(const std::string& name) {
  std::string folded = name;
  for (auto& c : folded) c = (char)FoldCase((unsigned char)c);
  return folded;
}

// ---- trustees ----

const char* CanonicalTrustee(const std::string& name) {
  static const char* const kNames[] = {"Everyone",   "Administrators",      "SYSTEM", "Users", "CREATOR OWNER",
                                       "Power Users", "Authenticated Users", "User"};
  std::string bare = name;
  size_t slash = name.find('\\');
  if (slash != std::string::npos) {
    std::string domain = name.substr(0, slash);
    bare = name.substr(slash + 1);
    const char* host = getenv("WINSIM_COMPUTERNAME");
    std::string computer = host && *host ? host : "WINSIM";
    bool ok = false;
    if (SameName(domain, "BUILTIN"))
      ok = SameName(bare, "Administrators") || SameName(bare, "Users") || SameName(bare, "Power Users");
    else if (SameName(domain, "NT AUTHORITY"))
      ok = SameName(bare, "SYSTEM") || SameName(bare, "Authenticated Users");
    else if (SameName(domain, computer))
      ok = SameName(bare, "User");
    if (!ok) return nullptr;
  }
  if (SameName(bare, "CURRENT_USER") && slash == std::string::npos) return "User";
  for (const char* n : kNames)
    if (SameName(bare, n)) return n;
  return nullptr;
}

// ---- the registry ----

Registry& Registry::Get() {
  static Registry registry;
  Machine::Current();  // a program's first use opens its machine
  if (!S().roots[0]) MakeRoots();
  return registry;
}

unsigned Registry::generation() const { return S().generation; }

RegKey* Registry::Root(HKEY predefined) {
  switch ((uint32_t)(uintptr_t)predefined) {
    case 0x80000000u: return Create("HKEY_CLASSES_ROOT");
    case 0x80000001u: return S().roots[2].get();
    case 0x80000002u: return S().roots[0].get();
    case 0x80000003u: return S().roots[1].get();
    case 0x80000005u: return Create("HKEY_CURRENT_CONFIG");
    default: return nullptr;
  }
}

RegKey* Registry::Find(const std::string& path) {
  SplitPathResult r = SplitPath(path);
  if (r.root < 0 || r.emptyName) return nullptr;
  RegKey* key = S().roots[r.root].get();
  for (const auto& name : r.names) {
    if (!key) return nullptr;
    key = key->Child(name);
  }
  return key;
}

RegKey* Registry::Create(const std::string& path) {
  SplitPathResult r = SplitPath(path);
  if (r.root < 0 || r.emptyName) return nullptr;
  RegKey* key = S().roots[r.root].get();
  for (const auto& name : r.names) key = key->CreateChild(name);
  return key;
}

bool Registry::Delete(const std::string& path) {
  SplitPathResult r = SplitPath(path);
  if (r.root < 0 || r.emptyName || r.names.empty()) return false;
  std::string parent = kRootNames[r.root];
  for (size_t i = 0; i + 1 < r.names.size(); ++i) parent += "\\" + r.names[i];
  RegKey* p = Find(parent);
  return p && p->DeleteChild(r.names.back());
}

std::string Registry::Export(const RegKey* from) const {
  std::string out = "REGEDIT4\r\n\r\n";
  if (from) {
    ExportKey(*from, out);
  } else {
    for (const auto& root : S().roots)
      if (root) ExportKey(*root, out);
  }
  return out;
}

void Registry::Import(const std::string& text, const std::string& sourceName) {
  // Everything is read before anything changes, so a file with an error
  // leaves the registry as it was.
  std::vector<ImportOp> ops = Parser(text, sourceName).Parse();
  Apply(ops);
}

}  // namespace winsim
