// SETUPAPI's store of OEM INF files: SetupCopyOEMInfA and
// SetupUninstallOEMInfA. Copies live in the Windows "inf" folder as
// oem<N>.inf, each with its precompiled oem<N>.PNF. From Vista on the folder
// takes driver packages only.
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "setupapi/device_store.h"
#include "core/filesystem.h"
#include "core/journal.h"
#include "core/machine.h"
#include "setupapi.h"
#include "windows.h"

using winsim::ApiCall;
using winsim::FileSystem;
using winsim::Json;
using winsim::Machine;

namespace {

std::string InfDirectory() { return Machine::Current().os().windir + "\\inf"; }

// What Vista answers for an INF that is no driver package; Windows 7 says
// ERROR_UNSUPPORTED_TYPE.
const DWORD kErrorWrongInfType = 0xE000024A;

bool VistaOrLater() {
  const winsim::OsInfo& os = Machine::Current().os();
  return os.IsNT() && os.major >= 6;
}

bool EndsWithInf(const std::string& name) {
  return name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".inf") == 0;
}

// Finds the INF a program names. A name with a folder in it is a path like
// any other, from the current directory of the program (SETUPAPI runs in
// it, with its view of the file system). A bare file name is looked for in
// the INF folder and then the system folder, as INF names are, on Windows
// 2000, XP and 2003; Vista and later take it from the current directory.
DWORD FindInf(const char* name, winsim::ResolvedPath* found) {
  DWORD error = 0;
  if (strpbrk(name, "\\/") || VistaOrLater()) {
    if (!FileSystem::Resolve(name, true, found, &error)) return error;
    if (!found->exists) return found->parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    return 0;
  }
  const winsim::OsInfo& os = Machine::Current().os();
  for (const std::string& folder : {InfDirectory(), os.SystemDir()}) {
    if (FileSystem::Resolve(folder + "\\" + name, true, found, &error) && found->exists) return 0;
  }
  return ERROR_FILE_NOT_FOUND;
}

// A driver package names its manufacturers in a [Manufacturer] section.
bool IsDriverPackage(const std::string& content) {
  std::istringstream lines(content);
  std::string line;
  while (std::getline(lines, line)) {
    size_t first = line.find_first_not_of(" \t");
    size_t last = line.find_last_not_of(" \t\r");
    if (first == std::string::npos) continue;
    if (strcasecmp(line.substr(first, last - first + 1).c_str(), "[Manufacturer]") == 0) return true;
  }
  return false;
}

bool ReadHostFile(const std::string& host, std::string* content) {
  std::ifstream in(host, std::ios::binary);
  if (!in) return false;
  std::stringstream s;
  s << in.rdbuf();
  *content = s.str();
  return true;
}

bool WriteHostFile(const std::string& host, const std::string& content) {
  FILE* f = fopen(host.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(content.data(), 1, content.size(), f) == content.size();
  return fclose(f) == 0 && ok;
}

// The N of "oem<N>.inf", or -1 for any other name.
long OemNumber(const std::string& name) {
  if (name.size() < 8 || strncasecmp(name.c_str(), "oem", 3) != 0 ||
      strcasecmp(name.c_str() + name.size() - 4, ".inf") != 0)
    return -1;
  long n = 0;
  for (size_t i = 3; i < name.size() - 4; ++i) {
    if (!isdigit((unsigned char)name[i]) || n > 99999) return -1;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

std::string PnfNameOf(const std::string& infName) { return infName.substr(0, infName.size() - 4) + ".PNF"; }

// A device installed from this INF: its driver key names it as InfPath.
bool InfInUse(const std::string& infName) {
  winsim::Registry& reg = winsim::Registry::Get();
  for (const auto& node : winsim::devices::Nodes("")) {
    const winsim::RegValue* driver = node.key->Value("Driver");
    if (!driver) continue;
    std::string d(driver->data.begin(), driver->data.end());
    d = d.substr(0, d.find('\0'));
    winsim::RegKey* key = reg.Find("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\" + d);
    const winsim::RegValue* inf = key ? key->Value("InfPath") : nullptr;
    if (inf && strcasecmp(std::string(inf->data.begin(), inf->data.end()).c_str(), infName.c_str()) == 0) return true;
  }
  return false;
}

}  // namespace

extern "C" {

BOOL WINAPI SetupCopyOEMInfA(PCSTR SourceInfFileName, PCSTR OEMSourceMediaLocation, DWORD OEMSourceMediaType,
                             DWORD CopyStyle, PSTR DestinationInfFileName, DWORD DestinationInfFileNameSize,
                             PDWORD RequiredSize, PSTR* DestinationInfFileNameComponent) {
  ApiCall call("SetupCopyOEMInfA",
               {SourceInfFileName, OEMSourceMediaLocation, OEMSourceMediaType, CopyStyle,
                DestinationInfFileName ? Json("") : Json(), DestinationInfFileNameSize,
                RequiredSize ? Json(0u) : Json(), DestinationInfFileNameComponent ? Json("") : Json()});
  if (call.Fault()) {
    // What the name buffer holds after a failure is not defined; a failing
    // set-up service may have begun to write a name (Wine leaves such
    // bytes), so an injected failure leaves the start of one.
    if (DestinationInfFileName && DestinationInfFileNameSize > 0) {
      std::string partial = InfDirectory() + "\\oem";
      size_t n = std::min<size_t>(partial.size(), DestinationInfFileNameSize - 1);
      memcpy(DestinationInfFileName, partial.data(), n);
      DestinationInfFileName[n] = '\0';
      call.SetArg(4, Json(std::string(partial, 0, n)));
    }
    return call.Ret((BOOL)FALSE);
  }
  if (!SourceInfFileName || OEMSourceMediaType >= SPOST_MAX) return call.Fail(ERROR_INVALID_PARAMETER);
  if (!*SourceInfFileName) return call.Fail(VistaOrLater() ? ERROR_INVALID_PARAMETER : ERROR_FILE_NOT_FOUND);
  winsim::ResolvedPath source;
  if (DWORD e = FindInf(SourceInfFileName, &source)) return call.Fail(e);
  std::string content;
  if (!ReadHostFile(source.host, &content)) return call.Fail(ERROR_FILE_NOT_FOUND);
  if (VistaOrLater() && !IsDriverPackage(content))
    return call.Fail(Machine::Current().os().minor >= 1 ? ERROR_UNSUPPORTED_TYPE : kErrorWrongInfType);
  if (!Machine::Current().userIsAdmin()) return call.Fail(ERROR_ACCESS_DENIED);
  std::string infHost = FileSystem::HostPath(InfDirectory());
  // An identical INF in the folder, whatever its name, is the one Windows
  // answers with.
  std::string name;
  std::vector<bool> taken;
  for (const auto& entry : FileSystem::List(infHost)) {
    if (!EndsWithInf(entry.name)) continue;
    long n = OemNumber(entry.name);
    if (n >= 0) {
      if ((size_t)n >= taken.size()) taken.resize(n + 1, false);
      taken[n] = true;
    }
    std::string existing;
    if (name.empty() && ReadHostFile(infHost + "/" + entry.name, &existing) && existing == content) name = entry.name;
  }
  bool copied = false;
  if (name.empty()) {
    if (CopyStyle & SP_COPY_REPLACEONLY) return call.Fail(ERROR_FILE_NOT_FOUND);
    size_t n = 0;
    while (n < taken.size() && taken[n]) ++n;
    name = "oem" + std::to_string(n) + ".inf";
    std::string pnf = std::string("PNF of ") + source.windows + "\r\n";
    if (!WriteHostFile(infHost + "/" + name, content) || !WriteHostFile(infHost + "/" + PnfNameOf(name), pnf))
      return call.Fail(ERROR_ACCESS_DENIED);
    copied = true;
  }
  std::string full = InfDirectory() + "\\" + name;
  DWORD size = (DWORD)full.size() + 1;
  if (RequiredSize) {
    *RequiredSize = size;
    call.SetArg(6, Json(size));
  }
  if (DestinationInfFileName) {
    if (DestinationInfFileNameSize < size) return call.Fail(ERROR_INSUFFICIENT_BUFFER);
    memcpy(DestinationInfFileName, full.c_str(), size);
    call.SetArg(4, Json(full));
    if (DestinationInfFileNameComponent) {
      *DestinationInfFileNameComponent = DestinationInfFileName + (full.size() - name.size());
      call.SetArg(7, Json(name));
    }
  }
  if (!copied && (CopyStyle & SP_COPY_NOOVERWRITE)) return call.Fail(ERROR_FILE_EXISTS);
  if ((CopyStyle & SP_COPY_DELETESOURCE) && source.host != infHost + "/" + name) std::remove(source.host.c_str());
  SetLastError(ERROR_SUCCESS);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI SetupUninstallOEMInfA(PCSTR InfFileName, DWORD Flags, PVOID Reserved) {
  ApiCall call("SetupUninstallOEMInfA", {InfFileName, Flags, winsim::HandleJson(Reserved)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!Machine::Current().os().hasSetupUninstallOEMInf) return call.Fail(ERROR_CALL_NOT_IMPLEMENTED);
  // The name of a file in the INF folder, without a path; the empty name is
  // no file there.
  if (!InfFileName || strpbrk(InfFileName, "\\/:")) return call.Fail(ERROR_INVALID_PARAMETER);
  if (!*InfFileName) return call.Fail(ERROR_FILE_NOT_FOUND);
  if (!Machine::Current().userIsAdmin()) return call.Fail(ERROR_ACCESS_DENIED);
  std::string inf = FileSystem::HostPath(InfDirectory() + "\\" + InfFileName);
  if (FileSystem::Attributes(inf) == INVALID_FILE_ATTRIBUTES) return call.Fail(ERROR_FILE_NOT_FOUND);
  if (!(Flags & SUOI_FORCEDELETE) && InfInUse(InfFileName)) return call.Fail(ERROR_INF_IN_USE_BY_DEVICES);
  std::remove(inf.c_str());
  std::string name = InfFileName;
  if (name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".inf") == 0) {
    std::string pnf = FileSystem::HostPath(InfDirectory() + "\\" + PnfNameOf(name));
    if (!pnf.empty()) std::remove(pnf.c_str());
  }
  SetLastError(ERROR_SUCCESS);
  return call.Ret((BOOL)TRUE);
}

}  // extern "C"
