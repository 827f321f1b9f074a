#include "snapshot_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/filesystem.h"
#include "core/machine.h"

namespace winsim {

const char kDefaultSnapshotName[] = "base";

namespace {

// 64-bit FNV-1a: enough to tell one content from another, not a seal.
class Fnv1a {
 public:
  void Add(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
      m_hash ^= (unsigned char)data[i];
      m_hash *= 0x100000001b3ULL;
    }
  }
  std::string Hex() const {
    char buf[24];
    snprintf(buf, sizeof buf, "%016" PRIx64, m_hash);
    return buf;
  }

 private:
  uint64_t m_hash = 0xcbf29ce484222325ULL;
};

std::string ContentHash(const std::string& hostPath, DWORD attributes) {
  Fnv1a hash;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    char target[4096];
    ssize_t n = readlink(hostPath.c_str(), target, sizeof target);
    if (n > 0) hash.Add(target, (size_t)n);
    return hash.Hex();
  }
  std::ifstream in(hostPath, std::ios::binary);
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) hash.Add(buffer, (size_t)in.gcount());
  return hash.Hex();
}

void ScanFolder(const std::string& hostDir, const std::string& windowsDir, std::vector<DriveEntry>* out) {
  for (const DirEntry& e : FileSystem::List(hostDir)) {
    DriveEntry entry;
    entry.path = windowsDir + "\\" + e.name;
    entry.attributes = e.attributes;
    std::string host = hostDir + "/" + e.name;
    bool link = (e.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (entry.IsFolder() && !link) {
      entry.hash = "-";
    } else {
      entry.size = e.size;
      entry.hash = ContentHash(host, e.attributes);
    }
    out->push_back(entry);
    if (entry.IsFolder() && !link) ScanFolder(host, entry.path, out);
  }
}

}  // namespace

bool IsSnapshotName(const std::string& name) {
  if (name.empty() || name[0] == '.') return false;
  for (char c : name) {
    bool plain =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
    if (!plain) return false;
  }
  return true;
}

std::string SnapshotFolder(const std::string& machineDir, const std::string& name) {
  return machineDir + "/snapshots/" + name;
}

std::vector<DriveEntry> ScanDrive() {
  std::vector<DriveEntry> entries;
  ScanFolder(Machine::Current().PathOf("drive_c"), "C:", &entries);
  return entries;
}

std::string DriveEntriesText(const std::vector<DriveEntry>& entries) {
  std::string text;
  for (const DriveEntry& e : entries) {
    char head[64];
    snprintf(head, sizeof head, "%lX\t%" PRIu64 "\t", (unsigned long)e.attributes, e.size);
    text += head + e.hash + "\t" + e.path + "\n";
  }
  return text;
}

bool ReadDriveEntries(const std::string& text, std::vector<DriveEntry>* entries, size_t* badLine) {
  std::istringstream in(text);
  std::string line;
  size_t number = 0;
  while (std::getline(in, line)) {
    ++number;
    size_t t1 = line.find('\t');
    size_t t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
    size_t t3 = t2 == std::string::npos ? t2 : line.find('\t', t2 + 1);
    if (t3 == std::string::npos || t1 == 0 || t2 == t1 + 1 || t3 == t2 + 1 || line.compare(t3 + 1, 3, "C:\\") != 0) {
      *badLine = number;
      return false;
    }
    DriveEntry e;
    char* end = nullptr;
    e.attributes = (DWORD)strtoul(line.c_str(), &end, 16);
    bool ok = end == line.c_str() + t1;
    e.size = strtoull(line.c_str() + t1 + 1, &end, 10);
    ok = ok && end == line.c_str() + t2;
    if (!ok) {
      *badLine = number;
      return false;
    }
    e.hash = line.substr(t2 + 1, t3 - t2 - 1);
    e.path = line.substr(t3 + 1);
    entries->push_back(e);
  }
  return true;
}

bool ReadHostFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream s;
  s << in.rdbuf();
  *text = s.str();
  return true;
}

bool WriteHostFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  return !out.fail();
}

}  // namespace winsim
