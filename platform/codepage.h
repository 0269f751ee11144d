// Conversions between UTF-8, UTF-16 and the process's ANSI code page.
//
// The ANSI code page is the character set of the user's locale unless one is
// set explicitly (an iconv name such as "WINDOWS-1251", "GBK" or "UTF-8").
#pragma once

#include <string>
#include <string_view>

namespace platform {

// An empty name returns to the locale's character set.
void SetAnsiCodePage(std::string_view iconvName);
std::string AnsiCodePage();

// UTF-8 to UTF-16. Each byte that does not start a valid sequence becomes
// U+FFFD, as the system conversion does without flags.
std::u16string Utf8ToWide(std::string_view utf8);

// UTF-16 to the ANSI code page. A character the code page lacks becomes the
// code page's default character.
std::string WideToAnsi(std::u16string_view wide);

// The ANSI code page to UTF-16, for showing texts. Bytes that do not decode
// become U+FFFD.
std::u16string AnsiToWide(std::string_view ansi);

}  // namespace platform
