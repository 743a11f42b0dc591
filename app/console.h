// Console output and the keyboard poll (console_posix.cpp, console_win32.cpp).
#ifndef KORVANE_APP_CONSOLE_H
#define KORVANE_APP_CONSOLE_H

#if defined(__GNUC__)
#define KV_PRINTF(a, b) __attribute__((format(printf, a, b)))
#else
#define KV_PRINTF(a, b)
#endif

// Formatted writes to standard output and standard error.
void printOut(const char* format, ...) KV_PRINTF(1, 2);
void printErr(const char* format, ...) KV_PRINTF(1, 2);

// Prepares the console for the run: on a terminal, keys are read without
// echo and without waiting for a line, until consoleRestore. Ctrl-C asks
// the run to stop at the next table; a second Ctrl-C ends it at once.
void consoleStart();
// Puts the terminal back as it was; safe to call more than once.
void consoleRestore();

// True when a stop has been asked for: Escape pressed, or Ctrl-C. Any other
// waiting key is read and dropped. Never waits; with standard input not a
// terminal, only Ctrl-C can ask.
int stopRequested();

#endif
