// The address check of the Modify action: dotted-quad syntax with parts of
// at most 255. Empty parts count as 0 and leading zeros are allowed; nothing
// else about the address is examined.
#pragma once

// 1 when `text` is not empty, holds only digits and dots, and exactly three dots.
int IsDottedQuad(const char* text);

// 1 when `text` is a dotted quad whose every part, empty ones included, is
// at most 255.
int IsValidIPv4(const char* text);
