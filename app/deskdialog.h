// The dialogs of the desk: a row's period, and the answer rules.  Both are
// modal, German, and worked with the keyboard (Tab, Return, Escape) as
// with the mouse.
#pragma once

#include <string>
#include <vector>

enum class qxrowchoice { cancel, start, stop, rules };

// Asks for row's period (ms in, the chosen one out); running says whether
// the row runs now.
qxrowchoice qxrowdialog_run(int row, bool running, int *ms, int main_close);

// Edits the rules ("ROW PATTERN" each); true with the new ones when
// confirmed, every rule read (a rule that cannot be read is named in a
// message box and the dialog stays).
bool qxrulesdialog_run(std::vector<std::string> *rules, int main_close);
