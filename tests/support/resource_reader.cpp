#include "resource_reader.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <fstream>
#include <iterator>

namespace resource_reader {

namespace {

const WORD kIcon = 3, kDialog = 5, kString = 6, kGroupIcon = 14, kVersion = 16, kManifest = 24;

// A bounded little-endian reader over one resource's bytes.
class Cursor {
 public:
  Cursor(const unsigned char* data, size_t size) : m_data(data), m_size(size) {}
  bool ok() const { return m_ok; }
  size_t pos() const { return m_pos; }
  void Seek(size_t pos) {
    if (pos > m_size) m_ok = false;
    m_pos = pos > m_size ? m_size : pos;
  }
  void AlignDword() { Seek((m_pos + 3) & ~(size_t)3); }
  WORD Word() {
    if (m_pos + 2 > m_size) return Bad();
    WORD v = (WORD)(m_data[m_pos] | m_data[m_pos + 1] << 8);
    m_pos += 2;
    return v;
  }
  DWORD Dword() {
    WORD lo = Word();
    return lo | (DWORD)Word() << 16;
  }
  short Short() { return (short)Word(); }
  unsigned char Byte() {
    if (m_pos + 1 > m_size) return (unsigned char)Bad();
    return m_data[m_pos++];
  }
  // A zero-terminated UTF-16 text, as ANSI.
  std::string Text() {
    size_t start = m_pos;
    while (ok() && Word() != 0) {
    }
    if (!ok()) return "";
    return winsim::Utf16ToAnsi(m_data + start, (m_pos - start) / 2 - 1);
  }
  // sz_Or_Ord: nothing, 0xFFFF and an ordinal ("#n"), or a text.
  std::string TextOrOrdinal() {
    if (m_pos + 2 > m_size) return Bad(), "";
    WORD first = (WORD)(m_data[m_pos] | m_data[m_pos + 1] << 8);
    if (first == 0) return m_pos += 2, "";
    if (first == 0xFFFF) {
      m_pos += 2;
      return "#" + std::to_string(Word());
    }
    return Text();
  }

 private:
  WORD Bad() {
    m_ok = false;
    m_pos = m_size;
    return 0;
  }
  const unsigned char* m_data;
  size_t m_size;
  size_t m_pos = 0;
  bool m_ok = true;
};

// The predefined window classes a template names by ordinal.
std::string ClassName(const std::string& raw) {
  static const std::map<std::string, std::string> kPredefined = {{"#128", "BUTTON"},    {"#129", "EDIT"},
                                                                 {"#130", "STATIC"},    {"#131", "LISTBOX"},
                                                                 {"#132", "SCROLLBAR"}, {"#133", "COMBOBOX"}};
  auto it = kPredefined.find(raw);
  return it != kPredefined.end() ? it->second : raw;
}

// One node of the version block: key, value bytes and children.
struct VersionNode {
  std::string key;
  WORD type = 0;
  const unsigned char* value = nullptr;
  size_t valueBytes = 0;
  std::vector<VersionNode> children;
};

bool ParseVersionNode(const unsigned char* data, size_t size, VersionNode* node) {
  Cursor c(data, size);
  WORD length = c.Word(), valueLength = c.Word();
  node->type = c.Word();
  node->key = c.Text();
  c.AlignDword();
  if (!c.ok() || length > size || length < c.pos()) return false;
  node->valueBytes = node->type == 1 ? valueLength * 2u : valueLength;
  node->value = data + c.pos();
  c.Seek(c.pos() + node->valueBytes);
  if (!c.ok() || c.pos() > length) return false;
  // The children start on the next DWORD; a leaf may end unaligned.
  size_t pos = (c.pos() + 3) & ~(size_t)3;
  while (pos + 6 <= length) {
    WORD childLength = (WORD)(data[pos] | data[pos + 1] << 8);
    if (childLength == 0 || pos + childLength > length) return false;
    VersionNode child;
    if (!ParseVersionNode(data + pos, childLength, &child)) return false;
    node->children.push_back(child);
    pos = (pos + childLength + 3) & ~(size_t)3;
  }
  return true;
}

std::string NodeText(const VersionNode& n) {
  std::string text = winsim::Utf16ToAnsi(n.value, n.valueBytes / 2);
  while (!text.empty() && text.back() == 0) text.pop_back();
  return text;
}

}  // namespace

bool Control::operator==(const Control& o) const {
  // Window class names are compared without regard to case.
  return id == o.id && strcasecmp(className.c_str(), o.className.c_str()) == 0 && text == o.text && style == o.style &&
         rect == o.rect;
}

std::ostream& operator<<(std::ostream& os, const Control& c) {
  char style[16];
  snprintf(style, sizeof style, "0x%08lX", (unsigned long)c.style);
  os << "{" << c.id << ", " << c.className << ", \"" << c.text << "\", " << style << ", {";
  for (size_t i = 0; i < c.rect.size(); ++i) os << (i ? ", " : "") << c.rect[i];
  return os << "}}";
}

bool ResFile::Fail(const std::string& what) {
  m_error = what;
  return false;
}

bool ResFile::Load(const std::string& file) {
  const char* bin = getenv("WINSIM_BIN");
  return LoadPath(std::string(bin ? bin : ".") + "/" + file);
}

bool ResFile::LoadPath(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail("cannot read " + path);
  m_bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!winsim::Resources::Parse(m_bytes.data(), m_bytes.size(), &m_entries)) return Fail(path + " is no .res file");
  return true;
}

const winsim::ResourceEntry* ResFile::Find(WORD type, WORD name) const {
  for (const auto& e : m_entries)
    if (e.type.isNumber && e.type.number == type && e.name.isNumber && e.name.number == name) return &e;
  return nullptr;
}

std::map<UINT, std::string> ResFile::Strings(WORD language) const {
  std::map<UINT, std::string> strings;
  for (const auto& e : m_entries) {
    if (!e.type.isNumber || e.type.number != kString || !e.name.isNumber || e.language != language) continue;
    Cursor c(e.data, e.size);
    for (UINT i = 0; i < 16 && c.ok(); ++i) {
      WORD chars = c.Word();
      size_t at = c.pos();
      c.Seek(at + chars * 2u);
      if (chars && c.ok()) strings[(e.name.number - 1u) * 16 + i] = winsim::Utf16ToAnsi(e.data + at, chars);
    }
  }
  return strings;
}

bool ResFile::DialogTemplate(WORD id, Dialog* d) {
  const winsim::ResourceEntry* e = Find(kDialog, id);
  if (!e) return Fail("no dialog " + std::to_string(id));
  Cursor c(e->data, e->size);
  WORD first = c.Word(), second = c.Word();
  d->extended = first == 1 && second == 0xFFFF;
  WORD count = 0;
  if (d->extended) {
    c.Dword();  // help id
    d->exStyle = c.Dword();
    d->style = c.Dword();
  } else {
    d->style = first | (DWORD)second << 16;
    d->exStyle = c.Dword();
  }
  count = c.Word();
  for (int i = 0; i < 4; ++i) d->rect.push_back(c.Short());
  c.TextOrOrdinal();  // menu
  c.TextOrOrdinal();  // class
  d->title = c.Text();
  if (d->style & DS_SETFONT) {
    d->pointSize = c.Word();
    if (d->extended) {
      c.Word();  // weight
      c.Byte();  // italic
      c.Byte();  // character set
    }
    d->font = c.Text();
  }
  for (WORD i = 0; i < count && c.ok(); ++i) {
    c.AlignDword();
    Control ctl;
    if (d->extended) {
      c.Dword();  // help id
      c.Dword();  // extended style
      ctl.style = c.Dword();
    } else {
      ctl.style = c.Dword();
      c.Dword();  // extended style
    }
    for (int k = 0; k < 4; ++k) ctl.rect.push_back(c.Short());
    ctl.id = d->extended ? (int)c.Dword() : (short)c.Word();
    ctl.className = ClassName(c.TextOrOrdinal());
    ctl.text = c.TextOrOrdinal();
    WORD extra = c.Word();
    c.Seek(c.pos() + extra);
    d->controls.push_back(ctl);
  }
  if (!c.ok()) return Fail("dialog " + std::to_string(id) + " is cut short");
  return true;
}

bool ResFile::IconGroup(WORD id, std::vector<IconImage>* out) {
  const winsim::ResourceEntry* e = Find(kGroupIcon, id);
  if (!e) return Fail("no icon group " + std::to_string(id));
  Cursor c(e->data, e->size);
  WORD reserved = c.Word(), type = c.Word(), count = c.Word();
  if (reserved != 0 || type != 1) return Fail("icon group " + std::to_string(id) + " has a bad header");
  for (WORD i = 0; i < count && c.ok(); ++i) {
    IconImage image;
    image.width = c.Byte();
    image.height = c.Byte();
    c.Byte();  // colour count
    c.Byte();
    c.Word();  // planes
    image.bitCount = c.Word();
    DWORD bytes = c.Dword();
    image.id = c.Word();
    const winsim::ResourceEntry* icon = Find(kIcon, image.id);
    if (icon && icon->size == bytes && bytes >= 16) {
      Cursor h(icon->data, icon->size);
      image.imagePresent = h.Dword() == 40;  // BITMAPINFOHEADER
      image.headerWidth = (int)h.Dword();
      h.Dword();  // height: the image and its mask
      h.Word();   // planes
      image.headerBitCount = h.Word();
    }
    out->push_back(image);
  }
  if (!c.ok()) return Fail("icon group " + std::to_string(id) + " is cut short");
  return true;
}

bool ResFile::Version(VersionInfo* v) {
  const winsim::ResourceEntry* e = Find(kVersion, 1);
  if (!e) return Fail("no version resource 1");
  VersionNode root;
  if (!ParseVersionNode(e->data, e->size, &root) || root.key != "VS_VERSION_INFO" || root.valueBytes < 52)
    return Fail("version resource is malformed");
  Cursor f(root.value, root.valueBytes);
  if (f.Dword() != 0xFEEF04BD) return Fail("no VS_FIXEDFILEINFO signature");
  f.Dword();  // structure version
  DWORD parts[4];
  for (DWORD& p : parts) p = f.Dword();
  v->fileVersion = {HIWORD(parts[0]), LOWORD(parts[0]), HIWORD(parts[1]), LOWORD(parts[1])};
  v->productVersion = {HIWORD(parts[2]), LOWORD(parts[2]), HIWORD(parts[3]), LOWORD(parts[3])};
  v->flagsMask = f.Dword();
  v->flags = f.Dword();
  v->fileOs = f.Dword();
  v->fileType = f.Dword();
  v->fileSubtype = f.Dword();
  for (const VersionNode& block : root.children) {
    if (block.key == "StringFileInfo") {
      for (const VersionNode& table : block.children) {
        v->stringTable = table.key;
        for (const VersionNode& s : table.children) v->strings[s.key] = NodeText(s);
      }
    } else if (block.key == "VarFileInfo") {
      for (const VersionNode& var : block.children)
        for (size_t at = 0; var.key == "Translation" && at + 4 <= var.valueBytes; at += 4)
          v->translations.push_back(var.value[at] | var.value[at + 1] << 8 | var.value[at + 2] << 16 |
                                    (DWORD)var.value[at + 3] << 24);
    }
  }
  return true;
}

bool ResFile::Manifest(WORD id, std::string* out) {
  const winsim::ResourceEntry* e = Find(kManifest, id);
  if (!e) return Fail("no manifest " + std::to_string(id));
  out->assign((const char*)e->data, e->size);
  return true;
}

bool ResFile::Raw(const std::string& type, WORD id, WORD language, std::string* out) {
  for (const auto& e : m_entries)
    if (!e.type.isNumber && e.type.text == type && e.name.isNumber && e.name.number == id && e.language == language) {
      out->assign((const char*)e.data, e.size);
      return true;
    }
  return Fail("no " + type + " " + std::to_string(id));
}

}  // namespace resource_reader
