#include "core/pe_image.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace winsim {

namespace {

// Little-endian reads that fail outside the file instead of reading past it.
class Bytes {
 public:
  explicit Bytes(const std::string& data) : m_data(data) {}
  bool Word(size_t at, WORD* out) const {
    if (at > m_data.size() || m_data.size() - at < 2) return false;
    *out = (WORD)(Byte(at) | Byte(at + 1) << 8);
    return true;
  }
  bool Dword(size_t at, DWORD* out) const {
    if (at > m_data.size() || m_data.size() - at < 4) return false;
    *out = Byte(at) | Byte(at + 1) << 8 | Byte(at + 2) << 16 | (DWORD)Byte(at + 3) << 24;
    return true;
  }
  // A zero-terminated name wholly inside the file.
  bool Text(size_t at, std::string* out) const {
    if (at >= m_data.size()) return false;
    size_t end = m_data.find('\0', at);
    if (end == std::string::npos) return false;
    *out = m_data.substr(at, end - at);
    return true;
  }
  size_t size() const { return m_data.size(); }

 private:
  DWORD Byte(size_t at) const { return (unsigned char)m_data[at]; }
  const std::string& m_data;
};

struct Section {
  DWORD virtualAddress, virtualSize, rawSize, rawOffset;
};

const WORD kOptionalMagic32 = 0x10B;
const WORD kOptionalMagic64 = 0x20B;

// The file offset of a relative virtual address, through the section that
// holds it.
bool OffsetOf(const std::vector<Section>& sections, DWORD rva, size_t* offset) {
  for (const auto& s : sections) {
    DWORD span = s.virtualSize ? s.virtualSize : s.rawSize;
    if (rva >= s.virtualAddress && rva - s.virtualAddress < span && rva - s.virtualAddress < s.rawSize) {
      *offset = (size_t)s.rawOffset + (rva - s.virtualAddress);
      return true;
    }
  }
  return false;
}

}  // namespace

bool PeImage::Exports(const std::string& name) const {
  for (const auto& e : exports)
    if (e == name) return true;
  return false;
}

bool ReadPeImage(const std::string& data, PeImage* image) {
  Bytes b(data);
  *image = PeImage();
  WORD mz = 0;
  DWORD peAt = 0, signature = 0;
  if (!b.Word(0, &mz) || mz != 0x5A4D || !b.Dword(0x3C, &peAt) || !b.Dword(peAt, &signature) || signature != 0x00004550)
    return false;
  size_t fileHeader = (size_t)peAt + 4;
  WORD sectionCount = 0, optionalSize = 0, magic = 0;
  if (!b.Word(fileHeader, &image->machine) || !b.Word(fileHeader + 2, &sectionCount) ||
      !b.Word(fileHeader + 16, &optionalSize))
    return false;
  size_t optional = fileHeader + 20;
  if (!b.Word(optional, &magic) || (magic != kOptionalMagic32 && magic != kOptionalMagic64)) return false;
  // NumberOfRvaAndSizes, then the data directories; the export directory
  // is the first.
  size_t directories = optional + (magic == kOptionalMagic32 ? 96 : 112);
  DWORD directoryCount = 0, exportRva = 0, exportSize = 0;
  if (!b.Dword(directories - 4, &directoryCount)) return false;
  if (directoryCount > 0 && (!b.Dword(directories, &exportRva) || !b.Dword(directories + 4, &exportSize))) return false;

  std::vector<Section> sections;
  size_t table = optional + optionalSize;
  for (WORD i = 0; i < sectionCount; ++i) {
    Section s;
    size_t at = table + 40u * i;
    if (!b.Dword(at + 8, &s.virtualSize) || !b.Dword(at + 12, &s.virtualAddress) || !b.Dword(at + 16, &s.rawSize) ||
        !b.Dword(at + 20, &s.rawOffset))
      return false;
    sections.push_back(s);
  }
  if (exportRva == 0 || exportSize == 0) return true;

  size_t directory = 0;
  DWORD nameCount = 0, namesRva = 0;
  if (!OffsetOf(sections, exportRva, &directory) || !b.Dword(directory + 24, &nameCount) ||
      !b.Dword(directory + 32, &namesRva))
    return false;
  size_t names = 0;
  if (nameCount && !OffsetOf(sections, namesRva, &names)) return false;
  for (DWORD i = 0; i < nameCount; ++i) {
    DWORD nameRva = 0;
    size_t nameAt = 0;
    std::string name;
    if (!b.Dword(names + 4u * i, &nameRva) || !OffsetOf(sections, nameRva, &nameAt) || !b.Text(nameAt, &name))
      return false;
    image->exports.push_back(name);
  }
  return true;
}

DWORD CheckModuleEntry(const std::string& hostPath, WORD processMachine, const char* entry) {
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) return ERROR_MOD_NOT_FOUND;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  PeImage image;
  // An image of another processor does not load either: a 32-bit DLL in a
  // 64-bit process and the other way round.
  if (!ReadPeImage(bytes, &image) || image.machine != processMachine) return ERROR_BAD_EXE_FORMAT;
  if (!image.Exports(entry)) return ERROR_PROC_NOT_FOUND;
  return 0;
}

}  // namespace winsim
