#include "modify/address_validation.h"

#include <cstdint>

int IsDottedQuad(const char* text) {
    if (text == nullptr || *text == '\0') return 0;
    int dots = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '.') ++dots;
        else if (*c < '0' || *c > '9') return 0;
    }
    return dots == 3 ? 1 : 0;
}

int IsValidIPv4(const char* text) {
    if (IsDottedQuad(text) == 0) return 0;
    // A part above 255 fails at the next dot or at the end whatever digits
    // follow, so the number stops growing there and never overflows.
    std::int32_t number = 0;
    std::int32_t dots = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c >= '0' && *c <= '9') {
            if (number <= 255) number = number * 10 + (*c - '0');
        } else if (*c == '.') {
            if (++dots > 3) return 0;
            if (number > 255) return 0;
            number = 0;
        } else {
            return 0;
        }
    }
    return number > 255 ? 0 : 1;
}
