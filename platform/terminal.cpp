#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace ferry {

namespace {

volatile std::sig_atomic_t interrupts = 0;

void onInterrupt(int signalNumber) {
    interrupts = interrupts + 1;
    if (interrupts < 2) return;
    // The second Ctrl-C: end now, as an uncaught Ctrl-C would, leaving the cursor on a
    // fresh line.
    const char lineEnd = '\n';
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, &lineEnd, 1);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

}  // namespace

bool inputIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

bool errorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

int terminalColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
    return size.ws_col;
}

void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read waiting for an answer returns, so Ctrl-C is not swallowed.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
}

bool interruptRequested() {
    return interrupts > 0;
}

LineRead readInputLine(std::string& line) {
    line.clear();
    for (;;) {
        char c = 0;
        const ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR) return LineRead::Interrupted;
        if (got <= 0) return line.empty() ? LineRead::End : LineRead::Line;
        if (c == '\n') return LineRead::Line;
        line.push_back(c);
    }
}

}  // namespace ferry
