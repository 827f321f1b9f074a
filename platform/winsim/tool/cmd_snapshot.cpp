// winsim snapshot DIR [NAME]: keeps the machine's registry and the files and
// folders of drive C: (attributes, size, content hash) as snapshot NAME
// ("base" unless named), for `winsim diff` to compare against later. A
// snapshot of the same name is replaced.
#include <sys/stat.h>

#include <cstdio>

#include "command.h"
#include "core/machine.h"
#include "core/registry_tree.h"
#include "snapshot_store.h"

namespace winsim {

static int RunSnapshot(const Args& args) {
  if (args.empty() || args.size() > 2 || args[0].rfind("--", 0) == 0)
    return ToolError("usage: winsim snapshot DIR [NAME]");
  std::string name = args.size() == 2 ? args[1] : kDefaultSnapshotName;
  if (!IsSnapshotName(name))
    return ToolError("snapshot: '" + name + "' is not a snapshot name (letters, digits, '-', '_', '.')");
  try {
    Machine::Open(args[0]);
  } catch (const MachineError& e) {
    return ToolError(std::string("snapshot: ") + e.what());
  }
  std::string registry = Registry::Get().Export();
  std::vector<DriveEntry> files = ScanDrive();
  // Taking a snapshot changes nothing: the machine is not written back.
  Machine::Close(false);

  std::string folder = SnapshotFolder(args[0], name);
  mkdir((args[0] + "/snapshots").c_str(), 0755);
  mkdir(folder.c_str(), 0755);
  if (!WriteHostFile(folder + "/registry.reg", registry) ||
      !WriteHostFile(folder + "/files.txt", DriveEntriesText(files)))
    return ToolError("snapshot: cannot write " + folder);
  printf("saved snapshot '%s' (%zu entries on C:)\n", name.c_str(), files.size());
  return 0;
}

static ToolCommand g_snapshot("snapshot", "DIR [NAME]", RunSnapshot);

}  // namespace winsim
