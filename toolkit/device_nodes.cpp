#include "device_nodes.h"

#include <string.h>
#include <windows.h>
#include <setupapi.h>

static_assert(sizeof(void*) != 4 || sizeof(SP_DEVINFO_DATA) == 28, "SP_DEVINFO_DATA is 28 bytes in a 32-bit program");

namespace {

const int kHardwareIdSize = 50;
const int kPropertySize = 100;
// The printer's id is "USB\Vid_7A3C&Pid_0008": a node matches when its first
// hardware id starts with it, whatever revision suffix follows.
const size_t kComparedLength = 21;

}  // namespace

int RemoveDeviceNodes(const char* pszHardwareId) {
  // An id that does not fit is refused, not cut: a shortened id would match
  // devices that are not the printer.
  char szWanted[kHardwareIdSize];
  if (!pszHardwareId || lstrlenA(pszHardwareId) >= kHardwareIdSize) return 0;
  memset(szWanted, 0, sizeof szWanted);
  lstrcpynA(szWanted, pszHardwareId, sizeof szWanted);

  // No DIGCF_PRESENT: nodes of devices that are not connected now go too.
  HDEVINFO hDevInfo = SetupDiGetClassDevsA(NULL, "USB", NULL, DIGCF_ALLCLASSES);
  if (hDevInfo == INVALID_HANDLE_VALUE) return 0;

  int result = 1;
  SP_DEVINFO_DATA devInfo;
  for (DWORD dwIndex = 0;; ++dwIndex) {
    devInfo.cbSize = sizeof(SP_DEVINFO_DATA);
    if (!SetupDiEnumDeviceInfo(hDevInfo, dwIndex, &devInfo)) {
      // Any other error would come again for every index: stop there.
      if (GetLastError() != ERROR_NO_MORE_ITEMS) result = 0;
      break;
    }

    // Zeroed first, so the comparison below always meets a terminating zero
    // inside the buffer. An id list longer than the buffer is not read.
    BYTE property[kPropertySize];
    memset(property, 0, sizeof property);
    DWORD dwType = 0;
    DWORD dwRequired = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(hDevInfo, &devInfo, SPDRP_HARDWAREID, &dwType, property, sizeof property,
                                           &dwRequired))
      continue;

    if (_strnicmp((const char*)property, szWanted, kComparedLength) != 0) continue;
    if (!SetupDiRemoveDevice(hDevInfo, &devInfo)) {
      SetupDiDestroyDeviceInfoList(hDevInfo);
      return 0;
    }
  }

  if (!SetupDiDestroyDeviceInfoList(hDevInfo)) return 0;
  return result;
}
