// Resource ids of the probe program.
#define IDD_MAIN 101
#define IDD_PORTS 102
#define IDI_PROBE 128
#define IDC_BAR 1000
#define IDC_NAME 1001
#define IDC_STATUS 1003
#define IDC_LIST 1006
#define IDC_GO 1010
#define IDC_RADIO_A 1020
#define IDC_RADIO_B 1021
#define IDC_RADIO_C 1022
#define IDC_CHECK 1030
