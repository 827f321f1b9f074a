// winsim ls DIR files C:\path: the entries of a folder of drive C:, one a
// line, in the order a directory search reports them:
//   name  size  attributes (R H S A D, and L for a junction or link)
#include <cinttypes>
#include <cstdio>

#include "attribute_letters.h"
#include "core/filesystem.h"
#include "ls_lister.h"
#include "windows.h"

namespace winsim {

static int ListFiles(const Args& args) {
  if (args.size() != 1) return ToolError("usage: winsim ls DIR files C:\\path");
  // The folder as the machine's own services see it: no WOW64 view.
  ResolvedPath r;
  DWORD error = 0;
  if (!FileSystem::Resolve(args[0], false, &r, &error)) return ToolError("ls: '" + args[0] + "' is not a path on C:");
  if (!r.exists || !(FileSystem::Attributes(r.host) & FILE_ATTRIBUTE_DIRECTORY))
    return ToolError("ls: no folder " + args[0]);
  for (const DirEntry& e : FileSystem::List(r.host))
    printf("%s\t%" PRIu64 "\t%s\n", e.name.c_str(), e.size, AttributeLetters(e.attributes).c_str());
  return 0;
}

static LsLister g_files("files", "C:\\path", ListFiles);

}  // namespace winsim
