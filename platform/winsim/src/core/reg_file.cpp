// REGEDIT4 text as regedit writes it, CR LF line ends:
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
//
// A volatile key has the comment line ";volatile" right under its header,
// before the DACL line: the file keeps it for the processes that follow
// until Windows shuts down.
#include "core/reg_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/key_security.h"
#include "core/machine.h"

namespace winsim {

namespace {

// The number in upper-case hex digits, without leading zeros ("%lX").
void AppendHex(unsigned long v, std::string& out) {
  char buf[2 * sizeof v];
  size_t n = 0;
  do {
    buf[n++] = "0123456789ABCDEF"[v & 15];
    v >>= 4;
  } while (v);
  while (n) out += buf[--n];
}

// Quoted text as regedit writes it. CR and LF, which regedit's text cannot
// carry, appear only in value names (string data holding them is written as
// hex) and are written \r and \n, so that no line of the file breaks.
void AppendQuoted(const char* text, size_t size, std::string& out) {
  out += '"';
  // The characters written as they are go in runs.
  size_t run = 0;
  for (size_t i = 0; i < size; ++i) {
    char c = text[i];
    if (c != '\\' && c != '"' && c != '\r' && c != '\n') continue;
    out.append(text + run, i - run);
    run = i + 1;
    if (c == '\r' || c == '\n') {
      out += c == '\r' ? "\\r" : "\\n";
    } else {
      out += '\\';
      out += c;
    }
  }
  out.append(text + run, size - run);
  out += '"';
}

// True when "..." in the file reads back as exactly these bytes.
bool IsCleanString(const std::vector<uint8_t>& data) {
  if (data.empty() || data.back() != 0) return false;
  for (size_t i = 0; i + 1 < data.size(); ++i)
    if (data[i] < 0x20 && data[i] != '\t') return false;
  return true;
}

// One to maxDigits hex digits and nothing else.
bool HexNumber(std::string_view digits, size_t maxDigits, unsigned long* value) {
  if (digits.empty() || digits.size() > maxDigits) return false;
  unsigned long v = 0;
  for (char c : digits) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    v = v << 4 | (unsigned long)d;
  }
  *value = v;
  return true;
}

void AppendHexByte(uint8_t b, std::string& out) {
  static const char kDigits[] = "0123456789abcdef";
  out += kDigits[b >> 4];
  out += kDigits[b & 15];
}

// Written straight into `out`: an export writes every key of the registry,
// and the fuzzing of this text exports it several times for each input.
void AppendValue(const RegValue& v, std::string& out) {
  size_t lineStart = out.size();
  if (v.name.empty())
    out += '@';
  else
    AppendQuoted(v.name.data(), v.name.size(), out);
  out += '=';
  if (v.type == REG_SZ && IsCleanString(v.data)) {
    AppendQuoted((const char*)v.data.data(), v.data.size() - 1, out);
    out += "\r\n";
    return;
  }
  if (v.type == REG_DWORD && v.data.size() == 4) {
    char buf[16];
    unsigned long d = (unsigned long)v.data[0] | ((unsigned long)v.data[1] << 8) | ((unsigned long)v.data[2] << 16) |
                      ((unsigned long)v.data[3] << 24);
    snprintf(buf, sizeof buf, "dword:%08lx", d);
    out += buf;
    out += "\r\n";
    return;
  }
  if (v.type == REG_BINARY) {
    out += "hex:";
  } else {
    char buf[24];
    snprintf(buf, sizeof buf, "hex(%lx):", (unsigned long)v.type);
    out += buf;
  }
  // As regedit: a line is broken with "\" once it reaches 77 columns, and
  // continues indented by two spaces.
  size_t column = out.size() - lineStart;
  for (size_t i = 0; i < v.data.size(); ++i) {
    AppendHexByte(v.data[i], out);
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

void AppendDacl(const RegKey& key, std::string& out) {
  if (key.nullDacl()) {
    out += ";dacl: null\r\n";
    return;
  }
  bool own = false;
  for (const auto& ace : key.dacl())
    if (!(ace.inheritance & INHERITED_ACE)) own = true;
  // A root key inherits from nothing; a key that inherits and holds nothing
  // of its own needs no line.
  bool isProtected = key.daclProtected() || !key.parent();
  if (!own && (!key.parent() || !key.daclProtected())) return;
  out += isProtected ? ";dacl protected:" : ";dacl:";
  bool first = true;
  for (const auto& ace : key.dacl()) {
    if (ace.inheritance & INHERITED_ACE) continue;
    out += first ? " " : ", ";
    first = false;
    if (ace.deny) out += "deny ";
    out += ace.trustee;
    out += '=';
    AppendHex(ace.mask, out);
    out += '/';
    AppendHex(ace.inheritance, out);
  }
  out += "\r\n";
}

// The key's full path, e.g. "HKEY_LOCAL_MACHINE\SYSTEM\Setup".
void AppendPath(const RegKey& key, std::string& path) {
  if (key.parent()) {
    AppendPath(*key.parent(), path);
    path += '\\';
  }
  path += key.name();
}

// `path`: the key's full path, handed down rather than formed again from
// the parents for every key; one buffer serves the whole tree, each key
// appending its name for its subkeys and taking it off again.
void ExportKey(const RegKey& key, std::string& path, std::string& out) {
  out += '[';
  out += path;
  out += "]\r\n";
  if (key.isVolatile()) out += ";volatile\r\n";
  AppendDacl(key, out);
  for (const auto& v : key.values()) AppendValue(v, out);
  out += "\r\n";
  size_t length = path.size();
  for (const auto& child : key.children()) {
    path += '\\';
    path += child->name();
    ExportKey(*child, path, out);
    path.resize(length);
  }
}

// Reads the lines of a .reg file into edits. The lines and the key of the
// lines under a header are views of the text, which outlives the parser; an
// edit copies only what it keeps. A line it cannot read stops it: Fail keeps
// the message naming the line and every step returns false up to Parse, so
// that only ParseRegFile throws, across as few frames as it can (a refused
// text is the common case when the text is fuzzed).
class Parser {
 public:
  Parser(const std::string& text, const std::string& source) : m_source(source) {
    m_lines.reserve((size_t)std::count(text.begin(), text.end(), '\n') + 1);
    // Only a header, value or comment line gives an edit, at most one.
    size_t edits = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
      size_t end = text.find('\n', pos);
      std::string_view line(text.data() + pos, (end == std::string::npos ? text.size() : end) - pos);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      m_lines.push_back(line);
      if (!line.empty() && (line[0] == '[' || line[0] == '"' || line[0] == '@' || line[0] == ';')) ++edits;
      if (end == std::string::npos) break;
      pos = end + 1;
    }
    m_ops.reserve(edits);
  }

  // False at the first line it cannot read, with error() naming it.
  bool Parse() {
    size_t i = 0;
    while (i < m_lines.size() && Blank(m_lines[i])) ++i;
    if (i == m_lines.size() || m_lines[i] != "REGEDIT4") return Fail(i < m_lines.size() ? i : 0, "not a REGEDIT4 file");
    ++i;
    std::string_view key;  // the key of the lines that follow, "" before the first
    bool keyDeleted = false;
    bool valuesSeen = false;
    for (; i < m_lines.size(); ++i) {
      std::string_view line = m_lines[i];
      if (Blank(line)) continue;
      if (line[0] == '[') {
        if (line.size() < 3 || line.back() != ']') return Fail(i, "a key header must be [KEY] or [-KEY]");
        std::string_view path = line.substr(1, line.size() - 2);
        keyDeleted = path[0] == '-';
        if (keyDeleted) path.remove_prefix(1);
        if (!CheckPath(i, path)) return false;
        m_ops.emplace_back(keyDeleted ? RegFileEdit::DeleteKey : RegFileEdit::CreateKey, std::string(path));
        key = path;
        valuesSeen = false;
        continue;
      }
      if (line == ";volatile") {
        if (key.empty() || keyDeleted) return Fail(i, "a volatile line must follow a key header");
        if (valuesSeen) return Fail(i, "the volatile line must come right under the key header");
        m_ops.emplace_back(RegFileEdit::SetVolatile, std::string(key));
        continue;
      }
      if (line.compare(0, 5, ";dacl") == 0) {
        if (key.empty() || keyDeleted) return Fail(i, "a DACL line must follow a key header");
        if (valuesSeen) return Fail(i, "the DACL line must come right under the key header");
        if (!ParseDacl(i, key, line)) return false;
        continue;
      }
      if (line[0] == ';') continue;
      if (line[0] != '"' && line[0] != '@') return Fail(i, "cannot read this line");
      if (key.empty()) return Fail(i, "a value before the first key header");
      valuesSeen = true;
      if (!ParseValue(i, key, keyDeleted)) return false;
    }
    return true;
  }

  const std::string& error() const { return m_error; }
  std::vector<RegFileEdit> TakeEdits() { return std::move(m_ops); }

 private:
  static bool Blank(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

  // Keeps "SOURCE:LINE: what" and returns false.
  bool Fail(size_t line, const std::string& what) {
    m_error = m_source + ":" + std::to_string(line + 1) + ": " + what;
    return false;
  }

  bool CheckPath(size_t i, std::string_view path) {
    bool emptyName = false;
    if (KeyPathRoot(path, &emptyName) < 0) return Fail(i, "unknown root key in '" + std::string(path) + "'");
    if (emptyName) return Fail(i, "empty key name in '" + std::string(path) + "'");
    return true;
  }

  static constexpr size_t kFailed = std::string_view::npos;

  // Reads "..." starting at line[pos] (the opening quote); returns the
  // position after the closing quote, or kFailed.
  size_t ReadQuoted(size_t i, std::string_view line, size_t pos, std::string* text) {
    text->clear();
    for (++pos; pos < line.size(); ++pos) {
      char c = line[pos];
      if (c == '"') return pos + 1;
      if (c == '\\') {
        if (pos + 1 >= line.size()) break;
        char next = line[++pos];
        if (next != '\\' && next != '"' && next != 'r' && next != 'n') {
          Fail(i, std::string("unknown escape \\") + next);
          return kFailed;
        }
        c = next == 'r' ? '\r' : next == 'n' ? '\n' : next;
      }
      text->push_back(c);
    }
    Fail(i, "a quoted text without its closing quote");
    return kFailed;
  }

  bool ParseValue(size_t& i, std::string_view key, bool keyDeleted) {
    std::string_view line = m_lines[i];
    RegFileEdit op(RegFileEdit::SetValue, std::string(key));
    size_t pos;
    if (line[0] == '@') {
      pos = 1;
    } else {
      pos = ReadQuoted(i, line, 0, &op.name);
      if (pos == kFailed) return false;
    }
    if (pos >= line.size() || line[pos] != '=') return Fail(i, "'=' expected after the value name");
    std::string_view data = line.substr(pos + 1);
    if (data == "-") {
      op.kind = RegFileEdit::DeleteValue;
    } else if (!data.empty() && data[0] == '"') {
      size_t end = ReadQuoted(i, data, 0, &m_text);
      if (end == kFailed) return false;
      if (end != data.size()) return Fail(i, "text after the closing quote");
      op.type = REG_SZ;
      op.data.reserve(m_text.size() + 1);
      op.data.assign(m_text.begin(), m_text.end());
      op.data.push_back(0);
    } else if (data.compare(0, 6, "dword:") == 0) {
      unsigned long d = 0;
      if (!HexNumber(data.substr(6), 8, &d)) return Fail(i, "dword: needs one to eight hex digits");
      op.type = REG_DWORD;
      for (int b = 0; b < 4; ++b) op.data.push_back((uint8_t)(d >> (8 * b)));
    } else if (data.compare(0, 3, "hex") == 0) {
      size_t colon = data.find(':');
      if (colon == std::string::npos) return Fail(i, "hex: or hex(N): expected");
      std::string_view kind = data.substr(3, colon - 3);
      if (kind.empty()) {
        op.type = REG_BINARY;
      } else {
        if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')') return Fail(i, "hex(N): expected");
        unsigned long n = 0;
        if (!HexNumber(kind.substr(1, kind.size() - 2), 8, &n))
          return Fail(i, "the type in hex(N): must be hex digits");
        op.type = (DWORD)n;
      }
      // The bytes of every line of the value, in one buffer the parser keeps
      // for all values.
      std::string& bytes = m_bytes;
      bytes.assign(data.substr(colon + 1));
      size_t first = i;
      while (!bytes.empty() && bytes.back() == '\\') {
        bytes.pop_back();
        if (++i >= m_lines.size()) return Fail(first, "the value continues past the end of the file");
        std::string_view next = m_lines[i];
        bytes += next.substr(std::min(next.size(), next.find_first_not_of(" \t")));
      }
      if (!ParseBytes(first, bytes, &op.data)) return false;
    } else {
      return Fail(i, "cannot read the value data");
    }
    if (!keyDeleted) m_ops.push_back(std::move(op));
    return true;
  }

  // Comma-separated hex bytes; blanks anywhere are ignored.
  bool ParseBytes(size_t i, const std::string& text, std::vector<uint8_t>* out) {
    if (Blank(text)) return true;
    out->reserve((text.size() + 1) / 3);
    size_t pos = 0;
    std::string byte;
    while (true) {
      byte.clear();
      for (; pos < text.size() && text[pos] != ','; ++pos)
        if (text[pos] != ' ' && text[pos] != '\t') byte += text[pos];
      unsigned long b = 0;
      if (!HexNumber(byte, 2, &b)) return Fail(i, "bad hex byte '" + byte + "'");
      out->push_back((uint8_t)b);
      if (pos == text.size()) return true;
      ++pos;  // the comma
    }
  }

  bool ParseDacl(size_t i, std::string_view key, std::string_view line) {
    RegFileEdit op(RegFileEdit::SetDacl, std::string(key));
    std::string rest;
    if (line.compare(0, 6, ";dacl:") == 0) {
      rest = line.substr(6);
    } else if (line.compare(0, 16, ";dacl protected:") == 0) {
      rest = line.substr(16);
      op.daclProtected = true;
    } else {
      return Fail(i, "a DACL line is ';dacl:' or ';dacl protected:'");
    }
    if (rest == " null") {
      op.nullDacl = true;
      m_ops.push_back(std::move(op));
      return true;
    }
    size_t pos = 0;
    while (pos < rest.size()) {
      if (rest[pos] != ' ') return Fail(i, "entries are separated by ', '");
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
      if (eq == std::string::npos || slash == std::string::npos || slash < eq)
        return Fail(i, "an entry is TRUSTEE=MASK/FLAGS");
      const char* trustee = CanonicalTrustee(entry.substr(0, eq));
      if (!trustee) return Fail(i, "unknown trustee '" + entry.substr(0, eq) + "'");
      std::string mask = entry.substr(eq + 1, slash - eq - 1);
      std::string flags = entry.substr(slash + 1);
      const char* hex = "0123456789abcdefABCDEF";
      if (mask.empty() || mask.size() > 8 || mask.find_first_not_of(hex) != std::string::npos || flags.empty() ||
          flags.size() > 2 || flags.find_first_not_of(hex) != std::string::npos)
        return Fail(i, "MASK and FLAGS are hex numbers");
      ace.trustee = trustee;
      ace.mask = (ACCESS_MASK)strtoul(mask.c_str(), nullptr, 16);
      ace.inheritance = (DWORD)strtoul(flags.c_str(), nullptr, 16);
      if (ace.inheritance & INHERITED_ACE) return Fail(i, "inherited entries are not written");
      op.dacl.push_back(std::move(ace));
    }
    m_ops.push_back(std::move(op));
    return true;
  }

  std::string m_source;
  std::vector<std::string_view> m_lines;
  std::vector<RegFileEdit> m_ops;
  std::string m_text;   // the text of a quoted string value
  std::string m_bytes;  // the bytes of a hex value, its lines joined
  std::string m_error;
};

}  // namespace

std::vector<RegFileEdit> ParseRegFile(const std::string& text, const std::string& sourceName) {
  Parser parser(text, sourceName);
  if (!parser.Parse()) throw MachineError(parser.error());
  return parser.TakeEdits();
}

void ApplyRegFile(const std::vector<RegFileEdit>& edits, Registry& reg) {
  // The edits under one header name the same key: it is looked up once,
  // and again only after a deletion, which may have taken it away. A header
  // below the one before, as a whole registry's headers follow one another,
  // is looked up from that key rather than from the root.
  const std::string* lastPath = nullptr;
  RegKey* lastKey = nullptr;
  auto create = [&](const std::string& path) {
    if (!lastPath || *lastPath != path) {
      size_t length = lastPath ? lastPath->size() : 0;
      if (lastKey && length && (*lastPath)[length - 1] != '\\' && path.size() > length + 1 && path[length] == '\\' &&
          path.compare(0, length, *lastPath) == 0)
        lastKey = lastKey->CreatePath(std::string_view(path).substr(length + 1));
      else
        lastKey = reg.Create(path);
      lastPath = &path;
    }
    return lastKey;
  };
  for (const auto& op : edits) {
    switch (op.kind) {
      case RegFileEdit::CreateKey:
        create(op.path);
        break;
      case RegFileEdit::DeleteKey:
        reg.Delete(op.path);
        lastPath = nullptr;
        break;
      case RegFileEdit::SetValue:
        create(op.path)->SetValue(op.name, op.type, op.data.data(), op.data.size());
        break;
      case RegFileEdit::DeleteValue:
        create(op.path)->DeleteValue(op.name);
        break;
      case RegFileEdit::SetVolatile:
        create(op.path)->SetVolatile(true);
        break;
      case RegFileEdit::SetDacl: {
        RegKey* key = create(op.path);
        key->SetNullDacl(op.nullDacl);
        key->SetExplicitDacl(op.dacl, op.daclProtected);
        break;
      }
    }
  }
}

void RegFileText(const std::vector<const RegKey*>& keys, std::string* text) {
  std::string& out = *text;
  out.assign("REGEDIT4\r\n\r\n");
  // One buffer for the paths of all keys, long enough for most.
  std::string path;
  path.reserve(256);
  for (const RegKey* key : keys) {
    path.clear();
    AppendPath(*key, path);
    ExportKey(*key, path, out);
  }
}

}  // namespace winsim
