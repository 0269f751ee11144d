// UTF-8 checks for the row formats.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace listing {

// `text` with every byte that does not belong to a well-formed UTF-8
// sequence (RFC 3629: no overlong forms, no surrogates, nothing past
// U+10FFFF) replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

// The number of characters in `text`: a well-formed sequence counts once,
// any other byte once.
std::size_t CharacterCount(std::string_view text);

}  // namespace listing
