#include "core/open_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "core/filesystem.h"
#include "core/machine.h"

namespace winsim {

namespace {

std::vector<FileObject*>& OpenList() {
  static std::vector<FileObject*> list;
  return list;
}

bool SameProcess(const FileObject* o) {
  const Machine& m = Machine::Current();
  return o->pid == m.pid() && o->machineDir == m.dir();
}

}  // namespace

DWORD RightsOf(DWORD access) {
  DWORD r = 0;
  if (access & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA)) r |= kRightRead;
  if (access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA)) r |= kRightWrite;
  if (access & (DELETE | GENERIC_ALL)) r |= kRightDelete;
  if (access & (GENERIC_EXECUTE | GENERIC_ALL | FILE_EXECUTE)) r |= kRightExecute;
  return r;
}

FileObject::FileObject() {
  const Machine& m = Machine::Current();
  pid = m.pid();
  machineDir = m.dir();
  OpenList().push_back(this);
}

std::string FileObject::name() const { return FileSystem::WindowsPathOf(host); }

FileObject::~FileObject() {
  if (fd >= 0) close(fd);
  auto& list = OpenList();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

DWORD CheckSharing(const std::string& host, DWORD rights, DWORD share) {
  if (OpenList().empty()) return 0;
  struct stat st;
  if (stat(host.c_str(), &st) != 0) return 0;
  const DWORD kReading = kRightRead | kRightExecute;
  for (const FileObject* o : OpenList()) {
    if (!SameProcess(o) || o->dev != st.st_dev || o->ino != st.st_ino) continue;
    if (!o->rights || !rights) continue;
    if (((rights & kReading) && !(o->share & FILE_SHARE_READ)) ||
        ((rights & kRightWrite) && !(o->share & FILE_SHARE_WRITE)) ||
        ((rights & kRightDelete) && !(o->share & FILE_SHARE_DELETE)) ||
        ((o->rights & kReading) && !(share & FILE_SHARE_READ)) ||
        ((o->rights & kRightWrite) && !(share & FILE_SHARE_WRITE)) ||
        ((o->rights & kRightDelete) && !(share & FILE_SHARE_DELETE)))
      return ERROR_SHARING_VIOLATION;
  }
  return 0;
}

bool AnyOpenBelow(const std::string& hostDir) {
  std::string prefix = hostDir + "/";
  for (const FileObject* o : OpenList())
    if (SameProcess(o) && o->host.compare(0, prefix.size(), prefix) == 0) return true;
  return false;
}

}  // namespace winsim
