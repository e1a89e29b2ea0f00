#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "platform/terminal.h"

namespace ferry {

namespace {

std::atomic<int> interrupts{0};

// Runs on a thread of its own. The first Ctrl-C only asks to stop; the second lets the
// system end the program, as an unhandled Ctrl-C does.
BOOL WINAPI onControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    return ++interrupts < 2 ? TRUE : FALSE;
}

}  // namespace

bool inputIsTerminal() {
    return _isatty(_fileno(stdin)) != 0;
}

bool errorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

int terminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 80;
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    return columns > 0 ? columns : 80;
}

void catchInterrupts() {
    SetConsoleCtrlHandler(onControl, TRUE);
}

bool interruptRequested() {
    return interrupts > 0;
}

LineRead readInputLine(std::string& line) {
    line.clear();
    const int before = interrupts;
    for (;;) {
        const int c = std::fgetc(stdin);
        // A console read that Ctrl-C broke off ends like the input, with the flag raised.
        if (interrupts != before) return LineRead::Interrupted;
        if (c == EOF) return line.empty() ? LineRead::End : LineRead::Line;
        if (c == '\n') return LineRead::Line;
        if (c != '\r') line.push_back(static_cast<char>(c));
    }
}

}  // namespace ferry
