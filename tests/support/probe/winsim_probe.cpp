// A small Windows program for the tests of the simulated USER32: what it
// does depends on its command line (msgbox, yesno, modal, main, child).
#include <windows.h>
#include <commctrl.h>
#include <string.h>

#include "probe_resource.h"

static HINSTANCE g_instance;

static INT_PTR CALLBACK PortsProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    CheckRadioButton(hDlg, IDC_RADIO_A, IDC_RADIO_C, IDC_RADIO_A);
    return TRUE;
  }
  if (msg == WM_COMMAND && LOWORD(wParam) == IDOK) {
    int index = IsDlgButtonChecked(hDlg, IDC_RADIO_B) ? 1 : IsDlgButtonChecked(hDlg, IDC_RADIO_C) ? 2 : 0;
    EndDialog(hDlg, 10 + index);
    return TRUE;
  }
  if (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    EndDialog(hDlg, IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

static int CheckedCount(HWND list) {
  int n = 0, count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (int i = 0; i < count; ++i) n += SendMessageA(list, LB_GETITEMDATA, (WPARAM)i, 0) ? 1 : 0;
  return n;
}

static INT_PTR CALLBACK MainProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      char caption[64];
      LoadStringA(g_instance, 1, caption, sizeof caption);
      SetWindowTextA(hDlg, caption);
      SendDlgItemMessageA(hDlg, IDC_LIST, LB_ADDSTRING, 0, (LPARAM) "Zeta");
      SendDlgItemMessageA(hDlg, IDC_LIST, LB_ADDSTRING, 0, (LPARAM) "Alpha");
      SendDlgItemMessageA(hDlg, IDC_BAR, PBM_SETSTEP, 40, 0);
      SetTimer(hDlg, 1, 1, NULL);
      return TRUE;
    }
    case WM_TIMER:
      KillTimer(hDlg, 1);
      SetDlgItemTextA(hDlg, IDC_STATUS, "timer");
      SendDlgItemMessageA(hDlg, IDC_BAR, PBM_STEPIT, 0, 0);
      return TRUE;
    case WM_MEASUREITEM:
      ((MEASUREITEMSTRUCT*)lParam)->itemHeight = 16;
      return TRUE;
    case WM_DRAWITEM: {
      DRAWITEMSTRUCT* d = (DRAWITEMSTRUCT*)lParam;
      RECT box = {d->rcItem.left + 1, d->rcItem.top + 1, d->rcItem.left + 14, d->rcItem.top + 14};
      DrawFrameControl(d->hDC, &box, DFC_BUTTON, DFCS_BUTTONCHECK | (d->itemData ? DFCS_CHECKED : 0));
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_LIST && HIWORD(wParam) == LBN_SELCHANGE) {
        HWND list = (HWND)lParam;
        int sel = (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
        LRESULT data = SendMessageA(list, LB_GETITEMDATA, (WPARAM)sel, 0);
        SendMessageA(list, LB_SETITEMDATA, (WPARAM)sel, data ? 0 : 1);
        InvalidateRect(list, NULL, TRUE);
        EnableWindow(GetDlgItem(hDlg, IDC_GO), CheckedCount(list) > 0);
        return TRUE;
      }
      if (LOWORD(wParam) == IDC_GO) {
        PostQuitMessage(100 + CheckedCount(GetDlgItem(hDlg, IDC_LIST)));
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        PostQuitMessage(2);
        return TRUE;
      }
      return FALSE;
    case WM_PAINT:
      if (IsIconic(hDlg)) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hDlg, &ps);
        RECT r;
        GetClientRect(hDlg, &r);
        DrawIcon(dc, (r.right - r.left - GetSystemMetrics(SM_CXICON) + 1) / 2,
                 (r.bottom - r.top - GetSystemMetrics(SM_CYICON) + 1) / 2,
                 LoadIconA(g_instance, MAKEINTRESOURCE(IDI_PROBE)));
        EndPaint(hDlg, &ps);
        PostQuitMessage(50);
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

static int RunMain(HWND owner) {
  HWND main = CreateDialogParamA(g_instance, MAKEINTRESOURCE(IDD_MAIN), owner, MainProc, 0);
  if (!main) return 90;
  ShowWindow(main, SW_SHOW);
  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0)) {
    if (!IsDialogMessageA(main, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  return (int)msg.wParam;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int) {
  g_instance = instance;
  InitCommonControls();
  if (strcmp(cmdLine, "msgbox") == 0) return MessageBoxA(NULL, "Install Canceled\r\nbye", NULL, MB_OK);
  if (strcmp(cmdLine, "yesno") == 0) return MessageBoxA(NULL, "Restart now?", "Probe", MB_YESNO | MB_ICONQUESTION);
  if (strcmp(cmdLine, "main") == 0) return RunMain(NULL);
  if (strcmp(cmdLine, "modal") == 0) {
    HWND main = CreateDialogParamA(instance, MAKEINTRESOURCE(IDD_MAIN), NULL, MainProc, 0);
    ShowWindow(main, SW_SHOW);
    return (int)DialogBoxParamA(instance, MAKEINTRESOURCE(IDD_PORTS), main, PortsProc, 0);
  }
  if (strcmp(cmdLine, "child") == 0) {
    char commandLine[64];
    lstrcpynA(commandLine, "child.exe msgbox", sizeof commandLine);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    memset(&pi, 0, sizeof pi);
    if (!CreateProcessA("child.exe", commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) return 91;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    int answer = MessageBoxA(NULL, "After the child", "Probe", MB_YESNO);
    return (int)code * 10 + answer;
  }
  return 99;
}
