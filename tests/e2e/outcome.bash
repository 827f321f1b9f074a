# Shared by wine_scenarios.sh and sim_scenarios.sh (sourced, not a test): the
# device node both lay before an installation on USB, and the label of the
# outcome line that tells whether the printer's USB print key is there.
printer_hardware_id='USB\Vid_7A3C&Pid_0008&Rev_0100'
printer_instance_id='USB\VID_7A3C&PID_0008\5&2A1B3C4D&0&1'
usbprint_label='USBPRINT\VELKORA_KVL-M720'
