// The three dictionary files: opening, closing and column-id allocation.
#ifndef KORVANE_DICTIONARY_DICTIONARIES_H
#define KORVANE_DICTIONARY_DICTIONARIES_H

#include <cstdint>

// Opens FILE.DDF, FIELD.DDF and INDEX.DDF in that order into their slots;
// 0 when all are open, else the status of the first open that failed (the
// files opened before it stay open).
int16_t openDictionaries();
void closeDictionaries();

// A column id no FIELD.DDF record uses, or 0 when none can be found. Ids are
// handed out in increasing order over the run, never probing one twice.
uint16_t allocateFieldId();

extern uint16_t nextFieldId;

#endif
