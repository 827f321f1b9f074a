// PortDialog: the radio group starts at COM1 and runs to the end of the
// template, so DDX_Radio counts COM1, COM2, COM3, COM4, LPT1, LPT2, USB.
#include "port_dialog.h"

PortDialog::PortDialog(CWnd* pParent) : CDialog(PortDialog::IDD, pParent), m_nPort(0) {}

void PortDialog::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Radio(pDX, IDC_PORT_COM1, m_nPort);
}

BEGIN_MESSAGE_MAP(PortDialog, CDialog)
END_MESSAGE_MAP()

BOOL PortDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  UpdateData(FALSE);
  return TRUE;
}
