// Restarting Windows at once, as the programs do after the user agreed.
#pragma once

// Enables the shutdown privilege of this process and asks Windows for a
// forced restart. 1 when Windows accepted the restart; 0 when the token
// cannot be opened, the privilege is not held, or the restart is refused.
int RestartWindows();
