#pragma once

// The terminal the command line talks through: whether the standard streams are
// a terminal, its width, Ctrl-C, and reading an answer typed there.

#include <string>

namespace ferry {

bool inputIsTerminal();
bool errorIsTerminal();
// Columns of the terminal on standard error; 80 when it does not say.
int terminalColumns();

// From now on the first Ctrl-C only asks to stop (interruptRequested), and the second
// ends the program at once.
void catchInterrupts();
bool interruptRequested();

enum class LineRead { Line, End, Interrupted };
// One line typed on standard input, without its line end. End: the input ended (Ctrl-D).
// Interrupted: Ctrl-C was pressed while waiting.
LineRead readInputLine(std::string& line);

}  // namespace ferry
