// InstallEngine: the installer's object that carries the install sequence
// and the facts about the running system, and reports each step in the
// progress window.
#pragma once

#include <afxwin.h>

struct PackageFileSet;

class InstallEngine {
 public:
  InstallEngine();
  virtual ~InstallEngine();

  // Classifies the running Windows, keeps the WindowsKind in
  // m_nWindowsKind and returns it.
  int ClassifyWindows();

  // One step of the sequence: the status line shows lpszStatus, the bar
  // advances by one step, the window is brought up to date, then a pause
  // of 500 ms keeps the text readable.
  void ReportStep(LPCSTR lpszStatus);
  // The end of the sequence: the status line shows lpszStatus and the bar
  // stands at 100; no pause.
  void ReportCompleted(LPCSTR lpszStatus);

  // Registers the installed driver with Windows: the uninstall entry (with
  // the OEM INF copy's path, "" when there is none), the vendor key open to
  // everyone on Vista and later, and the uninstaller copied into the
  // product folder of the Windows directory, where the entry points.
  void RegisterUninstall(LPCSTR lpszOemInf);

  // The install sequence for the port (1000 to 1005: COM1 to COM4, LPT1,
  // LPT2; 1006: USB), reported step by step; every outcome is shown to the
  // user.
  void Install(int nPortCode);

  CString* m_pStatus;          // the window's status text
  CProgressCtrl* m_pProgress;  // the window's progress bar
  int m_nWindowsKind;
  CString m_strName;        // driver and printer name
  char m_szSourceDir[128];  // the program's command-line arguments

 private:
  BOOL FindInstalledDriver(LPCSTR lpszEnvironment);
  CString ChooseFreePrinterName();
  BOOL AddPrinterOnPort(LPCSTR lpszName, int nPortCode);
  void DeleteStagedFiles(const PackageFileSet& set);
  void CleanInfDirectory();

  InstallEngine(const InstallEngine&) = delete;
  InstallEngine& operator=(const InstallEngine&) = delete;
};
