// POSIX console: termios for key-at-a-time input without echo, poll() for
// a non-blocking look at the keyboard, and signal handlers that put the
// terminal back on every way out.
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

#include "console.h"

namespace {

struct ConsoleState {
    int active;                 // terminal settings changed
    struct termios saved;
    volatile sig_atomic_t interrupts;
};

ConsoleState console;

const int KEY_ESCAPE = 27;

void restoreTerminal() {
    if (console.active) {
        tcsetattr(STDIN_FILENO, TCSANOW, &console.saved);
        console.active = 0;
    }
}

void onInterrupt(int) {
    console.interrupts = console.interrupts + 1;
    if (console.interrupts > 1) {
        restoreTerminal();
        _exit(1);
    }
}

void onTerminate(int sig) {
    restoreTerminal();
    signal(sig, SIG_DFL);
    raise(sig);
}

}  // namespace

void consoleStart() {
    struct sigaction sa = {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    signal(SIGTERM, onTerminate);
    signal(SIGHUP, onTerminate);
    signal(SIGQUIT, onTerminate);
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &console.saved) != 0) return;
    struct termios raw = console.saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) {
        console.active = 1;
        std::atexit(restoreTerminal);
    }
}

void consoleRestore() { restoreTerminal(); }

int stopRequested() {
    if (console.interrupts) return 1;
    if (!console.active) return 0;
    struct pollfd pfd = {STDIN_FILENO, POLLIN, 0};
    if (poll(&pfd, 1, 0) <= 0 || !(pfd.revents & POLLIN)) return 0;
    unsigned char key = 0;
    if (read(STDIN_FILENO, &key, 1) != 1) return 0;
    return key == KEY_ESCAPE;
}
