// Texts between the system's ANSI code page and Qt.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace platform::qt {

QString ToQString(std::string_view ansi);
std::string FromQString(const QString& text);
// A window title for the window system. An empty title would be replaced
// there by the program's name, so an empty one is shown as a blank.
QString ShownTitle(std::string_view ansi);

}  // namespace platform::qt
