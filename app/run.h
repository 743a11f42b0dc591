// The program entry and the spinner.
#ifndef KORVANE_APP_RUN_H
#define KORVANE_APP_RUN_H

// Runs the tool on a command line; returns the exit code: 0 for a completed
// run; 1 for a usage error, dictionaries that can't be opened and a run
// stopped by the user; 2 when the named table is not in FILE.DDF.
int runMain(int argc, char** argv);

// Turns the progress spinner one step on standard error.
void spinnerTick();

#endif
