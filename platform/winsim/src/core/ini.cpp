#include "core/ini.h"

#include <strings.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace winsim {

static std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool IniFile::Load(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = path + ": cannot be read";
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  return Parse(text.str(), path, error);
}

bool IniFile::Parse(const std::string& text, const std::string& name, std::string* error) {
  std::vector<std::string> preamble;
  std::vector<Section> sections;
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') {
      if (sections.empty())
        preamble.push_back(line);
      else
        sections.back().lines.push_back({false, "", "", line});
      continue;
    }
    if (t[0] == '[') {
      if (t.back() != ']' || t.size() < 2) {
        if (error) *error = name + ":" + std::to_string(lineNo) + ": section header without ']'";
        return false;
      }
      sections.push_back({Trim(t.substr(1, t.size() - 2)), {}});
      continue;
    }
    size_t eq = t.find('=');
    if (eq == std::string::npos || sections.empty()) {
      if (error) *error = name + ":" + std::to_string(lineNo) + ": expected key=value inside a section";
      return false;
    }
    sections.back().lines.push_back({true, Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)), ""});
  }
  m_preamble = std::move(preamble);
  m_sections = std::move(sections);
  return true;
}

bool IniFile::Save(const std::string& path) const {
  std::ostringstream out;
  for (const auto& text : m_preamble) out << text << "\n";
  for (const auto& s : m_sections) {
    out << "[" << s.name << "]\n";
    for (const auto& l : s.lines) {
      if (l.entry)
        out << l.key << "=" << l.value << "\n";
      else
        out << l.text << "\n";
    }
  }
  std::string tmp = path + ".tmp";
  {
    std::ofstream f(tmp, std::ios::trunc);
    if (!f) return false;
    f << out.str();
    if (!f) return false;
  }
  // Not ::rename: programs link a C run-time rename that takes Windows paths.
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  return !ec;
}

std::string IniFile::Get(const std::string& section, const std::string& key, const std::string& def) const {
  for (const auto& s : m_sections) {
    if (strcasecmp(s.name.c_str(), section.c_str()) != 0) continue;
    for (const auto& l : s.lines)
      if (l.entry && strcasecmp(l.key.c_str(), key.c_str()) == 0) return l.value;
  }
  return def;
}

long IniFile::GetInt(const std::string& section, const std::string& key, long def) const {
  std::string v = Get(section, key);
  if (v.empty()) return def;
  char* end = nullptr;
  long n = std::strtol(v.c_str(), &end, 0);
  return (end && *end == 0) ? n : def;
}

void IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
  for (auto& s : m_sections) {
    if (strcasecmp(s.name.c_str(), section.c_str()) != 0) continue;
    // A new key goes under the section's last one (under the header when it
    // has none), above the comments and blank lines that follow.
    size_t at = 0;
    for (size_t i = 0; i < s.lines.size(); ++i) {
      if (!s.lines[i].entry) continue;
      if (strcasecmp(s.lines[i].key.c_str(), key.c_str()) == 0) {
        s.lines[i].value = value;
        return;
      }
      at = i + 1;
    }
    s.lines.insert(s.lines.begin() + at, {true, key, value, ""});
    return;
  }
  // A new section is set off from what is above it by a blank line.
  if (!m_sections.empty()) {
    std::vector<Line>& above = m_sections.back().lines;
    if (above.empty() || above.back().entry || !Trim(above.back().text).empty()) above.push_back({false, "", "", ""});
  } else if (!m_preamble.empty() && !Trim(m_preamble.back()).empty()) {
    m_preamble.push_back("");
  }
  m_sections.push_back({section, {{true, key, value, ""}}});
}

void IniFile::SetInt(const std::string& section, const std::string& key, long value) {
  Set(section, key, std::to_string(value));
}

}  // namespace winsim
