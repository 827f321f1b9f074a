// Removing the USB device nodes of a printer, connected or not.
#pragma once

// Removes every device node enumerated under USB whose first hardware id
// begins, without regard to letter case, with the 21 characters of
// pszHardwareId. 1 when the walk ended normally and the set was released;
// 0 when the set cannot be had, a removal or the release fails, the walk
// breaks off, or the id does not fit the routine's 50-byte buffer (50
// characters or more).
int RemoveDeviceNodes(const char* pszHardwareId);
