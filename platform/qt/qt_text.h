// Texts between the system's ANSI code page and Qt.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace platform::qt {

QString ToQString(std::string_view ansi);
std::string FromQString(const QString& text);

}  // namespace platform::qt
