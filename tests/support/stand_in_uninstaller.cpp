// Stands in for the uninstaller in the installer's scenarios until the real
// one exists: started with DelAllDriver it deletes every local printer of
// the driver and the driver itself, in either environment, and ends with 0.
#include <windows.h>
#include <winspool.h>
#include <string.h>

#include <vector>

static const char kDriver[] = "VELKORA KVL-M720";

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int) {
  if (!lpCmdLine || strcmp(lpCmdLine, "DelAllDriver") != 0) return 1;
  DWORD needed = 0, count = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &count);
  std::vector<BYTE> buffer(needed + 1);
  if (EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer.data(), needed, &needed, &count)) {
    const PRINTER_INFO_2A* printers = (const PRINTER_INFO_2A*)buffer.data();
    for (DWORD i = 0; i < count; ++i) {
      if (!printers[i].pDriverName || strcmp(printers[i].pDriverName, kDriver) != 0) continue;
      HANDLE h = NULL;
      PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_ALL_ACCESS};
      if (OpenPrinterA(printers[i].pPrinterName, &h, &defaults)) {
        DeletePrinter(h);
        ClosePrinter(h);
      }
    }
  }
  for (const char* env : {"Windows NT x86", "Windows x64"})
    DeletePrinterDriverExA(NULL, (LPSTR)env, (LPSTR)kDriver, DPD_DELETE_ALL_FILES, 0);
  return 0;
}
