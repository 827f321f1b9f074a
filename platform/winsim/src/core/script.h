// The user of the simulated machine: a script of answers (WINSIM_SCRIPT),
// one a line, or the person at the terminal.
//
//   msgbox yes|no|ok|cancel [text the box must contain]
//   msgbox decline   No, else Cancel, else OK: whatever box comes
//   dialog radio <id> | dialog ok | dialog cancel
//   check <list text> | uncheck <list text> | click <control id> | minimize
//
// Each kind keeps its own order: a message box takes the next `msgbox` line,
// a dialog over another window the next `dialog` lines, the program's main
// window (a dialog without an owner included) the next `check`, `uncheck`,
// `click` and `minimize` lines; a main window that is a modal dialog takes
// `dialog` lines when none of its own is left (a dialog shown on its own). Blank lines and
// lines starting with '#' are skipped. The positions reached belong to the
// run: they are kept in machine.ini [script], so that a child process goes
// on where its parent stopped and the parent after the child.
#pragma once

#include <string>

namespace winsim {

enum class ScriptQueue { MsgBox, Dialog, Input };

struct ScriptLine {
  std::string kind;  // msgbox, dialog, check, uncheck, click, minimize
  std::string word;  // msgbox: yes/no/ok/cancel; dialog: radio/ok/cancel
  std::string text;  // msgbox: the text to find; check/uncheck: the item; radio/click: the id
  int number = 0;    // the line in the script
};

class Script {
 public:
  // The next line for the queue. `shown` says what waits, for the person at
  // the terminal. False when there is none (the caller ends the run).
  static bool Next(ScriptQueue queue, const std::string& shown, ScriptLine* line);
  // Whether the script has a line left for the queue (false without a script).
  static bool HasNext(ScriptQueue queue);
  // Ends the run with status 97, naming what was shown and found no answer.
  [[noreturn]] static void NoAnswer(const std::string& what);
  static bool Parse(const std::string& raw, ScriptLine* out, std::string* error);
  // Tests: this text is the script (positions start at 0).
  static void UseForTests(const std::string& text);
  // `winsim run`: the run starts at the top of the script.
  static void ResetPositions(class IniFile& ini);
  static ScriptQueue QueueOf(const std::string& kind);
};

// Text compared as a person reads it: runs of blanks and line ends are one
// blank, none at the ends.
std::string Squeeze(const std::string& s);

}  // namespace winsim
