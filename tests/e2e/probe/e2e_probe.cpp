// Prints what the spooler of the running system holds, one tab-separated
// line an item, for the Wine runs to compare:
//   printer <name> <driver> <port>
//   driver <name> <driver module>      (environment "Windows x64")
//   monitor <name> <module>
// Exits 1 when a list cannot be read.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <winspool.h>

// Calls fill(buffer, size, &needed, &count) with a buffer grown to what the
// spooler asks for; returns the buffer (free() it) or NULL.
template <typename Fill>
static BYTE* ReadList(Fill fill, DWORD* pCount) {
  DWORD needed = 0;
  *pCount = 0;
  fill(NULL, 0, &needed, pCount);
  if (needed == 0) needed = 1;
  BYTE* buffer = static_cast<BYTE*>(calloc(needed, 1));
  if (!buffer) return NULL;
  if (!fill(buffer, needed, &needed, pCount)) {
    fprintf(stderr, "error %lu\n", GetLastError());
    free(buffer);
    return NULL;
  }
  return buffer;
}

static const char* Text(const char* text) { return text ? text : ""; }

static const char* BaseName(const char* path) {
  const char* slash = path ? strrchr(path, '\\') : NULL;
  return slash ? slash + 1 : Text(path);
}

int main() {
  DWORD count = 0;
  BYTE* printers = ReadList(
      [](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer, size, needed, returned);
      },
      &count);
  if (!printers) return 1;
  const PRINTER_INFO_2A* printer = reinterpret_cast<PRINTER_INFO_2A*>(printers);
  for (DWORD i = 0; i < count; i++)
    printf("printer\t%s\t%s\t%s\n", Text(printer[i].pPrinterName), Text(printer[i].pDriverName),
           Text(printer[i].pPortName));
  free(printers);

  char environment[] = "Windows x64";
  BYTE* drivers = ReadList(
      [&environment](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumPrinterDriversA(NULL, environment, 2, buffer, size, needed, returned);
      },
      &count);
  if (!drivers) return 1;
  const DRIVER_INFO_2A* driver = reinterpret_cast<DRIVER_INFO_2A*>(drivers);
  for (DWORD i = 0; i < count; i++) printf("driver\t%s\t%s\n", Text(driver[i].pName), BaseName(driver[i].pDriverPath));
  free(drivers);

  BYTE* monitors = ReadList([](BYTE* buffer, DWORD size, DWORD* needed,
                               DWORD* returned) { return EnumMonitorsA(NULL, 2, buffer, size, needed, returned); },
                            &count);
  if (!monitors) return 1;
  const MONITOR_INFO_2A* monitor = reinterpret_cast<MONITOR_INFO_2A*>(monitors);
  for (DWORD i = 0; i < count; i++) printf("monitor\t%s\t%s\n", Text(monitor[i].pName), Text(monitor[i].pDLLName));
  free(monitors);
  return 0;
}
