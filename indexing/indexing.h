// Index reconstruction: the per-table work of a run.
#ifndef KORVANE_INDEXING_INDEXING_H
#define KORVANE_INDEXING_INDEXING_H

#include <cstdint>

constexpr int KEY_SPEC_SIZE = 16;

// One key segment specification as Stat reports it.
struct KeySegmentSpec {
    uint8_t bytes[KEY_SPEC_SIZE];
};

// Dictionary index flags for engine key flags.
uint16_t translateKeyFlags(uint16_t keyFlags);

// Writes the INDEX.DDF record for the column in FieldRecord and one key
// segment (or piece of one) of the table in FileRecord. 1 when written (or
// it would have been under /R, or the insert failed with a status other
// than 5), 0 when the segment was already there (status 5).
int addIndexRecord(uint16_t keyNumber, uint16_t part, uint16_t keyFlags);

// The default work on the table in FileRecord: open its data file, Stat it,
// and match every key segment to the columns at its position.
void scanTableKeys();

// Matches one segment to the column that starts at its position, splitting
// it over adjacent shorter columns; part is the segment number and grows
// with each split. 1 when (a first piece of) the segment was written, 0 when
// it was reported as corrupt.
int matchKeySegment(KeySegmentSpec segment, uint16_t& part);

// With /N: gives every unnamed index of the table in FileRecord an
// index-name entry and marks its records as named.
void buildNamedIndexes();

// The 20-character, blank-padded index name (no terminator written past
// out[19]) for a naming type, trimmed table name and index number.
void makeIndexName(int namingType, const char* tableName, uint16_t indexNumber, char out[20]);

// With /W: deletes every INDEX.DDF record of the table. Always 1.
int wipeIndexes(uint16_t tableId);

#endif
