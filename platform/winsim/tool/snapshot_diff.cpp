#include "snapshot_diff.h"

#include <cinttypes>
#include <cstdio>
#include <map>

#include "attribute_letters.h"
#include "core/registry_tree.h"
#include "core/windows_path.h"

namespace winsim {

namespace {

// Sorts a path (already folded to one letter case) so that every key or
// folder is followed at once by what lies below it: the separator sorts
// before every character of a name.
std::string PathOrder(std::string folded) {
  for (char& c : folded)
    if (c == '\\') c = '\x01';
  return folded;
}

// Calls visit(before, after) for every name of either map in order, with
// nullptr for the side that lacks it.
template <typename Map, typename Visit>
void Merge(const Map& before, const Map& after, Visit visit) {
  auto b = before.begin(), a = after.begin();
  while (b != before.end() || a != after.end()) {
    if (a == after.end() || (b != before.end() && b->first < a->first)) {
      visit(&b->second, nullptr);
      ++b;
    } else if (b == before.end() || a->first < b->first) {
      visit(nullptr, &a->second);
      ++a;
    } else {
      visit(&b->second, &a->second);
      ++b;
      ++a;
    }
  }
}

// --- The registry, from its .reg text -------------------------------------

struct ValueText {
  std::string name;  // as in the file: "Name" quoted, or @
  std::string data;  // after the '=', joined into one line
};

struct KeyText {
  std::string path;
  std::string dacl;                         // after ";dacl" and its colon; "" when the key has no line
  std::map<std::string, ValueText> values;  // by folded name, the default value first
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    pos = end + 1;
  }
  return lines;
}

// The length of the value name at the start of a value line ("..." with its
// escapes, or @), 0 when the line holds no value.
size_t ValueNameLength(const std::string& line) {
  if (line.compare(0, 2, "@=") == 0) return 1;
  if (line.empty() || line[0] != '"') return 0;
  size_t i = 1;
  while (i < line.size() && line[i] != '"') i += line[i] == '\\' ? 2 : 1;
  if (i >= line.size() || i + 1 >= line.size() || line[i + 1] != '=') return 0;
  return i + 1;
}

// Reads the text the registry exports: headers, ";dacl" lines and values,
// hex data wrapped with "\" joined back into one line.
std::map<std::string, KeyText> ReadKeys(const std::string& text) {
  std::map<std::string, KeyText> keys;
  KeyText* key = nullptr;
  std::vector<std::string> lines = Lines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string line = lines[i];
    if (line.size() > 2 && line[0] == '[' && line.back() == ']') {
      std::string path = line.substr(1, line.size() - 2);
      key = &keys[PathOrder(FoldedKeyName(path))];
      key->path = path;
      continue;
    }
    if (!key) continue;
    if (line.compare(0, 5, ";dacl") == 0) {
      size_t from = line.find_first_not_of(": ", 5);
      key->dacl = from == std::string::npos ? "" : line.substr(from);
      continue;
    }
    while (!line.empty() && line.back() == '\\' && i + 1 < lines.size()) {
      line.pop_back();
      const std::string& next = lines[++i];
      size_t from = next.find_first_not_of(' ');
      if (from != std::string::npos) line += next.substr(from);
    }
    size_t nameLength = ValueNameLength(line);
    if (nameLength == 0) continue;
    ValueText value{line.substr(0, nameLength), line.substr(nameLength + 1)};
    // '@' would sort after the quoted names: the default value comes first.
    key->values[value.name == "@" ? "" : FoldedKeyName(value.name)] = value;
  }
  return keys;
}

std::string DaclText(const std::string& dacl) { return dacl.empty() ? "inherited" : dacl; }

void KeyLines(const char* sign, const KeyText& key, std::vector<std::string>* out) {
  out->push_back(std::string(sign) + " key " + key.path);
  if (!key.dacl.empty()) out->push_back(std::string(sign) + " dacl " + key.path + " " + key.dacl);
  for (const auto& v : key.values)
    out->push_back(std::string(sign) + " value " + key.path + " " + v.second.name + "=" + v.second.data);
}

// --- Drive C: --------------------------------------------------------------

std::string SizeText(uint64_t size) {
  char buf[24];
  snprintf(buf, sizeof buf, "%" PRIu64, size);
  return buf;
}

std::string EntryLine(const char* sign, const DriveEntry& e) {
  std::string line = std::string(sign) + (e.IsFolder() ? " folder " : " file ") + e.path;
  if (!e.IsFolder()) line += " size " + SizeText(e.size);
  return line + " attributes " + AttributeLetters(e.attributes);
}

std::map<std::string, const DriveEntry*> ByPath(const std::vector<DriveEntry>& entries) {
  std::map<std::string, const DriveEntry*> map;
  for (const DriveEntry& e : entries) map[PathOrder(UpperName(e.path))] = &e;
  return map;
}

}  // namespace

std::vector<std::string> DiffRegistry(const std::string& before, const std::string& after) {
  std::vector<std::string> out;
  Merge(ReadKeys(before), ReadKeys(after), [&out](const KeyText* b, const KeyText* a) {
    if (!a || !b) {
      KeyLines(a ? "+" : "-", a ? *a : *b, &out);
      return;
    }
    if (b->dacl != a->dacl) out.push_back("~ dacl " + a->path + " " + DaclText(b->dacl) + " -> " + DaclText(a->dacl));
    Merge(b->values, a->values, [&out, a](const ValueText* bv, const ValueText* av) {
      if (!av)
        out.push_back("- value " + a->path + " " + bv->name + "=" + bv->data);
      else if (!bv)
        out.push_back("+ value " + a->path + " " + av->name + "=" + av->data);
      else if (bv->data != av->data)
        out.push_back("~ value " + a->path + " " + av->name + "=" + bv->data + " -> " + av->data);
    });
  });
  return out;
}

std::vector<std::string> DiffDrive(const std::vector<DriveEntry>& before, const std::vector<DriveEntry>& after) {
  std::vector<std::string> out;
  Merge(ByPath(before), ByPath(after), [&out](const DriveEntry* const* pb, const DriveEntry* const* pa) {
    if (!pa || !pb) {
      out.push_back(pa ? EntryLine("+", **pa) : EntryLine("-", **pb));
      return;
    }
    const DriveEntry& b = **pb;
    const DriveEntry& a = **pa;
    if (b.IsFolder() != a.IsFolder()) {
      out.push_back(EntryLine("-", b));
      out.push_back(EntryLine("+", a));
      return;
    }
    std::string head = std::string(a.IsFolder() ? "~ folder " : "~ file ") + a.path;
    if (b.size != a.size) out.push_back(head + " size " + SizeText(b.size) + " -> " + SizeText(a.size));
    if (b.attributes != a.attributes)
      out.push_back(head + " attributes " + AttributeLetters(b.attributes) + " -> " + AttributeLetters(a.attributes));
    // Other bytes in the same size; a new size says as much already.
    if (b.size == a.size && b.hash != a.hash) out.push_back(head + " content");
  });
  return out;
}

}  // namespace winsim
