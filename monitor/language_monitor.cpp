// The printer's language monitor: it sits between the spooler and the port
// monitor of the port the printer uses and passes every job through as it
// comes. The spooler finds it by InitializePrintMonitor2 and calls the
// functions of the table it returns.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

// One open port: the port monitor's table and its handle for the port.
struct LanguagePort {
  MONITOR2* m_pPortMonitor;
  HANDLE m_hPort;
};

static LanguagePort* PortOf(HANDLE hPort) { return static_cast<LanguagePort*>(hPort); }

static BOOL WINAPI LmOpenPortEx(HANDLE, HANDLE hMonitorPort, LPWSTR pPortName, LPWSTR, PHANDLE pHandle,
                                MONITOR2* pMonitor2) {
  if (!pHandle || !pMonitor2 || !pMonitor2->pfnOpenPort) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  LanguagePort* port = static_cast<LanguagePort*>(LocalAlloc(LPTR, sizeof(LanguagePort)));
  if (!port) return FALSE;
  port->m_pPortMonitor = pMonitor2;
  if (!pMonitor2->pfnOpenPort(hMonitorPort, pPortName, &port->m_hPort)) {
    DWORD error = GetLastError();
    LocalFree(port);
    SetLastError(error);
    return FALSE;
  }
  *pHandle = port;
  return TRUE;
}

static BOOL WINAPI LmStartDocPort(HANDLE hPort, LPWSTR pPrinterName, DWORD jobId, DWORD level, LPBYTE pDocInfo) {
  LanguagePort* port = PortOf(hPort);
  if (!port->m_pPortMonitor->pfnStartDocPort) return TRUE;
  return port->m_pPortMonitor->pfnStartDocPort(port->m_hPort, pPrinterName, jobId, level, pDocInfo);
}

static BOOL WINAPI LmWritePort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten) {
  LanguagePort* port = PortOf(hPort);
  if (!port->m_pPortMonitor->pfnWritePort) {
    *pcbWritten = cbBuf;
    return TRUE;
  }
  return port->m_pPortMonitor->pfnWritePort(port->m_hPort, pBuffer, cbBuf, pcbWritten);
}

static BOOL WINAPI LmReadPort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead) {
  LanguagePort* port = PortOf(hPort);
  if (!port->m_pPortMonitor->pfnReadPort) {
    *pcbRead = 0;
    return TRUE;
  }
  return port->m_pPortMonitor->pfnReadPort(port->m_hPort, pBuffer, cbBuffer, pcbRead);
}

static BOOL WINAPI LmEndDocPort(HANDLE hPort) {
  LanguagePort* port = PortOf(hPort);
  if (!port->m_pPortMonitor->pfnEndDocPort) return TRUE;
  return port->m_pPortMonitor->pfnEndDocPort(port->m_hPort);
}

static BOOL WINAPI LmClosePort(HANDLE hPort) {
  LanguagePort* port = PortOf(hPort);
  BOOL closed = TRUE;
  if (port->m_pPortMonitor->pfnClosePort) closed = port->m_pPortMonitor->pfnClosePort(port->m_hPort);
  LocalFree(port);
  return closed;
}

static BOOL WINAPI LmGetPrinterDataFromPort(HANDLE, DWORD, LPWSTR, LPWSTR, DWORD, LPWSTR, DWORD, LPDWORD) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

static BOOL WINAPI LmSetPortTimeOuts(HANDLE hPort, LPCOMMTIMEOUTS pTimeouts, DWORD reserved) {
  LanguagePort* port = PortOf(hPort);
  if (!port->m_pPortMonitor->pfnSetPortTimeOuts) return TRUE;
  return port->m_pPortMonitor->pfnSetPortTimeOuts(port->m_hPort, pTimeouts, reserved);
}

static VOID WINAPI LmShutdown(HANDLE) {}

// A language monitor lists, adds and configures no ports of its own: those
// entries stay empty, and the spooler asks the port monitor instead.
static MONITOR2 g_monitor = {
    sizeof(MONITOR2),
    NULL,  // EnumPorts
    NULL,  // OpenPort
    LmOpenPortEx,
    LmStartDocPort,
    LmWritePort,
    LmReadPort,
    LmEndDocPort,
    LmClosePort,
    NULL,  // AddPort
    NULL,  // AddPortEx
    NULL,  // ConfigurePort
    NULL,  // DeletePort
    LmGetPrinterDataFromPort,
    LmSetPortTimeOuts,
    NULL,  // XcvOpenPort
    NULL,  // XcvDataPort
    NULL,  // XcvClosePort
    LmShutdown,
};

extern "C" LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT pMonitorInit, PHANDLE phMonitor) {
  if (!pMonitorInit || !phMonitor) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  *phMonitor = &g_monitor;
  return &g_monitor;
}
