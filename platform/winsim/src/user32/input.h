// The user at the simulated machine, for the message loop that waits.
#pragma once

namespace winsim {

// The program waits for input: the window that has it takes the next answer
// of the script. False when nothing was done (the caller may let a timer run
// instead).
bool TakeUserInput();
// Waiting with no timer left and no answer: ends the run, naming what is
// shown.
[[noreturn]] void NoInput();

}  // namespace winsim
