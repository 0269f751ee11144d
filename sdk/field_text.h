// Texts of the fixed-width fields of the device records.
#pragma once

#include <cstring>
#include <string_view>

// A field's text up to its first NUL, never past the field's end.
template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
    return std::string_view(field, strnlen(field, N));
}
