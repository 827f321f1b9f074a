// winsim diff DIR [NAME] [--exit-code]: what changed on the machine since
// snapshot NAME ("base" unless named): registry keys, values and key
// security, files and folders of drive C:, one change a line (the format is
// in snapshot_diff.h). Nothing is printed when nothing changed. The exit
// status is 0 either way, or with --exit-code 1 when something changed; 2
// for a machine or snapshot that cannot be read.
#include <cstdio>

#include "command.h"
#include "core/machine.h"
#include "core/registry_tree.h"
#include "snapshot_diff.h"
#include "snapshot_store.h"

namespace winsim {

static int RunDiff(const Args& args) {
  const char* usage = "usage: winsim diff DIR [NAME] [--exit-code]";
  std::vector<std::string> words;
  bool exitCode = false;
  for (const std::string& a : args) {
    if (a == "--exit-code")
      exitCode = true;
    else if (a.rfind("--", 0) == 0)
      return ToolError("diff: unknown option '" + a + "'");
    else
      words.push_back(a);
  }
  if (words.empty() || words.size() > 2) return ToolError(usage);
  const std::string& dir = words[0];
  std::string name = words.size() == 2 ? words[1] : kDefaultSnapshotName;
  if (!IsSnapshotName(name)) return ToolError("diff: '" + name + "' is not a snapshot name");

  try {
    Machine::Open(dir);
  } catch (const MachineError& e) {
    return ToolError(std::string("diff: ") + e.what());
  }
  std::string folder = SnapshotFolder(dir, name);
  std::string registryBefore, filesText;
  if (!ReadHostFile(folder + "/registry.reg", &registryBefore) || !ReadHostFile(folder + "/files.txt", &filesText)) {
    Machine::Close(false);
    return ToolError("diff: no snapshot '" + name + "' of " + dir + " (take one with: winsim snapshot " + dir + " " +
                     name + ")");
  }
  std::vector<DriveEntry> filesBefore;
  size_t badLine = 0;
  if (!ReadDriveEntries(filesText, &filesBefore, &badLine)) {
    Machine::Close(false);
    return ToolError("diff: " + folder + "/files.txt:" + std::to_string(badLine) + ": not an entry of drive C:");
  }
  std::vector<std::string> lines = DiffRegistry(registryBefore, Registry::Get().Export());
  for (std::string& line : DiffDrive(filesBefore, ScanDrive())) lines.push_back(std::move(line));
  // Comparing changes nothing: the machine is not written back.
  Machine::Close(false);
  for (const std::string& line : lines) printf("%s\n", line.c_str());
  return exitCode && !lines.empty() ? 1 : 0;
}

static ToolCommand g_diff("diff", "DIR [NAME] [--exit-code]", RunDiff);

}  // namespace winsim
