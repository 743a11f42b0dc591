#include "text.h"

#include <cstring>

namespace {
char messageScratch[MESSAGE_SCRATCH_SIZE];
}

void padRight(char* text, int width) {
    int i = static_cast<int>(std::strlen(text));
    while (i < width) text[i++] = ' ';
}

void trimRight(char* text) {
    int i = static_cast<int>(std::strlen(text)) - 1;
    while (i > 0 && (text[i] == ' ' || text[i] == '\0')) text[i--] = '\0';
}

const char* messageCopy(const char* text, int maxChars) {
    if (maxChars > MESSAGE_SCRATCH_SIZE - 1) maxChars = MESSAGE_SCRATCH_SIZE - 1;
    int n = 0;
    while (n < maxChars && text[n] != '\0') {
        messageScratch[n] = text[n];
        ++n;
    }
    messageScratch[n] = '\0';
    trimRight(messageScratch);
    return messageScratch;
}
