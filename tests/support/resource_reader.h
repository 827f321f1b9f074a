// Reads a program's compiled resources (a .res file of the build) the way
// a resource editor shows them: string tables, dialog templates with their
// controls, icon groups, the version block and the manifest. Tests hold
// them against the product's tables, so that one wrong character, id or
// coordinate fails.
#pragma once

#include <windows.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "core/resources.h"

namespace resource_reader {

const WORD kLangEnglishUS = 1033;
// VS_FIXEDFILEINFO values, as winver.h names them.
const DWORD kVosWindows32 = 0x00000004;  // VOS__WINDOWS32
const DWORD kVftApp = 0x00000001;        // VFT_APP

// One control of a dialog template; the class is the predefined name
// ("BUTTON", "STATIC", ...) when the template holds an ordinal.
struct Control {
  int id;
  std::string className;
  std::string text;
  DWORD style;
  std::vector<int> rect;  // x, y, width, height in dialog units
  bool operator==(const Control& o) const;
};
std::ostream& operator<<(std::ostream& os, const Control& c);

struct Dialog {
  bool extended = false;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::vector<int> rect;
  std::string title;
  int pointSize = 0;
  std::string font;
  std::vector<Control> controls;
};

struct IconImage {
  int width = 0, height = 0, bitCount = 0;  // as the group entry gives them
  WORD id = 0;
  bool imagePresent = false;                // RT_ICON id exists with the stated size
  int headerWidth = 0, headerBitCount = 0;  // from the image's BITMAPINFOHEADER
};

struct VersionInfo {
  std::vector<WORD> fileVersion, productVersion;
  DWORD flagsMask = 0, flags = 0, fileOs = 0, fileType = 0, fileSubtype = 0;
  std::string stringTable;  // the block's key, like "040904e4"
  std::map<std::string, std::string> strings;
  std::vector<DWORD> translations;
};

class ResFile {
 public:
  // WINSIM_BIN/<file>; false with Error() when missing or malformed.
  bool Load(const std::string& file);
  // A .res file by its full path.
  bool LoadPath(const std::string& path);
  const std::string& Error() const { return m_error; }

  // Every string of the string tables in this language, by id.
  std::map<UINT, std::string> Strings(WORD language) const;
  bool DialogTemplate(WORD id, Dialog* out);
  bool IconGroup(WORD id, std::vector<IconImage>* out);
  bool Version(VersionInfo* out);
  // The text of RT_MANIFEST `id`; false when there is none.
  bool Manifest(WORD id, std::string* out);
  // The bytes of a resource of a named type ("BIN") in the language.
  bool Raw(const std::string& type, WORD id, WORD language, std::string* out);

 private:
  const winsim::ResourceEntry* Find(WORD type, WORD name) const;
  bool Fail(const std::string& what);

  std::vector<unsigned char> m_bytes;
  std::vector<winsim::ResourceEntry> m_entries;
  std::string m_error;
};

}  // namespace resource_reader
