// machine.ini: sections of key=value lines, kept in order with the comment
// (';' or '#') and blank lines between them, so that a rewrite leaves what it
// does not know in place.
#pragma once

#include <string>
#include <vector>

namespace winsim {

class IniFile {
 public:
  bool Load(const std::string& path, std::string* error);
  // The same from text; `name` names the source in error messages.
  bool Parse(const std::string& text, const std::string& name, std::string* error);
  bool Save(const std::string& path) const;
  std::string Get(const std::string& section, const std::string& key, const std::string& def = "") const;
  long GetInt(const std::string& section, const std::string& key, long def) const;
  void Set(const std::string& section, const std::string& key, const std::string& value);
  void SetInt(const std::string& section, const std::string& key, long value);

 private:
  // One line under a section header: a key=value entry, or a comment or
  // blank line kept as it was read.
  struct Line {
    bool entry;
    std::string key;
    std::string value;
    std::string text;
  };
  struct Section {
    std::string name;
    std::vector<Line> lines;
  };
  // The comment and blank lines above the first section.
  std::vector<std::string> m_preamble;
  std::vector<Section> m_sections;
};

}  // namespace winsim
