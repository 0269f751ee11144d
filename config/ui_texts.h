// The texts of the main dialog that files may replace.
#pragma once

#include <array>
#include <string>

// Entries 0-9: column headings; 10-14: captions of controls 1001, 1013,
// 1014, 1015, 1007; 15-17: the modification message's caption, success text
// and failure text. All texts are in the ANSI code page.
struct UiTexts {
    std::string title;
    std::array<std::string, 18> entries;
};

inline constexpr int kUiTextFirstHeading = 0;
inline constexpr int kUiTextHeadingCount = 10;
inline constexpr int kUiTextFirstCaption = 10;
inline constexpr int kUiTextCaptionCount = 5;
inline constexpr int kUiTextMessageCaption = 15;
inline constexpr int kUiTextModifyOk = 16;
inline constexpr int kUiTextModifyFailed = 17;
inline constexpr int kUiTextCount = 18;
