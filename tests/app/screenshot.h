// Pictures of windows for people to look at.
#pragma once

#include <filesystem>

class QWidget;

namespace testing_support {

// Saves `window` as a PNG. Off-screen windows have no frame, so a plain title
// bar with the window's icon and title is drawn above the client area.
bool SaveWindowPicture(QWidget* window, const std::filesystem::path& file);

}  // namespace testing_support
