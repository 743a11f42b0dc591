// The run.
//  1. Check the argument count; set up the options, owner name and counters.
//  2. Scan the switches from the last argument to the first.
//  3. Cut and pad the table name; "*" asks for every table.
//  4. Open the dictionaries and position FILE.DDF (key 1, the table name).
//  5. For each table: poll the keyboard for Escape, skip X$ tables, show
//     progress, and run the per-table work of the mode.
//  6. Print the summary, close the dictionaries and reset the engine.
#include "run.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "../btrieve/btrieve_api.h"
#include "../btrieve/requests.h"
#include "../dictionary/dictionaries.h"
#include "../dictionary/records.h"
#include "../indexing/indexing.h"
#include "console.h"
#include "run_state.h"
#include "text.h"

RunOptions runOptions;
char OwnerName[OWNER_NAME_SIZE];
RunCounters runCounters;

namespace {

const char* const DEFAULT_OWNER_NAME = "..MV....";
const int MAX_ARGUMENTS = 7;
const int TABLE_BUFFER_SIZE = NAME_WIDTH + 1;
const char SPINNER[4] = {'-', '\\', '|', '/'};

struct RunSelection {
    char tableName[TABLE_BUFFER_SIZE];  // 20 characters, blank-padded, terminated
    int allTables;
};

RunSelection selection;
int spinnerPosition;

void printUsage() {
    printErr("\nUsage:  KORVANE TableName [/N#|/W] [/R] [/S] [/T] [/P=MasterPassword]\n\n");
    printErr("    This command examines the TableName table for indices which are\n");
    printErr("    not properly defined in INDEX.DDF and adds them to the dictionary.\n");
    printErr("    Use \"*\" for TableName to process all Tables.\n");
    printErr("    Use the /N option to create Named Index names only.\n");
    printErr("      Specify naming type from the following:\n");
    printErr("        0: Generic key name: \"key#\" (Default)\n");
    printErr("        1: Generic index name: \"index#\"\n");
    printErr("        2: Table naming: \"tablename#\"\n");
    printErr("        3: TableKey naming: \"tablename_key#\"\n");
    printErr("      +10: Include underscore before key number: \"key_#\"\n");
    printErr("    Use the /R option to print a report only (no changes made).\n");
    printErr("    Use the /W option to wipe existing indices for this table.\n");
    printErr("    Use the /S option to print statistics at the end.\n");
    printErr("    Use the /T option to print table names as they are processed.\n");
    printErr("    Use the /P= option to provide the database Master Password.\n\n");
}

void initialiseRun() {
    std::strcpy(OwnerName, DEFAULT_OWNER_NAME);
    runOptions = RunOptions{};
    runCounters = RunCounters{};
}

// The decimal number the text begins with (leading blanks and a sign
// allowed), 0 when it begins with none; clamped to the range of an int.
int leadingNumber(const char* text) {
    long value = std::strtol(text, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

// Returns 0, or 1 when a switch can't be accepted.
int scanSwitches(int argc, char** argv) {
    for (int i = argc - 1; i >= 1; --i) {
        const char* arg = argv[i];
        if (arg[0] != '/' && arg[0] != '-') continue;
        switch (std::toupper(static_cast<unsigned char>(arg[1]))) {
        case 'P': {
            // The first three characters, as in "/P=", are skipped unread.
            const char* name = std::strlen(arg) >= 3 ? arg + 3 : "";
            if (std::strlen(name) > static_cast<size_t>(OWNER_NAME_MAX)) {
                printErr("The owner name of /P= may have at most %d characters.\n", OWNER_NAME_MAX);
                return 1;
            }
            std::strcpy(OwnerName, name);
            break;
        }
        case 'N':
            runOptions.namedMode = 1;
            if (std::strlen(arg) > 2) runOptions.namingType = leadingNumber(arg + 2);
            printErr("Creating Named Indices With Naming Type %d.\n", runOptions.namingType);
            break;
        case 'R': runOptions.reportOnly = 1; break;
        case 'W': runOptions.wipeFirst = 1; break;
        case 'F': runOptions.printTableNames = 1; break;
        case 'S': runOptions.printStatistics = 1; break;
        case 'D': runOptions.traceCalls = 1; break;
        default: break;  // T among them: it sets nothing
        }
    }
    return 0;
}

void selectTable(const char* firstArgument) {
    std::strncpy(selection.tableName, firstArgument, NAME_WIDTH);
    selection.tableName[NAME_WIDTH] = '\0';
    padRight(selection.tableName, NAME_WIDTH);
    selection.allTables = selection.tableName[0] == '*';
    if (selection.allTables) {
        std::memset(selection.tableName, ' ', NAME_WIDTH);
        selection.tableName[NAME_WIDTH] = '\0';
    }
}

void processTable() {
    if (runOptions.printTableNames) printOut("Working On Table %s...\n", messageCopy(Xf$Name(), NAME_WIDTH));
    else spinnerTick();
    if (runOptions.namedMode) {
        // In the default (key scan) mode the wipe waits until the data file has
        // been opened and stat'ed, so a table whose file can't be read keeps
        // its index records.
        if (runOptions.wipeFirst) wipeIndexes(Xf$Id());
        buildNamedIndexes();
    } else {
        scanTableKeys();
    }
}

void printSummary() {
    if (!runOptions.printStatistics) {
        printOut("Done.\n");
        return;
    }
    printOut("\nWork completed.\n");
    printOut("Files Processed = %lu\n", static_cast<unsigned long>(runCounters.filesProcessed));
    printOut("Files Rejected  = %lu\n", static_cast<unsigned long>(runCounters.filesRejected));
    printOut("Btrieve Keys    = %lu\n", static_cast<unsigned long>(runCounters.btrieveKeys));
    printOut("Indices Verified= %lu\n", static_cast<unsigned long>(runCounters.indicesVerified));
    printOut("Indices Added   = %lu\n", static_cast<unsigned long>(runCounters.indicesAdded));
    printOut("Indices Corrupt = %lu\n", static_cast<unsigned long>(runCounters.indicesCorrupt));
}

int runTables() {
    int16_t status = openDictionaries();
    if (status != STATUS_SUCCESS) {
        printErr("Unable to Open Dictionary Files - Status %d\n", status);
        resetEngine();
        return 1;
    }
    char keyBuffer[KEY_BUFFER_SIZE] = {};
    std::memcpy(keyBuffer, selection.tableName, TABLE_BUFFER_SIZE);
    BtrieveRequest& request = btrieveSlots[SLOT_FILE];
    request.dataBuffer = FileRecord.bytes;
    request.keyNumber = 1;
    request.keyBuffer = keyBuffer;
    request.operation = selection.allTables ? OP_GET_FIRST : OP_GET_EQUAL;
    status = callBtrieve(request);
    while (status == STATUS_SUCCESS) {
        if (stopRequested()) {
            printErr("\nKorvane Terminated by the User.\n");
            closeDictionaries();
            resetEngine();
            return 1;
        }
        const char* name = Xf$Name();
        int systemTable = std::toupper(static_cast<unsigned char>(name[0])) == 'X' && name[1] == '$';
        if (!systemTable) processTable();
        if (!selection.allTables) break;
        // The per-table work set other slots only; this one still holds
        // FileRecord and the key buffer of the positioning.
        request.operation = OP_GET_NEXT;
        status = callBtrieve(request);
    }
    if (status == STATUS_KEY_NOT_FOUND) {
        printOut("Table <%s> Not Found.\n", messageCopy(selection.tableName, NAME_WIDTH));
        resetEngine();
        return 2;
    }
    printSummary();
    closeDictionaries();
    resetEngine();
    return 0;
}

}  // namespace

void spinnerTick() {
    printErr("%c%c", SPINNER[spinnerPosition], 8);
    spinnerPosition++;
    if (spinnerPosition > 3) spinnerPosition = 0;
}

int runMain(int argc, char** argv) {
    if (argc < 2 || argc > MAX_ARGUMENTS + 1) {
        printUsage();
        return 1;
    }
    initialiseRun();
    if (scanSwitches(argc, argv) != 0) return 1;
    if (runOptions.wipeFirst && runOptions.reportOnly) {
        runOptions.wipeFirst = 0;
        printErr("/R switch disables /W switch!\n");
    }
    selectTable(argv[1]);
    consoleStart();
    int code = runTables();
    consoleRestore();
    return code;
}
