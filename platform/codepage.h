// Conversions between UTF-8, UTF-16 and the process's ANSI code page, with
// the results of the system conversions without flags: MultiByteToWideChar
// from UTF-8 and WideCharToMultiByte to the ANSI code page.
//
// The ANSI code page is the character set of the environment's locale
// (nl_langinfo(CODESET) of the locale the environment names) unless one is
// set explicitly (an iconv name such as "WINDOWS-1251", "GBK" or "UTF-8").
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// An empty name returns to the locale's character set.
void SetAnsiCodePage(std::string_view iconvName);
std::string AnsiCodePage();

// UTF-8 to UTF-16. Each ill-formed sequence (a byte that cannot start one,
// or the longest start of a sequence that is cut short) becomes one U+FFFD.
std::u16string Utf8ToWide(std::string_view utf8);

// UTF-16 to the ANSI code page. A character the code page lacks, and an
// unpaired surrogate, becomes the code page's default character: '?', or
// U+FFFD where the code page is UTF-8.
std::string WideToAnsi(std::u16string_view wide);

// As WideToAnsi, but stops before the first character whose bytes would make
// the result longer than `maxBytes`, so the result ends on a whole character.
std::string WideToAnsiBounded(std::u16string_view wide, std::size_t maxBytes);

// The ANSI code page to UTF-16, for showing texts. Bytes that do not decode
// become U+FFFD.
std::u16string AnsiToWide(std::string_view ansi);

}  // namespace platform
