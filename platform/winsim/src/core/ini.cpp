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
  std::vector<Section> sections;
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
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
    sections.back().entries.emplace_back(Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)));
  }
  m_sections = std::move(sections);
  return true;
}

bool IniFile::Save(const std::string& path) const {
  std::ostringstream out;
  bool first = true;
  for (const auto& s : m_sections) {
    if (!first) out << "\n";
    first = false;
    out << "[" << s.name << "]\n";
    for (const auto& e : s.entries) out << e.first << "=" << e.second << "\n";
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
    for (const auto& e : s.entries)
      if (strcasecmp(e.first.c_str(), key.c_str()) == 0) return e.second;
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
    for (auto& e : s.entries) {
      if (strcasecmp(e.first.c_str(), key.c_str()) == 0) {
        e.second = value;
        return;
      }
    }
    s.entries.emplace_back(key, value);
    return;
  }
  m_sections.push_back({section, {{key, value}}});
}

void IniFile::SetInt(const std::string& section, const std::string& key, long value) {
  Set(section, key, std::to_string(value));
}

}  // namespace winsim
