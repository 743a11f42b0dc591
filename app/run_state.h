// The run-wide state: the options the command line sets, the owner name
// every open passes to the engine, and the counters of the summary.
#ifndef KORVANE_APP_RUN_STATE_H
#define KORVANE_APP_RUN_STATE_H

#include <cstdint>

struct RunOptions {
    int reportOnly;       // R: insert, update and delete nothing
    int wipeFirst;        // W: delete a table's index records first
    int namedMode;        // N: give indexes names instead of scanning keys
    int namingType;       // digits after N
    int printTableNames;  // F: print each table's name instead of the spinner
    int printStatistics;  // S: print the counters instead of "Done."
    int traceCalls;       // D: trace every engine call and scan decision
};

struct RunCounters {
    uint32_t filesProcessed;
    uint32_t filesRejected;
    uint32_t btrieveKeys;
    uint32_t indicesVerified;
    uint32_t indicesAdded;
    uint32_t indicesCorrupt;
};

// Owner names are at most 8 characters; the buffer keeps room for the
// terminator and more, and every buffer that receives it holds at least 10.
constexpr int OWNER_NAME_MAX = 8;
constexpr int OWNER_NAME_SIZE = 52;

extern RunOptions runOptions;
extern char OwnerName[OWNER_NAME_SIZE];
extern RunCounters runCounters;

#endif
