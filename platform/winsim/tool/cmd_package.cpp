// winsim package DIR C:\path: lays the demo driver package of the source
// tree and the program stubs of the installer and the uninstaller there.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "command.h"
#include "core/machine.h"

#ifndef WINSIM_PACKAGE_SOURCE
#define WINSIM_PACKAGE_SOURCE ""
#endif

namespace winsim {

namespace {

struct Stub {
  const char* file;
  const char* program;
};

const Stub kStubs[] = {
    {"drvsetup.exe", "drvsetup"},
    {"KVLM720_Uninstaller.exe", "KVLM720_Uninstaller"},
    {"KVLM720_Uninstaller_vista.exe", "KVLM720_Uninstaller_vista"},
};

}  // namespace

static int RunPackage(const Args& args) {
  if (args.size() != 2) return ToolError("usage: winsim package DIR C:\\path");
  std::string dir = args[0], target = args[1];
  for (auto& c : target)
    if (c == '/') c = '\\';
  if (target.size() < 3 || (target[0] != 'C' && target[0] != 'c') || target[1] != ':' || target[2] != '\\')
    return ToolError("package: the folder must be on drive C:, like C:\\package");
  struct stat st;
  if (stat((dir + "/machine.ini").c_str(), &st) != 0) return ToolError("package: " + dir + " is no machine");
  std::string rest = target.substr(3);
  while (!rest.empty() && rest.back() == '\\') rest.pop_back();
  for (auto& c : rest)
    if (c == '\\') c = '/';
  namespace fs = std::filesystem;
  fs::path host = fs::path(dir) / "drive_c" / rest;
  std::error_code ec;
  fs::create_directories(host, ec);
  if (ec) return ToolError("package: cannot create " + host.string() + ": " + ec.message());
  fs::path source = WINSIM_PACKAGE_SOURCE;
  size_t files = 0;
  if (!source.empty() && fs::is_directory(source)) {
    for (const auto& e : fs::recursive_directory_iterator(source)) {
      fs::path to = host / fs::relative(e.path(), source);
      if (e.is_directory()) {
        fs::create_directories(to, ec);
      } else {
        fs::copy_file(e.path(), to, fs::copy_options::overwrite_existing, ec);
        ++files;
      }
      if (ec) return ToolError("package: cannot copy " + e.path().string() + ": " + ec.message());
    }
  }
  for (const auto& s : kStubs) {
    std::ofstream out(host / s.file, std::ios::binary | std::ios::trunc);
    out << "winsim-program: " << s.program << "\r\n";
    if (!out) return ToolError(std::string("package: cannot write ") + s.file);
  }
  printf("laid %zu package files and %zu program stubs in %s\n", files, sizeof kStubs / sizeof kStubs[0],
         target.c_str());
  return 0;
}

static ToolCommand g_package("package", "DIR C:\\path", RunPackage);

}  // namespace winsim
