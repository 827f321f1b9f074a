// PortDialog: asks for the port of the printer, COM1 to COM4, LPT1, LPT2 or
// USB, as the index of a radio button in template order.
#pragma once

#include <afxwin.h>

#include "resource.h"

class PortDialog : public CDialog {
 public:
  explicit PortDialog(CWnd* pParent = NULL);

  enum { IDD = IDD_PORT_DIALOG };
  int m_nPort;  // 0 COM1, 1 COM2, 2 COM3, 3 COM4, 4 LPT1, 5 LPT2, 6 USB

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;

  DECLARE_MESSAGE_MAP()
};
