// Fixed-width names and the message scratch buffer.
#ifndef KORVANE_APP_TEXT_H
#define KORVANE_APP_TEXT_H

#include <cstddef>

// Writes blanks from text's terminator (overwriting it) up to position
// width - 1. Never shortens, writes no new terminator.
void padRight(char* text, int width);

// Replaces trailing blanks and NULs before the terminator with NULs, but
// never clears the first character.
void trimRight(char* text);

// Copies at most maxChars characters of text (stopping at a NUL) into the
// process-wide 65-byte message scratch buffer, terminates and trims it, and
// returns it.
const char* messageCopy(const char* text, int maxChars);

constexpr int MESSAGE_SCRATCH_SIZE = 65;

#endif
